#include "store/table_cursor.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/store_fixture.h"

#include <gtest/gtest.h>

namespace tramela::store {
namespace {

using test::StoreFixture;
using ui::Icon;

class TableCursorTest : public ::testing::Test {
protected:
    TableCursorTest()
        : db({test::allTypesTable()}) {}

    // Adds a row through the cursor layer, field by field as text.
    bool add(const std::vector<std::pair<std::string, std::string>>& fields) {
        TableCursor cursor(&db.connection(), "prova");
        cursor.AddNew();
        for (const auto& [name, text] : fields) {
            cursor.SetField(name, text);
        }
        return cursor.Update();
    }

    std::string read(TableCursor& cursor, const std::string& field) {
        std::string text;
        EXPECT_TRUE(cursor.GetFieldText(field, text));
        return text;
    }

    // The fields named, read as text, each followed by "|".
    std::string read(TableCursor& cursor, const std::vector<std::string>& fields) {
        std::string row;
        for (const std::string& field : fields) {
            row += read(cursor, field) + "|";
        }
        return row;
    }

    StoreFixture db;
    test::Transcript steps{db.ui(), {}};
};

TEST_F(TableCursorTest, ValuesRoundTripThroughTheirTextForms) {
    ASSERT_TRUE(add({{"codice", "1"},
                     {"lungo", "-70000"},
                     {"nome", "Rossi   "},
                     {"data", "00/00/0000"},
                     {"valore", "-3,25"},
                     {"importo", "1234,5"},
                     {"attivo", "1"},
                     {"nota", "00123"}}));
    ASSERT_TRUE(add({{"codice", "2"}, {"data", "99/99/9999"}, {"attivo", "0"}}));

    TableCursor cursor(&db.connection(), "prova");
    ASSERT_TRUE(cursor.SelectIndex("codice"));
    ASSERT_TRUE(cursor.Seek({"1"}));
    const auto fields = test::words("codice lungo nome data valore importo attivo nota");
    EXPECT_EQ(read(cursor, fields),
              "1|-70000|Rossi   |00/00/0000|-00000000000003,2500|+000000000001234,5000|1|00123|");
    std::string display;
    ASSERT_TRUE(cursor.GetFieldDisplayText("nome", display));
    EXPECT_EQ(display, "Rossi");

    ASSERT_TRUE(cursor.Seek({"2"}));
    EXPECT_EQ(read(cursor, fields), "2|||99/99/9999|||0||");
    EXPECT_TRUE(db.ui().messages().empty());

    // The marks are stored as the lowest and highest dates; null is null, not empty text.
    EXPECT_EQ(db.scalar("SELECT data FROM prova WHERE codice = 1"), "1600-01-01");
    EXPECT_EQ(db.scalar("SELECT data FROM prova WHERE codice = 2"), "2400-12-31");
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM prova WHERE nome IS NULL"), "1");
}

TEST_F(TableCursorTest, BlobsAreCopiedAndDisplayedByTheirSize) {
    const Blob bytes(1600, 0x5a);
    TableCursor cursor(&db.connection(), "prova");
    cursor.AddNew();
    cursor.SetField("codice", "1");
    ASSERT_TRUE(cursor.SetFieldBlob("dati", bytes));
    ASSERT_TRUE(cursor.Update());
    ASSERT_TRUE(cursor.SelectIndex("codice"));
    ASSERT_TRUE(cursor.Seek({"1"}));
    Blob back;
    ASSERT_TRUE(cursor.GetFieldBlob("dati", back));
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(read(cursor, "dati"), "");
    std::string display;
    cursor.GetFieldDisplayText("dati", display);
    EXPECT_EQ(display, "BLOB [1600 bytes]");
    ASSERT_TRUE(cursor.GetFieldBlob("nome", back));
    EXPECT_TRUE(back.empty());
}

// A text its field cannot take (not a number, out of a short's range, too long, not a date,
// empty where required, no such field) is refused with its reason and the record is not
// written; so are a record without its required field and one that repeats a unique key.
TEST_F(TableCursorTest, RefusedFieldIsReportedAndTheRecordIsNotWritten) {
    const std::pair<std::string, std::string> cases[] = {{"lungo", "abc"},
                                                         {"codice", "40000"},
                                                         {"nome", "Provincialismo"},
                                                         {"data", "31/02/2009"},
                                                         {"codice", ""},
                                                         {"colore", "rosso"}};
    for (const auto& [field, text] : cases) {
        TableCursor cursor(&db.connection(), "prova");
        cursor.AddNew();
        if (field != "codice") {
            cursor.SetField("codice", "5");
        }
        EXPECT_FALSE(cursor.SetField(field, text));
        EXPECT_FALSE(cursor.Update()) << field;
        EXPECT_EQ(db.count("prova"), 0) << field;
        steps.step(field + " " + text);
    }
    TableCursor cursor(&db.connection(), "prova");
    cursor.AddNew();
    cursor.SetField("nome", "senza");
    EXPECT_FALSE(cursor.Update());
    steps.step("no codice");
    ASSERT_TRUE(add({{"codice", "7"}}));
    EXPECT_FALSE(add({{"codice", "7"}}));
    EXPECT_EQ(db.count("prova"), 1);
    steps.step("codice 7 twice");
    EXPECT_GOLDEN(steps.text(), "table_cursor/refusals.txt");
}

// A key of the parts given compares those parts: one value of two finds the first record in
// index order; a missing part is empty, which no stored date is.
TEST_F(TableCursorTest, SeekComparesThePartsGivenAndEmptyPartsWithEmptyText) {
    ASSERT_TRUE(add({{"codice", "1"}, {"nome", "Alfa"}, {"data", "01/03/2024"}}));
    ASSERT_TRUE(add({{"codice", "2"}, {"nome", "Alfa"}, {"data", "02/03/2024"}}));
    ASSERT_TRUE(add({{"codice", "3"}, {"nome", "Beta"}}));

    TableCursor cursor(&db.connection(), "prova");
    ASSERT_TRUE(cursor.SelectIndex("nomedata"));
    ASSERT_TRUE(cursor.Seek({"Alfa", "02/03/2024"}));
    EXPECT_EQ(read(cursor, "codice"), "2");
    ASSERT_TRUE(cursor.Seek({"Alfa"}));
    EXPECT_EQ(read(cursor, "codice"), "1");
    EXPECT_FALSE(cursor.Seek({"Beta", ""}));
    EXPECT_FALSE(cursor.Seek({"Gamma"}));
    steps.step("found and not found");
    EXPECT_FALSE(cursor.Seek({"Alfa", "02/03/2024", "x"}));
    EXPECT_FALSE(cursor.Seek({"Alfa", "35/03/2024"}));
    steps.step("too many parts, a wrong date");
    EXPECT_GOLDEN(steps.text(), "table_cursor/seek.txt");
}

TEST_F(TableCursorTest, EditAndDeleteActOnTheCurrentRecord) {
    ASSERT_TRUE(add({{"codice", "1"}, {"nome", "Alfa"}}));
    ASSERT_TRUE(add({{"codice", "2"}, {"nome", "Beta"}}));
    TableCursor cursor(&db.connection(), "prova");
    EXPECT_FALSE(cursor.Edit());
    EXPECT_FALSE(cursor.Delete());
    EXPECT_FALSE(cursor.Update());
    steps.step("no current record");
    EXPECT_GOLDEN(steps.text(), "table_cursor/no_current_record.txt");

    ASSERT_TRUE(cursor.SelectIndex("codice"));
    ASSERT_TRUE(cursor.Seek({"1"}));
    ASSERT_TRUE(cursor.Edit());
    ASSERT_TRUE(cursor.SetField("nome", "Gamma"));
    ASSERT_TRUE(cursor.Update());
    EXPECT_EQ(read(cursor, "nome"), "Gamma");
    EXPECT_EQ(db.scalar("SELECT nome FROM prova WHERE codice = 1"), "Gamma");
    EXPECT_EQ(db.scalar("SELECT nome FROM prova WHERE codice = 2"), "Beta");

    ASSERT_TRUE(cursor.Seek({"2"}));
    ASSERT_TRUE(cursor.Delete());
    EXPECT_FALSE(cursor.Seek({"2"}));
    EXPECT_EQ(db.count("prova"), 1);
}

TEST_F(TableCursorTest, OpeningAndIndexFailuresLeaveTheCursorHarmless) {
    TableCursor missing(&db.connection(), "assente");
    EXPECT_FALSE(missing.IsOpen());
    steps.step("a missing table");
    // Every operation of a closed cursor fails quietly.
    EXPECT_FALSE(missing.SelectIndex("codice"));
    EXPECT_FALSE(missing.Seek({"1"}));
    EXPECT_FALSE(missing.AddNew());
    EXPECT_FALSE(missing.SetField("codice", "1"));
    EXPECT_FALSE(missing.Update());
    steps.step("its operations");
    // Names are not case sensitive; a seek needs an index, an index must exist.
    TableCursor cursor(&db.connection(), "PROVA");
    EXPECT_TRUE(cursor.IsOpen());
    EXPECT_FALSE(cursor.Seek({"1"}));
    EXPECT_FALSE(cursor.SelectIndex("data"));
    steps.step("no index, a missing index");
    EXPECT_GOLDEN(steps.text(), "table_cursor/opening.txt");

    TableCursor withoutConnection(nullptr, "prova");
    EXPECT_FALSE(withoutConnection.IsOpen());
}

TEST_F(TableCursorTest, CursorsOutlivingTheirConnectionAreHarmless) {
    ASSERT_TRUE(add({{"codice", "1"}}));
    TableCursor cursor(&db.connection(), "prova");
    cursor.SelectIndex("codice");
    ASSERT_TRUE(cursor.Seek({"1"}));
    db.connection().Close();
    EXPECT_FALSE(cursor.IsOpen());
    EXPECT_FALSE(cursor.Seek({"1"}));
    EXPECT_FALSE(cursor.AddNew());
}

} // namespace
} // namespace tramela::store
