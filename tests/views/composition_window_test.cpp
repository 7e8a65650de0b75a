// The composition window on a hand-built route, driven as the front ends drive it.

#include "network/geometry_codec.h"
#include "support/sample_workspace.h"
#include "views/composition_window.h"
#include "views/windows.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::views {
namespace {

using network::Point;
using network::RouteId;
using ui::Icon;

std::string geometry(std::int32_t id, const std::vector<Point>& vertices) {
    std::string hex;
    for (unsigned char byte : network::encodeCoord(vertices)) {
        hex += fmt::format("{:02X}", byte);
    }
    return fmt::format("INSERT INTO geoitin VALUES ({}, {}, X'{}', 0, -1000, 1000, 1000);",
                       id,
                       vertices.size(),
                       hex);
}

// Routes 10 and 20 run 1000 m east along y = 0, where the right of the street is south. Route 10
// holds its termini only (stops 101 and 102); route 20 also a stop on the right (103), one on
// the left (104) and one 60 m away (108). Stop 105 lies 20 m south of the street, stop 109 30 m
// north; 106 and 107 lie 99.5 m and 100 m north of the point at 400 m; 110 just before the start.
const std::string kNetwork =
    geometry(10, {{0, 0}, {1000, 0}}) + geometry(20, {{0, 0}, {1000, 0}}) +
    "INSERT INTO itiner VALUES (10, 'R10', 'Prova', 1200, 1000), (20, 'R20', 'Lati', 1000, 1000);"
    "INSERT INTO fermate VALUES"
    " (101, 'A', 'Capolinea Ovest', 'Piazza', 0, -10, 1),"
    " (102, 'B', 'Capolinea Est', 'Largo', 1000, -10, 1),"
    " (103, 'C', 'Destra', '', 300, -30, 1), (104, 'D', 'Sinistra', '', 600, 30, 1),"
    " (105, 'E', 'Scuole', 'Via Dante', 500, -20, 1), (106, 'F', 'Lontana', '', 400, 99.5, 1),"
    " (107, 'G', 'Troppo lontana', '', 400, 100, 1), (108, 'H', 'Isolata', '', 700, -60, 1),"
    " (109, 'I', 'Mercato', '', 800, 30, 1), (110, 'L', 'Deposito', '', -5, -5, 1);"
    "INSERT INTO fermitin VALUES (10, 1, 101, 0, 0, 0, 0), (10, 2, 102, 1200, 1000, 0, 0),"
    " (20, 1, 101, 0, 0, 0, 0), (20, 2, 103, 300, 300, 0, 0), (20, 3, 104, 600, 600, 0, 0),"
    " (20, 4, 108, 700, 700, 0, 0), (20, 5, 102, 1000, 1000, 0, 0);";

class CompositionWindowTest : public test::SampleWorkspace {
protected:
    void SetUp() override { open(kNetwork); }

    std::unique_ptr<EditWindow> window(std::int32_t route, EditWindow* owner = nullptr) {
        auto opened =
            std::make_unique<EditWindow>(connection(), compositionWindow(RouteId{route}), owner);
        EXPECT_TRUE(opened->open());
        return opened;
    }

    static CompositionSource& source(EditWindow& window) {
        return dynamic_cast<CompositionSource&>(window.source());
    }

    // The picker's offered list as the last insertion dialog showed it.
    std::vector<std::string> offered() {
        for (auto form = ui.forms().rbegin(); form != ui.forms().rend(); ++form) {
            if (form->id == kInsertStopForm) {
                return form->field(kOfferedField)->entries;
            }
        }
        return {};
    }

    std::string composition(int route) {
        return rows(fmt::format("SELECT sub, fermata, CAST(condist AS INTEGER), CAST(geodist AS "
                                "INTEGER) FROM fermitin WHERE ID = {} ORDER BY sub",
                                route));
    }
};

TEST_F(CompositionWindowTest, ListsTheStopsWithBothProgressivesAndHowTheyStand) {
    auto stops = window(20);
    ASSERT_EQ(stops->entries().size(), 5u);
    EXPECT_EQ(
        stops->entries()[1].columns,
        (std::vector<std::string>{"2", "103", "C", "Destra", "", "0.300", "0.300", "No", "No"}));
    std::vector<StopStanding> standings;
    for (const CompositionStop& stop : source(*stops).stops()) {
        standings.push_back(stop.standing.value());
        ASSERT_TRUE(stop.onLine);
        EXPECT_DOUBLE_EQ(stop.onLine->x, stop.geodist);
        EXPECT_DOUBLE_EQ(stop.onLine->y, 0.0);
    }
    EXPECT_EQ(standings,
              (std::vector<StopStanding>{StopStanding::Terminus,
                                         StopStanding::Ok,
                                         StopStanding::WrongSide,
                                         StopStanding::NotAssociable,
                                         StopStanding::Terminus}));
}

// The offered list holds the stops on the right within 40 m, from the start when the first stop
// is selected and from the end when the last one is; the stop chosen goes where its progressive
// falls, the subs after it moving up.
TEST_F(CompositionWindowTest, PickerOffersTheRightSideAndInsertsInProgressiveOrder) {
    auto stops = window(10);
    ASSERT_TRUE(stops->select(0));
    ui.answerForm(std::string(kInsertStopForm), std::nullopt); // Cancel writes nothing
    EXPECT_FALSE(stops->special(kInsertStop));
    const std::vector<std::string> fromStart = offered();
    ASSERT_EQ(fromStart.size(), 5u);
    EXPECT_EQ(fromStart[0].substr(0, 21), "000101 [Km 0.000] A C");
    EXPECT_EQ(fromStart[1].substr(0, 17), "000110 [Km 0.000]");
    EXPECT_EQ(fromStart[2].substr(0, 17), "000103 [Km 0.300]");
    EXPECT_EQ(fromStart[3].substr(0, 17), "000105 [Km 0.500]");
    EXPECT_EQ(fromStart[4].substr(0, 17), "000102 [Km 1.000]");
    EXPECT_EQ(composition(10), "1|101|0|0\n2|102|1200|1000\n");

    ASSERT_TRUE(stops->select(1));
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"offered", ""}});
    EXPECT_FALSE(stops->special(kInsertStop)); // nothing chosen is refused
    EXPECT_EQ(ui.messages().back().icon, Icon::Stop);
    const std::vector<std::string> fromEnd = offered();
    ASSERT_EQ(fromEnd.size(), fromStart.size());
    EXPECT_EQ(fromEnd.front().substr(7, 10), "[Km 1.000]");
    for (const std::string& text : fromEnd) {
        EXPECT_EQ(text.find("000104"), std::string::npos); // on the left of the street
        EXPECT_EQ(text.find("000109"), std::string::npos);
    }

    const auto scuole = std::find_if(fromEnd.begin(), fromEnd.end(), [](const std::string& t) {
        return t.starts_with("000105");
    });
    ASSERT_NE(scuole, fromEnd.end());
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"offered", *scuole}});
    EXPECT_TRUE(stops->special(kInsertStop));
    // Spread in the route's ratio 1200 / 1000.
    EXPECT_EQ(composition(10), "1|101|0|0\n2|105|600|500\n3|102|1200|1000\n");
    EXPECT_EQ(stops->entries().size(), 3u);

    // Given by ID alone: where the list offers it.
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"code", "103"}});
    EXPECT_TRUE(stops->special(kInsertStop));
    EXPECT_EQ(composition(10), "1|101|0|0\n2|103|360|300\n3|105|600|500\n4|102|1200|1000\n");
    // A stop picked at the start terminus becomes the first stop.
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"offered", fromStart[1]}});
    EXPECT_TRUE(stops->special(kInsertStop));
    EXPECT_EQ(composition(10),
              "1|110|0|0\n2|101|0|0\n3|103|360|300\n4|105|600|500\n5|102|1200|1000\n");
    // Restore takes back every insertion.
    EXPECT_TRUE(stops->restore());
    EXPECT_EQ(composition(10), "1|101|0|0\n2|102|1200|1000\n");
}

TEST_F(CompositionWindowTest, StopByCodeIsTakenBelowOneHundredMetresFromTheLine) {
    auto stops = window(10);
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"code", "106"}, {"at", "0,4"}});
    ui.answerConfirm("associate-stop", true);
    EXPECT_TRUE(stops->special(kInsertStop));
    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(ui.confirmations().back().text.substr(0, 48),
              "La fermata si trova a 99.50 metri dal percorso\n\n");
    EXPECT_EQ(composition(10), "1|101|0|0\n2|106|480|400\n3|102|1200|1000\n");

    const std::string before = composition(10);
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"code", "107"}, {"at", "0,4"}});
    EXPECT_FALSE(stops->special(kInsertStop));
    EXPECT_EQ(ui.messages().back().icon, Icon::Stop);
    EXPECT_NE(ui.messages().back().text.find("100.00 metri"), std::string::npos);
    // Declining the confirmation, a progressive in a wrong form, an unknown stop: nothing.
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"code", "106"}, {"at", "0,4"}});
    ui.answerConfirm("associate-stop", false);
    EXPECT_FALSE(stops->special(kInsertStop));
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"code", "106"}, {"at", "0,4,1"}});
    EXPECT_FALSE(stops->special(kInsertStop));
    EXPECT_EQ(ui.messages().back().text, "La distanza progressiva è espressa in formato illegale");
    ui.answerForm(std::string(kInsertStopForm), ui::FormValues{{"code", "999"}, {"at", "0,4"}});
    EXPECT_FALSE(stops->special(kInsertStop));
    EXPECT_EQ(composition(10), before);
}

TEST_F(CompositionWindowTest, ProgressiveEntryDeletionMarksAndRecomputes) {
    auto stops = window(20);
    ASSERT_TRUE(stops->select(1));
    ASSERT_TRUE(stops->beginModify());
    EXPECT_EQ(fieldValue(stops->values(), kProgressiveField), "0.300");
    // Two separators or a letter are refused and the typed text stays; a comma is a point.
    EXPECT_FALSE(stops->confirm({{std::string(kProgressiveField), "0.3.5"}}));
    EXPECT_EQ(ui.messages().back().text,
              "ATTENZIONE: distanza progressiva inaccettabile\n\n"
              "Il numero è espresso in formato illegale");
    EXPECT_EQ(stops->mode(), Mode::EditingSelected);
    EXPECT_FALSE(stops->confirm({{std::string(kProgressiveField), "0,3a"}}));
    EXPECT_TRUE(stops->confirm({{std::string(kProgressiveField), "0,35"}}));
    EXPECT_EQ(rows("SELECT CAST(condist AS INTEGER), CAST(geodist AS INTEGER) FROM fermitin "
                   "WHERE ID = 20 AND sub = 2"),
              "350|300\n");
    EXPECT_EQ(stops->entries()[1].columns[5], "0.350");

    // Primary, then optional: never both.
    EXPECT_TRUE(stops->special(kPrimary));
    EXPECT_TRUE(stops->special(kOptional));
    EXPECT_EQ(rows("SELECT primaria, facolt FROM fermitin WHERE ID = 20 AND sub = 2"), "0|1\n");

    // The conventional progressives spread again from the cartographic ones (ratio 1).
    EXPECT_TRUE(stops->special(kRecomputeConventional));
    EXPECT_EQ(rows("SELECT CAST(condist AS INTEGER) FROM fermitin WHERE ID = 20 AND sub = 2"),
              "300\n");

    // A deleted stop stays listed, marked, until the next reload; its items are disabled.
    ASSERT_TRUE(stops->select(3));
    EXPECT_TRUE(stops->deleteSelected());
    EXPECT_TRUE(stops->entries()[3].deleted);
    EXPECT_FALSE(stops->beginModify());
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 20"), "4\n");
    // The cartographic recompute says the far stop is gone: only termini and 103, 104 remain.
    EXPECT_TRUE(stops->special(kRecomputeCartographic));
    EXPECT_EQ(composition(20), "1|101|0|0\n2|103|300|300\n3|104|600|600\n5|102|1000|1000\n");

    EXPECT_TRUE(stops->restore());
    EXPECT_EQ(composition(20),
              "1|101|0|0\n2|103|300|300\n3|104|600|600\n4|108|700|700\n5|102|1000|1000\n");
    EXPECT_EQ(rows("SELECT primaria, facolt FROM fermitin WHERE ID = 20 AND sub = 2"), "0|0\n");
}

TEST_F(CompositionWindowTest, ARouteWithoutGeometryListsItsStopsButTakesNoneNew) {
    auto stops = window(3); // the sample's route 3 has stop 4 and no geometry
    ASSERT_EQ(stops->entries().size(), 1u);
    EXPECT_FALSE(source(*stops).polyline());
    EXPECT_FALSE(source(*stops).stops().front().standing);
    EXPECT_FALSE(stops->special(kInsertStop));
    EXPECT_TRUE(ui.forms().empty());
    EXPECT_FALSE(stops->special(kRecomputeCartographic));
    EXPECT_EQ(rows("SELECT sub, fermata FROM fermitin WHERE ID = 3"), "1|4\n");
}

// Opened from the routes window, the composition works in its transaction: the routes window's
// restore takes back the composition's changes and reloads its list.
TEST_F(CompositionWindowTest, WorksInTheTransactionOfTheRoutesWindow) {
    EditWindow routes(connection(), routeWindow());
    ASSERT_TRUE(routes.open());
    ASSERT_TRUE(routes.select(0));
    bool offered = false;
    for (const MenuEntry& item : routes.contextMenu()) {
        offered = offered || (item.special == kComposition && item.enabled);
    }
    EXPECT_TRUE(offered);

    auto stops = window(20, &routes);
    routes.attach(stops.get());
    ASSERT_TRUE(stops->select(2));
    EXPECT_TRUE(stops->deleteSelected());
    EXPECT_TRUE(stops->restore()); // the owner's
    EXPECT_EQ(stops->entries().size(), 5u);
    EXPECT_FALSE(stops->entries()[2].deleted);
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 20"), "5\n");
    EXPECT_TRUE(stops->close());
    EXPECT_TRUE(routes.close());
}

} // namespace
} // namespace tramela::views
