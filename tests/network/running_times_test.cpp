#include "network/running_times.h"
#include "network/timetable_entry.h"
#include "support/sample_workspace.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using ui::Outcome;

std::vector<RunningTimeRow> rowsAt(std::vector<std::pair<int, bool>> anchors) {
    std::vector<RunningTimeRow> rows;
    for (const auto& [time, fixed] : anchors) {
        rows.push_back({static_cast<std::int32_t>(rows.size() + 1), time, time, fixed});
    }
    return rows;
}

std::vector<int> arrivals(const std::vector<RunningTimeRow>& rows) {
    std::vector<int> times;
    for (const RunningTimeRow& row : rows) {
        EXPECT_EQ(row.arrival, row.departure) << row.sub;
        times.push_back(row.arrival);
    }
    return times;
}

TEST(FloatingTimes, SpreadsBetweenTheTerminiInProportionToTheProgressivesRoundingHalfUp) {
    const std::vector<double> progressives = {0, 2500, 3750, 5000, 7500, 10000};
    std::vector<RunningTimeRow> rows =
        rowsAt({{0, false}, {99, false}, {99, false}, {99, false}, {99, false}, {20, false}});
    EXPECT_EQ(ComputeFloatingTimes(progressives, rows), (std::vector<std::size_t>{1, 2, 3, 4}));
    EXPECT_EQ(arrivals(rows), (std::vector<int>{0, 5, 8, 10, 15, 20}));
}

TEST(FloatingTimes, FixedRowsAreAnchorsThatKeepTheirTimesAndStartFromTheirDeparture) {
    const std::vector<double> progressives = {0, 1000, 2000, 3000, 4000};
    std::vector<RunningTimeRow> rows =
        rowsAt({{0, false}, {0, false}, {10, true}, {0, false}, {30, false}});
    rows[2].departure = 14; // a stop of four minutes
    ComputeFloatingTimes(progressives, rows);
    EXPECT_EQ(rows[1].arrival, 5);
    EXPECT_EQ(rows[2].arrival, 10);
    EXPECT_EQ(rows[2].departure, 14);
    EXPECT_EQ(rows[3].arrival, 22); // 14 + 16 / 2
    EXPECT_EQ(rows[4].arrival, 30);
}

TEST(FloatingTimes, DegenerateStretchesAndMismatchedRowCountsStayWithinTheirAnchors) {
    // Two anchors at the same progressive, or at the same time: the stop between takes the
    // previous anchor's departure. A stop beyond the next anchor's progressive stays within its
    // time.
    const std::vector<double> flat = {0, 0, 0};
    std::vector<RunningTimeRow> rows = rowsAt({{0, false}, {7, false}, {10, false}});
    ComputeFloatingTimes(flat, rows);
    EXPECT_EQ(arrivals(rows), (std::vector<int>{0, 0, 10}));
    const std::vector<double> ahead = {0, 500, 100};
    rows = rowsAt({{0, false}, {7, false}, {10, false}});
    ComputeFloatingTimes(ahead, rows);
    EXPECT_EQ(rows[1].arrival, 10);
    rows = rowsAt({{5, false}, {7, false}, {5, false}});
    ComputeFloatingTimes(std::vector<double>{0, 50, 100}, rows);
    EXPECT_EQ(rows[1].arrival, 5);

    // More rows than the route has stops: those beyond are left; fewer: the rows after the last
    // anchor are left.
    rows = rowsAt({{0, false}, {1, false}, {10, false}, {33, false}});
    ComputeFloatingTimes(std::vector<double>{0, 500, 1000}, rows);
    EXPECT_EQ(arrivals(rows), (std::vector<int>{0, 5, 10, 33}));
    rows = rowsAt({{0, false}, {1, false}, {2, false}});
    EXPECT_TRUE(ComputeFloatingTimes(std::vector<double>{0, 500, 1000, 2000}, rows).empty());
    EXPECT_TRUE(ComputeFloatingTimes({}, rows).empty());
}

class RunningTimeCommands : public test::SampleWorkspace {
protected:
    std::string times() {
        return rows("SELECT id, sub, arriva, parte FROM detstd ORDER BY id, sub");
    }

    std::string durations() { return rows("SELECT id, tempo, ct_tempo FROM corse ORDER BY id"); }

    static constexpr std::string_view kSampleTimes = "1|1|0|0\n1|2|5|6\n1|3|20|20\n"
                                                     "2|1|0|0\n2|2|14|15\n2|3|20|20\n";
};

// Standard trip 1 on route 1: the middle stop at 500 of 1914.21 m, 5.22 minutes, 5; standard
// trip 2 on route 2: 1414.21 of 1914.21 m, 14.78 minutes, 15. Standard trip 3 on route 4 has a
// fixed middle row. Trips also run standard trip 1 on route 3 (one stop) and on route 5 (no
// stops), both skipped silently; trip 8 names a missing standard trip, trip 9 a missing route.
const std::string kMorePairs =
    "DROP TRIGGER IF EXISTS rel_corse_standard_ins; DROP TRIGGER IF EXISTS rel_corse_itiner_ins;"
    "INSERT INTO itiner VALUES (4, 'L4', 'Quattro', 3000, 3000), (5, 'L5', 'Vuoto', 0, 0);"
    "INSERT INTO fermitin VALUES (4, 1, 1, 0, 0, 0, 0), (4, 2, 2, 1000, 0, 0, 0),"
    " (4, 3, 3, 2000, 0, 0, 0), (4, 4, 4, 3000, 0, 0, 0);"
    "INSERT INTO tesstd VALUES (3, 4);"
    "INSERT INTO detstd VALUES (3, 1, 1, 0, 0, 0, 0), (3, 2, 2, 3, 3, 0, 0),"
    " (3, 3, 3, 12, 13, 0, 1), (3, 4, 4, 23, 23, 0, 0);"
    "INSERT INTO corse (id, codcorsa, codlinea, verso, parte, ente, lung, tempo, ct_lung, "
    "ct_tempo, id_perc, standard) VALUES (3, 'C3', 'L4', 'A', 600, 3, 3000, 1, 3000, 1, 4, 3),"
    " (6, 'C6', 'L1', 'A', 600, 3, 0, 1, 0, 1, 3, 1), (7, 'C7', 'L1', 'A', 600, 3, 0, 1, 0, 1, 5, "
    "1),"
    " (8, 'C8', 'L1', 'A', 600, 3, 0, 1, 0, 1, 1, 9), (9, 'C9', 'L1', 'A', 600, 3, 0, 1, 0, 1, 8, "
    "2);";

TEST_F(RunningTimeCommands, RecomputingTimesCountsTheFloatingRowsWrittenAndSkipsMissingPairs) {
    open(kMorePairs);
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(RecomputeTimes(window()), Outcome::Done);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"ATTENZIONE: il Percorso ID=8 non esiste !!!",
                                        "ATTENZIONE: la Corsa Standard ID=9 non esiste !!!",
                                        "Sono stati rideterminati 3 tempi di transito"}));
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Stop);
    EXPECT_EQ(ui.messages()[2].icon, ui::Icon::Information);
    EXPECT_TRUE(ui.confirmations()[0].text.starts_with(
        "ATTENZIONE: Questa funzione ricalcola i tempi flottanti a partire\n"));
    EXPECT_EQ(ui.confirmations()[0].icon, ui::Icon::Question);
    EXPECT_EQ(times(),
              "1|1|0|0\n1|2|5|5\n1|3|20|20\n2|1|0|0\n2|2|15|15\n2|3|20|20\n"
              "3|1|0|0\n3|2|6|6\n3|3|12|13\n3|4|23|23\n");
    EXPECT_EQ(connection().transactionDepth(), 0);
    // Each load shows the bar from 0 to 100.
    EXPECT_EQ(std::count(ui.progressValues().begin(), ui.progressValues().end(), 100), 3);
}

TEST_F(RunningTimeCommands, CancellingEitherCommandOrLosingATableChangesNoRow) {
    open();
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(RecomputeTimes(window()), Outcome::Cancelled);
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(FixDurations(window()), Outcome::Cancelled);
    EXPECT_TRUE(ui.messages().empty());

    sql("UPDATE corse SET tempo = 99, ct_tempo = 98; DROP TABLE fermitin;");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(RecomputeTimes(window()), Outcome::Failed);
    EXPECT_NE(ui.lastMessage()->icon, ui::Icon::Information);
    EXPECT_EQ(times(), kSampleTimes);
    EXPECT_EQ(durations(), "1|99|98\n2|99|98\n");
    EXPECT_EQ(connection().transactionDepth(), 0);
}

// A time or a progressive stored as text is not read as 0: its standard trip or route is told and
// left as it is, the others computed.
TEST_F(RunningTimeCommands, DamagedRowsAreToldAndTheirStandardTripsLeftAsTheyAre) {
    open("UPDATE detstd SET parte = 'x' WHERE id = 2 AND sub = 1;"
         "UPDATE corse SET tempo = 1, ct_tempo = 1;"
         "UPDATE detstd SET arriva = '2O' WHERE id = 2 AND sub = 3;");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(RecomputeTimes(window()), Outcome::Done);
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(FixDurations(window()), Outcome::Done);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "ATTENZIONE: la Corsa Standard ID=2 contiene tempi non numerici !!!",
                  "Sono stati rideterminati 1 tempi di transito",
                  "ATTENZIONE: la Corsa Standard ID=2 contiene tempi non numerici !!!",
                  "Risultati dell'elaborazione:\n\nSistemate 1 corse."}));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 2 AND sub = 2"), "14|15\n");
    EXPECT_EQ(durations(), "1|20|20\n2|1|1\n");

    sql("UPDATE fermitin SET condist = 'cinquecento' WHERE id = 1 AND sub = 2;"
        "UPDATE detstd SET arriva = 20, parte = 20 WHERE id = 2 AND sub = 3;"
        "UPDATE detstd SET parte = 0 WHERE id = 2 AND sub = 1;");
    ui.clear();
    ui.answerConfirm("proceed", true);
    RecomputeTimes(window());
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "ATTENZIONE: il Percorso ID=1 contiene progressive non numeriche !!!",
                  "Sono stati rideterminati 1 tempi di transito"}));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 2 AND sub = 2"), "15|15\n");
}

TEST_F(RunningTimeCommands, DurationsComeFromTheArrivalAtTheLastRowOfEachStandardTrip) {
    // Standard trip 3 has a single row; trip 4's standard trip has no rows and keeps its times.
    open("UPDATE corse SET tempo = 1, ct_tempo = 2;"
         "UPDATE detstd SET arriva = 31 WHERE id = 2 AND sub = 3;"
         "INSERT INTO tesstd VALUES (3, 3), (4, 3);"
         "INSERT INTO detstd VALUES (3, 1, 4, 7, 9, 0, 0);"
         "INSERT INTO corse (id, codcorsa, codlinea, verso, parte, ente, lung, tempo, ct_lung, "
         "ct_tempo, id_perc, standard) VALUES (3, 'C3', 'X9', 'A', 600, 3, 0, 1, 0, 2, 3, 3),"
         " (4, 'C4', 'X9', 'A', 600, 3, 0, 1, 0, 2, 3, 4);");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(FixDurations(window()), Outcome::Done);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Risultati dell'elaborazione:\n\nSistemate 3 corse."});
    EXPECT_EQ(durations(), "1|20|20\n2|31|31\n3|7|7\n4|1|2\n");
    EXPECT_TRUE(ui.confirmations()[0].text.ends_with("sovrascritti.\n\nIntendi proseguire?"));
}

TEST_F(RunningTimeCommands, TheEditorsFlagsAndTimesAreWrittenAtOnce) {
    open();
    EXPECT_EQ(ToggleStopFlag(connection(), StandardTripId{1}, 2, StopFlag::Fixed), true);
    EXPECT_EQ(ToggleStopFlag(connection(), StandardTripId{1}, 2, StopFlag::Passing), true);
    EXPECT_EQ(ToggleStopFlag(connection(), StandardTripId{1}, 2, StopFlag::Fixed), false);
    EXPECT_EQ(rows("SELECT fisso, nonferma FROM detstd WHERE id = 1 AND sub = 2"), "0|1\n");
    EXPECT_EQ(ToggleStopFlag(connection(), StandardTripId{1}, 9, StopFlag::Fixed), std::nullopt);
    EXPECT_TRUE(SetStopTimes(connection(), StandardTripId{2}, 2, 12, 13));
    EXPECT_FALSE(SetStopTimes(connection(), StandardTripId{2}, 7, 12, 13));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 2 AND sub = 2"), "12|13\n");
}

TEST_F(RunningTimeCommands, OneTripsRecalculationTakesItsAnchorsFromTheTimesShownAcrossMidnight) {
    // Trip 1 leaves at 23.50; the editor shows it reaching the last stop at 00.30 (40 minutes
    // on), not yet stored. The middle stop at 500 of 1914.21 m: 10.4 minutes, 10.
    open();
    const std::vector<ShownStopTime> shown = {
        {23 * 60 + 50, 23 * 60 + 50, false}, {23 * 60 + 55, 23 * 60 + 56, false}, {30, 30, false}};
    const auto times = RecomputeTripTimes(connection(), TripId{1}, shown);
    ASSERT_TRUE(times);
    EXPECT_EQ(times->standard, StandardTripId{1});
    EXPECT_EQ(times->computed, std::vector<std::size_t>{1});
    EXPECT_EQ(times->rows[1].arrival, 10);
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 1 ORDER BY sub"),
              "0|0\n10|10\n20|20\n");
    EXPECT_EQ(timeOfDay(times->start, times->rows[1].arrival), 0);

    // With the middle stop fixed as shown, nothing floats.
    std::vector<ShownStopTime> fixed = shown;
    fixed[1].fixed = true;
    EXPECT_TRUE(RecomputeTripTimes(connection(), TripId{1}, fixed)->computed.empty());
    EXPECT_FALSE(RecomputeTripTimes(connection(), TripId{77}, shown));
    EXPECT_EQ(ui.lastMessage()->text, "ATTENZIONE: la Corsa ID=77 non esiste !!!");
}

} // namespace
} // namespace tramela::network
