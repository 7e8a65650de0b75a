#include "comm/txt/standard_lines_file.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::comm {
namespace {

using ui::Icon;

// The sample network has standard line 1/1 linked to "L1"; these add 1/2 with three company
// lines and a name Latin-1 writes in one byte, and 2/1 with none (it is not exported).
constexpr std::string_view kMoreLines =
    "INSERT INTO reglinee VALUES (1, 2, 3, 'L2', 'Linea Università', NULL),"
    " (2, 1, 4, 'L9', 'Senza corrispondenze', NULL);"
    "INSERT INTO reglklin VALUES ('L2', 1, 2), ('L2B', 1, 2), ('L2C', 1, 2);";

const std::string kExported = "LiNeEsTaNdArD\r\n"
                              "<T>\t42\t1\t1\t3\tL1\tLinea 1\tStazione - Borgo Alto\t</T>\r\n"
                              "<D>\tL1\t</D>\r\n"
                              "<T>\t42\t1\t2\t3\tL2\tLinea Universit\xE0\t\t</T>\r\n"
                              "<D>\tL2\t</D>\r\n"
                              "<D>\tL2B\t</D>\r\n"
                              "<D>\tL2C\t</D>\r\n"
                              "lInEeStAnDaRd\r\n";

// The closing message of an import: lines read, modified, inserted, then links likewise.
std::string counts(int lines,
                   int linesModified,
                   int linesInserted,
                   int links,
                   int linksModified,
                   int linksInserted) {
    return "Risultato dell'elaborazione:\n\n"
           "Lette " +
           std::to_string(lines) + " Linee Standard\n" + "\tModificate " +
           std::to_string(linesModified) + " Linee Standard già esistenti\n" + "\tInserite " +
           std::to_string(linesInserted) + " nuove Linee Standard\n\n" + "Lette " +
           std::to_string(links) + " corrispondenze Linee Aziendali\n" + "\tModificate " +
           std::to_string(linksModified) + " corrispondenze Linee Aziendali già esistenti\n" +
           "\tInserite " + std::to_string(linksInserted) +
           " nuove corrispondenze Linee Aziendali\n\n";
}

class StandardLinesTest : public ::testing::Test {
protected:
    // A sample network under `name`, changed by `sql`, opened in the main window.
    void open(const std::string& name, std::string_view sql) {
        const auto path = dir / name;
        test::createSampleNetwork(path);
        test::runSql(path, std::string(sql));
        window = std::make_unique<workspace::Workspace>(ui, settings);
        window->Startup(path);
        ASSERT_TRUE(window->isConnected());
        ui.clear();
    }

    void exportTo(const std::filesystem::path& file) {
        ui.answerFile("file", file);
        ExportStandardLines(*window);
    }

    void importFrom(const std::filesystem::path& file) {
        ui.clear();
        ui.answerFile("file", file);
        ImportStandardLines(*window);
        EXPECT_EQ(ui.pendingAnswers(), 0u);
    }

    // The standard lines and their links, one row a line.
    std::string tables() {
        std::string rows;
        const auto collect = [](void* out, int columns, char** values, char**) {
            auto& text = *static_cast<std::string*>(out);
            for (int i = 0; i < columns; ++i) {
                text += (i > 0 ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "");
            }
            text += "\n";
            return 0;
        };
        sqlite3_exec(window->connection()->handle(),
                     "SELECT lotto, id, ente, sigla, denom, itiner FROM reglinee "
                     "ORDER BY lotto, id;"
                     "SELECT codlinea, lotto, id FROM reglklin ORDER BY codlinea",
                     collect,
                     &rows,
                     nullptr);
        return rows;
    }

    test::TempDir dir;
    ui::ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    std::unique_ptr<workspace::Workspace> window;
};

TEST_F(StandardLinesTest, ExportWritesEachLinkedStandardLineBeforeItsCompanyLines) {
    open("rete.sqlite", kMoreLines);
    exportTo(dir / "LineeStandard.TXT");

    EXPECT_EQ(test::readFile(dir / "LineeStandard.TXT"), kExported);
    EXPECT_EQ(
        ui.messages(),
        (std::vector<ui::ScriptedUi::ShownMessage>{{"Esportate 6 righe", Icon::Information, ""}}));
    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    const ui::FileDialog& dialog = ui.fileDialogs()[0];
    EXPECT_EQ(dialog.title, "Selezione Cartella per Esportazione File Linee Standard");
    EXPECT_EQ(dialog.initialName, "LineeStandard");
    EXPECT_EQ(dialog.defaultExtension, "TXT");
    ASSERT_EQ(dialog.filters.size(), 2u);
    EXPECT_EQ(dialog.filters[0].caption, "File TXT (*.txt)");
    EXPECT_EQ(dialog.filters[1].pattern, "*.*");
    EXPECT_TRUE(dialog.confirmOverwrite);
}

TEST_F(StandardLinesTest, ImportFillsAFreshCopyAndASecondImportOnlyModifies) {
    open("rete.sqlite", kMoreLines);
    exportTo(dir / "LineeStandard.TXT");

    open("copia.sqlite", "DELETE FROM reglklin; DELETE FROM reglinee;");
    importFrom(dir / "LineeStandard.TXT");
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {counts(2, 0, 2, 4, 0, 4), Icon::Information, ""}}));
    EXPECT_EQ(ui.fileDialogs()[0].title, "Importazione Linee Standard");
    EXPECT_EQ(ui.fileDialogs()[0].filters[0].caption, "File di testo (*.txt)");
    // Everything but the standard line that had no company line, in UTF-8 again.
    EXPECT_EQ(tables(),
              "1|1|3|L1|Linea 1|Stazione - Borgo Alto\n"
              "1|2|3|L2|Linea Università|\n"
              "L1|1|1\nL2|1|2\nL2B|1|2\nL2C|1|2\n");

    importFrom(dir / "LineeStandard.TXT");
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{counts(2, 2, 0, 4, 4, 0)});
    EXPECT_EQ(tables(),
              "1|1|3|L1|Linea 1|Stazione - Borgo Alto\n"
              "1|2|3|L2|Linea Università|\n"
              "L1|1|1\nL2|1|2\nL2B|1|2\nL2C|1|2\n");
}

TEST_F(StandardLinesTest, ImportMovesACodeToTheStandardLineOfTheFile) {
    open("rete.sqlite", kMoreLines);
    exportTo(dir / "LineeStandard.TXT");

    open("copia.sqlite",
         "INSERT INTO reglinee VALUES (1, 2, 5, 'OLD', 'Vecchia', 'Vecchio percorso');"
         "INSERT INTO reglklin VALUES ('L2B', 1, 1);");
    importFrom(dir / "LineeStandard.TXT");
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{counts(2, 2, 0, 4, 2, 2)});
    // An empty description in the file clears the stored one.
    EXPECT_EQ(tables(),
              "1|1|3|L1|Linea 1|Stazione - Borgo Alto\n"
              "1|2|3|L2|Linea Università|\n"
              "L1|1|1\nL2|1|2\nL2B|1|2\nL2C|1|2\n");
}

TEST_F(StandardLinesTest, AnotherCompanysFileImportsNothing) {
    open("rete.sqlite", kMoreLines);
    exportTo(dir / "LineeStandard.TXT");

    open("altra.sqlite", "UPDATE master SET azienda = 43; DELETE FROM reglklin;");
    const std::string before = tables();
    importFrom(dir / "LineeStandard.TXT");
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{counts(0, 0, 0, 0, 0, 0)});
    EXPECT_EQ(tables(), before);
}

TEST_F(StandardLinesTest, BadLinesAreReportedAndSkippedWithTheirCompanyLines) {
    open("rete.sqlite", "");
    const auto file = dir / "linee.txt";
    // LF ends, Latin-1 text.
    test::writeFile(file,
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
    importFrom(file);

    const auto& shown = ui.messages();
    ASSERT_EQ(shown.size(), 3u) << testing::PrintToString(ui.messageTexts());
    EXPECT_EQ(shown[0].text,
              "Righe scartate dal file " + file.string() +
                  ":\n\n"
                  "riga 2: corrispondenza <ORFANA> senza linea standard\n"
                  "riga 5: Identificativo Linea <x> non è un numero intero\n"
                  "riga 11: linea standard incompleta (manca </T>)\n");
    EXPECT_EQ(shown[0].icon, Icon::Stop);
    // Lot 99 is not in the register of lots: the database refuses the row, and its link with it.
    EXPECT_TRUE(shown[1].text.starts_with("Errore aggiornamento tavola (reglinee)")) << shown[1];
    EXPECT_EQ(shown[1].icon, Icon::Stop);
    EXPECT_EQ(shown[2].text, counts(2, 0, 1, 2, 0, 1));
    EXPECT_EQ(tables(),
              "1|1|3|L1|Linea 1|Stazione - Borgo Alto\n"
              "1|7|3|L7|Città|Andata e ritorno\n"
              "L1|1|1\nL7|1|7\n");
}

TEST_F(StandardLinesTest, FailuresEndTheCommandsWithTheirMessage) {
    open("rete.sqlite", "");
    const auto missing = dir / "assente" / "LineeStandard.TXT";
    importFrom(missing);
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {"Impossibile aprire\n\n" + missing.string(), Icon::Exclamation, ""}}));

    ui.clear();
    exportTo(missing);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossibile creare\n\n" + missing.string()});

    // Without the header the file is not even asked for.
    ui.clear();
    ASSERT_TRUE(window->connection()->execute("DELETE FROM master"));
    ExportStandardLines(*window);
    EXPECT_TRUE(ui.fileDialogs().empty());
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {"ATTENZIONE: le informazioni generali relative alla comunicazione\n"
                   "sono assenti oppure incomplete.\n\n"
                   "E' assolutamente necessario specificare:\n"
                   "    * Il codice Azienda\n"
                   "Verificare utilizzando la funzione Azienda nel menu Archivi\n"
                   "prima di procedere all'esportazione di LineeStandard",
                   Icon::Stop,
                   ""}}));
}

} // namespace
} // namespace tramela::comm
