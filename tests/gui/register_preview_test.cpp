// The distance register from the menu: its dialog, then the print preview of its pages.

#include "app/registry.h"
#include "gui/qt_ui.h"
#include "modal_driver.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

// 100 routes more than the sample's 3: 103 lines, two portrait pages of 60.
TEST(RegisterPreview, DistanceRegisterOpensItsPagesInThePreview) {
    test::TempDir dir;
    test::createSampleNetwork(dir / "rete.sqlite");
    test::runSql(dir / "rete.sqlite",
                 "WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 109) "
                 "INSERT INTO itiner SELECT i, 'P' || i, 'Percorso ' || i, 1000, 1000 + i FROM n;");
    QtUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace core(ui, settings);
    ASSERT_TRUE(core.Startup(dir / "rete.sqlite"));

    test::ModalDriver driver;
    std::string formTitle;
    std::string previewTitle;
    int pages = -1;
    driver
        .then([&formTitle](QWidget* modal) {
            formTitle = modal->windowTitle().toStdString();
            test::press(modal, "OK");
        })
        .then([&previewTitle, &pages](QWidget* modal) {
            previewTitle = modal->windowTitle().toStdString();
            if (auto* preview = modal->findChild<QPrintPreviewWidget*>()) {
                pages = preview->pageCount();
            }
            static_cast<QDialog*>(modal)->reject();
        });
    EXPECT_EQ(app::Route(core, 5132), ui::Outcome::Done);
    EXPECT_EQ(formTitle, "Verifica Congruenza Distanze");
    EXPECT_EQ(previewTitle, "Rubrica Verifica Distanze");
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(driver.done());
}

} // namespace
} // namespace tramela::gui
