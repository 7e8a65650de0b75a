#include "store/cartography.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
#include "support/store_fixture.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>

namespace tramela::workspace {
namespace {

using test::TempDir;
using ui::ScriptedUi;

class WorkspaceTest : public ::testing::Test {
protected:
    std::filesystem::path settingsPath() const { return dir / "settings.toml"; }

    void bind(const std::filesystem::path& database) {
        test::writeFile(settingsPath(), "[tramela]\nDatabase = \"" + database.string() + "\"\n");
    }

    TempDir dir;
    ScriptedUi ui;
};

TEST_F(WorkspaceTest, StartsUnboundWhenTheSettingsNameNoDatabase) {
    test::writeFile(settingsPath(), "[tramela]\n");
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
    EXPECT_FALSE(window.isConnected());
    EXPECT_GOLDEN(test::transcript(ui), "workspace/unbound.txt");
}

TEST_F(WorkspaceTest, UnreadableSettingsGiveTheAnomalyAndAreNeverOverwritten) {
    const std::string broken = "[tramela\nDatabase = \n";
    test::writeFile(settingsPath(), broken);
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    EXPECT_GOLDEN(test::transcript(ui), "workspace/unreadable_settings.txt");
    window.Shutdown();
    EXPECT_EQ(test::readFile(settingsPath()), broken);
}

TEST_F(WorkspaceTest, DeletedDatabaseClearsTheBinding) {
    bind(dir / "sparito.sqlite");
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    EXPECT_EQ(test::transcript(ui),
              "message Stop:\nErrore in fase di apertura del database\n\n"
              "Impossibile aprire il file del database (SQLite: unable to open database file)\n");
    EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
    window.Shutdown();
    EXPECT_EQ(test::boundDatabase(settingsPath()), "");
}

// The title names the company of the header row (codice 0) and its period; without that row,
// or without the header table, the default title and the request to define the company.
TEST_F(WorkspaceTest, TitleFollowsTheCompanyHeader) {
    const std::string header = "INSERT INTO master VALUES (0, 42, '2009-01-01', '2009-12-31');";
    const std::string cases[] = {"",
                                 header,
                                 header + "INSERT INTO regazi VALUES (42, 'Autolinee Valmora   ');",
                                 "INSERT INTO master VALUES (1, 42, '2009-01-01', '2009-12-31');"};
    std::string shown;
    for (std::size_t n = 0; n <= std::size(cases); ++n) {
        ScriptedUi quiet;
        const auto database =
            n < std::size(cases)
                ? test::databaseWithMaster(dir, "azienda" + std::to_string(n) + ".sqlite", cases[n])
                : dir / "carto.sqlite";
        if (n == std::size(cases)) {
            ASSERT_TRUE(store::createCartographyDatabase(quiet, database));
        }
        bind(database);
        ui.clear();
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.Startup();
        EXPECT_TRUE(window.isConnected());
        shown += "## " + (n < std::size(cases) ? cases[n] : "no header table") + "\n" +
                 window.title() + "\n" + test::transcript(ui);
    }
    EXPECT_GOLDEN(shown, "workspace/titles.txt");
}

TEST_F(WorkspaceTest, ProgressBarIsToldOnlyWhenThePercentageChanges) {
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.ShowProgressBar();
    for (int done = 1; done <= 400; ++done) {
        window.SetProgress(done, 400);
    }
    window.HideProgressBar();
    ASSERT_EQ(ui.progressValues().size(), 102u);
    EXPECT_EQ(ui.progressValues()[1], 1);
    EXPECT_EQ(ui.progressValues()[100], 100);
    EXPECT_EQ(ui.progressValues().back(), -1);
}

} // namespace
} // namespace tramela::workspace
