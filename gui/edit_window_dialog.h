#pragma once

#include "views/edit_window.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QSplitter;
class QTableView;
class QWidget;

namespace tramela::workspace {
class Workspace;
}

namespace tramela::gui {

// The list of an editing window as a Qt table model: bold rows, a deleted entry struck through
// and greyed.
class WindowListModel : public QAbstractTableModel {
public:
    explicit WindowListModel(views::EditWindow& window, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The window's list changed (reload, deletion): redraw all of it.
    void changed();

private:
    views::EditWindow& m_window;
};

// An editing window on the screen, modal: its list, its detail panel, its command buttons and
// its context menu, all starting the same operations of the model. "Fine" closes it and the
// model commits; the window is otherwise dropped with its transaction rolled back.
class EditWindowDialog : public QDialog {
public:
    EditWindowDialog(workspace::Workspace& core,
                     int menuId,
                     std::unique_ptr<views::WindowSource> source,
                     QWidget* parent = nullptr,
                     views::EditWindow* owner = nullptr);
    ~EditWindowDialog() override;

    // A widget beside the list (a drawing), in a splitter with it.
    void addBeside(QWidget* widget);
    // Told after every operation has redrawn the list, and after the selection moved.
    std::function<void()> onSynced;
    std::function<void()> onSelected;

    bool opened() const { return m_opened; }

    views::EditWindow& model() { return *m_window; }

    QTableView* list() const { return m_list; }

    // The detail panel's editor of a field.
    QWidget* field(std::string_view id) const;
    QPushButton* button(std::string_view name) const;
    // The context menu as it would open now (the caller owns it).
    std::unique_ptr<class QMenu> contextMenu();

    // The operations, as the buttons, the menu and the keys start them.
    void run(views::Operation operation, int order = 0, const std::string& special = {});
    void confirm();
    void cancelEditing();
    void finish();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    // The window's own close box is "Fine" while browsing, and nothing while a record is typed.
    void closeEvent(QCloseEvent* event) override;

private:
    void sync();
    void openTimetable();
    void showValues(const ui::FormValues& values);
    ui::FormValues typedValues() const;

    workspace::Workspace& m_core;
    int m_menuId;
    std::unique_ptr<views::EditWindow> m_window;
    bool m_opened = false;
    WindowListModel* m_model = nullptr;
    QTableView* m_list = nullptr;
    QSplitter* m_split = nullptr;
    QLabel* m_caption = nullptr;
    std::vector<std::pair<std::string, QWidget*>> m_fields;
    std::vector<std::pair<std::string, QPushButton*>> m_buttons;
    QWidget* m_detail = nullptr;
};

// The window of a menu item (5110, 5111, 5119, 5156, 5157); nothing for another id.
std::unique_ptr<EditWindowDialog>
makeEditWindow(workspace::Workspace& core, int menuId, QWidget* parent = nullptr);
// Installs the opener through which the menu items show their windows, modally.
void installWindowOpener(QWidget* parent);

} // namespace tramela::gui
