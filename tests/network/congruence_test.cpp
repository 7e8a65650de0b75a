#include "network/congruence.h"
#include "store/database_connection.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

TimetableStop
stopOf(int sub, std::string code, std::string name, std::string location, int progressive) {
    TimetableStop stop;
    stop.sub = sub;
    stop.code = std::move(code);
    stop.name = std::move(name);
    stop.location = std::move(location);
    stop.progressive = progressive;
    return stop;
}

// The stops of route 1 "L1A" of the sample network as a timetable writes them, with clock times
// (arrival, departure) given per stop.
std::vector<TimetableStop> l1aStops(std::vector<std::pair<int, int>> times) {
    std::vector<TimetableStop> stops = {
        stopOf(1, "VAL01", "Stazione Centrale", "Piazza Garibaldi", 0),
        stopOf(2, "VAL02", "Università", "Via Roma 12", 500),
        stopOf(3, "BOR01", "Borgo Alto Chiesa", "Piazza Duomo", 1914),
    };
    for (std::size_t k = 0; k < stops.size(); ++k) {
        stops[k].arrival = times[k].first;
        stops[k].departure = times[k].second;
    }
    return stops;
}

TimetableTrip tripOf(int id, std::string route, std::vector<TimetableStop> stops) {
    TimetableTrip trip;
    trip.id = TripId{id};
    trip.routeCode = std::move(route);
    trip.stops = std::move(stops);
    return trip;
}

class Congruence : public ::testing::Test {
protected:
    void SetUp() override {
        test::createSampleNetwork(dir / "rete.sqlite");
        connection = std::make_unique<store::DatabaseConnection>(ui, dir / "rete.sqlite");
        ASSERT_TRUE(connection->IsOpen());
        ASSERT_TRUE(routes.Load(*connection));
    }

    std::string rows(const std::string& sql) { return test::rows(*connection, sql); }

    // Checks and identifies the trips with identifiers after those already stored.
    CongruenceResult checkAndIdentify(std::vector<TimetableTrip>& trips) {
        CongruenceResult result = CheckCongruence(ui, routes, trips);
        const auto first = NextStandardTripId(*connection);
        EXPECT_TRUE(first.has_value());
        next = first.value_or(StandardTripId{});
        IdentifyStandardTrips(ui, routes, trips, next);
        return result;
    }

    test::TempDir dir;
    ui::ScriptedUi ui;
    std::unique_ptr<store::DatabaseConnection> connection;
    RouteDefinitions routes;
    StandardTripId next;
};

TEST_F(Congruence, LoadsEveryRouteWithItsStopsFoundByCode) {
    ASSERT_EQ(routes.routes().size(), 3u);
    const RouteDefinition* reverse = routes.find("L1R  ");
    ASSERT_NE(reverse, nullptr);
    EXPECT_EQ(reverse->id, RouteId{2});
    ASSERT_EQ(reverse->stops.size(), 3u);
    EXPECT_EQ(reverse->stops[1].stop, StopId{2});
    EXPECT_DOUBLE_EQ(reverse->stops[1].progressive, 1414.21);
    EXPECT_EQ(reverse->stops[1].name, "Università");
    EXPECT_EQ(routes.find("X9")->stops[0].location, "");
    EXPECT_EQ(routes.find(RouteId{3}), routes.find("X9"));
    EXPECT_EQ(routes.find("L9"), nullptr);
    EXPECT_EQ(ui.progressCaptions().front(), kRouteLoadCaption);
    EXPECT_EQ(ui.progressValues().back(), 100);
}

TEST_F(Congruence, TripsWithTheSameRelativeTimesShareAStandardTrip) {
    std::vector<TimetableTrip> trips = {
        tripOf(10, "L1A", l1aStops({{9999, 700}, {705, 706}, {720, 9999}})),
        // An hour later, arriving at its first stop at another time: that arrival is not compared.
        tripOf(11, "L1A", l1aStops({{755, 800}, {805, 806}, {820, 820}})),
        // One minute more at the middle stop.
        tripOf(12, "L1A", l1aStops({{9999, 900}, {905, 907}, {920, 9999}})),
        // Same times as trip 10 but passing the middle stop without stopping.
        tripOf(13, "L1A", l1aStops({{9999, 1000}, {1005, 1006}, {1020, 9999}})),
        // The same as trip 12, found among several standard trips of its route.
        tripOf(14, "L1A", l1aStops({{9999, 1100}, {1105, 1107}, {1120, 9999}})),
    };
    trips[3].stops[1].passes = true;
    const CongruenceResult result = checkAndIdentify(trips);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(result.validTrips, 5);

    // The sample already holds standard trips 1 and 2.
    std::vector<int> standards;
    for (const TimetableTrip& trip : trips) {
        ASSERT_TRUE(trip.standard.has_value());
        EXPECT_EQ(trip.route, RouteId{1});
        standards.push_back(trip.standard->value);
    }
    EXPECT_EQ(standards, (std::vector<int>{3, 3, 4, 5, 4}));
    EXPECT_EQ(next, StandardTripId{6});
    EXPECT_EQ(trips[0].stops[2].stop, StopId{3});
    EXPECT_DOUBLE_EQ(trips[0].stops[2].routeProgressive, 1914.21);

    const StandardTripCounts counts = StoreStandardTrips(*connection, routes);
    EXPECT_EQ(counts.headers, 3);
    EXPECT_EQ(counts.rows, 9);
    EXPECT_EQ(rows("SELECT ID, id_perc FROM tesstd WHERE ID > 2 ORDER BY ID"), "3|1\n4|1\n5|1\n");
    EXPECT_EQ(rows("SELECT ID, sub, fermata, arriva, parte, nonferma, fisso FROM detstd"
                   " WHERE ID > 2 ORDER BY ID, sub"),
              "3|1|1|0|0|0|0\n3|2|2|5|6|0|0\n3|3|3|20|20|0|0\n"
              "4|1|1|0|0|0|0\n4|2|2|5|7|0|0\n4|3|3|20|20|0|0\n"
              "5|1|1|0|0|0|0\n5|2|2|5|6|1|0\n5|3|3|20|20|0|0\n");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(Congruence, TimesPastMidnightKeepIncreasingOffsets) {
    std::vector<TimetableTrip> trips = {
        tripOf(20, "L1A", l1aStops({{9999, 2350}, {5, 6}, {10, 9999}})),
        // Five minutes later, the same running times: matched across midnight.
        tripOf(21, "L1A", l1aStops({{9999, 2355}, {10, 11}, {15, 9999}})),
        // Crossing midnight between its first two stops, one minute longer at the second.
        tripOf(22, "L1A", l1aStops({{9999, 2358}, {13, 15}, {18, 9999}})),
    };
    checkAndIdentify(trips);
    EXPECT_EQ(trips[0].standard, StandardTripId{3});
    EXPECT_EQ(trips[1].standard, StandardTripId{3});
    EXPECT_EQ(trips[2].standard, StandardTripId{4});
    StoreStandardTrips(*connection, routes);
    EXPECT_EQ(rows("SELECT ID, arriva, parte FROM detstd WHERE ID > 2 ORDER BY ID, sub"),
              "3|0|0\n3|15|16\n3|20|20\n4|0|0\n4|15|17\n4|20|20\n");
}

TEST_F(Congruence, StopsThatDifferFromTheRouteRejectTheTrip) {
    std::vector<TimetableTrip> trips = {
        tripOf(30, "L1A", l1aStops({{9999, 700}, {705, 706}, {720, 9999}})),
        // Unknown code: one line whatever its stops.
        tripOf(31, "L9", {}),
        tripOf(32, "L1A", {}),
        tripOf(33, "L1A", l1aStops({{9999, 800}, {805, 806}, {820, 9999}})),
        tripOf(34, "X9", {stopOf(1, "ISO01", "Casa isolata", "", 0)}),
    };
    trips[2].stops = trips[0].stops;
    trips[2].stops.pop_back();
    trips[3].stops[1].name = "Universita";
    trips[3].stops[2].progressive = 1915;
    trips[0].stops[1].primary = true;
    trips[3].stops[0].optional = true; // a rejected trip leaves the route's flags alone
    trips[4].stops[0].departure = 900;
    const CongruenceResult result = checkAndIdentify(trips);
    EXPECT_EQ(result.errors,
              (std::vector<std::string>{
                  "La corsa ID=31 richiama il percorso [L9] che non risulta definito",
                  "La corsa ID=32 presenta 2 fermate; il percorso [L1A] presenta 3 fermate",
                  "Corsa ID=33 sub=2; attributi fermata differiscono dal percorso associato",
                  "Corsa ID=33 sub=3; attributi fermata differiscono dal percorso associato",
              }));
    EXPECT_EQ(result.reportLines().front(), kCongruenceHeading);
    EXPECT_EQ(result.validTrips, 2);
    std::vector<bool> valid;
    for (const TimetableTrip& trip : trips) {
        valid.push_back(trip.valid);
    }
    EXPECT_EQ(valid, (std::vector<bool>{true, false, false, false, true}));
    EXPECT_FALSE(trips[3].standard.has_value());
    EXPECT_EQ(trips[4].standard, StandardTripId{4});

    const RouteDefinition& l1a = *routes.find("L1A");
    EXPECT_EQ(l1a.standardTrips.size(), 1u);
    EXPECT_FALSE(l1a.stops[0].optional);
    EXPECT_TRUE(l1a.stops[1].primary);

    // Errors with valid trips: the import goes on, the user chooses whether to save the report.
    ui.answerConfirm("congruence-report", true);
    const CongruenceOutcome outcome = AskCongruenceOutcome(ui, result);
    EXPECT_TRUE(outcome.proceed);
    EXPECT_TRUE(outcome.saveReport);

    // No valid trip: the import stops whatever the answer.
    ui.answerConfirm("congruence-report", false);
    const CongruenceOutcome stop = AskCongruenceOutcome(ui, {{"x"}, 0});
    EXPECT_FALSE(stop.proceed);
    EXPECT_FALSE(stop.saveReport);
    EXPECT_GOLDEN(test::transcript(ui), "congruence/questions.txt");

    // No error: nothing is asked.
    EXPECT_TRUE(AskCongruenceOutcome(ui, {{}, 1}).proceed);
    EXPECT_EQ(ui.confirmations().size(), 2u);
}

TEST_F(Congruence, NewStandardTripsAreNumberedAfterTheHighestStored) {
    test::runSql(dir / "rete.sqlite", "INSERT INTO tesstd VALUES (41, 3)");
    EXPECT_EQ(NextStandardTripId(*connection), StandardTripId{42});

    test::runSql(dir / "rete.sqlite",
                 "DELETE FROM extcod; DELETE FROM period; DELETE FROM corse; DELETE FROM detstd;"
                 " DELETE FROM tesstd");
    EXPECT_EQ(NextStandardTripId(*connection), StandardTripId{0});

    // A clash with a row stored meanwhile is refused by the store and not counted.
    std::vector<TimetableTrip> trips = {
        tripOf(40, "L1A", l1aStops({{9999, 700}, {705, 706}, {720, 9999}})),
    };
    CheckCongruence(ui, routes, trips);
    next = StandardTripId{0};
    IdentifyStandardTrips(ui, routes, trips, next);
    test::runSql(dir / "rete.sqlite", "INSERT INTO tesstd VALUES (0, 2)");
    const StandardTripCounts counts = StoreStandardTrips(*connection, routes);
    EXPECT_EQ(counts.headers, 0);
    EXPECT_EQ(counts.rows, 0);
    EXPECT_FALSE(ui.messages().empty());
}

} // namespace
} // namespace tramela::network
