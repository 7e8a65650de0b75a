// The timetable of a route on the screen, opened from the routes window and driven through its
// widgets: a band of trips cloned from the context menu through the band's dialog.

#include "gui/qt_ui.h"
#include "gui/timetable_view.h"
#include "modal_driver.h"
#include "store/query_cursor.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "views/windows.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

std::string trips(store::DatabaseConnection& connection) {
    store::QueryCursor rows(connection);
    rows.SetSelect("id, parte");
    rows.SetFrom("corse");
    rows.SetWhere("id_perc = 1");
    rows.SetOrderBy("id");
    std::string text;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::string id;
        std::string start;
        rows.GetText("id", id);
        rows.GetText("parte", start);
        text += id + "@" + start + " ";
    }
    return text;
}

TEST(TimetableViewTest, ABandClonedThroughTheWidgetsShowsAndRestoreTakesItBack) {
    test::TempDir dir;
    test::createSampleNetwork(dir / "rete.sqlite");
    workspace::Settings settings{dir / "settings.toml"};
    QtUi ui;
    workspace::Workspace core{ui, settings};
    core.Startup(dir / "rete.sqlite");
    store::DatabaseConnection& connection = *core.connection();

    views::EditWindow routes(connection, views::routeWindow());
    ASSERT_TRUE(routes.open());
    ASSERT_TRUE(routes.select(0));
    TimetableView view(core, 1, &routes);
    ASSERT_TRUE(view.opened());
    QTableWidget* grid = view.grid();
    ASSERT_EQ(grid->columnCount(), 1);
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->item(1, 0)->text(), QStringLiteral("23.55 / 23.56"));
    EXPECT_EQ(grid->item(2, 0)->text(), QStringLiteral("00.10"));

    view.selectCell(1, 0);
    test::ModalDriver driver;
    driver.then([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), QStringLiteral("Clonazione a Frequenza"));
        modal->findChild<QLineEdit*>(QStringLiteral("start"))->setText(QStringLiteral("07.00"));
        modal->findChild<QLineEdit*>(QStringLiteral("end"))->setText(QStringLiteral("08.00"));
        modal->findChild<QLineEdit*>(QStringLiteral("frequency"))->setText(QStringLiteral("15"));
        test::press(modal, QStringLiteral("OK"));
    });
    const auto menu = view.contextMenu();
    QAction* band = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Aggiungi Corse (Clonazione a &Frequenza)")) {
            band = action;
        }
    }
    ASSERT_NE(band, nullptr);
    ASSERT_TRUE(band->isEnabled());
    band->trigger();
    EXPECT_TRUE(driver.done());

    // Five new columns by start, before the source's at 23.50.
    ASSERT_EQ(grid->columnCount(), 6);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("3\n\n07.00"));
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("07.20 / 07.21"));
    EXPECT_EQ(trips(connection), "1@2350 3@700 4@715 5@730 6@745 7@800 ");

    // "Ripristina" of the timetable is the routes window's: the band is gone.
    for (const views::MenuEntry& item : view.model().contextMenu()) {
        if (item.operation == views::Operation::Restore) {
            view.run(item);
        }
    }
    EXPECT_EQ(grid->columnCount(), 1);
    EXPECT_EQ(trips(connection), "1@2350 ");
}

} // namespace
} // namespace tramela::gui
