#include "calendar/running_days.h"
#include "calendar/service_days.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <algorithm>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <memory>

namespace tramela::calendar {
namespace {

using test::TempDir;
using ui::ScriptedUi;

// The network and calendar of the tests. The range is Monday 02/09/2024 to Sunday 15/09/2024.
// FER runs Monday to Saturday, FES on Sundays, SCO Monday to Friday, all from 26/08 to 22/09;
// NOT has one day in the range and EST one in July.
//
// Routes: 1 with stops 10, 11; 2 with 11, 12; 3 with 13, 14; 4 without stops. Stop 15 lies on
// no route. Standard trip 100 runs on route 1, 200 on 2, 300 on 3, 400 on 4.
//
// Trips (authority 5, lot 1, company 1, subcontractor 0 unless said):
//   1  L1, route 1: FER withdrawn 04/09-05/09 (stored first), FER granted 01/09/2024-30/06/2025
//   2  L1, route 1: FER granted all September, SCO withdrawn 09/09-15/09
//   3  L2, authority 7, route 2: FER 02/09-10/09 and FER 05/09-12/09 (overlapping), FES all month
//   4  "L1 " (trailing blank), route 3: EST all September, which has no day in the range
//   5  L'1, lot 3, company 2, subcontractor 4, route 2: FES all September
//   6  no extended codes, route 1: FER all September
//   7  L3, route 4 (no stops): FER all September
constexpr const char* kNetwork = R"sql(
INSERT INTO itiner (ID, codperc) VALUES (1, 'P1'), (2, 'P2'), (3, 'P3'), (4, 'P4');
INSERT INTO fermate (ID, fermata) VALUES (10, 'F10'), (11, 'F11'), (12, 'F12'), (13, 'F13'),
    (14, 'F14'), (15, 'F15');
INSERT INTO fermitin (ID, sub, fermata) VALUES (1, 1, 10), (1, 2, 11), (2, 1, 11), (2, 2, 12),
    (3, 1, 13), (3, 2, 14);
INSERT INTO tesstd (id, id_perc) VALUES (100, 1), (200, 2), (300, 3), (400, 4);
INSERT INTO cadenz (codice, denom) VALUES ('FER', 'Feriale'), ('FES', 'Festivo'),
    ('SCO', 'Scolastico'), ('EST', 'Estivo'), ('NOT', 'Notturno');
WITH RECURSIVE days(d) AS (SELECT '2024-08-26' UNION ALL
    SELECT date(d, '+1 day') FROM days WHERE d < '2024-09-22')
INSERT INTO calend (data, caden, giorno, note)
    SELECT d, 'FER', '1', ' ' FROM days WHERE strftime('%w', d) <> '0'
    UNION ALL SELECT d, 'FES', '7', ' ' FROM days WHERE strftime('%w', d) = '0'
    UNION ALL SELECT d, 'SCO', '1', ' ' FROM days WHERE strftime('%w', d) NOT IN ('0', '6');
INSERT INTO calend (data, caden, giorno, note) VALUES ('2024-09-03', 'NOT', '2', ' '),
    ('2024-07-15', 'EST', '1', ' ');
INSERT INTO corse (id, codcorsa, codlinea, verso, parte, ente, lung, tempo, ct_lung, ct_tempo,
    id_perc, standard) VALUES
    (1, 'C1', 'L1', 'A', 700, 5, 0, 0, 0, 0, 1, 100),
    (2, 'C2', 'L1', 'A', 800, 5, 0, 0, 0, 0, 1, 100),
    (3, 'C3', 'L2', 'A', 900, 7, 0, 0, 0, 0, 2, 200),
    (4, 'C4', 'L1 ', 'A', 1000, 5, 0, 0, 0, 0, 3, 300),
    (5, 'C5', 'L''1', 'R', 1100, 5, 0, 0, 0, 0, 2, 200),
    (6, 'C6', 'L1', 'R', 1200, 5, 0, 0, 0, 0, 1, 100),
    (7, 'C7', 'L3', 'R', 1300, 5, 0, 0, 0, 0, 4, 400);
INSERT INTO extcod (id, lotto, aziges, azisub) VALUES (1, 1, 1, 0), (2, 1, 1, 0), (3, 1, 1, 0),
    (4, 1, 1, 0), (5, 3, 2, 4), (7, 1, 1, 0);
INSERT INTO period (id, caden, inizio, fine, escluso) VALUES
    (1, 'FER', '2024-09-04', '2024-09-05', 1),
    (1, 'FER', '2024-09-01', '2025-06-30', 0),
    (2, 'FER', '2024-09-01', '2024-09-30', 0),
    (2, 'SCO', '2024-09-09', '2024-09-15', 1),
    (3, 'FER', '2024-09-02', '2024-09-10', 0),
    (3, 'FER', '2024-09-05', '2024-09-12', 0),
    (3, 'FES', '2024-09-01', '2024-09-30', 0),
    (4, 'EST', '2024-09-01', '2024-09-30', 0),
    (5, 'FES', '2024-09-01', '2024-09-30', 0),
    (6, 'FER', '2024-09-01', '2024-09-30', 0),
    (7, 'FER', '2024-09-01', '2024-09-30', 0);
)sql";

constexpr Date kMonday{2024, 9, 2};
constexpr Date kSunday{2024, 9, 15};

class ServiceDaysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedUi quiet;
        ASSERT_TRUE(store::createCartographyDatabase(quiet, dir / "db.sqlite"));
        connection = std::make_unique<store::DatabaseConnection>(ui, dir / "db.sqlite");
        ASSERT_TRUE(store::RefreshDescriptors(*connection));
        std::string description;
        ASSERT_TRUE(connection->execute(kNetwork, &description)) << description;
        ui.clear();
    }

    ServiceDayExtraction
    run(const SelectionFilters& filters = {}, Date first = kMonday, Date last = kSunday) {
        auto extraction = ServiceDayExtraction::Run(*connection, first, last, filters);
        EXPECT_TRUE(ui.messages().empty()) << ui.messages().front().text;
        return std::move(extraction).value();
    }

    static std::vector<std::int32_t> tripIds(const ServiceDayExtraction& extraction) {
        std::vector<std::int32_t> ids;
        for (const SelectedTrip& trip : extraction.trips()) {
            ids.push_back(trip.id);
        }
        return ids;
    }

    TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<store::DatabaseConnection> connection;
};

using Ids = std::vector<std::int32_t>;

// What an extraction holds, as text: the days of the range; each trip selected with whether it
// is active and its day vector; then, of a fixed list of candidates (known and unknown), those
// the communication contains.
std::string summary(const ServiceDayExtraction& x) {
    std::string text = fmt::format("days {}\n", x.dayCount());
    for (const SelectedTrip& trip : x.trips()) {
        text += fmt::format(
            "trip {} {} {}\n", trip.id, trip.active ? "active" : "inactive", x.dayVector(trip.id));
    }
    text += fmt::format("trip 6 (not selected) '{}'\n", x.dayVector(6));
    const auto list = [&text](std::string_view what, auto candidates, auto contains) {
        text += what;
        for (const auto& candidate : candidates) {
            text += contains(candidate) ? fmt::format(" {}", candidate) : "";
        }
        text += "\n";
    };
    list(
        "contains trips", Ids{1, 2, 3, 4, 5, 6, 7, 99}, [&](int id) { return x.containsTrip(id); });
    list("cadences", test::words("FER FES SCO 'FER  ' EST NOT XYZ"), [&](const std::string& code) {
        return x.containsCadence(code);
    });
    // Days and cadences as "day:cadence".
    list("calendar",
         test::words("03/09/2024:FER 03/09/2024:SCO 15/09/2024:FES 03/09/2024:NOT 08/09/2024:FER "
                     "08/09/2024:FES 09/09/2024:FER 01/09/2024:FES 22/09/2024:FES 15/07/2024:EST "
                     "notadate:FER"),
         [&](const std::string& day) {
             return x.containsCalendarDay(day.substr(0, day.find(':')),
                                          day.substr(day.find(':') + 1));
         });
    list("stops", Ids{10, 11, 12, 13, 14, 15, 999}, [&](int id) { return x.containsStop(id); });
    list("routes", Ids{1, 2, 3, 4}, [&](int id) { return x.containsRoute(id); });
    list("standard trips", Ids{100, 200, 300, 400}, [&](int id) {
        return x.containsStandardTrip(id);
    });
    return text;
}

// Trip 6 has no extended codes and is not selected. Withdrawals win: trip 1 is withdrawn on the
// 4th and 5th although the withdrawal was stored before the grant; trip 2 is withdrawn on SCO,
// so Saturday the 14th, which carries only FER, stays. Trip 3's grants overlap, and FES gives
// it the Sundays. Trip 4 is granted no day of the range: inactive.
//
// The communication holds what its active trips use: SCO only through trip 2's withdrawal, EST
// only through the inactive trip 4 (not contained), NOT used by no active trip; calendar rows
// only within the range. Stops 13 and 14 lie on the inactive trip's route, 15 on none. Trip 7 is
// active, but its route has no stops: joined with the stops along the routes it brings neither
// its route nor its standard trip.
//
// Filters restrict the trips and what they bring (lot 3: trip 5 alone). On one Sunday only the
// Sunday trips run; with the last day before the first the trips are selected and run on no day.
TEST_F(ServiceDaysTest, ResolvesTheDaysOfEachTripAndWhatTheCommunicationHolds) {
    SelectionFilters third;
    third.lot = 3;
    EXPECT_GOLDEN(
        "## range\n" + summary(run()) + "## lot 3\n" + summary(run(third)) +
            "## Sunday 08/09/2024\n" + summary(run({}, Date{2024, 9, 8}, Date{2024, 9, 8})) +
            "## 10/09/2024 to 09/09/2024\n" + summary(run({}, Date{2024, 9, 10}, Date{2024, 9, 9})),
        "service_days/extractions.txt");
}

// The stored trailing blank of trip 4's line does not keep it out; a quote in the code is a
// character of the code, never SQL.
TEST_F(ServiceDaysTest, FiltersRestrictTheTrips) {
    const std::nullopt_t none = std::nullopt;
    // Lot, authority, company, subcontractor, line: the trips selected.
    const std::pair<SelectionFilters, Ids> cases[] = {
        {{3, none, none, none, none}, {5}},
        {{none, 7, none, none, none}, {3}},
        {{none, none, 2, none, none}, {5}},
        {{none, none, none, 4, none}, {5}},
        {{1, 5, none, none, none}, {1, 2, 4, 7}},
        {{3, 7, none, none, none}, {}},
        {{none, none, none, none, "L1"}, {1, 2, 4}},
        {{none, none, none, none, "L1 "}, {1, 2, 4}},
        {{none, none, none, none, "L'1"}, {5}},
        {{none, none, none, none, "x' OR '1'='1"}, {}},
    };
    for (const auto& [filters, ids] : cases) {
        EXPECT_EQ(tripIds(run(filters)), ids) << filters.line.value_or("");
    }
}

TEST_F(ServiceDaysTest, TheRangeAsTextsLiteralsAndClampedDates) {
    const ServiceDayExtraction x = run();
    EXPECT_EQ(x.startText(), "02/09/2024");
    EXPECT_EQ(x.endText(), "15/09/2024");
    EXPECT_EQ(x.startLiteral(), "'2024-09-02'");
    EXPECT_EQ(x.endLiteral(), "'2024-09-15'");
    EXPECT_EQ(x.clampDate("01/09/2024"), "02/09/2024");
    EXPECT_EQ(x.clampDate("00/00/0000"), "02/09/2024");
    EXPECT_EQ(x.clampDate("16/09/2024"), "15/09/2024");
    EXPECT_EQ(x.clampDate("99/99/9999"), "15/09/2024");
    EXPECT_EQ(x.clampDate("10/09/2024"), "10/09/2024");
    EXPECT_EQ(x.clampDate("15/09/2024"), "15/09/2024");
    EXPECT_EQ(x.clampDate("domani"), "domani");

    CommunicationFlags flags;
    flags.planning = true;
    flags.test = true;
    auto kept = ServiceDayExtraction::Run(*connection, kMonday, kSunday, {}, flags);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->flags().planning && kept->flags().test);
    EXPECT_FALSE(kept->flags().budget || kept->flags().project);
}

TEST_F(ServiceDaysTest, ShowsTheNineStepsWithABarThatMovesOnlyWhenItChanges) {
    run();
    std::string captions;
    for (const std::string& caption : ui.progressCaptions()) {
        captions += caption + "\n";
    }
    EXPECT_GOLDEN(captions, "service_days/progress_captions.txt");
    const auto& values = ui.progressValues();
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), -1) << "the bar is hidden at the end";
    EXPECT_EQ(std::count(values.begin(), values.end(), 0), 9);
    EXPECT_EQ(std::count(values.begin(), values.end(), 100), 9);
    EXPECT_EQ(std::adjacent_find(values.begin(), values.end()), values.end());
    for (size_t i = 1; i + 1 < values.size(); ++i) {
        EXPECT_TRUE(values[i] > values[i - 1] || values[i] == 0) << "at " << i;
    }
}

TEST_F(ServiceDaysTest, AFailedQueryIsShownAndGivesNoExtraction) {
    std::string description;
    ASSERT_TRUE(connection->execute("DROP TABLE fermitin", &description)) << description;
    EXPECT_FALSE(ServiceDayExtraction::Run(*connection, kMonday, kSunday, {}));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_NE(ui.messages()[0].text.find("fermitin"), std::string::npos);
    EXPECT_EQ(ui.progressValues().back(), -1);
}

TEST_F(ServiceDaysTest, RunningDayCountAddsGrantsAndSubtractsWithdrawals) {
    RunningDayCalendar calendar;
    for (int day = 10; day >= 1; --day) {
        calendar.add(Date{2024, 9, day}.display(), "FER");
    }
    calendar.add("05/09/2024", "SCO  ");
    calendar.add("05/09/2024", "FER"); // already there
    calendar.add("1/9/2024", "FES");   // not ten characters: ignored
    ASSERT_EQ(calendar.days().size(), 10u);
    EXPECT_EQ(calendar.days().front().day, 10) << "in the order first added";
    EXPECT_EQ(calendar.days()[5].cadences, (std::vector<std::string>{"FER", "SCO"}));

    const TripPeriod grant{"01/09/2024", "10/09/2024", "FER", false};
    const TripPeriod withdrawal{"03/09/2024", "05/09/2024", "FER", true};
    EXPECT_EQ(runningDayCount(calendar, std::vector{grant, withdrawal}), 7);
    EXPECT_EQ(runningDayCount(calendar, std::vector{grant, grant}), 20);
    EXPECT_EQ(runningDayCount(calendar, std::vector{withdrawal}), -3);
    EXPECT_EQ(runningDayCount(calendar, std::vector<TripPeriod>{}), 0);
    EXPECT_EQ(runningDayCount(calendar,
                              std::vector{TripPeriod{"01/09/2024", "31/12/2024", "SCO ", false}}),
              1);
    EXPECT_EQ(runningDayCount(calendar,
                              std::vector{TripPeriod{"00/00/0000", "99/99/9999", "FER", false}}),
              10);
    EXPECT_EQ(
        runningDayCount(calendar, std::vector{TripPeriod{"1/9/2024", "10/09/2024", "FER", false}}),
        0);
    EXPECT_EQ(runningDayCount(calendar,
                              std::vector{TripPeriod{"10/09/2024", "01/09/2024", "FER", false}}),
              0);
}

TEST_F(ServiceDaysTest, RunningDayCountDiffersFromTheDayVectorWhereGrantsOverlap) {
    const auto calendar = loadRunningDayCalendar(*connection);
    ASSERT_TRUE(calendar);
    const std::vector<TripPeriod> trip3 = {{"02/09/2024", "10/09/2024", "FER", false},
                                           {"05/09/2024", "12/09/2024", "FER", false},
                                           {"01/09/2024", "30/09/2024", "FES", false}};
    // 8 + 7 FER days, the five common ones counted twice, and the four Sundays from 01/09 to
    // 22/09, two of them outside the range of the day vector.
    EXPECT_EQ(runningDayCount(*calendar, trip3), 19);
    const ServiceDayExtraction x = run();
    const std::string_view vector = x.dayVector(3);
    EXPECT_EQ(std::count(vector.begin(), vector.end(), 'S'), 12);
}

TEST(ServiceDaysTripSummaries, CadenceFirstStartAndLastEnd) {
    const std::vector<TripPeriod> one = {{"01/09/2024", "30/06/2025", "FER   ", false}};
    EXPECT_EQ(tripCadenceSummary(one), "FER");
    EXPECT_EQ(tripFirstStart(one), "01/09/2024");
    EXPECT_EQ(tripLastEnd(one), "30/06/2025");

    // Dates compare by year, month and day, never as texts.
    const std::vector<TripPeriod> two = {{"07/01/2025", "06/01/2025", "FER", false},
                                         {"20/12/2024", "31/12/2024", "FER", true}};
    EXPECT_EQ(tripCadenceSummary(two), "Plurima");
    EXPECT_EQ(tripFirstStart(two), "20/12/2024");
    EXPECT_EQ(tripLastEnd(two), "06/01/2025");

    EXPECT_EQ(tripCadenceSummary({}), "Plurima");
    EXPECT_EQ(tripFirstStart({}), "");
    EXPECT_EQ(tripLastEnd({}), "");
}

} // namespace
} // namespace tramela::calendar
