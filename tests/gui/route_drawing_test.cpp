// The composition window with its route drawn to scale, offscreen.

#include "app/demo_database.h"
#include "gui/edit_window_dialog.h"
#include "gui/qt_ui.h"
#include "gui/route_drawing.h"
#include "modal_driver.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "views/windows.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTableView>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

class RouteDrawingTest : public ::testing::Test {
protected:
    RouteDrawingTest() {
        test::createSampleNetwork(dir / "rete.sqlite");
        core.Startup(dir / "rete.sqlite");
    }

    // The composition of the sample's route 1 (three stops along a line of three vertices),
    // opened from the routes window.
    void open() {
        routes = makeEditWindow(core, 5119);
        ASSERT_TRUE(routes && routes->opened());
        routes->list()->selectRow(0);
        composition = makeCompositionWindow(core, routes->model(), routes.get());
        ASSERT_TRUE(composition);
        composition->show();
        QApplication::processEvents();
        drawing = drawingOf(*composition);
        ASSERT_NE(drawing, nullptr);
    }

    QImage picture() { return drawing->viewport()->grab().toImage(); }

    // The darkest pixel at most one pixel from `at`: the line is antialiased and a stop's
    // position falls between pixels.
    static QColor darkest(const QImage& image, QPoint at) {
        QColor found = Qt::white;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                const QColor c = image.pixelColor(at + QPoint(dx, dy));
                if (c.lightness() < found.lightness()) {
                    found = c;
                }
            }
        }
        return found;
    }

    static bool near(QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
               std::abs(a.blue() - b.blue()) < 40;
    }

    test::TempDir dir;
    workspace::Settings settings{dir / "settings.toml"};
    QtUi ui;
    workspace::Workspace core{ui, settings};
    std::unique_ptr<EditWindowDialog> routes;
    std::unique_ptr<EditWindowDialog> composition;
    RouteDrawing* drawing = nullptr;
};

// Every stop is drawn where the line runs, in the colour of how it stands with the line.
TEST_F(RouteDrawingTest, StopsLieOnTheDrawnLineInTheirColours) {
    open();
    ASSERT_EQ(composition->list()->model()->rowCount(), 3);
    drawing->setStopsVisible(false);
    const QImage line = picture();
    drawing->setStopsVisible(true);
    const QImage stops = picture();
    const auto& listed =
        dynamic_cast<const views::CompositionSource&>(composition->model().source()).stops();
    for (size_t i = 0; i < listed.size(); ++i) {
        const std::optional<QPoint> at = drawing->stopPixel(i);
        ASSERT_TRUE(at);
        ASSERT_TRUE(line.rect().contains(*at)) << i;
        EXPECT_TRUE(near(darkest(line, *at), RouteDrawing::lineColour()))
            << i << " " << darkest(line, *at).name().toStdString();
        EXPECT_TRUE(near(stops.pixelColor(*at), RouteDrawing::colourOf(listed[i].standing)))
            << i << " " << stops.pixelColor(*at).name().toStdString();
    }
    // Away from the line the drawing is blank.
    EXPECT_EQ(line.pixelColor(2, line.height() - 3), QColor(Qt::white));
    // The middle stop lies on the right of the line: OK, unlike the termini.
    EXPECT_EQ(listed[1].standing, views::StopStanding::Ok);
    EXPECT_EQ(listed[0].standing, views::StopStanding::Terminus);
}

TEST_F(RouteDrawingTest, ClickingAStopSelectsItAndTheWheelZooms) {
    open();
    composition->list()->selectRow(0);
    const QPoint at = *drawing->stopPixel(2);
    QMouseEvent press(QEvent::MouseButtonPress,
                      QPointF(at),
                      drawing->viewport()->mapToGlobal(QPointF(at)),
                      Qt::LeftButton,
                      Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(drawing->viewport(), &press);
    EXPECT_EQ(composition->model().selected(), std::optional<size_t>(2));
    EXPECT_EQ(composition->list()->currentIndex().row(), 2);
    // The selected stop is ringed in gold in the drawing.
    QApplication::processEvents();
    const QColor ring = picture().pixelColor(at + QPoint(11, 0));
    EXPECT_GT(ring.red(), 180);
    EXPECT_LT(ring.blue(), 120) << ring.name().toStdString();

    const double before = drawing->transform().m11();
    QWheelEvent wheel(QPointF(at),
                      drawing->viewport()->mapToGlobal(QPointF(at)),
                      QPoint(),
                      QPoint(0, 240),
                      Qt::NoButton,
                      Qt::NoModifier,
                      Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(drawing->viewport(), &wheel);
    EXPECT_NEAR(drawing->transform().m11(), before * 1.44, before * 1e-6);

    // A click away from every stop selects nothing else.
    QMouseEvent empty(QEvent::MouseButtonPress,
                      QPointF(2, 2),
                      drawing->viewport()->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton,
                      Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(drawing->viewport(), &empty);
    EXPECT_EQ(composition->model().selected(), std::optional<size_t>(2));
}

// From the routes window's menu item, the composition opens over it; its buttons reach the
// window's own operations (the stop picker's dialog here).
TEST_F(RouteDrawingTest, OpensFromTheRoutesWindowAndItsButtonsReachThePicker) {
    routes = makeEditWindow(core, 5119);
    ASSERT_TRUE(routes && routes->opened());
    routes->list()->selectRow(0);
    test::ModalDriver driver;
    int rows = 0;
    bool drawn = false;
    std::string picker;
    driver
        .then([&](QWidget* modal) {
            auto* window = dynamic_cast<EditWindowDialog*>(modal);
            ASSERT_NE(window, nullptr);
            rows = window->list()->model()->rowCount();
            drawn = drawingOf(*window) != nullptr;
            test::press(modal, QStringLiteral("&Inserisci una Nuova Fermata"));
            test::press(modal, QStringLiteral("Fine"));
        })
        .then([&](QWidget* modal) {
            picker = modal->windowTitle().toStdString();
            static_cast<QDialog*>(modal)->reject();
        });
    routes->run(views::Operation::Special, 0, std::string(views::kComposition));
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(drawn);
    EXPECT_EQ(picker, "Inserimento Fermata");
}

TEST(RouteDrawingPicture, TheRoutesWindowWithTheCompositionOfARoute) {
    test::TempDir dir;
    ui::ScriptedUi quiet;
    ASSERT_TRUE(app::BuildDemoDatabase(quiet, dir / "demo.sqlite"));
    const test::ProcessResult shot = test::runProcess(TRAMELA_GUI,
                                                      {"--settings",
                                                       (dir / "settings.toml").string(),
                                                       "--db",
                                                       "demo.sqlite",
                                                       "--open-window",
                                                       "5119",
                                                       "--route",
                                                       "1",
                                                       "--screenshot",
                                                       "r.png"},
                                                      dir.path());
    ASSERT_EQ(shot.exitCode, 0) << shot.err;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString((dir / "r.png").string())));
    EXPECT_GE(image.width(), 1280); // the routes window and the composition beside it
    const test::ProcessResult missing = test::runProcess(TRAMELA_GUI,
                                                         {"--settings",
                                                          (dir / "settings.toml").string(),
                                                          "--db",
                                                          "demo.sqlite",
                                                          "--open-window",
                                                          "5119",
                                                          "--route",
                                                          "999999",
                                                          "--screenshot",
                                                          "x.png"},
                                                         dir.path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

} // namespace
} // namespace tramela::gui
