#include "network/stop_picker.h"
#include "support/sample_workspace.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using ui::Icon;

RegisterStop stopAt(std::int32_t id, double x, double y) {
    return {StopId{id}, "", "", Point{x, y}};
}

RoutePolyline line(std::vector<Point> vertices) {
    RoutePolyline polyline(std::move(vertices), Box{});
    polyline.RecomputeBox();
    return polyline;
}

std::vector<CandidateStop> search(const RoutePolyline& polyline,
                                  const std::vector<RegisterStop>& stops) {
    return SearchCandidateStops(polyline, stops);
}

// East along y = 0 the right is south; driven west it is north. Stop 1 lies 30 m south, stop 2
// 30 m north, stop 3 on the line, stop 4 45 m south, stop 5 20 m north of the eastbound start,
// stop 6 has no coordinates.
TEST(StopPicker, OffersTheStopsOnTheRightOfTheDirectionOfTravel) {
    const std::vector<RegisterStop> stops = {stopAt(1, 300, -30),
                                             stopAt(2, 600, 30),
                                             stopAt(3, 700, 0),
                                             stopAt(4, 400, -45),
                                             stopAt(5, 15, 20),
                                             {StopId{6}, "", "", std::nullopt}};
    EXPECT_EQ(search(line({{0, 0}, {500, 0}, {1000, 0}}), stops),
              (std::vector<CandidateStop>{{StopId{1}, 300}, {StopId{3}, 700}, {StopId{5}, 0}}));
    // Westbound, stop 5 lies by the end terminus and on the right of the street.
    EXPECT_EQ(search(line({{1000, 0}, {500, 0}, {0, 0}}), stops),
              (std::vector<CandidateStop>{
                  {StopId{2}, 400}, {StopId{3}, 300}, {StopId{5}, 1000}, {StopId{5}, 985}}));
    // A route without vertices offers nothing, a single vertex only its terminus.
    EXPECT_TRUE(search(RoutePolyline(), stops).empty());
    EXPECT_EQ(search(line({{300, -10}}), stops), (std::vector<CandidateStop>{{StopId{1}, 0}}));
}

// Out along the street and back along it: the walk from the start finds the way out, the walk
// from the end the way back, each pass offered only where the stop is on its right.
TEST(StopPicker, OnARouteThatReturnsAlongTheSameStreetEachPassHasItsSide) {
    const RoutePolyline outAndBack = line({{0, 0}, {1000, 0}, {0, 0}});
    EXPECT_EQ(search(outAndBack, {stopAt(1, 400, -20), stopAt(2, 250, 20)}),
              (std::vector<CandidateStop>{{StopId{1}, 400}, {StopId{2}, 1750}}));
}

TEST(StopPicker, ModeFollowsTheStopSelectedInTheComposition) {
    EXPECT_EQ(PickerModeFor(0, std::nullopt), PickerMode::End);
    EXPECT_EQ(PickerModeFor(1, 0), PickerMode::Start); // the only stop is the first
    EXPECT_EQ(PickerModeFor(3, 0), PickerMode::Start);
    EXPECT_EQ(PickerModeFor(3, 1), PickerMode::Middle);
    EXPECT_EQ(PickerModeFor(3, 2), PickerMode::End);
    EXPECT_EQ(PickerModeFor(3, std::nullopt), PickerMode::End);
    EXPECT_EQ(static_cast<char>(PickerModeFor(3, 1)), 'S');
}

class StopPickerOnTheSample : public test::SampleWorkspace {
protected:
    // Route 1 of the sample runs from stop 1 (1000, 2000) to stop 3 (2300, 3400); this one is a
    // straight 1000 m east from (1000, 1000).
    const RoutePolyline east = line({{1000, 1000}, {2000, 1000}});
};

TEST_F(StopPickerOnTheSample, TheListDescribesEachStopAndFollowsTheMode) {
    open("UPDATE fermate SET local = 9 WHERE ID = 2;");
    const std::vector<CandidateStop> found = {
        {StopId{3}, 1914.2}, {StopId{1}, 0}, {StopId{4}, 500}, {StopId{2}, 500}};
    const auto texts = [&](PickerMode mode, double selected) {
        std::vector<std::string> out;
        const std::optional<std::vector<OfferedStop>> list =
            OfferedList(connection(), found, mode, selected);
        for (const OfferedStop& entry : list.value()) {
            out.push_back(entry.text);
        }
        return out;
    };
    const std::vector<std::string> fromStart = {
        "000001 [Km 0.000] VAL01 Stazione Centrale [Valmora-Valmora]",
        "000002 [Km 0.500] VAL02 Università *** Località non assegnata ***",
        "000004 [Km 0.500] ISO01 Casa isolata *** Località non assegnata ***",
        "000003 [Km 1.914] BOR01 Borgo Alto Chiesa [Borgo Alto-Borgo Alto]"};
    EXPECT_EQ(texts(PickerMode::Start, 0), fromStart);
    EXPECT_EQ(texts(PickerMode::End, 0),
              (std::vector<std::string>{fromStart[3], fromStart[1], fromStart[2], fromStart[0]}));
    EXPECT_EQ(texts(PickerMode::Middle, 500),
              (std::vector<std::string>{fromStart[1], fromStart[2], fromStart[3], fromStart[0]}));
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(StopPickerOnTheSample, ChoosingNothingIsRefused) {
    open();
    const std::vector<OfferedStop> list = {{StopId{1}, 0, "000001 ..."}};
    EXPECT_EQ(ChooseOffered(list, 0, PickerList::List, ui)->stop, StopId{1});
    EXPECT_FALSE(ChooseOffered(list, std::nullopt, PickerList::SearchResults, ui));
    EXPECT_FALSE(ChooseOffered(list, 1, PickerList::List, ui));
    const std::string refusal = "Attenzione: non è stato selezionato un oggetto valido !!!\n\n"
                                "Occorre selezionare obbligatoriamento una delle fermate\n";
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {refusal + "presenti tra i risultati della ricerca", Icon::Stop, ""},
                  {refusal + "presenti nella lista", Icon::Stop, ""}}));
}

// A stop given by code is associated when it lies less than 100 m from the point at the
// progressive given: 99.5 m is near enough, 100 m is not.
TEST_F(StopPickerOnTheSample, AStopByCodeIsAssociatedOnlyWithinOneHundredMetres) {
    open("UPDATE fermate SET coord_x = 1500, coord_y = 1099.5 WHERE ID = 1;"
         "UPDATE fermate SET coord_x = 1500, coord_y = 1100 WHERE ID = 2;"
         "UPDATE fermate SET coord_x = 2000, coord_y = 950.004 WHERE ID = 3;"
         "UPDATE fermate SET coord_x = NULL WHERE ID = 4;");
    ui.answerConfirm(std::string(kAssociateStopKey), true);
    EXPECT_EQ(PickStopByCode(connection(), east, "1", "500"), (PickedStop{StopId{1}, 500.0, 99.5}));
    EXPECT_EQ(ui.confirmations().back(),
              (ui::ScriptedUi::ShownMessage{
                  "La fermata si trova a 99.50 metri dal percorso\n\n"
                  "Premere OK per associare la fermata alla composizione percorso\n"
                  "in corrispondenza della progressiva specificata",
                  Icon::Question,
                  ""}));
    EXPECT_FALSE(PickStopByCode(connection(), east, "2", "500,0"));
    EXPECT_EQ(ui.lastMessage(),
              (ui::ScriptedUi::ShownMessage{"La fermata si trova a 100.00 metri dal percorso\n\n"
                                            "Dato che la distanza è eccessiva non è possibile "
                                            "associare\nla fermata al percorso",
                                            Icon::Stop,
                                            ""}));
    // Beyond the route's length the progressive is its end; distances keep 2 decimals.
    ui.answerConfirm(std::string(kAssociateStopKey), true);
    EXPECT_EQ(PickStopByCode(connection(), east, "3", "2500.5"),
              (PickedStop{StopId{3}, 1000.0, 50.0}));
    // Cancel inserts nothing.
    ui.answerConfirm(std::string(kAssociateStopKey), false);
    EXPECT_FALSE(PickStopByCode(connection(), east, "1", "500"));
    EXPECT_EQ(ui.pendingAnswers(), 0u);
}

TEST_F(StopPickerOnTheSample, BadInputInsertsNothingAndSaysWhy) {
    open("UPDATE fermate SET coord_x = NULL WHERE ID = 4;");
    for (const auto& [code, progressive] : std::vector<std::pair<std::string, std::string>>{
             {"1", "-5"}, {"1", "12,5,0"}, {"1", ""}, {"99", "10"}, {"VAL01", "10"}, {"4", "10"}}) {
        ui.clear();
        EXPECT_FALSE(PickStopByCode(connection(), east, code, progressive)) << code;
        ASSERT_EQ(ui.messages().size(), 1u) << code << " " << progressive;
        EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
        EXPECT_TRUE(ui.confirmations().empty());
    }
    EXPECT_EQ(ui.messages()[0].text,
              "La fermata 4 non ha coordinate: non è possibile associarla al percorso");
    ui.clear();
    PickStopByCode(connection(), east, "1", "1.2.3");
    EXPECT_EQ(ui.lastMessage()->text, "La distanza progressiva è espressa in formato illegale");
    ui.clear();
    PickStopByCode(connection(), RoutePolyline(), "1", "10");
    EXPECT_EQ(ui.messages().size(), 1u);
}

} // namespace
} // namespace tramela::network
