#include "app/demo_database.h"
#include "gui/main_frame.h"
#include "gui/qt_ui.h"
#include "gui/work_area.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

class ScreenshotTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new test::TempDir;
        ui::ScriptedUi quiet;
        ASSERT_TRUE(app::BuildDemoDatabase(quiet, demo()));
    }

    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static std::filesystem::path demo() { return *s_dir / "demo.sqlite"; }

    static QSize screenSize() {
        return QGuiApplication::primaryScreen()->availableGeometry().size();
    }

    static inline test::TempDir* s_dir = nullptr;
};

TEST_F(ScreenshotTest, MainWindowWithTheProgressCaptionShown) {
    test::TempDir dir;
    workspace::Settings settings(dir / "settings.toml");
    QtUi ui;
    workspace::Workspace core(ui, settings);
    MainFrame frame(core, ui);
    frame.showForPicture();
    core.Startup(demo());
    frame.syncTitle();
    ui.ProgressCaption("Generazione RT_HDORA.TXT");
    ui.Progress(60);

    const auto file = dir / "main_window.png";
    ASSERT_TRUE(frame.screenshot().save(QString::fromStdString(file.string()), "PNG"));
    QImage picture(QString::fromStdString(file.string()));
    ASSERT_FALSE(picture.isNull());
    // The maximised window, its title line included, covers the screen.
    EXPECT_EQ(picture.size(), screenSize());

    WorkArea* area = frame.workArea();
    const QRect band = area->bandRect()
                           .translated(area->mapTo(&frame, QPoint(0, 0)))
                           .translated(0, frame.titleBarHeight());
    ASSERT_GT(band.height(), 10);
    EXPECT_EQ(band.bottom() + 1, picture.height() - 21);
    EXPECT_EQ(band.width(), picture.width());
    const QRgb blue = qRgb(0, 0, 192);
    int white = 0;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        // Both ends of every line of the band are its colour, and the text is white on it.
        EXPECT_EQ(picture.pixel(band.left(), y), blue) << y;
        EXPECT_EQ(picture.pixel(band.right(), y), blue) << y;
        for (int x = band.left(); x <= band.right(); ++x) {
            white += picture.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(white, 20);
    EXPECT_NE(picture.pixel(band.left(), band.top() - 1), blue);
    EXPECT_NE(picture.pixel(band.left(), band.bottom() + 1), blue);
}

TEST_F(ScreenshotTest, CommandLinePictureOfTheMaximisedWindow) {
    test::TempDir dir;
    const auto settings = dir / "settings.toml";
    const auto file = dir / "tramela-gui.png";
    const test::ProcessResult run = test::runProcess(
        TRAMELA_GUI,
        {"--db", demo().string(), "--settings", settings.string(), "--screenshot", file.string()},
        dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const QImage picture(QString::fromStdString(file.string()));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), screenSize());
    // A database given for one run leaves the binding as it was.
    workspace::Settings written(settings);
    written.load();
    EXPECT_EQ(written.databasePath(), "");

    // Unbound and unattended: the start-up message goes to standard error, the picture is taken.
    const test::ProcessResult unbound = test::runProcess(
        TRAMELA_GUI,
        {"--settings", settings.string(), "--screenshot", (dir / "unbound.png").string()},
        dir.path());
    EXPECT_EQ(unbound.exitCode, 0) << unbound.err;
    EXPECT_NE(unbound.err.find("L'applicazione Tramela non è associata ad un database."),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "unbound.png"));

    const test::ProcessResult unwritable = test::runProcess(
        TRAMELA_GUI,
        {"--settings", settings.string(), "--screenshot", (dir / "manca" / "x.png").string()},
        dir.path());
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("Impossibile creare"), std::string::npos);
}

} // namespace
} // namespace tramela::gui
