// The editing windows on the screen: each opened from its menu item, driven through its widgets.

#include "app/demo_database.h"
#include "gui/edit_window_dialog.h"
#include "gui/main_frame.h"
#include "gui/qt_ui.h"
#include "modal_driver.h"
#include "store/query_cursor.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

class EditWindowGuiTest : public ::testing::Test {
protected:
    EditWindowGuiTest() {
        test::createSampleNetwork(dir / "rete.sqlite");
        core.Startup(dir / "rete.sqlite");
    }

    void choose(int id) {
        QAction* action = frame.commandAction(id);
        ASSERT_NE(action, nullptr);
        for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>()) {
            emit menu->aboutToShow();
        }
        ASSERT_TRUE(action->isEnabled()) << id;
        action->trigger();
    }

    test::TempDir dir;
    workspace::Settings settings{dir / "settings.toml"};
    QtUi ui;
    workspace::Workspace core{ui, settings};
    MainFrame frame{core, ui};
    test::ModalDriver driver;
};

TEST_F(EditWindowGuiTest, EachWindowOpensFromItsMenuItemWithItsListAndContextMenu) {
    struct Expected {
        int id;
        int rows;
        std::string firstItem;
    };

    for (const Expected& expected :
         {Expected{5110, 2, "&Inserisci una Nuova Cadenza"},
          Expected{5111, 3, "&Inserisci una Nuova Cadenza/Giorno"},
          Expected{5119, 3, "&Variazione Attributi Percorso Selezionato"},
          Expected{5156, 1, "&Inserisci una Nuova Linea Standard"},
          Expected{5157, 1, "&Inserisci una Nuova Associazione Linea"}}) {
        bool seen = false;
        driver.then([&](QWidget* modal) {
            auto* window = dynamic_cast<EditWindowDialog*>(modal);
            ASSERT_NE(window, nullptr) << expected.id;
            seen = true;
            EXPECT_EQ(window->list()->model()->rowCount(), expected.rows) << expected.id;
            const auto menu = window->contextMenu();
            ASSERT_FALSE(menu->actions().isEmpty());
            EXPECT_EQ(menu->actions().front()->text().toStdString(), expected.firstItem);
            window->button("Fine")->click();
        });
        choose(expected.id);
        EXPECT_TRUE(seen) << expected.id;
    }
    EXPECT_TRUE(driver.done());
}

TEST_F(EditWindowGuiTest, InsertConfirmRefreshThroughTheWidgets) {
    driver.then([&](QWidget* modal) {
        auto* window = dynamic_cast<EditWindowDialog*>(modal);
        ASSERT_NE(window, nullptr);
        QPushButton* confirm = window->button("Conferma");
        EXPECT_FALSE(confirm->isEnabled());
        window->button("Nuova Cadenza")->click();
        EXPECT_TRUE(confirm->isEnabled());
        EXPECT_FALSE(window->list()->isEnabled()) << "the list is closed to clicks while editing";
        qobject_cast<QLineEdit*>(window->field("code"))->setText(QStringLiteral("SCO"));
        qobject_cast<QLineEdit*>(window->field("name"))->setText(QStringLiteral("Scolastico"));
        confirm->click();
        EXPECT_EQ(window->list()->model()->rowCount(), 3);
        window->button("Aggiorna la Vista delle Cadenze")->click();
        window->button("Ripristina (invalida le variazioni sospese)")->click();
        EXPECT_EQ(window->list()->model()->rowCount(), 3) << "committed by the refresh";
        EXPECT_EQ(window->list()->model()->index(2, 1).data().toString(),
                  QStringLiteral("Scolastico"));
        // Deleted: struck through, and the modify button off for it.
        window->list()->selectRow(2);
        window->button("Elimina Cadenza")->click();
        EXPECT_TRUE(
            window->list()->model()->index(2, 0).data(Qt::FontRole).value<QFont>().strikeOut());
        EXPECT_FALSE(window->button("Modifica Cadenza")->isEnabled());
        window->button("Ripristina (invalida le variazioni sospese)")->click();
        window->button("Fine")->click();
    });
    choose(5110);
    EXPECT_TRUE(driver.done());
    // Kept by the refresh; the deletion afterwards was restored.
    store::QueryCursor kept(*core.connection());
    kept.SetSelect("denom");
    kept.SetFrom("cadenz");
    kept.SetWhere("codice = 'SCO'");
    ASSERT_TRUE(kept.Execute());
    std::string name;
    kept.GetText("denom", name);
    EXPECT_EQ(name, "Scolastico");
}

TEST(EditWindowPicture, RoutesWindowOnTheDemonstrationDatabase) {
    test::TempDir dir;
    ui::ScriptedUi quiet;
    ASSERT_TRUE(app::BuildDemoDatabase(quiet, dir / "demo.sqlite"));
    const std::filesystem::path picture =
        std::filesystem::path(TRAMELA_PICTURES) / "finestra_percorsi.png";
    std::filesystem::remove(picture);
    const test::ProcessResult run = test::runProcess(TRAMELA_GUI,
                                                     {"--db",
                                                      (dir / "demo.sqlite").string(),
                                                      "--settings",
                                                      (dir / "settings.toml").string(),
                                                      "--open-window",
                                                      "5119",
                                                      "--screenshot",
                                                      picture.string()},
                                                     dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const QImage image(QString::fromStdString(picture.string()));
    ASSERT_FALSE(image.isNull());
    // The caption band along the top is dark blue.
    int blue = 0;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < 40 && y < image.height(); ++y) {
            blue += image.pixel(x, y) == qRgb(0, 0, 192) ? 1 : 0;
        }
    }
    EXPECT_GT(blue, 1000);

    const test::ProcessResult wrong = test::runProcess(TRAMELA_GUI,
                                                       {"--db",
                                                        (dir / "demo.sqlite").string(),
                                                        "--settings",
                                                        (dir / "settings.toml").string(),
                                                        "--open-window",
                                                        "5101",
                                                        "--screenshot",
                                                        (dir / "x.png").string()},
                                                       dir.path());
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

} // namespace
} // namespace tramela::gui
