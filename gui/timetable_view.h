#pragma once

#include "views/timetable_window.h"

#include <QDialog>
#include <cstdint>
#include <memory>

class QLabel;
class QMenu;
class QTableWidget;

namespace tramela::workspace {
class Workspace;
}

namespace tramela::gui {

// The timetable of a route on the screen, modal: one column per trip, one row per stop, the
// context menu of the model on the cell under the pointer. It works in the transaction of the
// routes window that opened it; "Fine" closes it.
class TimetableView : public QDialog {
public:
    TimetableView(workspace::Workspace& core,
                  std::int32_t route,
                  views::EditWindow* owner,
                  QWidget* parent = nullptr);
    ~TimetableView() override;

    bool opened() const { return m_opened; }

    views::TimetableWindow& model() { return *m_model; }

    QTableWidget* grid() const { return m_grid; }

    // Selects the trip's column and the stop's row, as a click on the cell does.
    void selectCell(int stop, int trip);
    // The context menu as it would open now (the caller owns it).
    std::unique_ptr<QMenu> contextMenu();
    void run(const views::MenuEntry& item);

private:
    void sync();

    workspace::Workspace& m_core;
    std::unique_ptr<views::TimetableWindow> m_model;
    bool m_opened = false;
    QLabel* m_caption = nullptr;
    QTableWidget* m_grid = nullptr;
};

} // namespace tramela::gui
