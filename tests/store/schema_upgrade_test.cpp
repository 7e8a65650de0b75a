#include "store/cartography.h"
#include "store/relations.h"
#include "store/schema_catalogue.h"
#include "store/schema_upgrade.h"
#include "store/table_cursor.h"
#include "store/table_definition.h"
#include "store/timetable_clearing.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::store {
namespace {

using test::TempDir;
using ui::ScriptedUi;

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

    std::string count(const std::string& table) {
        return test::rows(*connection, "SELECT COUNT(*) FROM " + table);
    }

    TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<DatabaseConnection> connection;
    test::Transcript steps{ui, {}};
};

TEST_F(MaintenanceTest, UpgradeCreatesItsOwnStructureOnceAndCreateTablesKeepsIt) {
    open({"regent", "reglot"});
    UpgradeXmlLevel1(*connection);
    steps.step("upgrade");
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
    EXPECT_EQ(count("regent"), "304\n");

    TableCursor standard(connection.get(), "reglklin");
    standard.AddNew();
    standard.SetField("codlinea", "L1");
    standard.SetField("lotto", "1");
    standard.SetField("id", "9");
    EXPECT_FALSE(standard.Update());
    steps.step("a link without its standard line");
    UpgradeXmlLevel1(*connection);
    steps.step("upgrade again");
    EXPECT_GOLDEN(steps.text(), "schema_upgrade/upgrade.txt");

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
    EXPECT_GOLDEN(test::transcript(ui), "schema_upgrade/partial.txt");
    EXPECT_FALSE(connection->tableExists("reglklin"));
    EXPECT_EQ(count("regent"), "0\n");
}

TEST_F(MaintenanceTest, UpgradeFailureIsReportedWithItsStep) {
    open({});
    UpgradeXmlLevel1(*connection);
    steps.step("no register of lots");
    EXPECT_TRUE(connection->tableExists("reglklin"));
    UpgradeXmlLevel1(*connection);
    steps.step("again");
    EXPECT_GOLDEN(steps.text(), "schema_upgrade/failure.txt");
}

class ClearingTest : public MaintenanceTest {
protected:
    void SetUp() override {
        open({});
        ASSERT_TRUE(RefreshDescriptors(*connection));
        ui.clear();
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
    steps.step("cleared");
    EXPECT_EQ(count("cadenz") + count("calend") + count("tesstd") + count("detstd") +
                  count("corse") + count("period") + count("extcod"),
              "0\n0\n0\n0\n0\n0\n0\n");
    EXPECT_EQ(count("master") + count("reglinee") + count("regent") + count("fermate"),
              "1\n1\n304\n2\n");
    ui.answerConfirm("proceed", true);
    ClearTimetableTables(*connection);
    steps.step("cleared again");
    EXPECT_GOLDEN(steps.text(), "schema_upgrade/clearing.txt");
}

TEST_F(ClearingTest, CancelChangesNothingAndAReferencedRowStays) {
    fill();
    ui.answerConfirm("proceed", false);
    ClearTimetableTables(*connection);
    steps.step("cancelled");
    EXPECT_EQ(count("corse"), "1\n");

    // Another product's table still refers to one cadence.
    sql("CREATE TABLE turni (caden TEXT(10)); INSERT INTO turni VALUES ('FES');");
    ASSERT_EQ(
        createRelation(*connection, {"turni_caden", "cadenz", "turni", {{"codice", "caden"}}}),
        std::nullopt);
    ui.answerConfirm("proceed", true);
    ClearTimetableTables(*connection);
    steps.step("a cadence referred to");
    EXPECT_EQ(count("cadenz"), "1\n");
    EXPECT_GOLDEN(steps.text(), "schema_upgrade/referenced_row.txt");
}

} // namespace
} // namespace tramela::store
