#include "store/table_cursor.h"
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

    StoreFixture db;
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
    EXPECT_EQ(read(cursor, "codice"), "1");
    EXPECT_EQ(read(cursor, "lungo"), "-70000");
    EXPECT_EQ(read(cursor, "nome"), "Rossi   ");
    EXPECT_EQ(read(cursor, "data"), "00/00/0000");
    EXPECT_EQ(read(cursor, "valore"), "-00000000000003,2500");
    EXPECT_EQ(read(cursor, "importo"), "+000000000001234,5000");
    EXPECT_EQ(read(cursor, "attivo"), "1");
    EXPECT_EQ(read(cursor, "nota"), "00123");
    std::string display;
    ASSERT_TRUE(cursor.GetFieldDisplayText("nome", display));
    EXPECT_EQ(display, "Rossi");

    ASSERT_TRUE(cursor.Seek({"2"}));
    EXPECT_EQ(read(cursor, "data"), "99/99/9999");
    EXPECT_EQ(read(cursor, "attivo"), "0");
    EXPECT_EQ(read(cursor, "nome"), "");
    EXPECT_EQ(read(cursor, "valore"), "");
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

TEST_F(TableCursorTest, RefusedFieldIsReportedAndTheRecordIsNotWritten) {
    struct Case {
        std::string field;
        std::string text;
        std::string message;
    };

    const std::vector<Case> cases = {
        {"lungo",
         "abc",
         "Errore campo (lungo) della tavola (prova) <abc>\n\n"
         "Tipo di dati non corrispondente: il testo non è un numero"},
        {"codice",
         "40000",
         "Errore campo (codice) della tavola (prova) <40000>\n\n"
         "Valore fuori dall'intervallo di un intero a 16 bit (da -32768 a 32767)"},
        {"nome",
         "Provincialismo",
         "Errore campo (nome) della tavola (prova) <Provincialismo>\n\n"
         "Il testo di 14 caratteri supera la dimensione del campo (10 caratteri)"},
        {"data",
         "31/02/2009",
         "Errore campo (data) della tavola (prova) <31/02/2009>\n\n"
         "Data non valida: le date si scrivono GG/MM/AAAA"},
        {"codice",
         "",
         "Errore campo (codice) della tavola (prova) <NULL>\n\n"
         "Il campo obbligatorio 'prova.codice' non può contenere un valore nullo"},
        {"colore",
         "rosso",
         "Errore campo (colore) della tavola (prova) <rosso>\n\nCampo inesistente"},
    };
    for (const Case& c : cases) {
        db.ui().clear();
        TableCursor cursor(&db.connection(), "prova");
        cursor.AddNew();
        if (c.field != "codice") {
            cursor.SetField("codice", "5");
        }
        EXPECT_FALSE(cursor.SetField(c.field, c.text));
        EXPECT_FALSE(cursor.Update()) << c.field;
        ASSERT_EQ(db.ui().messages().size(), 1u) << c.field;
        EXPECT_EQ(db.ui().messages()[0].text, c.message);
        EXPECT_EQ(db.ui().messages()[0].icon, Icon::Stop);
        EXPECT_EQ(db.count("prova"), 0) << c.field;
    }
}

TEST_F(TableCursorTest, UpdateRefusesMissingRequiredFieldsAndDuplicateKeys) {
    TableCursor cursor(&db.connection(), "prova");
    cursor.AddNew();
    cursor.SetField("nome", "senza");
    EXPECT_FALSE(cursor.Update());
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore aggiornamento tavola (prova)\n\n"
              "Il campo obbligatorio 'prova.codice' non può contenere un valore nullo");

    ASSERT_TRUE(add({{"codice", "7"}}));
    db.ui().clear();
    EXPECT_FALSE(add({{"codice", "7"}}));
    ASSERT_EQ(db.ui().messages().size(), 1u);
    EXPECT_EQ(db.ui().messages()[0].text,
              "Errore aggiornamento tavola (prova)\n\n"
              "I valori immessi duplicano la chiave di un indice univoco "
              "(SQLite: UNIQUE constraint failed: prova.codice)");
    EXPECT_EQ(db.count("prova"), 1);
}

TEST_F(TableCursorTest, SeekComparesThePartsGivenAndEmptyPartsWithEmptyText) {
    ASSERT_TRUE(add({{"codice", "1"}, {"nome", "Alfa"}, {"data", "01/03/2024"}}));
    ASSERT_TRUE(add({{"codice", "2"}, {"nome", "Alfa"}, {"data", "02/03/2024"}}));
    ASSERT_TRUE(add({{"codice", "3"}, {"nome", "Beta"}}));

    TableCursor cursor(&db.connection(), "prova");
    ASSERT_TRUE(cursor.SelectIndex("nomedata"));
    ASSERT_TRUE(cursor.Seek({"Alfa", "02/03/2024"}));
    EXPECT_EQ(read(cursor, "codice"), "2");
    // One value of two: the first record in index order.
    ASSERT_TRUE(cursor.Seek({"Alfa"}));
    EXPECT_EQ(read(cursor, "codice"), "1");
    // A missing part is empty, which no stored date is.
    EXPECT_FALSE(cursor.Seek({"Beta", ""}));
    EXPECT_FALSE(cursor.Seek({"Gamma"}));
    EXPECT_TRUE(db.ui().messages().empty());

    EXPECT_FALSE(cursor.Seek({"Alfa", "02/03/2024", "x"}));
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore lettura tavola (prova)\n\n"
              "Numero di valori di chiave non valido per l'indice (nomedata)");
    EXPECT_FALSE(cursor.Seek({"Alfa", "35/03/2024"}));
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore lettura tavola (prova)\n\nData non valida: le date si scrivono GG/MM/AAAA");
}

TEST_F(TableCursorTest, EditAndDeleteActOnTheCurrentRecord) {
    ASSERT_TRUE(add({{"codice", "1"}, {"nome", "Alfa"}}));
    ASSERT_TRUE(add({{"codice", "2"}, {"nome", "Beta"}}));
    TableCursor cursor(&db.connection(), "prova");
    EXPECT_FALSE(cursor.Edit());
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore editing tavola (prova)\n\nNessun record corrente");
    EXPECT_FALSE(cursor.Delete());
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore eliminazione tavola (prova)\n\nNessun record corrente");
    EXPECT_FALSE(cursor.Update());
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore aggiornamento tavola (prova)\n\n"
              "Nessuna operazione di inserimento o modifica in corso");

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
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore in fase di apertura della tavola (assente)\n\nTavola inesistente");
    db.ui().clear();
    // Every operation of a closed cursor fails quietly.
    EXPECT_FALSE(missing.SelectIndex("codice"));
    EXPECT_FALSE(missing.Seek({"1"}));
    EXPECT_FALSE(missing.AddNew());
    EXPECT_FALSE(missing.SetField("codice", "1"));
    EXPECT_FALSE(missing.Update());
    EXPECT_TRUE(db.ui().messages().empty());

    TableCursor cursor(&db.connection(), "PROVA");
    EXPECT_TRUE(cursor.IsOpen());
    EXPECT_FALSE(cursor.Seek({"1"}));
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore lettura tavola (PROVA)\n\nNessun indice selezionato");
    EXPECT_FALSE(cursor.SelectIndex("data"));
    EXPECT_EQ(db.ui().lastMessage()->text,
              "Errore selezione indice (data) tavola (PROVA)\n\nIndice inesistente");

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
