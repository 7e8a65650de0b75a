// The distance registers from the menu: their dialog, their window, the print preview of their
// pages and the print.

#include "app/registry.h"
#include "gui/qt_ui.h"
#include "gui/register_window.h"
#include "modal_driver.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

class RegisterPreview : public ::testing::Test {
protected:
    // 100 routes more than the sample's 3: 103 lines, two portrait pages of 60.
    void SetUp() override {
        test::createSampleNetwork(dir / "rete.sqlite");
        test::runSql(
            dir / "rete.sqlite",
            "WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 109) "
            "INSERT INTO itiner SELECT i, 'P' || i, 'Percorso ' || i, 1000, 1000 + i FROM n;");
        ASSERT_TRUE(core.Startup(dir / "rete.sqlite"));
    }

    test::TempDir dir;
    QtUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    workspace::Workspace core{ui, settings};
    test::ModalDriver driver;
};

// The register opens in its window with the preview over it; the preview can be opened again
// from the window, which closes with "Chiudi".
TEST_F(RegisterPreview, DistanceRegisterOpensItsWindowWithThePreviewOverIt) {
    std::string formTitle;
    std::string previewTitle;
    int pages = -1;
    std::string windowTitle;
    std::string caption;
    int rows = -1;
    std::string deviation;
    int previews = 0;
    const auto closePreview = [&previewTitle, &pages, &previews](QWidget* modal) {
        previewTitle = modal->windowTitle().toStdString();
        if (auto* preview = modal->findChild<QPrintPreviewWidget*>()) {
            pages = preview->pageCount();
            ++previews;
        }
        static_cast<QDialog*>(modal)->reject();
    };
    driver
        .then([&formTitle](QWidget* modal) {
            formTitle = modal->windowTitle().toStdString();
            test::press(modal, "OK");
        })
        .then(closePreview)
        .then([&](QWidget* modal) {
            windowTitle = modal->windowTitle().toStdString();
            if (auto* window = qobject_cast<RegisterWindow*>(modal)) {
                caption = window->caption()->text().toStdString();
                rows = window->list()->rowCount();
                // P109 deviates by +10.9, shown without the printed page's unit.
                const auto found = window->list()->findItems("P109", Qt::MatchExactly);
                if (found.size() == 1) {
                    deviation = window->list()->item(found[0]->row(), 5)->text().toStdString();
                }
            }
            test::press(modal, "Anteprima di stampa");
        })
        .then(closePreview)
        .then([](QWidget* modal) { test::press(modal, "Chiudi"); });
    EXPECT_EQ(app::Route(core, 5132), ui::Outcome::Done);
    EXPECT_EQ(formTitle, "Verifica Congruenza Distanze");
    EXPECT_EQ(previewTitle, "Rubrica Verifica Distanze");
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(previews, 2);
    EXPECT_EQ(windowTitle, "Rubrica Verifica Distanze");
    EXPECT_EQ(caption,
              "Azienda 42 - Autolinee Corvasca Sud S.r.l. [periodo dal 01/01/2024 al 31/12/2024]");
    EXPECT_EQ(rows, 103);
    EXPECT_EQ(deviation, "+10.9");
    EXPECT_TRUE(driver.done());
}

// "Stampa" asks for the printer over the register's window; giving up there prints nothing and
// the command says it was cancelled once the window is closed.
TEST_F(RegisterPreview, PrintingCancelledInThePrintDialogLeavesTheWindowOpen) {
    std::string printTitle;
    bool windowShown = false;
    driver
        .then([](QWidget* modal) {
            test::press(modal, "Stampa");
            test::press(modal, "OK");
        })
        .then([&printTitle](QWidget* modal) {
            printTitle = modal->windowTitle().toStdString();
            static_cast<QDialog*>(modal)->reject();
        })
        .then([&windowShown](QWidget* modal) {
            windowShown = qobject_cast<RegisterWindow*>(modal) != nullptr;
            test::press(modal, "Chiudi");
        });
    EXPECT_EQ(app::Route(core, 5132), ui::Outcome::Cancelled);
    EXPECT_EQ(printTitle, "Rubrica Verifica Distanze");
    EXPECT_TRUE(windowShown);
    EXPECT_TRUE(driver.done());
}

} // namespace
} // namespace tramela::gui
