#include "comm/verification.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"

#include <gtest/gtest.h>

namespace tramela::comm {
namespace {

using ui::Outcome;

// The sample network repeats stop VAL01 (stops 1 and 5, same name and location) and leaves
// stop 4 without a location; without those the network is clean.
const std::string kCleanNetwork = "DELETE FROM fermate WHERE ID = 5;"
                                  "UPDATE fermate SET ubicaz = 'Località isolata' WHERE ID = 4;";

class VerificationTest : public test::SampleWorkspace {
protected:
    // Runs the verification asking for the report into dir/name, and records what it showed
    // and the report it wrote.
    Outcome verify(std::string_view name, bool ask, ExportKind kind) {
        ui.answerFile("report", dir / name);
        const Outcome outcome = runFormalVerification(connection(), ask, kind);
        steps.step(name);
        if (std::filesystem::exists(dir / name)) {
            steps.add("report", test::maskedReport(dir / name));
        }
        return outcome;
    }

    test::Transcript steps{ui, dir.path()};
};

TEST_F(VerificationTest, CleanNetworkGoesOnWithoutAnyMessageOrReport) {
    open(kCleanNetwork);
    ui.answerFile("report", dir / "report.txt");
    EXPECT_TRUE(checkMasterRecord(connection()));
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzTxt), Outcome::Done);
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzXml), Outcome::Done);
    EXPECT_EQ(VerifyCommand(window()), Outcome::Done);
    EXPECT_EQ(test::transcript(ui), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "report.txt"));
}

// Accepted, the export goes on with the report written; refused, it stops and the report is
// still offered (here the user keeps none); without asking, the user is told and it goes on.
TEST_F(VerificationTest, StopWithoutLocationIsToleratedAsTheUserAnswers) {
    // Blanks only are no location.
    open(kCleanNetwork + "UPDATE fermate SET ubicaz = '   ' WHERE ID = 4;");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(verify("accepted.txt", true, ExportKind::VkzTxt), Outcome::Done);
    ui.answerConfirm("proceed", false);
    ui.answerFile("report", std::nullopt);
    EXPECT_EQ(runFormalVerification(connection(), true, ExportKind::VkzXml), Outcome::Cancelled);
    EXPECT_EQ(ui.pendingAnswers(), 0u);
    steps.step("refused");
    EXPECT_EQ(verify("told.txt", false, ExportKind::VkzXml), Outcome::Done);
    EXPECT_GOLDEN(steps.text(), "verification/tolerated.txt");
}

// Blocking findings are not open to question: the proceed answer is never asked for.
TEST_F(VerificationTest, BlockingFindingsStopTheExportAndEveryFindingIsReportedInOrder) {
    open(kCleanNetwork + "INSERT INTO fermate VALUES"
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
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(verify("errori.txt", true, ExportKind::VkzTxt), Outcome::Failed);
    EXPECT_GOLDEN(steps.text(), "verification/blocking.txt");
}

// Trip 4 runs line "L1" for authority 5, the standard line belongs to authority 3; line "L2"
// has no standard line (trips of two authorities: two lines); lot 2 has no "L1"; lot 0 is not
// looked at. The text form checks none of this.
TEST_F(VerificationTest, StandardLinesAndSubcontractingAreCheckedForTheXmlFormOnly) {
    open(kCleanNetwork +
         "INSERT INTO corse VALUES"
         " (3, 'C003', 'L2', 'A', 800, 3, 1000, 20, 1000, 20, 1, 1, 'U', NULL, NULL),"
         " (4, 'C004', 'L1 ', 'A', 900, 5, 1000, 20, 1000, 20, 1, 1, 'U', NULL, NULL),"
         " (5, 'C005', 'L2', 'R', 1000, 5, 1000, 20, 1000, 20, 2, 2, 'U', NULL, NULL),"
         " (6, 'C006', 'L1', 'R', 1100, 3, 1000, 20, 1000, 20, 2, 2, 'U', NULL, NULL),"
         " (7, 'C007', 'L9', 'R', 1200, 3, 1000, 20, 1000, 20, 2, 2, 'U', NULL, NULL);"
         "INSERT INTO extcod VALUES (3, 1, 42, 42), (4, 1, 42, 0), (5, 1, 42, 42),"
         " (6, 2, 42, 42), (7, 0, 42, 42);");
    EXPECT_EQ(verify("xml.txt", true, ExportKind::VkzXml), Outcome::Failed);
    EXPECT_EQ(verify("txt.txt", true, ExportKind::VkzTxt), Outcome::Done);
    EXPECT_GOLDEN(steps.text(), "verification/standard_lines.txt");
}

// No stops: blocking twice, and no group printed empty. A report that cannot be created is said
// and leaves the answer alone.
TEST_F(VerificationTest, EmptyStopTableAndAReportThatCannotBeCreated) {
    open(kCleanNetwork + "DELETE FROM detstd; DELETE FROM fermitin; DELETE FROM fermate;");
    EXPECT_EQ(verify("vuoto.txt", false, ExportKind::VkzTxt), Outcome::Failed);
    open(kCleanNetwork + "UPDATE fermate SET ubicaz = NULL WHERE ID = 4;", "altra.sqlite");
    EXPECT_EQ(verify("manca/report.txt", false, ExportKind::VkzTxt), Outcome::Done);
    EXPECT_GOLDEN(steps.text(), "verification/empty_and_uncreatable.txt");
}

TEST_F(VerificationTest, ChecksThatCannotReadTheirTablesBlockTheExport) {
    // Without extcod the trips cannot be shown to have their extended codes.
    open(kCleanNetwork + "DROP TABLE extcod;");
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

// Each gap in the general data refuses the export with the same message; mended, it passes.
TEST_F(VerificationTest, IncompleteGeneralDataAreRefused) {
    open(kCleanNetwork);
    const char* restore = "UPDATE master SET codice = 0; UPDATE master SET p_data = '2024-03-01',"
                          " protoc = 7, resple = 'Mario Rossi' WHERE codice = 0;";
    std::string refusal;
    for (const char* damage : {"UPDATE master SET resple = '   ';",
                               "UPDATE master SET p_data = NULL;",
                               "UPDATE master SET protoc = 0;",
                               "UPDATE master SET protoc = NULL;",
                               "UPDATE master SET protoc = 'sette';",
                               "UPDATE master SET protoc = -1;",
                               "UPDATE master SET codice = 1;"}) {
        SCOPED_TRACE(damage);
        test::runSql(database(), damage);
        EXPECT_FALSE(checkMasterRecord(connection()));
        const std::string shown = test::transcript(ui);
        refusal = refusal.empty() ? shown : refusal;
        EXPECT_EQ(shown, refusal);
        test::runSql(database(), restore);
        ui.clear();
        EXPECT_TRUE(checkMasterRecord(connection()));
        EXPECT_TRUE(ui.messages().empty());
    }
    EXPECT_GOLDEN(refusal, "verification/general_data.txt");
}

// The stand-alone command checks the general data first, then verifies the text form (a
// repeated stop code is blocking; the line checks belong to the XML form); without an answer to
// the report's dialog nothing is written.
TEST_F(VerificationTest, StandAloneCommandChecksTheGeneralDataThenVerifiesTheTextForm) {
    open(kCleanNetwork + "UPDATE master SET resple = NULL;");
    EXPECT_EQ(VerifyCommand(window()), Outcome::Failed);
    EXPECT_TRUE(ui.progressCaptions().empty());
    steps.step("no responsible");

    test::runSql(database(),
                 "UPDATE master SET resple = 'Mario Rossi';"
                 "INSERT INTO fermate VALUES (5, 'VAL01', 'Doppia', 'Via Doppia', 0, 0, 1);"
                 "INSERT INTO corse VALUES"
                 " (3, 'C003', 'L7', 'A', 800, 3, 1000, 20, 1000, 20, 1, 1, 'U', NULL, NULL);"
                 "INSERT INTO extcod VALUES (3, 1, 42, 0);");
    ui.answerFile("report", dir / "verifica.txt");
    EXPECT_EQ(VerifyCommand(window()), Outcome::Failed);
    EXPECT_EQ(ui.progressCaptions(), std::vector<std::string>{"Verifica Formale dei dati"});
    steps.step("blocking");
    steps.add("report", test::maskedReport(dir / "verifica.txt"));

    VerifyCommand(window());
    steps.step("no report");
    EXPECT_GOLDEN(steps.text(), "verification/command.txt");
}

} // namespace
} // namespace tramela::comm
