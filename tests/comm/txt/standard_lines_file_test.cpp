#include "comm/txt/standard_lines_file.h"
#include "support/golden.h"
#include "support/sample_workspace.h"

#include <gtest/gtest.h>

namespace tramela::comm {
namespace {

// The sample network has standard line 1/1 linked to "L1"; these add 1/2 with three company
// lines and a name Latin-1 writes in one byte, and 2/1 with none (it is not exported).
const std::string kMoreLines =
    "INSERT INTO reglinee VALUES (1, 2, 3, 'L2', 'Linea Università', NULL),"
    " (2, 1, 4, 'L9', 'Senza corrispondenze', NULL);"
    "INSERT INTO reglklin VALUES ('L2', 1, 2), ('L2B', 1, 2), ('L2C', 1, 2);";

class StandardLinesTest : public test::SampleWorkspace {
protected:
    // The sample with kMoreLines exported to dir/LineeStandard.TXT, then `sql` on a fresh sample
    // named `name`, opened.
    void exportThenOpen(std::string_view name, const std::string& sql) {
        open(kMoreLines);
        exportTo(dir / "LineeStandard.TXT");
        ui.clear();
        open(sql, name);
    }

    void exportTo(const std::filesystem::path& file) {
        ui.answerFile("file", file);
        ExportStandardLines(window());
    }

    std::string tables() {
        return rows("SELECT lotto, id, ente, sigla, denom, itiner FROM reglinee ORDER BY lotto, id;"
                    "SELECT codlinea, lotto, id FROM reglklin ORDER BY codlinea");
    }

    // Imports the file, then records what it showed and the tables as they are then.
    void importFrom(const std::filesystem::path& file, std::string_view title) {
        ui.answerFile("file", file);
        ImportStandardLines(window());
        EXPECT_EQ(ui.pendingAnswers(), 0u);
        steps.step(title);
        steps.add("tables", tables());
    }

    test::Transcript steps{ui, dir.path()};
};

TEST_F(StandardLinesTest, ExportWritesEachLinkedStandardLineBeforeItsCompanyLines) {
    open(kMoreLines);
    exportTo(dir / "LineeStandard.TXT");
    steps.step("export");
    steps.add("LineeStandard.TXT", test::readFile(dir / "LineeStandard.TXT"));
    EXPECT_GOLDEN(steps.text(), "standard_lines_file/export.txt");
}

// A fresh copy gets everything but the standard line that had no company line, in UTF-8 again;
// a second import only modifies.
TEST_F(StandardLinesTest, ImportFillsAFreshCopyAndASecondImportOnlyModifies) {
    exportThenOpen("copia.sqlite", "DELETE FROM reglklin; DELETE FROM reglinee;");
    importFrom(dir / "LineeStandard.TXT", "first import");
    importFrom(dir / "LineeStandard.TXT", "second import");
    EXPECT_GOLDEN(steps.text(), "standard_lines_file/fresh_copy.txt");
}

// A code moves to the standard line of the file; an empty description in the file clears the
// stored one.
TEST_F(StandardLinesTest, ImportMovesACodeToTheStandardLineOfTheFile) {
    exportThenOpen("copia.sqlite",
                   "INSERT INTO reglinee VALUES (1, 2, 5, 'OLD', 'Vecchia', 'Vecchio percorso');"
                   "INSERT INTO reglklin VALUES ('L2B', 1, 1);");
    importFrom(dir / "LineeStandard.TXT", "import");
    EXPECT_GOLDEN(steps.text(), "standard_lines_file/moved_code.txt");
}

TEST_F(StandardLinesTest, AnotherCompanysFileImportsNothing) {
    exportThenOpen("altra.sqlite", "UPDATE master SET azienda = 43; DELETE FROM reglklin;");
    importFrom(dir / "LineeStandard.TXT", "import");
    EXPECT_GOLDEN(steps.text(), "standard_lines_file/another_company.txt");
}

// Lot 99 is not in the register of lots: the database refuses the row, and its link with it.
TEST_F(StandardLinesTest, BadLinesAreReportedAndSkippedWithTheirCompanyLines) {
    open();
    // LF ends, Latin-1 text.
    test::writeFile(dir / "linee.txt",
                    "LiNeEsTaNdArD\n"
                    "<D>\tORFANA\t</D>\n"
                    "<T>\t42\t1\t7\t3\tL7\tCitt\xE0\tAndata e ritorno   \t</T>\n"
                    "<D>\tL7\t</D>\n"
                    "<T>\t42\t1\tx\t3\tLX\tNumero errato\t\t</T>\n"
                    "<D>\tPERSA\t</D>\n"
                    "<T>\t43\t1\t5\t3\tL5\tAltra azienda\t\t</T>\n"
                    "<D>\tALTRA\t</D>\n"
                    "<T>\t42\t99\t8\t3\tL8\tLotto inesistente\t\t</T>\n"
                    "<D>\tL8\t</D>\n"
                    "<T>\t42\t1\t9\t3\tL9\tTroncata\n"
                    "<D>\tL9\t</D>\n"
                    "lInEeStAnDaRd\n");
    ui.answerFile("file", dir / "linee.txt");
    ImportStandardLines(window());
    ASSERT_EQ(ui.messages().size(), 3u) << testing::PrintToString(ui.messageTexts());
    // The engine's own words of the refusal stay out of the golden file.
    EXPECT_TRUE(ui.messages()[1].text.starts_with("Errore aggiornamento tavola (reglinee)"));
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Stop);
    EXPECT_EQ(ui.messages()[1].icon, ui::Icon::Stop);
    steps.add("discarded", ui.messages()[0].text + "\n");
    steps.add("counts", ui.messages()[2].text + "\n");
    steps.add("tables", tables());
    EXPECT_GOLDEN(steps.text(), "standard_lines_file/bad_lines.txt");
}

// An export without the header's company does not even ask for its file.
// A file far larger than any company's lines (a disk image chosen by mistake) is refused
// before it is read into memory, and changes nothing.
TEST_F(StandardLinesTest, AFileFarBeyondAnyCompanysLinesIsRefusedUnread) {
    open();
    const std::string before = tables();
    test::writeFile(dir / "immagine.txt", std::string((size_t{16} << 20) + 1, '1'));
    ui.answerFile("file", dir / "immagine.txt");
    EXPECT_EQ(ImportStandardLines(window()), ui::Outcome::Failed);
    ASSERT_TRUE(ui.lastMessage());
    EXPECT_EQ(ui.lastMessage()->text,
              "Il file\n\n" + (dir / "immagine.txt").string() +
                  "\n\nsupera i 16 MB: non è un file di Linee Standard.");
    EXPECT_EQ(tables(), before);
}

TEST_F(StandardLinesTest, FailuresEndTheCommandsWithTheirMessage) {
    open();
    importFrom(dir / "assente" / "LineeStandard.TXT", "import from a missing folder");
    exportTo(dir / "assente" / "LineeStandard.TXT");
    steps.step("export to a missing folder");
    sql("DELETE FROM master");
    ExportStandardLines(window());
    steps.step("no header");
    EXPECT_GOLDEN(steps.text(), "standard_lines_file/failures.txt");
}

} // namespace
} // namespace tramela::comm
