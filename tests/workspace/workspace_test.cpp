#include "store/cartography.h"
#include "store/table_definition.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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

// A cartography database with a company header table, as the tests need it.
std::filesystem::path makeDatabase(const TempDir& dir, std::string_view name, std::string sql) {
    const auto path = dir / name;
    ScriptedUi ui;
    EXPECT_TRUE(store::createCartographyDatabase(ui, path));
    using enum store::FieldType;
    const store::TableDefinition master{"master",
                                        {{"codice", Short, 0, true},
                                         {"azienda", Short, 0, true},
                                         {"datini", Date, 0, true},
                                         {"datfin", Date, 0, true}},
                                        {{"codice", true, {"codice"}}}};
    sql = store::createTableScript(master) + sql;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
    return path;
}

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
        const auto database = makeDatabase(dir, "azienda" + std::to_string(n++) + ".sqlite", c.sql);
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

TEST_F(WorkspaceTest, ConnectDisconnectAndADatabaseForOneRun) {
    const auto first = makeDatabase(
        dir, "uno.sqlite", "INSERT INTO master VALUES (0, 7, '2024-01-01', '2024-12-31');");
    const auto second = makeDatabase(dir, "due.sqlite", "");
    test::writeFile(settingsPath(), "[tramela]\nDatabase = \"\"\n[securesend]\nPthExe = \"x\"\n");
    {
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.LoadSettings();
        ui.queueOpenFile(first);
        window.Connect();
        EXPECT_EQ(
            window.title(),
            "Tramela - Azienda 7 - Azienda non definita [periodo dal 01/01/2024 al 31/12/2024]");
        EXPECT_EQ(ui.fileDialogs().back().title, "Selezione del Database");
        EXPECT_TRUE(ui.fileDialogs().back().mustExist);
        window.Shutdown();
    }
    EXPECT_EQ(boundPath(), first.string());
    {
        // --db: used for this run, the binding stays.
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.Startup(second);
        EXPECT_EQ(window.databasePath(), second.string());
        window.Shutdown();
    }
    EXPECT_EQ(boundPath(), first.string());
    {
        Settings settings(settingsPath());
        Workspace window(ui, settings);
        window.Startup();
        ui.clear();
        ui.queueConfirm(false);
        window.Disconnect();
        EXPECT_TRUE(window.isConnected());
        ui.queueConfirm(true);
        window.Disconnect();
        EXPECT_EQ(ui.confirmations().back(),
                  (ScriptedUi::ShownMessage{"Confermi sconnessione database ?",
                                            Icon::Question,
                                            "Sconnessione Database"}));
        EXPECT_FALSE(window.isConnected());
        EXPECT_EQ(window.title(), Workspace::kDefaultTitle);
        window.Shutdown();
    }
    EXPECT_EQ(boundPath(), "");
    Settings settings(settingsPath());
    settings.load();
    EXPECT_EQ(settings.text("securesend", "PthExe"), "x");
}

TEST_F(WorkspaceTest, DuplicateAndRepairReportFailuresWithTheirPaths) {
    const auto origin = makeDatabase(dir, "origine.sqlite", "");
    Settings settings(settingsPath());
    Workspace window(ui, settings);

    ui.queueOpenFile(origin);
    ui.queueSaveFile(origin);
    window.Duplicate();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0],
              (ScriptedUi::ShownMessage{
                  "Errore durante la duplicazione del database\n\n" + origin.string() + "\n" +
                      origin.string() +
                      "\n\nIl file di destinazione esiste già (SQLite: output file already exists)",
                  Icon::Exclamation,
                  "Duplicazione database"}));
    EXPECT_EQ(ui.dialogs(),
              (std::vector<std::string>{"Selezione del Database di origine",
                                        "Selezione del Database di destinazione"}));

    ui.clear();
    ui.queueOpenFile(origin);
    ui.queueSaveFile(dir / "copia.sqlite");
    window.Duplicate();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(std::filesystem::exists(dir / "copia.sqlite"));

    ui.queueOpenFile(dir / "copia.sqlite");
    window.Repair();
    EXPECT_TRUE(ui.messages().empty());
    test::writeFile(dir / "rotto.sqlite", std::string(4096, 'x'));
    ui.queueOpenFile(dir / "rotto.sqlite");
    window.Repair();
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Errore durante la riparazione del database\n\n" +
                                            (dir / "rotto.sqlite").string() +
                                            "\n\nIl file non è un database (SQLite: file is not a "
                                            "database)",
                                        Icon::Exclamation,
                                        "Riparazione database"}));
}

TEST_F(WorkspaceTest, AboutNamesTheSystemTheDatabaseAndTheEngine) {
    Settings settings(settingsPath());
    Workspace window(ui, settings);
    window.About();
    const std::string text = ui.lastMessage()->text;
    EXPECT_EQ(text.rfind("INFORMAZIONI SUL PROGRAMMA\n\n", 0), 0u);
    EXPECT_NE(text.find("Sistema operativo Linux (Rel. "), std::string::npos);
    EXPECT_NE(text.find("\n\nDatabase: Nessuno (SQLite 3."), std::string::npos);
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
