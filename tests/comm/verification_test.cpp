#include "comm/text_output.h"
#include "comm/verification.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <regex>

namespace tramela::comm {
namespace {

using ui::Icon;

// The sample network repeats stop VAL01 (stops 1 and 5, same name and location) and leaves
// stop 4 without a location; without those the network is clean.
constexpr std::string_view kCleanNetwork = "DELETE FROM fermate WHERE ID = 5;"
                                           "UPDATE fermate SET ubicaz = 'Località isolata' "
                                           "WHERE ID = 4;";

const std::string kRule(72, '=');
const std::string kStars(72, '*');

constexpr std::string_view kBlockingMessage =
    "ATTENZIONE: Sono state riscontrate delle condizioni di ERRORE BLOCCANTE.\n\n"
    "Verrà generato un report con gli errori riscontrati\n\n"
    "Non è pertanto possibile esportare la comunicazione ";
constexpr std::string_view kTolerableMessage =
    "ATTENZIONE: Sono state riscontrate delle condizioni di ERRORE TOLLERABILE.\n"
    "Verrà comunque generato un report con gli errori riscontrati\n\n";
constexpr std::string_view kMasterMessage =
    "ATTENZIONE: le informazioni generali relative alla comunicazione\n"
    "sono assenti oppure incomplete.\n\n"
    "E' assolutamente necessario specificare:\n"
    "    * Il codice Azienda\n"
    "    * La data ed il protocollo della comunicazione\n"
    "    * Il nominativo del responsabile\n\n"
    "Verificare utilizzando la funzione Azienda nel menu Archivi\n";

std::string box(std::string_view middle) {
    return kStars + "\n" + std::string(middle) + "\n" + kStars + "\n\n";
}

const std::string kGeneralBox =
    box("*                  Errori di natura complessiva                        *");
const std::string kStopsBox =
    box("*              Errori nella definizione delle FERMATE                  *");
const std::string kRoutesBox =
    box("*              Errori nella definizione dei PERCORSI                   *");
const std::string kExtendedBox =
    box("*              Errori CODIFICHE ESTESE                                 *");

const std::string kBlockingHeading = "******   ERRORI DI SEVERITA': BLOCCANTE\n\n";
const std::string kTolerableHeading = "******   ERRORI DI SEVERITA': TOLLERABILE\n\n";

std::string
heading(std::string_view title, std::string_view rule, std::string_view error, bool blocking) {
    return std::string(title) + "\n        " + std::string(rule) + "\n        " +
           std::string(error) + "\n        SEVERITA': " + (blocking ? "BLOCCANTE" : "TOLLERABILE") +
           "\n\n";
}

// The entries of a section and the four empty lines that close it.
std::string lines(std::initializer_list<std::string_view> entries) {
    std::string text;
    for (const std::string_view entry : entries) {
        text += std::string(entry) + "\n";
    }
    return text + "\n\n\n\n";
}

std::string header(std::string_view kind) {
    return kRule + "\nGG/MM/AAAA hh.mm Report verifica comunicazione " + std::string(kind) +
           " (Tramela)\n" + kRule + "\n\n";
}

class VerificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::createSampleNetwork(database());
        test::runSql(database(), std::string(kCleanNetwork));
    }

    std::filesystem::path database() const { return dir / "rete.sqlite"; }

    void open(const std::string& sql = {}) {
        if (!sql.empty()) {
            test::runSql(database(), sql);
        }
        window.Startup(database());
        ASSERT_TRUE(window.isConnected());
        ui.clear();
    }

    store::DatabaseConnection& connection() { return *window.connection(); }

    // The report as UTF-8 with LF ends and the header's time masked; every line must end in CR LF.
    std::string report(const std::filesystem::path& path) {
        std::string bytes = test::readFile(path);
        std::string text;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                continue;
            }
            EXPECT_NE(bytes[i], '\r') << "a lone CR at " << i;
            EXPECT_TRUE(bytes[i] != '\n' || (i > 0 && bytes[i - 1] == '\r')) << "LF at " << i;
            text += bytes[i];
        }
        text = latin1ToUtf8(text);
        const std::regex time(R"(^(=+\n)\d\d/\d\d/\d{4} \d\d\.\d\d )");
        EXPECT_TRUE(std::regex_search(text, time)) << text;
        return std::regex_replace(text, time, "$1GG/MM/AAAA hh.mm ");
    }

    test::TempDir dir;
    ui::ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    workspace::Workspace window{ui, settings};
};

TEST_F(VerificationTest, CleanNetworkGoesOnWithoutAnyMessageOrReport) {
    open();
    ui.answerFile("report", dir / "report.txt");
    EXPECT_TRUE(checkMasterRecord(connection()));
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzTxt), ui::Outcome::Done);
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzXml), ui::Outcome::Done);
    EXPECT_EQ(VerifyCommand(window), ui::Outcome::Done);

    EXPECT_TRUE(ui.messages().empty()) << ui.messages()[0];
    EXPECT_TRUE(ui.confirmations().empty());
    EXPECT_TRUE(ui.dialogs().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "report.txt"));
}

TEST_F(VerificationTest, StopWithoutLocationIsToleratedAsTheUserAnswers) {
    // Blanks only are no location.
    open("UPDATE fermate SET ubicaz = '   ' WHERE ID = 4;");
    ui.answerConfirm("proceed", true);
    ui.answerFile("report", dir / "accepted.txt");
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzTxt), ui::Outcome::Done);

    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(ui.confirmations()[0].text,
              std::string(kTolerableMessage) +
                  "Si intende procedere con l'esportazione della comunicazione VKZ-TXT v1?");
    EXPECT_EQ(ui.confirmations()[0].icon, Icon::Exclamation);
    EXPECT_TRUE(ui.messages().empty());
    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    const ui::FileDialog& dialog = ui.fileDialogs()[0];
    EXPECT_EQ(dialog.title, "Report Errori Riscontrati");
    EXPECT_EQ(dialog.defaultExtension, "TXT");
    EXPECT_EQ(dialog.initialName, "ERRORI_EXPORT_VKZTXT");
    EXPECT_TRUE(dialog.confirmOverwrite);
    ASSERT_EQ(dialog.filters.size(), 2u);
    EXPECT_EQ(dialog.filters[0].caption, "File di testo (*.txt)");
    EXPECT_EQ(dialog.filters[1].caption, "Tutti i files (*.*)");

    EXPECT_EQ(report(dir / "accepted.txt"),
              header("VkzTxt") + kGeneralBox + kTolerableHeading +
                  lines({"Riscontrati errori tollerabili nella definizione delle FERMATE."}) +
                  kStopsBox +
                  heading("******* Ubicazioni Assenti *******",
                          "REGOLA: tutte le fermate dovrebbero essere caratterizzate da una "
                          "ubicazione",
                          "ERRORE: le seguenti fermate non hanno nessuna ubicazione",
                          false) +
                  lines({"ID=4 ISO01 Casa isolata"}));

    // Refused: the export stops, the report is still offered (here the user keeps none).
    ui.clear();
    ui.answerConfirm("proceed", false);
    ui.answerFile("report", std::nullopt);
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzXml),
              ui::Outcome::Cancelled);
    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_TRUE(
        ui.confirmations()[0].text.ends_with("l'esportazione della comunicazione VkzXml Level 1?"));
    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    EXPECT_EQ(ui.fileDialogs()[0].initialName, "ERRORI_EXPORT_VKZXML");
    EXPECT_EQ(ui.pendingAnswers(), 0u);

    // Without asking: told, reported, and the answer is to go on.
    ui.clear();
    ui.answerFile("report", dir / "told.txt");
    EXPECT_EQ(runFormalVerification(connection(), false, ExportKind::VkzXml), ui::Outcome::Done);
    EXPECT_TRUE(ui.confirmations().empty());
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {std::string(kTolerableMessage), Icon::Exclamation, ""}}));
    EXPECT_TRUE(report(dir / "told.txt").starts_with(header("VkzXml Level 1")));
}

TEST_F(VerificationTest, BlockingFindingsStopTheExportAndEveryFindingIsReportedInOrder) {
    open("INSERT INTO fermate VALUES"
         " (5, 'A1', 'Fermata A', 'Via Cinque', 0, 0, 1),"
         " (9, 'A1  ', 'Fermata B', 'Via Comune', 0, 0, 1),"
         " (12, 'A1', 'Fermata A', 'Via Comune', 0, 0, 1),"
         " (20, '   ', 'Łódź Centro', 'Via Venti', 0, 0, 1),"
         " (21, 'Z21', NULL, 'Via Ventuno', 0, 0, 1);"
         "INSERT INTO itiner VALUES"
         " (4, NULL, 'Giro senza codice', 0, 0),"
         " (5, 'L1A', 'Doppione', 0, 0),"
         " (6, 'R6', '', 0, 0),"
         " (7, 'R7', 'Casa isolata', 0, 0);"
         "DELETE FROM extcod WHERE id = 2;");
    ui.answerConfirm("proceed", true); // never asked: blocking findings are not open to question
    ui.answerFile("report", dir / "errori.txt");
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzTxt), ui::Outcome::Failed);

    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {std::string(kBlockingMessage) + "VKZ-TXT v1", Icon::Stop, ""}}));
    EXPECT_TRUE(ui.confirmations().empty());
    EXPECT_EQ(ui.dialogs(), std::vector<std::string>{"Report Errori Riscontrati"});

    EXPECT_EQ(
        report(dir / "errori.txt"),
        header("VkzTxt") + kGeneralBox + kBlockingHeading +
            lines({"Riscontrati errori bloccanti nella definizione delle FERMATE.",
                   "Riscontrati errori bloccanti nella definizione dei PERCORSI.",
                   "Riscontrate CORSE prive di codifica estesa."}) +
            kStopsBox +
            heading("******* Codici Fermata Assenti *******",
                    "REGOLA: tutte le fermate devono essere identificate da un codice aziendale",
                    "ERRORE: le seguenti fermate non hanno nessun codice aziendale",
                    true) +
            lines({"ID=20 Lódz Centro"}) +
            heading("******* Denominazioni Mancanti *******",
                    "REGOLA: tutte le fermate devono essere identificate da una denominazione",
                    "ERRORE: le seguenti fermate non hanno nessuna denominazione",
                    true) +
            lines({"ID=21 Z21"}) +
            heading("******* Codici Fermata Duplicati *******",
                    "REGOLA: tutte le fermate devono essere identificate da un codice aziendale "
                    "univoco",
                    "ERRORE: le seguenti coppie di fermate condividono il medesimo codice "
                    "aziendale",
                    true) +
            lines({"ID=9 A1 Fermata B (ID=5 A1 Fermata A)",
                   "ID=12 A1 Fermata A (ID=9 A1 Fermata B)"}) +
            heading("******* Denominazioni Duplicate *******",
                    "REGOLA: ogni fermata dovrebbe avere una denominazione univoca",
                    "ERRORE: le seguenti coppie di fermate condividono la medesima denominazione",
                    false) +
            lines({"ID=12 A1 Fermata A (ID=5 A1 Fermata A)"}) +
            heading("******* Ubicazioni Duplicate *******",
                    "REGOLA: ogni fermata dovrebbe avere una ubicazione univoca",
                    "ERRORE: le seguenti coppie di fermate condividono la medesima ubicazione",
                    false) +
            lines({"ID=12 A1 Fermata A (ID=9 A1 Fermata B)"}) + kRoutesBox +
            heading("******* Codici Percorso Assenti *******",
                    "REGOLA: tutti i percorsi devono essere identificati da un codice aziendale",
                    "ERRORE: i seguenti percorsi non hanno nessun codice aziendale",
                    true) +
            lines({"ID=4 Giro senza codice"}) +
            heading("******* Codici Percorso Duplicati *******",
                    "REGOLA: tutti i percorsi devono essere identificati da un codice aziendale "
                    "univoco",
                    "ERRORE: le seguenti coppie di percorsi condividono il medesimo codice "
                    "aziendale",
                    true) +
            lines({"ID=5 L1A Doppione (ID=1 L1A Stazione Centrale - Borgo Alto Chiesa)"}) +
            heading("******* Denominazioni Mancanti *******",
                    "REGOLA: tutti i percorsi dovrebbero essere identificati da una denominazione",
                    "ERRORE: i seguenti percorsi non hanno nessuna denominazione",
                    false) +
            lines({"ID=6 R6"}) +
            heading("******* Denominazioni Duplicate *******",
                    "REGOLA: ogni percorso dovrebbe avere una denominazione univoca",
                    "ERRORE: le seguenti coppie di percorsi condividono la medesima denominazione",
                    false) +
            lines({"ID=7 R7 Casa isolata (ID=3 X9 Casa isolata)"}) + kExtendedBox +
            heading("******* Codifiche Estese Assenti *******",
                    "REGOLA: tutte le corse devono essere qualificate in termini di codifiche "
                    "estese",
                    "ERRORE: le seguenti corse non sono associate a codifica estesa",
                    true) +
            lines({"Corsa: ID=2  mancano codifiche estese"}));
}

TEST_F(VerificationTest, StandardLinesAndSubcontractingAreCheckedForTheXmlFormOnly) {
    // Trip 4 runs line "L1" for authority 5, the standard line belongs to authority 3; line
    // "L2" has no standard line (trips of two authorities: two lines); lot 2 has no "L1"; lot 0
    // is not looked at.
    open("INSERT INTO corse VALUES"
         " (3, 'C003', 'L2', 'A', 800, 3, 1000, 20, 1000, 20, 1, 1, 'U', NULL, NULL),"
         " (4, 'C004', 'L1 ', 'A', 900, 5, 1000, 20, 1000, 20, 1, 1, 'U', NULL, NULL),"
         " (5, 'C005', 'L2', 'R', 1000, 5, 1000, 20, 1000, 20, 2, 2, 'U', NULL, NULL),"
         " (6, 'C006', 'L1', 'R', 1100, 3, 1000, 20, 1000, 20, 2, 2, 'U', NULL, NULL),"
         " (7, 'C007', 'L9', 'R', 1200, 3, 1000, 20, 1000, 20, 2, 2, 'U', NULL, NULL);"
         "INSERT INTO extcod VALUES (3, 1, 42, 42), (4, 1, 42, 0), (5, 1, 42, 42),"
         " (6, 2, 42, 42), (7, 0, 42, 42);");
    ui.answerFile("report", dir / "xml.txt");
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzXml), ui::Outcome::Failed);
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {std::string(kBlockingMessage) + "VkzXml Level 1", Icon::Stop, ""}}));
    EXPECT_EQ(
        report(dir / "xml.txt"),
        header("VkzXml Level 1") + kGeneralBox + kBlockingHeading +
            lines({"Riscontrate LINEE aziendali prive di Linea Standard corrispondente.",
                   "Riscontrate LINEE aziendali con Ente Gestione diverso da quello della Linea "
                   "Standard corrispondente.",
                   "Presente Subappalto=0; correggere tramite apposita funzione di utilità"}) +
            heading("******* Codifiche Linee Standard Assenti *******",
                    "REGOLA: tutti i Codici Linea Aziendali devono essere associati ad un Codice "
                    "Linea Standard",
                    "ERRORE: le seguenti Linee Aziendali non sono associate a Linea Standard",
                    true) +
            lines({"Lotto=1 Linea Aziendale: \"L2\" manca Linea Standard corrispondente",
                   "Lotto=1 Linea Aziendale: \"L2\" manca Linea Standard corrispondente",
                   "Lotto=2 Linea Aziendale: \"L1\" manca Linea Standard corrispondente"}) +
            heading("******* Codifiche Linee Standard Incoerenti *******",
                    "REGOLA: tutte le Linee Standard devono essere associate ad un Codice Ente "
                    "Gestione",
                    "ERRORE: alcune corse associate alla Linea presentano un Ente Gestione non "
                    "conforme",
                    true) +
            lines({"Lotto=1 Linea Aziendale: \"L1\" Ente Gestione=5 diverso da Ente=3 della "
                   "Linea Standard ID=1"}));

    ui.clear();
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzTxt), ui::Outcome::Done);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(ui.dialogs().empty());
}

TEST_F(VerificationTest, EmptyStopTableIsBlockingTwiceAndPrintsNoEmptyGroup) {
    open("DELETE FROM detstd; DELETE FROM fermitin; DELETE FROM fermate;");
    ui.answerFile("report", dir / "vuoto.txt");
    EXPECT_EQ(runFormalVerification(connection(), false, ExportKind::VkzTxt), ui::Outcome::Failed);
    EXPECT_EQ(report(dir / "vuoto.txt"),
              header("VkzTxt") + kGeneralBox + kBlockingHeading +
                  lines({"Non è stata registrata neppure una FERMATA.",
                         "Non è stata registrata neppure una FERMATA ASSOCIATA A LOCALITA'."}));
}

TEST_F(VerificationTest, ChecksThatCannotReadTheirTablesBlockTheExport) {
    // Without extcod the trips cannot be shown to have their extended codes.
    open("DROP TABLE extcod;");
    const VerificationFindings findings =
        collectVerificationFindings(connection(), ExportKind::VkzTxt);
    EXPECT_TRUE(findings.blocking);
    EXPECT_EQ(findings.log.entries("GEN", "BLOCK"),
              std::vector<std::string>{
                  "Verifica non completata: errore nella lettura di corse, extcod."});
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_TRUE(ui.messages()[0].text.starts_with("Errore estrazione Select SQL"))
        << ui.messages()[0];
}

TEST_F(VerificationTest, ReportThatCannotBeCreatedLeavesTheAnswerAlone) {
    open("UPDATE fermate SET ubicaz = NULL WHERE ID = 4;");
    const auto path = dir / "manca" / "report.txt";
    ui.answerFile("report", path);
    EXPECT_EQ(runFormalVerification(connection(), false, ExportKind::VkzTxt), ui::Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[1],
              (ui::ScriptedUi::ShownMessage{
                  "Impossibile creare\n\n" + path.string(), Icon::Exclamation, ""}));
}

TEST_F(VerificationTest, IncompleteGeneralDataAreRefused) {
    open();
    const std::string exportMessage =
        std::string(kMasterMessage) + "prima di procedere alla generazione della comunicazione";
    const char* restore = "UPDATE master SET p_data = '2024-03-01', protoc = 7, "
                          "resple = 'Mario Rossi' WHERE codice = 0;";
    for (const char* damage : {"UPDATE master SET resple = '   ';",
                               "UPDATE master SET p_data = NULL;",
                               "UPDATE master SET protoc = 0;",
                               "UPDATE master SET protoc = NULL;",
                               "UPDATE master SET protoc = 'sette';",
                               "UPDATE master SET protoc = -1;",
                               "UPDATE master SET codice = 1;"}) {
        SCOPED_TRACE(damage);
        test::runSql(database(), damage);
        ui.clear();
        EXPECT_FALSE(checkMasterRecord(connection()));
        EXPECT_EQ(ui.messages(),
                  (std::vector<ui::ScriptedUi::ShownMessage>{{exportMessage, Icon::Stop, ""}}));
        test::runSql(database(), std::string("UPDATE master SET codice = 0;") + restore);
        ui.clear();
        EXPECT_TRUE(checkMasterRecord(connection()));
        EXPECT_TRUE(ui.messages().empty());
    }
}

TEST_F(VerificationTest, StandAloneCommandChecksTheGeneralDataThenVerifiesTheTextForm) {
    open("UPDATE master SET resple = NULL;");
    EXPECT_EQ(VerifyCommand(window), ui::Outcome::Failed);
    EXPECT_EQ(
        ui.messages(),
        (std::vector<ui::ScriptedUi::ShownMessage>{{std::string(kMasterMessage), Icon::Stop, ""}}));
    EXPECT_TRUE(ui.progressCaptions().empty());
    EXPECT_TRUE(ui.dialogs().empty());

    // Blocking for the text form (a repeated stop code), with the report asked for.
    test::runSql(database(),
                 "UPDATE master SET resple = 'Mario Rossi';"
                 "INSERT INTO fermate VALUES (5, 'VAL01', 'Doppia', 'Via Doppia', 0, 0, 1);"
                 "INSERT INTO corse VALUES"
                 " (3, 'C003', 'L7', 'A', 800, 3, 1000, 20, 1000, 20, 1, 1, 'U', NULL, NULL);"
                 "INSERT INTO extcod VALUES (3, 1, 42, 0);");
    ui.clear();
    ui.answerFile("report", dir / "verifica.txt");
    EXPECT_EQ(VerifyCommand(window), ui::Outcome::Failed);
    EXPECT_EQ(ui.progressCaptions(), std::vector<std::string>{"Verifica Formale dei dati"});
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {std::string(kBlockingMessage) + "VKZ-TXT v1", Icon::Stop, ""}}));
    EXPECT_TRUE(ui.confirmations().empty());
    EXPECT_EQ(ui.dialogs(), std::vector<std::string>{"Report Errori Riscontrati"});
    const std::string text = report(dir / "verifica.txt");
    EXPECT_NE(text.find("ID=5 VAL01 Doppia (ID=1 VAL01 Stazione Centrale)\n"), std::string::npos);
    EXPECT_EQ(text.find("Linea"), std::string::npos) << "line checks belong to the XML form";
    EXPECT_EQ(text.find("Subappalto"), std::string::npos);

    // Without an answer to the report's dialog nothing is written.
    ui.clear();
    VerifyCommand(window);
    EXPECT_EQ(ui.dialogs(), std::vector<std::string>{"Report Errori Riscontrati"});
    EXPECT_EQ(ui.messages().size(), 1u);
}

} // namespace
} // namespace tramela::comm
