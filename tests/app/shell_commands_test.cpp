#include "app/shell_commands.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
#include "support/store_fixture.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>

namespace tramela::app {
namespace {

using test::TempDir;
using ui::ScriptedUi;
using workspace::Settings;
using workspace::Workspace;

class ShellCommandsTest : public ::testing::Test {
protected:
    std::filesystem::path settingsPath() const { return dir / "settings.toml"; }

    TempDir dir;
    ScriptedUi ui;
    test::Transcript steps{ui, dir.path()};
};

TEST_F(ShellCommandsTest, ConnectDisconnectAndADatabaseForOneRun) {
    const auto first = test::databaseWithMaster(
        dir, "uno.sqlite", "INSERT INTO master VALUES (0, 7, '2024-01-01', '2024-12-31');");
    const auto second = test::databaseWithMaster(dir, "due.sqlite", "");
    test::writeFile(settingsPath(), "[tramela]\nDatabase = \"\"\n[securesend]\nPthExe = \"x\"\n");
    {
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.LoadSettings();
        ui.answerFile("database", first);
        EXPECT_EQ(Connect(window), ui::Outcome::Done);
        EXPECT_EQ(
            window.title(),
            "Tramela - Azienda 7 - Azienda non definita [periodo dal 01/01/2024 al 31/12/2024]");
        EXPECT_EQ(test::transcript(ui),
                  "file [database] Selezione del Database | *.sqlite .sqlite | Database SQLite "
                  "(*.sqlite) = *.sqlite | Tutti i files (*.*) = * | must exist\n");
        window.Shutdown();
    }
    EXPECT_EQ(test::boundDatabase(settingsPath()), first.string());
    {
        // --db: used for this run, the binding stays.
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.Startup(second);
        EXPECT_EQ(window.databasePath(), second.string());
        window.Shutdown();
    }
    EXPECT_EQ(test::boundDatabase(settingsPath()), first.string());
    {
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.Startup();
        ui.clear();
        ui.answerConfirm("proceed", false);
        EXPECT_EQ(Disconnect(window), ui::Outcome::Cancelled);
        EXPECT_TRUE(window.isConnected());
        ui.answerConfirm("proceed", true);
        EXPECT_EQ(Disconnect(window), ui::Outcome::Done);
        EXPECT_EQ(test::transcript(ui),
                  "confirm Question Sconnessione Database:\nConfermi sconnessione database ?\n"
                  "confirm Question Sconnessione Database:\nConfermi sconnessione database ?\n");
        EXPECT_FALSE(window.isConnected());
        EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
        window.Shutdown();
    }
    EXPECT_EQ(test::boundDatabase(settingsPath()), "");
    Settings settings(settingsPath());
    settings.load();
    EXPECT_EQ(settings.text("securesend", "PthExe"), "x");
}

TEST_F(ShellCommandsTest, DuplicateAndRepairReportFailuresWithTheirPaths) {
    const auto origin = test::databaseWithMaster(dir, "origine.sqlite", "");
    Settings settings(settingsPath());
    Workspace window(ui, settings);

    ui.answerFile("destination", origin);
    ui.answerFile("origin", origin);
    EXPECT_EQ(Duplicate(window), ui::Outcome::Failed);
    steps.step("onto itself");
    ui.answerFile("origin", origin);
    ui.answerFile("destination", dir / "copia.sqlite");
    EXPECT_EQ(Duplicate(window), ui::Outcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir / "copia.sqlite"));

    ui.answerFile("database", dir / "copia.sqlite");
    EXPECT_EQ(Repair(window), ui::Outcome::Done);
    steps.step("duplicated and repaired");
    test::writeFile(dir / "rotto.sqlite", std::string(4096, 'x'));
    ui.answerFile("database", dir / "rotto.sqlite");
    EXPECT_EQ(Repair(window), ui::Outcome::Failed);
    steps.step("repair of a file that is no database");
    EXPECT_GOLDEN(steps.text(), "shell_commands/duplicate_and_repair.txt");
}

TEST_F(ShellCommandsTest, AboutNamesTheSystemTheDatabaseAndTheEngine) {
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    EXPECT_EQ(About(window), ui::Outcome::Done);
    const std::string text = ui.lastMessage()->text;
    EXPECT_EQ(text.rfind("INFORMAZIONI SUL PROGRAMMA\n\n", 0), 0u);
    EXPECT_NE(text.find("Sistema operativo Linux (Rel. "), std::string::npos);
    EXPECT_NE(text.find("\n\nDatabase: Nessuno (SQLite 3."), std::string::npos);
}

} // namespace
} // namespace tramela::app
