#include "store/cartography.h"
#include "support/store_fixture.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>

namespace tramela::workspace {
namespace {

using test::TempDir;
using ui::Icon;
using ui::ScriptedUi;

constexpr std::string_view kAnomaly = "ATTENZIONE: è stata riscontrata una anomalia grave\n"
                                      "che rende impossibile il corretto funzionamento di\n"
                                      "questo programma.\n\n"
                                      "Ipotesi A) Il prodotto non è stato installato nella\n"
                                      "           maniera corretta, utilizzando Setup.\n\n"
                                      "Ipotesi B) Il registro di configurazione di Windows\n"
                                      "           si è corrotto e deve essere ripristinato.\n\n";
constexpr std::string_view kNotBound =
    "L'applicazione Tramela non è associata ad un database.\n\n"
    "Prima di iniziare ad operare con Tramela è necessario\n"
    "associare un database già esistente di Cartovia e VkzNuvo.\n\n";
constexpr std::string_view kNoCompany = "Non è ancora stata definita l'Azienda di lavoro !!!\n\n"
                                        "Prima di procedere a qualunque altra operazione\n"
                                        "è necessario definire l'Azienda";

class WorkspaceTest : public ::testing::Test {
protected:
    std::filesystem::path settingsPath() const { return dir / "settings.toml"; }

    void bind(const std::filesystem::path& database) {
        test::writeFile(settingsPath(), "[tramela]\nDatabase = \"" + database.string() + "\"\n");
    }

    std::string boundPath() {
        Settings settings(settingsPath());
        settings.load();
        return settings.databasePath();
    }

    TempDir dir;
    ScriptedUi ui;
};

TEST_F(WorkspaceTest, StartsUnboundWhenTheSettingsNameNoDatabase) {
    test::writeFile(settingsPath(), "[tramela]\n");
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    EXPECT_EQ(
        ui.messages(),
        (std::vector<ScriptedUi::ShownMessage>{{std::string(kNotBound), Icon::Information, ""}}));
    EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
    EXPECT_FALSE(window.isConnected());
}

TEST_F(WorkspaceTest, UnreadableSettingsGiveTheAnomalyAndAreNeverOverwritten) {
    const std::string broken = "[tramela\nDatabase = \n";
    test::writeFile(settingsPath(), broken);
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{std::string(kAnomaly), std::string(kNotBound)}));
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    window.Shutdown();
    EXPECT_EQ(test::readFile(settingsPath()), broken);
}

TEST_F(WorkspaceTest, DeletedDatabaseClearsTheBinding) {
    bind(dir / "sparito.sqlite");
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text,
              "Errore in fase di apertura del database\n\n"
              "Impossibile aprire il file del database (SQLite: unable to open database file)");
    EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
    window.Shutdown();
    EXPECT_EQ(boundPath(), "");
}

TEST_F(WorkspaceTest, TitleFollowsTheCompanyHeader) {
    struct Case {
        std::string sql;
        std::vector<std::string> messages;
        std::string title;
    };

    const std::vector<Case> cases = {
        {"", {std::string(kNoCompany)}, std::string(Workspace::kDefaultTitle)},
        {"INSERT INTO master VALUES (0, 42, '2009-01-01', '2009-12-31');",
         {},
         "Tramela - Azienda 42 - Azienda non definita [periodo dal 01/01/2009 al 31/12/2009]"},
        {"INSERT INTO master VALUES (0, 42, '2009-01-01', '2009-12-31');"
         "INSERT INTO regazi VALUES (42, 'Autolinee Valmora   ');",
         {},
         "Tramela - Azienda 42 - Autolinee Valmora [periodo dal 01/01/2009 al 31/12/2009]"},
        {"INSERT INTO master VALUES (1, 42, '2009-01-01', '2009-12-31');",
         {std::string(kNoCompany)},
         std::string(Workspace::kDefaultTitle)},
    };
    int n = 0;
    for (const Case& c : cases) {
        const auto database =
            test::databaseWithMaster(dir, "azienda" + std::to_string(n++) + ".sqlite", c.sql);
        bind(database);
        ui.clear();
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.Startup();
        EXPECT_TRUE(window.isConnected());
        EXPECT_EQ(ui.messageTexts(), c.messages) << c.sql;
        EXPECT_EQ(window.title(), c.title);
    }
}

TEST_F(WorkspaceTest, DatabaseWithoutCompanyTableStaysOpen) {
    ScriptedUi quiet;
    ASSERT_TRUE(store::createCartographyDatabase(quiet, dir / "carto.sqlite"));
    bind(dir / "carto.sqlite");
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.Startup();
    EXPECT_TRUE(window.isConnected());
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kNoCompany)});
    EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
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
