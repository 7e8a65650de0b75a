#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/database_file.h"
#include "store/table_cursor.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/store_fixture.h"

#include <gtest/gtest.h>

namespace tramela::store {
namespace {

using test::StoreFixture;
using test::TempDir;
using ui::Icon;
using ui::ScriptedUi;

TEST(DatabaseConnection, FilesThatCannotBeOpenedAreRefusedWithTheirReason) {
    TempDir dir;
    ScriptedUi ui;
    test::writeFile(dir / "testo.sqlite", "questo non è un database, ma un semplice testo\n");
    test::writeFile(dir / "sola-lettura.sqlite", "");
    test::writeFile(dir / "vuoto.sqlite", "");
    std::filesystem::permissions(dir / "sola-lettura.sqlite", std::filesystem::perms::owner_read);

    test::Transcript steps(ui, dir.path());
    for (const char* name : {"assente.sqlite",
                             "cartella/assente.sqlite",
                             "testo.sqlite",
                             "sola-lettura.sqlite",
                             "vuoto.sqlite"}) {
        DatabaseConnection connection(ui, dir / name);
        EXPECT_FALSE(connection.IsOpen()) << name;
        steps.step(name);
    }
    EXPECT_GOLDEN(steps.text(), "database_connection/unopened.txt");
    EXPECT_EQ(std::filesystem::file_size(dir / "vuoto.sqlite"), 0u) << "never made a database";
    EXPECT_FALSE(std::filesystem::exists(dir / "assente.sqlite"));
    EXPECT_EQ(test::readFile(dir / "testo.sqlite"),
              "questo non è un database, ma un semplice testo\n");
}

// Nesting and rolling back are the transaction guard's tests.
TEST(DatabaseConnection, ACommitWithoutTransactionIsShownAndClosingDropsAnOpenOne) {
    StoreFixture db({test::allTypesTable()});
    DatabaseConnection& connection = db.connection();
    db.sql("INSERT INTO prova (codice) VALUES (1)");
    connection.CommitTrans();
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore in fase di convalida della transazione\n\n"
              "Nessuna transazione attiva (SQLite: cannot commit - no transaction is active)");

    // Closing in the middle of a transaction drops what it wrote.
    connection.BeginTrans();
    db.sql("DELETE FROM prova");
    connection.Close();
    ScriptedUi ui;
    DatabaseConnection reopened(ui, db.path());
    TableCursor cursor(&reopened, "prova");
    cursor.SelectIndex("codice");
    EXPECT_TRUE(cursor.Seek({"1"}));
}

TEST(DatabaseConnection, NewDatabaseHoldsTheCartographyTablesAndNeverOverwrites) {
    TempDir dir;
    ScriptedUi ui;
    const auto path = dir / "carto.sqlite";
    ASSERT_TRUE(createCartographyDatabase(ui, path));
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Information);
    {
        DatabaseConnection connection(ui, path);
        for (const std::string& table :
             test::words("regazi fermate itiner fermitin geoitin local comuni tavole campi indici "
                         "indici2 relaz relaz2")) {
            TableCursor cursor(&connection, table);
            EXPECT_TRUE(cursor.IsOpen()) << table;
            EXPECT_TRUE(cursor.SelectIndex("codice")) << table;
        }
        TableCursor stops(&connection, "fermate");
        const auto& columns = stops.columns();
        ASSERT_EQ(columns.size(), 7u);
        EXPECT_EQ(columns[1].name, "fermata");
        EXPECT_EQ(columns[1].type, FieldType::Text);
        EXPECT_EQ(columns[1].size, 10);
        EXPECT_EQ(columns[4].type, FieldType::Double);

        // The catalogue keeps one row per field.
        TableCursor fields(&connection, "campi");
        for (int i = 0; i < 2; ++i) {
            fields.AddNew();
            fields.SetField("tavola", "corse");
            fields.SetField("nome", "mezzo");
            fields.SetField("tipo", "A");
            EXPECT_EQ(fields.Update(), i == 0);
        }
    }
    ui.clear();
    test::writeFile(dir / "esistente.sqlite", "dati preziosi");
    EXPECT_FALSE(createCartographyDatabase(ui, dir / "esistente.sqlite"));
    EXPECT_EQ(ui.lastMessage()->text,
              "Errore durante la creazione del database\n\n" + (dir / "esistente.sqlite").string() +
                  "\n\nIl file esiste già: un database esistente non viene mai sovrascritto");
    EXPECT_EQ(test::readFile(dir / "esistente.sqlite"), "dati preziosi");
    EXPECT_FALSE(createCartographyDatabase(ui, dir / "manca" / "x.sqlite"));
}

TEST(DatabaseFile, DuplicateRefusesAnExistingDestinationAndRepairChecksTheFile) {
    StoreFixture db({test::allTypesTable()});
    db.sql("INSERT INTO prova (codice, nome) VALUES (1, 'Alfa')");
    const auto copy = db.dir() / "copia.sqlite";
    EXPECT_EQ(duplicateDatabase(db.path(), copy), std::nullopt);
    {
        ScriptedUi ui;
        DatabaseConnection connection(ui, copy);
        TableCursor cursor(&connection, "prova");
        cursor.SelectIndex("codice");
        ASSERT_TRUE(cursor.Seek({"1"}));
    }
    EXPECT_EQ(duplicateDatabase(db.path(), copy),
              "Il file di destinazione esiste già (SQLite: output file already exists)");
    EXPECT_EQ(duplicateDatabase(db.path(), db.path()),
              "Il file di destinazione esiste già (SQLite: output file already exists)");

    EXPECT_EQ(repairDatabase(copy), std::nullopt);
    test::writeFile(db.dir() / "testo.sqlite", "nessun database qui, solo testo senza struttura");
    EXPECT_EQ(repairDatabase(db.dir() / "testo.sqlite"),
              "Il file non è un database (SQLite: file is not a database)");
}

} // namespace
} // namespace tramela::store
