#include "reports/analysis/differential.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
#include "workspace/text_output.h"

#include <gtest/gtest.h>

namespace tramela::reports {
namespace {

using ui::Icon;
using ui::Outcome;

// Two working weeks of January 2025 on the sample network, with trips of line L2 that show
// every way a trip can pass from the first week to the second:
// - 10 runs in both (confirmed);
// - 11 -> 21 same timetable, cadence FER -> SCO; 12 -> 22 same timetable and cadence;
//   19 is 12's twin and finds 22 taken;
// - 13 -> 23 five minutes later; 14 -> 24 one stop changed (same first stop);
//   15 -> 25 a stop added in front and the last one dropped (no terminal in common);
// - 16 (departing 23:50) and 17 (its second week withdrawn) cease; 26 is new.
constexpr const char* kNetwork = R"SQL(
INSERT INTO cadenz VALUES ('SCO', 'Scolastico');
INSERT INTO fermate VALUES (6, 'NEW01', 'Nuova Fermata', '', 0, 0, 1),
    (7, 'NEW02', 'Capolinea Nord', '', 0, 0, 1);
INSERT INTO itiner VALUES (5, 'L2V', 'Valmora - Casa isolata', 2000, 1900),
    (6, 'L2N', 'Valmora - Nuova Fermata', 2100, 2000), (7, 'L2C', 'Capolinea Nord - Isolata', 2050, 1950);
INSERT INTO tesstd VALUES (4, 5), (5, 6), (6, 7);
INSERT INTO detstd VALUES (4, 1, 1, 0, 0, 0, 0), (4, 2, 2, 5, 5, 0, 0), (4, 3, 3, 10, 10, 0, 0),
    (4, 4, 4, 15, 15, 0, 0), (4, 5, 5, 20, 20, 0, 0),
    (5, 1, 1, 0, 0, 0, 0), (5, 2, 2, 5, 5, 0, 0), (5, 3, 3, 10, 10, 0, 0),
    (5, 4, 4, 15, 15, 0, 0), (5, 5, 6, 25, 25, 0, 0),
    (6, 1, 7, 0, 0, 0, 0), (6, 2, 1, 2, 2, 0, 0), (6, 3, 2, 7, 7, 0, 0),
    (6, 4, 3, 12, 12, 0, 0), (6, 5, 4, 17, 17, 0, 0);
INSERT INTO corse VALUES
    (10, 'K10', 'L2', 'A', 800, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),
    (11, 'K11', 'L2', 'A', 900, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),
    (21, 'K21', 'L2', 'A', 900, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),
    (12, 'K12', 'L2', 'R', 1000, 3, 1914.21, 20, 1640.12, 20, 2, 2, 'U', NULL, NULL),
    (19, '', 'L2', 'R', 1000, 3, 1914.21, 20, 1640.12, 20, 2, 2, 'U', NULL, NULL),
    (22, 'K22', 'L2', 'R', 1000, 3, 1914.21, 20, 1640.12, 20, 2, 2, 'U', NULL, NULL),
    (13, 'K13', 'L2', 'A', 1200, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),
    (23, '', 'L2', 'A', 1205, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),
    (14, 'K14', 'L2', 'A', 1400, 3, 2000, 20, 1900, 20, 5, 4, 'U', NULL, NULL),
    (24, 'K24', 'L2', 'A', 1400, 3, 2100, 25, 2000, 25, 6, 5, 'U', NULL, NULL),
    (15, 'K15', 'L2', 'A', 1600, 3, 2000, 20, 1900, 20, 5, 4, 'U', NULL, NULL),
    (25, 'K25', 'L2', 'A', 1558, 3, 2050, 17, 1950, 17, 7, 6, 'U', NULL, NULL),
    (16, 'K16', 'L2', 'R', 2350, 3, 1914.21, 20, 1640.12, 20, 2, 2, 'U', NULL, NULL),
    (17, 'K17', 'L2', 'R', 600, 3, 1914.21, 20, 1640.12, 20, 2, 2, 'U', NULL, NULL),
    (26, 'K26', 'L2', 'R', 2000, 3, 1914.21, 20, 1640.12, 20, 2, 2, 'U', NULL, NULL);
INSERT INTO extcod SELECT id, 1, 42, 42 FROM corse WHERE id >= 10;
INSERT INTO period VALUES (10, 'FER', '2025-01-01', '2025-12-31', 0),
    (17, 'FER', '2025-01-13', '2025-01-17', 1), (17, 'FER', '2025-01-01', '2025-12-31', 0),
    (21, 'SCO', '2025-01-13', '2025-12-31', 0);
INSERT INTO period SELECT id, 'FER', '2025-01-01', '2025-01-10', 0 FROM corse
    WHERE id IN (11, 12, 13, 14, 15, 16, 19);
INSERT INTO period SELECT id, 'FER', '2025-01-13', '2025-12-31', 0 FROM corse
    WHERE id IN (22, 23, 24, 25, 26);
INSERT INTO calend VALUES ('2025-01-06', 'FER', '1', ''), ('2025-01-07', 'FER', '2', ''),
    ('2025-01-08', 'FER', '3', ''), ('2025-01-09', 'FER', '4', ''), ('2025-01-10', 'FER', '5', ''),
    ('2025-01-13', 'FER', '1', ''), ('2025-01-14', 'FER', '2', ''), ('2025-01-15', 'FER', '3', ''),
    ('2025-01-16', 'FER', '4', ''), ('2025-01-17', 'FER', '5', '');
INSERT INTO calend SELECT data, 'SCO', giorno, '' FROM calend WHERE data >= '2025-01-01';
)SQL";

class DifferentialAnalysis : public test::SampleWorkspace {
protected:
    void answerPeriods(std::string firstStart,
                       std::string firstEnd,
                       std::string secondStart,
                       std::string secondEnd) {
        ui.answerForm(std::string(kPeriodsFormId),
                      ui::FormValues{{std::string(kFirstStartField), std::move(firstStart)},
                                     {std::string(kFirstEndField), std::move(firstEnd)},
                                     {std::string(kSecondStartField), std::move(secondStart)},
                                     {std::string(kSecondEndField), std::move(secondEnd)}});
    }

    std::string file(std::string_view name) {
        return workspace::latin1ToUtf8(test::readFile(dir / name));
    }
};

TEST_F(DifferentialAnalysis, EveryPassOfTheHeuristicOnTwoWeeks) {
    open(kNetwork);
    answerPeriods("06/01/25", "10.01.2025", "13/01/2025", "17-01-2025");
    ui.answerFile(std::string(kAnalysisFolderKey), dir / "ignorato.txt");
    ASSERT_EQ(RunDifferentialAnalysis(window()), Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 1u) << ui.messages().front().text;
    EXPECT_EQ(ui.messages()[0].text, "Analisi Differenziale Periodi terminata");
    EXPECT_FALSE(std::filesystem::exists(dir / "ignorato.txt"));
    for (std::string_view name :
         {kCeasedTripsFile, kNewTripsFile, kReplacedTripsFile, kStopsFile, kRoutesFile}) {
        EXPECT_GOLDEN(file(name), "differential/" + std::string(name));
    }
    // Text mode: every line ends with CR LF.
    const std::string raw = test::readFile(dir / kCeasedTripsFile);
    EXPECT_EQ(raw.find("\n"), raw.find("\r\n") + 1);
}

// Periods in which nothing changes: each file says so.
TEST_F(DifferentialAnalysis, NothingChangedBetweenTwoPeriods) {
    open(kNetwork);
    answerPeriods("01/03/2024", "01/03/2024", "02/03/2024", "02/03/2024");
    ui.answerFile(std::string(kAnalysisFolderKey), dir / "x.txt");
    ASSERT_EQ(RunDifferentialAnalysis(window()), Outcome::Done);
    const std::string heading = "Analisi Differenziale dell'Esercizio Pianificato\n"
                                "Primo periodo: dal 01/03/2024 al 01/03/2024\n"
                                "Secondo periodo: dal 02/03/2024 al 02/03/2024\n\n\n";
    const auto crlf = [](std::string text) { return test::replaceAll(text, "\n", "\r\n"); };
    EXPECT_EQ(test::readFile(dir / kCeasedTripsFile),
              crlf(heading + "Tutte le corse pianificate nel PRIMO PERIODO sono confermate con "
                             "caratteristiche invariate\n\n"));
    EXPECT_EQ(file(kNewTripsFile),
              crlf(heading + "Nel SECONDO PERIODO non è stata attivata alcuna nuova corsa\n\n"));
    EXPECT_EQ(file(kReplacedTripsFile),
              crlf(heading + "Non è stata identificata nessuna corsa sostituita\n\n"));
    EXPECT_EQ(
        file(kStopsFile),
        crlf(heading + "Non ci sono variazioni nella rete descritta in termini di fermate\n\n"));
    EXPECT_EQ(
        file(kRoutesFile),
        crlf(heading + "Non ci sono variazioni nella rete descritta in termini di percorsi\n\n"));
}

// Each refusal of the dialog, in the order the fields are checked.
TEST(DifferentialPeriods, TheDialogRefusesBadAndOverlappingPeriods) {
    const ui::FormSpec spec = periodsDialog();
    const auto refusal = [&spec](std::string a, std::string b, std::string c, std::string d) {
        const auto refused = spec.validate({{std::string(kFirstStartField), a},
                                            {std::string(kFirstEndField), b},
                                            {std::string(kSecondStartField), c},
                                            {std::string(kSecondEndField), d}});
        return refused ? refused->text : std::string("accettato");
    };
    const std::string form = "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
    EXPECT_EQ(refusal("1/1/2025", "31/01/2025", "01/02/2025", "28/02/2025"),
              "ATTENZIONE: la data di inizio periodo (1) è espressa in un formato illegale.\n\n" +
                  form);
    EXPECT_EQ(refusal("01/01/2025", "31/01/2025", "01/02/2025", "30/02/2025"),
              "ATTENZIONE: la data di fine periodo (2) è espressa in un formato illegale.\n\n" +
                  form);
    EXPECT_EQ(refusal("31/01/2025", "01/01/2025", "01/02/2025", "28/02/2025"),
              "ATTENZIONE: le date di inizio e fine periodo (1) sono invertite !!!.\n\n");
    EXPECT_EQ(refusal("01/01/2025", "31/01/2025", "28/02/2025", "01/02/2025"),
              "ATTENZIONE: le date di inizio e fine periodo (2) sono invertite !!!.\n\n");
    EXPECT_EQ(refusal("01/01/2025", "31/01/2025", "31/01/2025", "28/02/2025"),
              "ATTENZIONE: i due periodi sono sovrapposti !!!.\n\n");
    EXPECT_EQ(refusal("01/01/25", "31.01.2025", "01-02-2025", "28/02/2025"), "accettato");
}

// A folder that is not there is said once and no file is written; Cancel writes nothing.
TEST_F(DifferentialAnalysis, AMissingFolderOrCancelWritesNothing) {
    open(kNetwork);
    answerPeriods("06/01/2025", "10/01/2025", "13/01/2025", "17/01/2025");
    ui.answerFile(std::string(kAnalysisFolderKey), dir / "manca" / "x.txt");
    EXPECT_EQ(RunDifferentialAnalysis(window()), Outcome::Failed);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Exclamation);
    EXPECT_FALSE(std::filesystem::exists(dir / "manca"));

    answerPeriods("06/01/2025", "10/01/2025", "13/01/2025", "17/01/2025");
    ui.answerFile(std::string(kAnalysisFolderKey), std::nullopt);
    EXPECT_EQ(RunDifferentialAnalysis(window()), Outcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(dir / kCeasedTripsFile));
}

// A database that bears the name of one of the files is never written over: nothing is.
TEST_F(DifferentialAnalysis, TheDatabaseIsNeverOneOfTheFiles) {
    open(kNetwork, kRoutesFile);
    const std::string before = test::readFile(dir / kRoutesFile);
    answerPeriods("06/01/2025", "10/01/2025", "13/01/2025", "17/01/2025");
    ui.answerFile(std::string(kAnalysisFolderKey), dir / "x.txt");
    EXPECT_EQ(RunDifferentialAnalysis(window()), Outcome::Failed);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_NE(ui.messages()[0].text.find("non viene sovrascritto"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / kRoutesFile), before);
    EXPECT_FALSE(std::filesystem::exists(dir / kCeasedTripsFile));
}

} // namespace
} // namespace tramela::reports
