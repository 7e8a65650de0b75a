#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/registers.h"
#include "store/schema_catalogue.h"
#include "store/table_cursor.h"
#include "store/table_definition.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::store {
namespace {

using test::TempDir;
using ui::ScriptedUi;

constexpr std::string_view kDone = "I descrittori del DataBase sono stati aggiornati";
constexpr std::string_view kFailed = "Errore durante l'aggiornamento dei descrittori del DataBase";

class SchemaCatalogueTest : public ::testing::Test {
protected:
    // A cartography database, with whatever the test adds before the command runs.
    void open(const std::string& before = "") {
        ScriptedUi quiet;
        ASSERT_TRUE(createCartographyDatabase(quiet, path()));
        connection = std::make_unique<DatabaseConnection>(ui, path());
        if (!before.empty()) {
            sql(before);
        }
    }

    std::filesystem::path path() const { return dir / "carto.sqlite"; }

    void sql(const std::string& statement) {
        std::string description;
        ASSERT_TRUE(connection->execute(statement, &description)) << description;
    }

    std::string count(const std::string& table) {
        return test::rows(*connection, "SELECT COUNT(*) FROM " + table);
    }

    // The number of rows of tavole, campi, indici, indici2, relaz, relaz2, regent, regazi and
    // reglot.
    std::string counts() {
        return test::rows(*connection,
                          "SELECT (SELECT COUNT(*) FROM tavole), (SELECT COUNT(*) FROM campi),"
                          " (SELECT COUNT(*) FROM indici), (SELECT COUNT(*) FROM indici2),"
                          " (SELECT COUNT(*) FROM relaz), (SELECT COUNT(*) FROM relaz2),"
                          " (SELECT COUNT(*) FROM regent), (SELECT COUNT(*) FROM regazi),"
                          " (SELECT COUNT(*) FROM reglot)");
    }

    // Adds a row through the cursor layer; the message of a refusal is left in ui.
    bool add(const std::string& table,
             const std::vector<std::pair<std::string, std::string>>& fields) {
        TableCursor cursor(connection.get(), table);
        cursor.AddNew();
        for (const auto& [name, text] : fields) {
            cursor.SetField(name, text);
        }
        return cursor.Update();
    }

    TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<DatabaseConnection> connection;
};

TEST_F(SchemaCatalogueTest, CreatesEveryDescribedTableFieldIndexAndRelation) {
    open();
    ASSERT_TRUE(RefreshDescriptors(*connection));
    EXPECT_EQ(test::transcript(ui), "message Information:\n" + std::string(kDone) + "\n");

    for (const CatalogueTable& table : systemTables()) {
        const auto columns = tableColumns(*connection, table.name);
        ASSERT_TRUE(columns) << table.name;
        ASSERT_EQ(columns->size(), table.fields.size()) << table.name;
        for (size_t i = 0; i < table.fields.size(); ++i) {
            const CatalogueField& field = table.fields[i];
            EXPECT_EQ((*columns)[i].name, field.name);
            EXPECT_EQ(static_cast<char>((*columns)[i].type), field.type) << field.name;
            EXPECT_EQ((*columns)[i].size, field.size) << field.name;
            EXPECT_EQ((*columns)[i].required, field.required) << field.name;
        }
        const auto indexes = tableIndexes(*connection, table.name);
        for (const CatalogueIndex& index : table.indexes) {
            const auto found = std::find_if(indexes.begin(), indexes.end(), [&](const auto& i) {
                return i.name == index.name;
            });
            ASSERT_NE(found, indexes.end()) << table.name << "." << index.name;
            EXPECT_EQ(found->primary, index.primary);
            EXPECT_EQ(found->fields,
                      std::vector<std::string>(index.fields.begin(), index.fields.end()));
        }
    }
    EXPECT_EQ(counts(), "12|59|13|19|16|17|304|210|23\n");

    // The catalogue rows read back as written.
    TableCursor fields(connection.get(), "campi");
    ASSERT_TRUE(fields.SelectIndex("codice"));
    ASSERT_TRUE(fields.Seek({"period", "escluso"}));
    std::string text;
    fields.GetFieldDisplayText("note", text);
    EXPECT_EQ(text,
              "VERO indica un periodo di validità esclusa; FALSO indica un periodo di "
              "validità attiva");
    fields.GetFieldDisplayText("obblig", text);
    EXPECT_EQ(text, "1");

    TableCursor authorities(connection.get(), "regent");
    authorities.SelectIndex("codice");
    ASSERT_TRUE(authorities.Seek({"1"}));
    authorities.GetFieldDisplayText("denom", text);
    EXPECT_EQ(text, "Regione Valmora");
}

TEST_F(SchemaCatalogueTest, RelationsAreEnforcedBothWays) {
    open();
    ASSERT_TRUE(RefreshDescriptors(*connection));
    ui.clear();

    ASSERT_TRUE(add("cadenz", {{"codice", "FER"}, {"denom", "Feriale"}}));
    ASSERT_TRUE(add("cadenz", {{"codice", "FES"}, {"denom", "Festivo"}}));
    ASSERT_TRUE(
        add("calend", {{"data", "01/03/2024"}, {"caden", "FER"}, {"giorno", "5"}, {"note", "-"}}));
    // Another cadence on the same day is a second row; the same pair is refused, and so are a
    // row without its cadence, the deletion or renaming of a cadence in use, and a link to a
    // standard line that does not exist (a relation on several fields).
    EXPECT_TRUE(
        add("calend", {{"data", "01/03/2024"}, {"caden", "FES"}, {"giorno", "5"}, {"note", "-"}}));
    EXPECT_FALSE(
        add("calend", {{"data", "01/03/2024"}, {"caden", "FER"}, {"giorno", "5"}, {"note", "-"}}));
    EXPECT_FALSE(
        add("calend", {{"data", "02/03/2024"}, {"caden", "XXX"}, {"giorno", "6"}, {"note", "-"}}));
    TableCursor cadences(connection.get(), "cadenz");
    cadences.SelectIndex("codice");
    ASSERT_TRUE(cadences.Seek({"FES"}));
    EXPECT_FALSE(cadences.Delete());
    ASSERT_TRUE(cadences.Edit());
    cadences.SetField("codice", "FES2");
    EXPECT_FALSE(cadences.Update());
    ASSERT_TRUE(add("reglinee", {{"lotto", "3"}, {"id", "1"}, {"ente", "2"}, {"sigla", "L1"}}));
    EXPECT_TRUE(add("reglklin", {{"codlinea", "1"}, {"lotto", "3"}, {"id", "1"}}));
    EXPECT_FALSE(add("reglklin", {{"codlinea", "2"}, {"lotto", "4"}, {"id", "1"}}));
    EXPECT_EQ(count("cadenz") + count("calend") + count("reglklin"), "2\n2\n1\n");
    EXPECT_GOLDEN(test::transcript(ui), "schema_catalogue/relations.txt");
}

TEST_F(SchemaCatalogueTest, RunningAgainCreatesNothingAndEditsTheRegisters) {
    open();
    ASSERT_TRUE(RefreshDescriptors(*connection));
    sql("UPDATE regent SET denom = 'Nome cambiato' WHERE codice = 1");
    const auto before = counts();
    ui.clear();

    ASSERT_TRUE(RefreshDescriptors(*connection));
    EXPECT_EQ(counts(), before);
    TableCursor authorities(connection.get(), "regent");
    authorities.SelectIndex("codice");
    ASSERT_TRUE(authorities.Seek({"1"}));
    std::string name;
    authorities.GetFieldDisplayText("denom", name);
    EXPECT_EQ(name, "Regione Valmora");

    // A catalogue row that differs from the system's is still refused by the catalogue.
    sql("UPDATE campi SET denom = 'Altro' WHERE tavola = 'master' AND nome = 'codice'");
    ASSERT_TRUE(RefreshDescriptors(*connection));
    EXPECT_GOLDEN(test::transcript(ui), "schema_catalogue/running_again.txt");
}

TEST_F(SchemaCatalogueTest, MissingFieldsAndCatalogueRowsAddedByHandAreBuilt) {
    // An older corse without "mezzo", holding a trip whose references exist.
    open("CREATE TABLE corse (id INTEGER NOT NULL, codcorsa TEXT(20) NOT NULL, "
         "codlinea TEXT(10) NOT NULL, verso TEXT(1) NOT NULL, parte SMALLINT NOT NULL, "
         "ente SMALLINT NOT NULL, lung DOUBLE NOT NULL, tempo SMALLINT NOT NULL, "
         "ct_lung DOUBLE NOT NULL, ct_tempo SMALLINT NOT NULL, id_perc INTEGER NOT NULL, "
         "standard INTEGER NOT NULL, prevcor INTEGER, nextcor INTEGER);"
         "CREATE UNIQUE INDEX corse__codice ON corse (id);"
         "CREATE TABLE regent (codice SMALLINT NOT NULL, denom TEXT(40) NOT NULL);"
         "CREATE UNIQUE INDEX regent__codice ON regent (codice);"
         "CREATE TABLE tesstd (id INTEGER NOT NULL, id_perc INTEGER NOT NULL);"
         "CREATE UNIQUE INDEX tesstd__codice ON tesstd (id);"
         "INSERT INTO regent VALUES (5, 'Ente');"
         "INSERT INTO itiner (ID, codperc) VALUES (1, 'P1');"
         "INSERT INTO tesstd VALUES (1, 1);"
         "INSERT INTO corse VALUES (1, 'C1', 'L1', 'A', 735, 5, 1000, 20, 1000, 20, 1, 1, NULL, "
         "NULL);");
    ASSERT_TRUE(RefreshDescriptors(*connection)) << ui.messageTexts()[0];
    const auto columns = tableColumns(*connection, "corse");
    const ColumnInfo* vehicle = findColumn(*columns, "mezzo");
    ASSERT_NE(vehicle, nullptr);
    EXPECT_EQ(vehicle->type, FieldType::Text);
    EXPECT_EQ(vehicle->size, 1);
    EXPECT_FALSE(vehicle->required);
    EXPECT_EQ(count("corse"), "1\n");

    ASSERT_TRUE(add(
        "campi",
        {{"tavola", "corse"}, {"nome", "nota"}, {"tipo", "A"}, {"size", "30"}, {"obblig", "0"}}));
    ASSERT_TRUE(add("indici", {{"tavola", "corse"}, {"nome", "linea"}, {"primkey", "0"}}));
    ASSERT_TRUE(add("indici2",
                    {{"tavola", "corse"}, {"nome", "linea"}, {"progr", "1"}, {"campo", "verso"}}));
    ASSERT_TRUE(
        add("indici2",
            {{"tavola", "corse"}, {"nome", "linea"}, {"progr", "0"}, {"campo", "codlinea"}}));
    ui.clear();
    ASSERT_TRUE(RefreshDescriptors(*connection));
    EXPECT_NE(findColumn(*tableColumns(*connection, "corse"), "nota"), nullptr);
    const auto indexes = tableIndexes(*connection, "corse");
    const auto line = std::find_if(
        indexes.begin(), indexes.end(), [](const auto& i) { return i.name == "linea"; });
    ASSERT_NE(line, indexes.end());
    EXPECT_EQ(line->fields, (std::vector<std::string>{"codlinea", "verso"}));
}

TEST_F(SchemaCatalogueTest, ADatabaseOfAnotherKindGetsTheRelationFailuresAndNoRegisters) {
    // Only the catalogue and the companies: no routes, no stops.
    ScriptedUi quiet;
    {
        sqlite3* db = nullptr;
        sqlite3_open(path().c_str(), &db);
        std::string script;
        for (const TableDefinition& table : catalogueTables()) {
            script += createTableScript(table);
        }
        script += createTableScript(cartographyTables()[0]);
        ASSERT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    connection = std::make_unique<DatabaseConnection>(ui, path());
    EXPECT_FALSE(RefreshDescriptors(*connection));
    EXPECT_GOLDEN(test::transcript(ui), "schema_catalogue/another_kind.txt");
    EXPECT_EQ(count("regent") + count("regazi"), "0\n0\n");

    // Without even a catalogue nothing is built.
    ui.clear();
    sqlite3* db = nullptr;
    sqlite3_open((dir / "vuoto.sqlite").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE altro (x INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    DatabaseConnection empty(ui, dir / "vuoto.sqlite");
    EXPECT_FALSE(RefreshDescriptors(empty));
    EXPECT_EQ(ui.messageTexts().back(), kFailed);
    EXPECT_FALSE(empty.tableExists("master"));
}

TEST(Registers, CarryEveryCodeOnceWithNamesThatFitTheirColumns) {
    const std::pair<const std::vector<RegisterEntry>*, size_t> registers[] = {
        {&authorityRegister(), 304}, {&companyRegister(), 210}, {&lotRegister(), 23}};
    for (const auto& [entries, size] : registers) {
        ASSERT_EQ(entries->size(), size);
        for (size_t code = 0; code < size; ++code) {
            EXPECT_EQ((*entries)[code].code, static_cast<int>(code));
            EXPECT_LE(utf8Length((*entries)[code].name).value_or(99), 40u) << (*entries)[code].name;
        }
    }
}

} // namespace
} // namespace tramela::store
