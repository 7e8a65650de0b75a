// The timetable of a route on the sample network, driven as the front ends drive it: route 1
// runs trip 1 (C001, 23.50, standard trip 1: offsets 0/0, 5/6, 20/20).

#include "network/standard_trips.h"
#include "network/timetable_entry.h"
#include "network/trip_parameters.h"
#include "support/sample_workspace.h"
#include "views/timetable_window.h"

#include <gtest/gtest.h>

namespace tramela::views {
namespace {

using ui::Icon;

// Trip 3 runs standard trip 1 too, at 07.00; trip 4 runs standard trip 3 on the same route and
// has neither periods nor extended codes.
constexpr std::string_view kMoreTrips =
    "INSERT INTO tesstd VALUES (3, 1);"
    "INSERT INTO detstd VALUES (3, 1, 1, 0, 0, 0, 0), (3, 2, 2, 9, 9, 0, 0),"
    " (3, 3, 3, 30, 30, 0, 0);"
    "INSERT INTO corse VALUES"
    " (3, 'C003', 'L1', 'A', 700, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),"
    " (4, 'C004', 'L2', 'A', 1200, 3, 1914.21, 30, 1914.21, 30, 1, 3, 'X', NULL, NULL);"
    "INSERT INTO period VALUES (3, 'FES', '2024-01-01', '2024-12-31', 0);"
    "INSERT INTO extcod VALUES (3, 1, 42, 42);";

class TimetableWindowTest : public test::SampleWorkspace {
protected:
    void SetUp() override { open(std::string(kMoreTrips)); }

    std::unique_ptr<TimetableWindow> timetable(std::int32_t route = 1) {
        auto opened = std::make_unique<TimetableWindow>(connection(), route);
        EXPECT_TRUE(opened->open());
        return opened;
    }

    // The texts of one trip's column, stop by stop.
    static std::vector<std::string> column(const TimetableWindow& window, std::int32_t trip) {
        std::vector<std::string> texts;
        const auto at = window.columnOf(trip);
        if (!at) {
            ADD_FAILURE() << "trip " << trip << " not shown";
            return texts;
        }
        for (const TimetableCell& cell : window.columns()[*at].cells) {
            texts.push_back(cell.text);
        }
        return texts;
    }

    static void select(TimetableWindow& window, std::int32_t trip, size_t stop) {
        ASSERT_TRUE(window.selectTrip(*window.columnOf(trip)));
        ASSERT_TRUE(window.selectStop(stop));
    }

    static std::vector<std::int32_t> trips(const TimetableWindow& window) {
        std::vector<std::int32_t> ids;
        for (const TimetableColumn& column : window.columns()) {
            ids.push_back(column.trip);
        }
        return ids;
    }
};

TEST_F(TimetableWindowTest, ShowsOneColumnPerTripAndAStandardTripsChangeInEveryColumnSharingIt) {
    auto window = timetable();
    EXPECT_EQ(trips(*window), (std::vector<std::int32_t>{3, 4, 1}));
    EXPECT_EQ(window->stops().size(), 3u);
    EXPECT_EQ(window->stops()[1].code, "VAL02");
    // The trip leaving at 23.50 reaches its last stop at 00.10.
    EXPECT_EQ(column(*window, 1), (std::vector<std::string>{"23.50", "23.55 / 23.56", "00.10"}));
    EXPECT_EQ(column(*window, 3), (std::vector<std::string>{"07.00", "07.05 / 07.06", "07.20"}));

    // Fixed time and non-stopping on trip 1 show at once on trip 3, not on trip 4.
    select(*window, 1, 1);
    EXPECT_TRUE(window->run(timetable::kFixed));
    EXPECT_TRUE(window->run(timetable::kPassing));
    EXPECT_EQ(column(*window, 3)[1], "07.05 / 07.06 F NF");
    EXPECT_EQ(column(*window, 4)[1], "12.09");
    EXPECT_EQ(rows("SELECT fisso, nonferma FROM detstd WHERE id = 1 AND sub = 2"), "1|1\n");
    EXPECT_TRUE(window->run(timetable::kPassing));
    EXPECT_EQ(column(*window, 1)[1], "23.55 / 23.56 F");

    // A new transit on trip 1 moves trip 3 by the same offsets.
    ui.answerForm(std::string(network::kTransitFormId),
                  ui::FormValues{{"arrival", "23.58"}, {"departure", "00.02"}});
    EXPECT_TRUE(window->run(timetable::kTransit));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 1 AND sub = 2"), "8|12\n");
    EXPECT_EQ(column(*window, 1)[1], "23.58 / 00.02 F");
    EXPECT_EQ(column(*window, 3)[1], "07.08 / 07.12 F");

    // Recalculation keeps the fixed stop and the termini.
    EXPECT_TRUE(window->run(timetable::kRecompute));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 1 ORDER BY sub"),
              "0|0\n8|12\n20|20\n");

    // The grid as the command line prints it.
    EXPECT_EQ(window->text(false),
              "Sub\tCodice\tFermata\t3\t4\t1\n"
              "\t\tCodice Corsa\tC003\tC004\tC001\n"
              "\t\tLinea\tL1 A\tL2 A\tL1 A\n"
              "\t\tPartenza\t07.00\t12.00\t23.50\n"
              "1\tVAL01\tStazione Centrale\t07.00\t12.00\t23.50\n"
              "2\tVAL02\tUniversità\t07.08 / 07.12 F\t12.09\t23.58 / 00.02 F\n"
              "3\tBOR01\tBorgo Alto Chiesa\t07.20\t12.30\t00.10\n");
}

TEST_F(TimetableWindowTest, TransitChangesFollowTheMidnightRulesAndARefusalWritesNothing) {
    auto window = timetable();
    select(*window, 1, 1); // between 23.50 and 00.10
    const std::string before = rows("SELECT * FROM detstd ORDER BY id, sub");

    // Before the departure from the stop before: refused, the dialog answered again.
    ui.answerForm(std::string(network::kTransitFormId),
                  ui::FormValues{{"arrival", "23.40"}, {"departure", "23.45"}});
    // Left after the arrival at the stop after.
    ui.answerForm(std::string(network::kTransitFormId),
                  ui::FormValues{{"arrival", "23.59"}, {"departure", "00.15"}});
    ui.answerForm(std::string(network::kTransitFormId), std::nullopt);
    EXPECT_FALSE(window->run(timetable::kTransit));
    EXPECT_EQ(window->lastOutcome(), ui::Outcome::Cancelled);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_TRUE(ui.messages()[0].text.starts_with(
        "L'orario di arrivo è antecedente all'orario di partenza della fermata precedente."));
    EXPECT_TRUE(ui.messages()[1].text.ends_with("Questa condizione è illogica ed inaccettabile"));
    EXPECT_EQ(rows("SELECT * FROM detstd ORDER BY id, sub"), before);

    // An arrival after midnight is 15 minutes after a start at 23.50.
    ui.answerForm(std::string(network::kTransitFormId),
                  ui::FormValues{{"arrival", "00.05"}, {"departure", "00.07"}});
    EXPECT_TRUE(window->run(timetable::kTransit));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 1 AND sub = 2"), "15|17\n");

    // The last stop has no stop after it; the first is not left before the trip starts.
    select(*window, 1, 2);
    ui.answerForm(std::string(network::kTransitFormId),
                  ui::FormValues{{"arrival", "00.30"}, {"departure", "00.30"}});
    EXPECT_TRUE(window->run(timetable::kTransit));
    EXPECT_EQ(rows("SELECT arriva, parte FROM detstd WHERE id = 1 AND sub = 3"), "40|40\n");
    select(*window, 1, 0);
    ui.answerForm(std::string(network::kTransitFormId),
                  ui::FormValues{{"arrival", "23.45"}, {"departure", "23.50"}});
    ui.answerForm(std::string(network::kTransitFormId), std::nullopt);
    EXPECT_FALSE(window->run(timetable::kTransit));
}

TEST_F(TimetableWindowTest, ClonesAtAFrequencyCopyTheSourceAndItsPeriods) {
    auto window = timetable();
    select(*window, 1, 0);
    ui.answerForm(std::string(network::kBandFormId),
                  ui::FormValues{{"start", "07.00"}, {"end", "08.00"}, {"frequency", "15"}});
    EXPECT_TRUE(window->run(timetable::kCloneBand));
    EXPECT_EQ(window->created(), (std::vector<std::int32_t>{5, 6, 7, 8, 9}));
    EXPECT_EQ(rows("SELECT parte, codcorsa, standard, id_perc FROM corse WHERE id >= 5"),
              "700| |1|1\n715| |1|1\n730| |1|1\n745| |1|1\n800| |1|1\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM period WHERE id >= 5 AND caden IN ('FER', 'FES')"),
              "10\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM extcod WHERE id >= 5"), "5\n");
    EXPECT_EQ(trips(*window).size(), 8u);
    EXPECT_EQ(column(*window, 6), (std::vector<std::string>{"07.15", "07.20 / 07.21", "07.35"}));

    // A band ending before it starts creates no trip; a cancelled dialog nothing either.
    ui.answerForm(std::string(network::kBandFormId),
                  ui::FormValues{{"start", "08.00"}, {"end", "07.00"}, {"frequency", "15"}});
    EXPECT_TRUE(window->run(timetable::kCloneBand));
    EXPECT_TRUE(window->created().empty());
    EXPECT_FALSE(window->run(timetable::kCloneBand));
    EXPECT_EQ(window->lastOutcome(), ui::Outcome::Cancelled);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse"), "9\n");

    // Restore takes the new trips back with their periods.
    EXPECT_TRUE(window->restore());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse"), "4\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM period WHERE id >= 5"), "0\n");
}

TEST_F(TimetableWindowTest, ANewStandardTripSpreadsItsTimesOverTheConventionalProgressives) {
    sql("UPDATE fermitin SET condist = 5000 WHERE id = 3 AND sub = 1;"
        "INSERT INTO fermitin VALUES (3, 0, 1, 0, 0, 1, 0), (3, 2, 2, 10000, 10000, 1, 0);");
    auto window = timetable(3);
    EXPECT_TRUE(window->columns().empty());
    // An empty timetable offers the new trip and the filter, not the items of a trip.
    for (const MenuEntry& item : window->contextMenu()) {
        const bool expected =
            item.special == timetable::kInsert || item.special == timetable::kFilter ||
            item.operation == Operation::Refresh || item.operation == Operation::Restore;
        EXPECT_EQ(item.enabled, expected) << item.label;
    }
    ui.answerForm(std::string(network::kNewTripFormId),
                  ui::FormValues{{"code", "N1"},
                                 {"line", "L9"},
                                 {"direction", "a"},
                                 {"start", "23.50"},
                                 {"end", "00.20"},
                                 {"authority", "3"},
                                 {"lot", "1"},
                                 {"company", "42"},
                                 {"subcontractor", "42"},
                                 {"vehicle", "U"}});
    EXPECT_TRUE(window->run(timetable::kInsert));
    ASSERT_EQ(window->created(), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(rows("SELECT sub, arriva, parte FROM detstd WHERE id = 4 ORDER BY sub"),
              "0|0|0\n1|15|15\n2|30|30\n");
    EXPECT_EQ(rows("SELECT parte, tempo, lung, standard FROM corse WHERE id = 5"),
              "2350|30|10000.0|4\n");
    EXPECT_EQ(column(*window, 5), (std::vector<std::string>{"23.50", "00.05", "00.20"}));
}

TEST_F(TimetableWindowTest, DeletingATripTakesItsPeriodsAndCodesAndTheFilterShowsTheDaysTrips) {
    auto window = timetable();
    // On Friday 01/03/2024 (FER) trip 1 runs, trip 3 (FES) and trip 4 (no periods) do not.
    EXPECT_TRUE(window->setValidOn("01.03.24"));
    EXPECT_EQ(window->validOn(), "01/03/2024");
    EXPECT_EQ(trips(*window), (std::vector<std::int32_t>{1}));
    ui.answerForm(std::string(timetable::kFilterFormId), ui::FormValues{{"date", "03/03/2024"}});
    EXPECT_TRUE(window->run(timetable::kFilter));
    EXPECT_EQ(trips(*window), (std::vector<std::int32_t>{3, 1}));
    ui.answerForm(std::string(timetable::kFilterFormId), ui::FormValues{{"date", "31/02/2024"}});
    ui.answerForm(std::string(timetable::kFilterFormId), ui::FormValues{{"date", ""}});
    EXPECT_TRUE(window->run(timetable::kFilter));
    EXPECT_TRUE(ui.messages().back().text.starts_with(
        "ATTENZIONE: la data di validità è espressa in un formato illegale."));
    EXPECT_EQ(trips(*window), (std::vector<std::int32_t>{3, 4, 1}));
    EXPECT_FALSE(window->setValidOn("1/3/24"));
    EXPECT_EQ(trips(*window).size(), 3u);

    select(*window, 1, 0);
    EXPECT_TRUE(window->deleteTrip());
    EXPECT_TRUE(window->window().entries()[*window->columnOf(1)].deleted);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse WHERE id = 1"), "0\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM period WHERE id = 1"), "0\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM extcod WHERE id = 1"), "0\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM detstd WHERE id = 1"), "3\n"); // trip 3 runs it
    EXPECT_FALSE(window->run(timetable::kClone)); // a deleted trip is not a source
    EXPECT_TRUE(window->restore());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM period WHERE id = 1"), "2\n");
}

TEST_F(TimetableWindowTest, RestoreUndoesAParameterAssignmentAndRefreshKeepsIt) {
    auto window = timetable();
    select(*window, 3, 0);
    ui::FormValues onlyVehicle{{"set-line", "0"},
                               {"set-authority", "0"},
                               {"set-lot", "0"},
                               {"set-company", "0"},
                               {"set-subcontractor", "0"},
                               {"vehicle", "Treno"},
                               {"scope", std::string(network::kScopeRoute)}};
    ui.answerForm(std::string(network::kTripParametersFormId), onlyVehicle);
    EXPECT_TRUE(window->run(timetable::kParameters));
    EXPECT_EQ(rows("SELECT DISTINCT mezzo FROM corse WHERE id_perc = 1"), "T\n");
    EXPECT_TRUE(window->restore());
    EXPECT_EQ(rows("SELECT id, mezzo FROM corse WHERE id_perc = 1 ORDER BY id"), "1|U\n3|U\n4|X\n");

    // The dialog opened on trip 3's values; "Annulla" writes nothing.
    ASSERT_FALSE(ui.forms().empty());
    const ui::FormValues proposed = ui.forms().back().initialValues();
    EXPECT_EQ(proposed.at("line"), "L1");
    EXPECT_EQ(proposed.at("vehicle"), "Bus Urbano");
    EXPECT_EQ(proposed.at("set-physical"), "0");
    ui.answerForm(std::string(network::kTripParametersFormId), std::nullopt);
    EXPECT_FALSE(window->run(timetable::kParameters));

    ui.answerForm(std::string(network::kTripParametersFormId), onlyVehicle);
    EXPECT_TRUE(window->run(timetable::kParameters));
    EXPECT_TRUE(window->refresh());
    EXPECT_TRUE(window->restore());
    EXPECT_EQ(rows("SELECT DISTINCT mezzo FROM corse WHERE id_perc = 1"), "T\n");
}

} // namespace
} // namespace tramela::views
