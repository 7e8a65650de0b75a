#pragma once

#include <QImage>
#include <QMainWindow>

class QAction;
class QMenu;

namespace tramela::workspace {
class Workspace;
}

namespace tramela::app {
struct Command;
struct MenuItem;
} // namespace tramela::app

namespace tramela::gui {

class QtUi;
class WorkArea;

// The main window on the screen: the menu bar built from the command table, the work area with
// the progress facilities, and the title kept in step with the core's. Every menu item runs its
// command through the same routing as the command line.
class MainFrame : public QMainWindow {
public:
    MainFrame(workspace::Workspace& core, QtUi& ui, QWidget* parent = nullptr);

    // Runs the command of a menu item to its end; "&Fine" asks the window to close instead.
    void runCommand(int id);
    // The window's title as the core last set it.
    void syncTitle();
    // The enabling rule on the items of a menu, as it is applied each time a menu opens.
    void applyEnabling(QMenu* menu);

    WorkArea* workArea() const { return m_area; }

    // The item of a command; nullptr when the menu has none.
    QAction* commandAction(int id) const;

    bool commandRunning() const { return m_running; }

    // Shows the window for a picture of it maximised: across its screen's free area, with room
    // above it for the title line that the picture draws.
    void showForPicture();
    // The window as a picture with its title line above it.
    QImage screenshot();
    // Height of the title line drawn above the window in a screenshot.
    int titleBarHeight() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenuBar();
    void addItems(QMenu* menu, const std::vector<app::MenuItem>& items);
    QAction* addCommand(QWidget* owner, const app::Command& command);

    workspace::Workspace& m_core;
    QtUi& m_ui;
    WorkArea* m_area;
    bool m_running = false;
    bool m_closed = false;
};

} // namespace tramela::gui
