#include "gui/qt_ui.h"
#include "gui/wait_window.h"
#include "gui/work_area.h"
#include "modal_driver.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

using test::ModalDriver;
using test::ShownBox;

TEST(QtUiTest, MessageBoxesShowTheirIconButtonsAndCaption) {
    QtUi ui;
    ModalDriver driver;
    const std::pair<ui::Icon, QMessageBox::Icon> icons[] = {
        {ui::Icon::None, QMessageBox::NoIcon},
        {ui::Icon::Stop, QMessageBox::Critical},
        {ui::Icon::Exclamation, QMessageBox::Warning},
        {ui::Icon::Information, QMessageBox::Information},
        {ui::Icon::Question, QMessageBox::Question},
    };
    for (const auto& [icon, shown] : icons) {
        ShownBox box;
        driver.then(test::answerBox(box));
        ui.Message("Esportate 12 righe in RT_HDORA.TXT\n<b>", icon);
        EXPECT_EQ(box.icon, shown);
        EXPECT_EQ(box.text, "Esportate 12 righe in RT_HDORA.TXT\n<b>");
        EXPECT_EQ(box.buttons, QStringList{"OK"});
        // Without a main window the application's name captions the box.
        EXPECT_EQ(box.title, "TRAMELA");
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tramela - Azienda 42"));
    WorkArea area(&window);
    ui.attach(&window, &area);
    ShownBox named;
    ShownBox untitled;
    driver.then(test::answerBox(named)).then(test::answerBox(untitled));
    ui.Message("Errore", ui::Icon::Exclamation, "Riparazione database");
    ui.Message("Errore", ui::Icon::Exclamation);
    EXPECT_EQ(named.title, "Riparazione database");
    EXPECT_EQ(untitled.title, "Tramela - Azienda 42");

    EXPECT_TRUE(driver.done());
}

TEST(QtUiTest, FileDialogsFollowTheCommandsRequest) {
    // "All files" of the original platform is every file here, not only names with a dot.
    EXPECT_EQ(QtUi::filterText({"Tutti i files (*.*)", "*.*"}), "Tutti i files (*)");
    EXPECT_EQ(QtUi::filterText({"Tabelle", "*.txt; *.tab"}), "Tabelle (*.txt *.tab)");

    QtUi ui;
    QFileDialog save;
    ui::FileDialog report;
    report.title = "Report Errori Riscontrati";
    report.defaultExtension = "TXT";
    report.initialName = "ERRORI_VKZTXT";
    report.confirmOverwrite = true;
    ui.configure(save, report, true);
    EXPECT_EQ(save.fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(save.testOption(QFileDialog::DontConfirmOverwrite));
    ASSERT_EQ(save.selectedFiles().size(), 1);
    EXPECT_TRUE(save.selectedFiles().constFirst().endsWith("/ERRORI_VKZTXT.TXT"));

    // The chosen file comes back as a path, and the next dialog opens in its folder.
    test::TempDir dir;
    test::writeFile(dir / "prova.sqlite", "");
    ModalDriver driver;
    driver.then([&](QWidget* modal) { test::chooseFile(modal, dir / "prova.sqlite"); })
        .then([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(ui.OpenFile(workspace::databaseFileDialog("database", "Selezione del Database")),
              dir / "prova.sqlite");
    EXPECT_EQ(
        ui.SaveFile(workspace::databaseFileDialog("database", "Selezione del Database", true)),
        std::nullopt);
    QFileDialog next;
    ui.configure(next, workspace::databaseFileDialog("database", "Selezione del Database"), false);
    EXPECT_EQ(next.directory().absolutePath(), QString::fromStdString(dir.path().string()));
}

TEST(QtUiTest, ProgressAndBusyLastUntilTheEventLoopWaits) {
    QWidget window;
    window.resize(640, 480);
    WorkArea area(&window);
    area.resize(640, 480);
    window.show();
    QtUi ui;
    ui.attach(&window, &area);

    // The command runs from the main event loop, as a menu item runs it.
    QEventLoop mainLoop;
    ModalDriver driver;
    Qt::CursorShape duringBox = Qt::WaitCursor;
    QTimer::singleShot(0, &mainLoop, [&] {
        ui.BeginBusy(true);
        ui.ProgressCaption("Generazione RT_HDORA.TXT");
        ui.Progress(40);
        // A command that lets the window repaint at each step is still running.
        EXPECT_TRUE(ui.busy());
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        EXPECT_TRUE(ui.waitWindow()->isVisible());
        EXPECT_EQ(area.caption(), "Generazione RT_HDORA.TXT");
        EXPECT_TRUE(area.progressBar()->isVisible());
        EXPECT_EQ(area.progressBar()->value(), 40);
        EXPECT_EQ(area.progressBar()->geometry(), QRect(0, 480 - 20, 640, 20));
        ui.Progress(-1);
        EXPECT_FALSE(area.progressBar()->isVisible());
        ui.Progress(100);

        // A message box in the middle of the command is answered with the normal cursor, and
        // its own event loop does not end the command's display.
        driver.then([&](QWidget* modal) {
            duringBox = QGuiApplication::overrideCursor()->shape();
            test::press(modal, QStringLiteral("OK"));
        });
        ui.Message("Esportate 3 righe", ui::Icon::Information);
        EXPECT_TRUE(ui.busy());
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        EXPECT_EQ(area.caption(), "Generazione RT_HDORA.TXT");
        QTimer::singleShot(20, &mainLoop, &QEventLoop::quit);
    });
    mainLoop.exec();
    EXPECT_EQ(duringBox, Qt::ArrowCursor);
    EXPECT_FALSE(ui.busy());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(ui.waitWindow()->isVisible());
    EXPECT_TRUE(area.caption().isEmpty());
    EXPECT_FALSE(area.progressBar()->isVisible());
}

} // namespace
} // namespace tramela::gui
