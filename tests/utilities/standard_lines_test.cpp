#include "support/golden.h"
#include "support/sample_workspace.h"
#include "utilities/standard_lines.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::utilities {
namespace {

using ui::Outcome;

const std::string kNoStandardLines = "DELETE FROM reglklin; DELETE FROM reglinee;";

// A trip like the sample's on `route` (standard trip 1), with its extended codes in `lot` unless
// the lot is 0.
std::string trip(int id, std::string_view line, int authority, int lot, int route = 1) {
    std::string sql = fmt::format("INSERT INTO corse VALUES ({0}, 'C{0}', '{1}', 'A', 800, {2}, "
                                  "1000, 10, 1000, 10, {3}, 1, 'U', NULL, NULL);",
                                  id,
                                  line,
                                  authority,
                                  route);
    if (lot != 0) {
        sql += fmt::format("INSERT INTO extcod VALUES ({}, {}, 42, 42);", id, lot);
    }
    return sql;
}

class StandardLineUtilities : public test::SampleWorkspace {
protected:
    // Ends a step with the standard lines and their links as they are then.
    void step(std::string_view title) {
        steps.step(title);
        steps.add("tables",
                  rows("SELECT lotto, id, ente, sigla, denom, itiner FROM reglinee "
                       "ORDER BY lotto, id; SELECT codlinea, lotto, id FROM reglklin "
                       "ORDER BY codlinea"));
    }

    test::Transcript steps{ui, dir.path()};
};

TEST_F(StandardLineUtilities, CommandsStopWithoutSuccessWhenTheTablesAreMissing) {
    open("DROP TABLE reglklin;");
    for (auto command :
         {&IdentifyStandardLines, &IdentifyRailwayStandardLines, &RemoveStandardLines}) {
        ui.clear();
        ui.answerConfirm("proceed", true);
        ui.answerConfirm("last-warning", true);
        command(window());
        // The query layer's failure, and no count that would pass for a result.
        ASSERT_EQ(ui.messages().size(), 1u);
        EXPECT_NE(ui.messages()[0].icon, ui::Icon::Information);
        EXPECT_EQ(connection().transactionDepth(), 0);
    }
    EXPECT_EQ(rows("SELECT lotto, id FROM reglinee"), "1|1\n");
}

// Lot 4: the sample's two trips, moved to line L3 (authority 3). Lot 3: line L1 with two trips
// of authority 4 and one of 9; line L2 written "L2 " and "l2", one pair, whose authorities 9 and
// 5 tie and the first met wins. A trip without extended codes is not seen. Once the structure
// exists both identifications are refused, the railway one before its warning.
TEST_F(StandardLineUtilities, IdentificationNumbersLinesWithinEachLotUnderTheirCommonestAuthority) {
    open(kNoStandardLines + "UPDATE corse SET codlinea = 'L3'; UPDATE extcod SET lotto = 4;" +
         trip(10, "L1", 4, 3) + trip(11, "L1", 9, 3) + trip(12, "L1", 4, 3) +
         trip(13, "L2 ", 9, 3) + trip(14, "l2", 5, 3) + trip(15, "L9", 7, 0));
    IdentifyStandardLines(window());
    EXPECT_EQ(ui.busyCalls(), std::vector<bool>{true});
    EXPECT_EQ(connection().transactionDepth(), 0);
    step("identified");

    IdentifyStandardLines(window());
    IdentifyRailwayStandardLines(window());
    step("refused twice");
    EXPECT_GOLDEN(steps.text(), "standard_lines/identification.txt");
}

TEST_F(StandardLineUtilities, IdentificationCountsOnlyTheRowsTheTablesAccept) {
    // Trip 2 has no line code (a single blank) in lot 2: its standard line and link are refused.
    open(kNoStandardLines +
         "UPDATE corse SET codlinea = ' ' WHERE id = 2; UPDATE extcod SET lotto = 2 WHERE id = 2;");
    IdentifyStandardLines(window());
    step("one of two");
    EXPECT_GOLDEN(steps.text(), "standard_lines/refused_rows.txt");
}

// L1: trips 1 and 2 in lot 1, 10 in lot 3, 12 (written "l1 ") in lot 5. L7: lots 3 and 5. L12
// is in lot 3 only. Leaving the report's dialog writes nothing.
TEST_F(StandardLineUtilities, LinesSpreadOverLotsAreReportedAndNothingIsGenerated) {
    open(kNoStandardLines +
         "UPDATE reglot SET denom = 'Lotto Università' WHERE codice = 1;"
         "UPDATE reglot SET denom = 'Lotto Tre' WHERE codice = 3;"
         "UPDATE reglot SET denom = 'Lotto Cinque' WHERE codice = 5;" +
         trip(10, "L1", 3, 3) + trip(11, "L12", 3, 3) + trip(12, "l1 ", 3, 5) +
         trip(13, "L7", 3, 3) + trip(14, "L7", 3, 5));
    ui.answerFile("report", dir / "ERRORI_LINEE_STD.TXT");
    IdentifyStandardLines(window());
    step("reported");
    steps.add("report", test::maskedReport(dir / "ERRORI_LINEE_STD.TXT"));
    IdentifyStandardLines(window());
    step("no report");
    EXPECT_GOLDEN(steps.text(), "standard_lines/spread_over_lots.txt");
}

// Route 4 has route 1's name with trailing blanks: one relation. Route 5's name is longer than
// the 40 characters of a standard line's name, with an accented letter at the cut. Whatever the
// route, a trip takes the relation of its route's name.
TEST_F(StandardLineUtilities, RailwayVariantMakesOneRelationPerRouteNameAndRecodesTheTrips) {
    open(kNoStandardLines +
         "INSERT INTO itiner VALUES (4, 'L1A2', 'Stazione Centrale - Borgo Alto Chiesa  ', 0, 0),"
         " (5, 'FV', 'Ferrovia Valmora Centrale - Borgo Città Alta - Porto Nuovo - Capolinea',"
         " 0, 0);" +
         trip(10, "X", 3, 0, 4) + trip(11, "Y", 3, 0, 5));
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(IdentifyRailwayStandardLines(window()), Outcome::Cancelled);
    step("cancelled");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(IdentifyRailwayStandardLines(window()), Outcome::Done);
    step("done");
    steps.add("trips", rows("SELECT id, codlinea FROM corse ORDER BY id"));
    EXPECT_GOLDEN(steps.text(), "standard_lines/railway.txt");
}

// A link stored with trailing blanks is found and deleted like any other.
TEST_F(StandardLineUtilities, RemovalAsksTwiceThenEmptiesBothTables) {
    open("INSERT INTO reglinee VALUES (2, 1, 4, 'L2', 'Linea 2', 'Borgo');"
         "INSERT INTO reglklin VALUES ('L2  ', 2, 1);");
    for (const bool lastAnswer : {false, true, true}) {
        ui.answerConfirm("proceed", true);
        ui.answerConfirm("last-warning", lastAnswer);
        EXPECT_EQ(RemoveStandardLines(window()), lastAnswer ? Outcome::Done : Outcome::Cancelled);
        step(lastAnswer ? "removed" : "cancelled at the last warning");
    }
    EXPECT_GOLDEN(steps.text(), "standard_lines/removal.txt");
}

} // namespace
} // namespace tramela::utilities
