#include "store/cartography.h"
#include "store/relations.h"
#include "store/schema_catalogue.h"
#include "store/schema_upgrade.h"
#include "store/table_cursor.h"
#include "store/table_definition.h"
#include "store/timetable_clearing.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::store {
namespace {

using test::TempDir;
using ui::Icon;
using ui::ScriptedUi;

constexpr std::string_view kUpgraded =
    "Le strutture necessarie per l'upgrade della gestione di XML Level 1\n"
    "sono state correttamente inizializzate";
constexpr std::string_view kPresent =
    "Le strutture necessarie per l'upgrade della gestione di XML Level 1\n"
    "risultano già presenti all'interno del DB correntemente in uso";
constexpr std::string_view kAnomaly =
    "La struttura dal DB correntemente in uso presenta gravi anomalie.\n\n"
    "Presumibilmente si tratta di un DB corrotto, oppure di un DB non-Tramela\n"
    "quindi non è possibile procedere oltre\n";

class MaintenanceTest : public ::testing::Test {
protected:
    // A cartography database holding the system's tables named, built from their descriptions.
    void open(const std::vector<std::string_view>& tables) {
        ScriptedUi quiet;
        ASSERT_TRUE(createCartographyDatabase(quiet, dir / "db.sqlite"));
        connection = std::make_unique<DatabaseConnection>(ui, dir / "db.sqlite");
        for (std::string_view name : tables) {
            sql(createTableScript(tableDefinition(*findSystemTable(name))));
        }
    }

    void sql(const std::string& statement) {
        std::string description;
        ASSERT_TRUE(connection->execute(statement, &description)) << description;
    }

    long count(const std::string& table) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(
            connection->handle(), ("SELECT COUNT(*) FROM " + table).c_str(), -1, &stmt, nullptr);
        sqlite3_step(stmt);
        const long n = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return n;
    }

    TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<DatabaseConnection> connection;
};

TEST_F(MaintenanceTest, UpgradeCreatesItsOwnStructureOnceAndCreateTablesKeepsIt) {
    open({"regent", "reglot"});
    UpgradeXmlLevel1(*connection);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kUpgraded)});
    const auto lines = tableColumns(*connection, "reglinee");
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 6u);
    EXPECT_TRUE((*lines)[4].required) << "denom is required in the upgrade's structure";
    const auto links = tableIndexes(*connection, "reglklin");
    const auto key = std::find_if(
        links.begin(), links.end(), [](const IndexDefinition& i) { return i.name == "codice"; });
    ASSERT_NE(key, links.end());
    EXPECT_TRUE(key->primary);
    EXPECT_EQ(key->fields, (std::vector<std::string>{"codlinea", "lotto", "id"}));
    EXPECT_EQ(count("regent"), 304);

    TableCursor standard(connection.get(), "reglklin");
    standard.AddNew();
    standard.SetField("codlinea", "L1");
    standard.SetField("lotto", "1");
    standard.SetField("id", "9");
    EXPECT_FALSE(standard.Update());
    EXPECT_NE(ui.lastMessage()->text.find("(relazione 'lklinee_linee')"), std::string::npos);

    ui.clear();
    UpgradeXmlLevel1(*connection);
    EXPECT_EQ(
        ui.messages(),
        (std::vector<ScriptedUi::ShownMessage>{{std::string(kPresent), Icon::Information, ""}}));

    // The catalogue's command later adds only the index "linea".
    ui.clear();
    ASSERT_TRUE(RefreshDescriptors(*connection)) << ui.messageTexts()[0];
    EXPECT_TRUE((*tableColumns(*connection, "reglinee"))[4].required);
    bool hasLineIndex = false;
    for (const IndexDefinition& index : tableIndexes(*connection, "reglklin")) {
        if (index.name == "codice") {
            EXPECT_EQ(index.fields, (std::vector<std::string>{"codlinea", "lotto", "id"}));
        }
        hasLineIndex = hasLineIndex || index.name == "linea";
    }
    EXPECT_TRUE(hasLineIndex);
}

TEST_F(MaintenanceTest, UpgradeRefusesAPartialStructureAndChangesNothing) {
    open({"regent", "reglot"});
    sql("CREATE TABLE reglinee (lotto SMALLINT NOT NULL, id SMALLINT NOT NULL, ente SMALLINT NOT "
        "NULL, sigla TEXT(20) NOT NULL, denom TEXT(40) NOT NULL, itiner TEXT(120) NOT NULL)");
    UpgradeXmlLevel1(*connection);
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{{std::string(kAnomaly), Icon::Stop, ""}}));
    EXPECT_FALSE(connection->tableExists("reglklin"));
    EXPECT_EQ(count("regent"), 0);
}

TEST_F(MaintenanceTest, UpgradeFailureIsReportedWithItsStep) {
    open({});
    UpgradeXmlLevel1(*connection);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text,
              "Errore creazione relazione \"linee_lotti\"\n\n"
              "La tavola primaria 'reglot' non esiste\n\n"
              "L'upgrade non può essere completato ... sorry ...");
    EXPECT_TRUE(connection->tableExists("reglklin"));
    ui.clear();
    UpgradeXmlLevel1(*connection);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kPresent)});
}

class ClearingTest : public MaintenanceTest {
protected:
    void SetUp() override {
        open({});
        ASSERT_TRUE(RefreshDescriptors(*connection));
        ui.clear();
    }

    std::string report(const std::vector<std::pair<long, long>>& counts) {
        const char* labels[] = {"Cadenze",
                                "Calendari",
                                "Corse Standard",
                                "Dettagli Corse Standard",
                                "Corse",
                                "Periodi Validità",
                                "Codifiche Estese"};
        std::string text = "Risultati dell'azzeramento delle tavole di Tramela:\n\n";
        for (size_t i = 0; i < counts.size(); ++i) {
            text += "Righe eliminate: " + std::to_string(counts[i].first) + " di " +
                    std::to_string(counts[i].second) + " [" + labels[i] + "]\n";
        }
        return text;
    }

    void fill() {
        sql("INSERT INTO master VALUES (0, 42, NULL, NULL, NULL, '2024-01-01', '2024-12-31');"
            "INSERT INTO reglinee VALUES (1, 1, 1, 'L1', NULL, NULL);"
            "INSERT INTO fermate (ID) VALUES (10), (11);"
            "INSERT INTO itiner (ID) VALUES (1);"
            "INSERT INTO cadenz VALUES ('FER', 'Feriale'), ('FES', 'Festivo');"
            "INSERT INTO calend VALUES ('2024-03-01', 'FER', '5', ''),"
            " ('2024-03-02', 'FER', '6', ''), ('2024-03-03', 'FES', '7', 'Domenica');"
            "INSERT INTO tesstd VALUES (1, 1);"
            "INSERT INTO detstd VALUES (1, 0, 10, 0, 0, 0, 0), (1, 1, 11, 5, 5, 0, 0);"
            "INSERT INTO corse VALUES (7, 'C7', 'L1', 'A', 735, 1, 1000, 5, 1000, 5, 1, 1, 'U', "
            "NULL, NULL);"
            "INSERT INTO period VALUES (7, 'FER', '2024-01-01', '2024-06-30', 0),"
            " (7, 'FES', '1600-01-01', '2400-12-31', 1);"
            "INSERT INTO extcod VALUES (7, 1, 42, 42);");
    }
};

TEST_F(ClearingTest, EmptiesTheTimetableTablesAndLeavesTheRest) {
    fill();
    ui.answerConfirm("proceed", true);
    ClearTimetableTables(*connection);
    EXPECT_EQ(
        ui.messageTexts(),
        std::vector<std::string>{report({{2, 2}, {3, 3}, {1, 1}, {2, 2}, {1, 1}, {2, 2}, {1, 1}})});
    for (const char* table :
         {"cadenz", "calend", "tesstd", "detstd", "corse", "period", "extcod"}) {
        EXPECT_EQ(count(table), 0) << table;
    }
    EXPECT_EQ(count("master"), 1);
    EXPECT_EQ(count("reglinee"), 1);
    EXPECT_EQ(count("regent"), 304);
    EXPECT_EQ(count("fermate"), 2);

    ui.clear();
    ui.answerConfirm("proceed", true);
    ClearTimetableTables(*connection);
    EXPECT_EQ(
        ui.messageTexts(),
        std::vector<std::string>{report({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}})});
}

TEST_F(ClearingTest, CancelChangesNothingAndAReferencedRowStays) {
    fill();
    ui.answerConfirm("proceed", false);
    ClearTimetableTables(*connection);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(count("corse"), 1);

    // Another product's table still refers to one cadence.
    sql("CREATE TABLE turni (caden TEXT(10)); INSERT INTO turni VALUES ('FES');");
    ASSERT_EQ(
        createRelation(*connection, {"turni_caden", "cadenz", "turni", {{"codice", "caden"}}}),
        std::nullopt);
    ui.answerConfirm("proceed", true);
    ClearTimetableTables(*connection);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0].text,
              "Errore eliminazione tavola (cadenz)\n\nImpossibile eliminare o modificare il "
              "record: la tavola 'turni' contiene record correlati (relazione 'turni_caden')");
    EXPECT_EQ(ui.messages()[1].text,
              report({{1, 2}, {3, 3}, {1, 1}, {2, 2}, {1, 1}, {2, 2}, {1, 1}}));
    EXPECT_EQ(count("cadenz"), 1);
}

} // namespace
} // namespace tramela::store
