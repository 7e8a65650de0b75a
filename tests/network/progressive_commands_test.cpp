#include "network/geometry_codec.h"
#include "network/progressive_commands.h"
#include "support/golden.h"
#include "support/sample_workspace.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using ui::Icon;
using ui::Outcome;

std::string hexBlob(const std::vector<Point>& points) {
    std::string hex = "x'";
    for (const unsigned char byte : encodeCoord(points)) {
        hex += fmt::format("{:02X}", byte);
    }
    return hex + "'";
}

// Beside the sample's routes (1 along its stops, 2 a straight line that passes 52 m from its
// middle stop, 3 without geometry), route 5 runs 100 m east from (0, 0) with stops at its start,
// 7.5 m along, 50 m off the line, 3 m past its end and at its end; route 6 has a geometry row of
// four vertices holding three, and stops whose geodist must survive.
const std::string kMeasuredNetwork =
    "INSERT INTO fermate VALUES (10, 'T10', 'A', '', 0, 0, 1), (11, 'T11', 'B', '', 7.5, 5, 1),"
    " (12, 'T12', 'C', '', 60, -50, 1), (13, 'T13', 'D', '', 100, 3, 1),"
    " (14, 'T14', 'E', '', 100, 0, 1);"
    "INSERT INTO itiner VALUES (5, 'T5', 'Prova', 100, 100), (6, 'T6', 'Corrotto', 0, 0);"
    "INSERT INTO fermitin VALUES (5, 1, 10, 0, 999, 1, 0), (5, 2, 11, 0, 999, 0, 0),"
    " (5, 3, 12, 0, 999, 0, 0), (5, 4, 13, 0, 999, 0, 0), (5, 5, 14, 0, 999, 1, 0),"
    " (6, 1, 10, 0, 123, 1, 0), (6, 2, 14, 0, 123, 1, 0);"
    "INSERT INTO geoitin VALUES (5, 2, " +
    hexBlob({{0, 0}, {100, 0}}) + ", 0, 0, 100, 0), (6, 4, " +
    hexBlob({{0, 0}, {50, 0}, {100, 0}}) + ", 0, 0, 100, 0);";

class ProgressiveCommands : public test::SampleWorkspace {
protected:
    std::string geodist() { return rows("SELECT ID, sub, geodist FROM fermitin ORDER BY ID, sub"); }

    std::string allDistances() {
        return rows("SELECT ID, sub, condist, geodist, primaria, facolt FROM fermitin ORDER BY "
                    "ID, sub") +
               rows("SELECT ID, conlung, geolung FROM itiner ORDER BY ID") +
               rows("SELECT id, lung, ct_lung FROM corse ORDER BY id");
    }

    // Lets the trips name a route that itiner lacks.
    void dropRouteRelation() {
        std::istringstream names(rows("SELECT name FROM sqlite_master WHERE type = 'trigger' AND "
                                      "name LIKE 'rel_corse_itiner%'"));
        for (std::string name; std::getline(names, name);) {
            sql("DROP TRIGGER " + name);
        }
    }
};

TEST_F(ProgressiveCommands, EveryCommandAnsweredCancelChangesNothing) {
    open(kMeasuredNetwork);
    const std::string before = allDistances();
    for (auto command : {&RecomputeCartographicProgressives,
                         &SpreadConventionalProgressives,
                         &FixTripLengths,
                         &AlignDistancesToCartographic}) {
        ui.clear();
        ui.answerConfirm("proceed", false);
        EXPECT_EQ(command(window()), Outcome::Cancelled);
        EXPECT_TRUE(ui.messages().empty());
        ASSERT_EQ(ui.confirmations().size(), 1u);
        EXPECT_EQ(ui.confirmations()[0].icon, Icon::Question);
        EXPECT_TRUE(ui.confirmations()[0].text.ends_with("Intendi proseguire?"));
    }
    EXPECT_EQ(allDistances(), before);
}

// The sample's route 1 passes through its stops; route 2 passes 52 m from its middle stop,
// which gets 0. On route 5 the stop 7.5 m along is written 8, the stop 50 m off gets 0, and the
// stop past the end takes the end, where the last stop then stands out of sequence. Route 3 has
// no geometry and route 6 a corrupt one: neither is touched.
TEST_F(ProgressiveCommands, RecomputeWritesWholeMetresAndReportsTheStopsItCannotPlace) {
    open(kMeasuredNetwork);
    ui.answerConfirm("proceed", true);
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "ERRORI_KM_CARTA.TXT");
    EXPECT_EQ(RecomputeCartographicProgressives(window()), Outcome::Done);
    EXPECT_EQ(geodist(),
              "1|1|0.0\n1|2|500.0\n1|3|1914.0\n"
              "2|1|0.0\n2|2|0.0\n2|3|1910.0\n"
              "3|1|0.0\n"
              "5|1|0.0\n5|2|8.0\n5|3|0.0\n5|4|100.0\n5|5|100.0\n"
              "6|1|123.0\n6|2|123.0\n");
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Itinerari: Entità Lineare corrotta 6 !!!",
                                        "Risultati dell'elaborazione:\n\n"
                                        "Sistemati 3 percorsi.\n"
                                        "Sistemate 11 fermate.\n"}));
    EXPECT_EQ(ui.messages()[1].icon, Icon::Information);
    EXPECT_EQ(ui.progressCaptions(),
              (std::vector<std::string>{"Estrazione Geometria Percorsi",
                                        "Estrazione Geometria Fermate",
                                        "Determinazione progressive",
                                        "Aggiornamento progressive"}));
    ASSERT_EQ(ui.confirmations().size(), 2u);
    EXPECT_EQ(ui.confirmations()[1],
              (ui::ScriptedUi::ShownMessage{"SONO STATI RILEVATI ERRORI:\n\n"
                                            "Vuoi salvare il report analitico degli errori ?",
                                            Icon::Stop,
                                            {}}));
    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    EXPECT_EQ(ui.fileDialogs()[0].title, "Report Errori Riscontrati");
    EXPECT_EQ(ui.fileDialogs()[0].initialName, "ERRORI_KM_CARTA");
    EXPECT_EQ(ui.fileDialogs()[0].defaultExtension, "TXT");

    // The 40 m lines of all routes first, then the lines of the progressives.
    const std::string rule(72, '=');
    EXPECT_EQ(test::maskedReport(dir / "ERRORI_KM_CARTA.TXT"),
              test::crlfLines({
                  rule,
                  "GG/MM/AAAA hh.mm Report Errori Ricalcolo Progressive Cartografiche (Tramela)",
                  "Database: " + database().string(),
                  rule,
                  "",
                  "Percorso ID=2/2 Fermata ID=2; posizionamento palina > 40 metri dal percorso",
                  "Percorso ID=5/3 Fermata ID=12; posizionamento palina > 40 metri dal percorso",
                  "Percorso ID=2/2 Fermata ID=2; distanza progressiva non determinabile",
                  "Percorso ID=5/3 Fermata ID=12; distanza progressiva non determinabile",
                  "Percorso ID=5/5 Fermata ID=14; distanza progressiva fuori sequenza",
              }));
}

TEST_F(ProgressiveCommands, RecomputeWithoutErrorsOffersNoReportAndSkipsEmptyGeometries) {
    // Route 2 now passes its middle stop; route 5's geometry has no vertex: its stops keep
    // their progressives rather than all becoming 0.
    open("UPDATE fermate SET coord_x = 1650, coord_y = 2700 WHERE ID = 2;"
         "INSERT INTO itiner VALUES (5, 'T5', 'Vuoto', 0, 0);"
         "INSERT INTO fermitin VALUES (5, 1, 1, 0, 77, 1, 0), (5, 2, 3, 0, 88, 1, 0);"
         "INSERT INTO geoitin VALUES (5, 0, x'', 0, 0, 0, 0);");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(RecomputeCartographicProgressives(window()), Outcome::Done);
    EXPECT_EQ(rows("SELECT ID, sub, geodist FROM fermitin WHERE ID IN (2, 5) ORDER BY ID, sub"),
              "2|1|0.0\n2|2|955.0\n2|3|1910.0\n5|1|77.0\n5|2|88.0\n");
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Risultati dell'elaborazione:\n\n"
                                        "Sistemati 2 percorsi.\n"
                                        "Sistemate 6 fermate.\n"}));
    EXPECT_EQ(ui.confirmations().size(), 1u);
    EXPECT_TRUE(ui.fileDialogs().empty());
}

TEST_F(ProgressiveCommands, ReportThatCannotBeCreatedIsSaidAndTheProgressivesStayWritten) {
    open(kMeasuredNetwork);
    ui.answerConfirm("proceed", true);
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "manca" / "ERRORI_KM_CARTA.TXT");
    EXPECT_EQ(RecomputeCartographicProgressives(window()), Outcome::Done);
    EXPECT_TRUE(
        ui.hasMessage("Impossibile creare\n\n" + (dir / "manca" / "ERRORI_KM_CARTA.TXT").string(),
                      Icon::Exclamation));
    EXPECT_EQ(rows("SELECT geodist FROM fermitin WHERE ID = 5 AND sub = 2"), "8.0\n");
}

// Route 1: conventional 12 for cartographic 10, stops at 0, 5000, 0 (a middle stop at the start
// of the route) and 10. Route 2 has no cartographic length, route 9 (run by trip 3) is not in
// itiner: both keep their conventional progressives and are named. Route 3 is run by no trip.
TEST_F(ProgressiveCommands, SpreadingFollowsTheRatioOfTheLengthsAndLeavesRoutesWithoutOne) {
    open("UPDATE itiner SET geolung = 10, conlung = 12 WHERE ID = 1;"
         "UPDATE itiner SET geolung = 0 WHERE ID = 2;"
         "UPDATE fermitin SET geodist = 5000 WHERE ID = 1 AND sub = 2;"
         "UPDATE fermitin SET geodist = 10, sub = 5 WHERE ID = 1 AND sub = 3;"
         "INSERT INTO fermitin VALUES (1, 3, 1, 55, 0, 0, 0), (3, 2, 1, 44, 7, 0, 0),"
         " (9, 1, 1, 33, 5, 0, 0);");
    dropRouteRelation();
    sql("INSERT INTO corse SELECT 3, 'C003', codlinea, verso, parte, ente, lung, tempo, ct_lung,"
        " ct_tempo, 9, standard, mezzo, prevcor, nextcor FROM corse WHERE id = 1;");
    const std::string untouched =
        rows("SELECT ID, sub, condist FROM fermitin WHERE ID <> 1 ORDER BY ID, sub");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(SpreadConventionalProgressives(window()), Outcome::Done);
    EXPECT_EQ(rows("SELECT sub, condist FROM fermitin WHERE ID = 1 ORDER BY sub"),
              "1|0.0\n2|6000.0\n3|0.0\n5|12.0\n");
    EXPECT_EQ(rows("SELECT ID, sub, condist FROM fermitin WHERE ID <> 1 ORDER BY ID, sub"),
              untouched);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "Risultati dell'elaborazione:\n\nSistemati 1 percorsi.",
                  "ATTENZIONE: le progressive convenzionali dei seguenti percorsi non sono "
                  "state assegnate\n\n"
                  "Percorso ID=2: lunghezza cartografica nulla\n"
                  "Percorso ID=9: percorso inesistente\n"}));
    EXPECT_EQ(ui.messages()[1].icon, Icon::Exclamation);
    EXPECT_EQ(connection().transactionDepth(), 0);
}

// Each trip takes its route's last conventional progressive, two decimals; a trip whose route
// has no stops keeps its lengths.
TEST_F(ProgressiveCommands, TripLengthsComeFromTheLastStopOfTheirRoute) {
    open("UPDATE fermitin SET condist = 1640.126 WHERE ID = 2 AND sub = 3;"
         "UPDATE fermitin SET condist = 999 WHERE ID = 2 AND sub = 2;"
         "INSERT INTO itiner VALUES (7, 'V', 'Senza fermate', 0, 0);"
         "INSERT INTO corse SELECT 3, 'C003', codlinea, verso, parte, ente, lung, tempo, ct_lung,"
         " ct_tempo, 3, standard, mezzo, prevcor, nextcor FROM corse WHERE id = 1;"
         "INSERT INTO corse SELECT 4, 'C004', codlinea, verso, parte, ente, 4444, tempo, 4445,"
         " ct_tempo, 7, standard, mezzo, prevcor, nextcor FROM corse WHERE id = 1;");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(FixTripLengths(window()), Outcome::Done);
    EXPECT_EQ(rows("SELECT id, lung, ct_lung FROM corse ORDER BY id"),
              "1|1914.21|1914.21\n2|1640.13|1640.13\n3|0.0|0.0\n4|4444.0|4445.0\n");
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Risultati dell'elaborazione:\n\nSistemate 3 corse."}));
}

// Route 1 is run by two trips, route 2 by one, route 3 by none: its stops keep their
// conventional progressives, yet its conventional length is aligned like every route's.
TEST_F(ProgressiveCommands, AlignmentCopiesTheCartographicFiguresAndCountsEachStopPerTrip) {
    open("UPDATE fermitin SET geodist = 512.346 WHERE ID = 1 AND sub = 2;"
         "UPDATE fermitin SET geodist = 1900.004 WHERE ID = 1 AND sub = 3;"
         "UPDATE fermitin SET condist = 31, geodist = 32 WHERE ID = 3;"
         "UPDATE itiner SET geolung = 1900.004 WHERE ID = 1;"
         "UPDATE itiner SET conlung = 5, geolung = 6 WHERE ID = 3;"
         "INSERT INTO corse SELECT 3, 'C003', codlinea, verso, parte, ente, lung, tempo, ct_lung,"
         " ct_tempo, 1, standard, mezzo, prevcor, nextcor FROM corse WHERE id = 1;");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(AlignDistancesToCartographic(window()), Outcome::Done);
    EXPECT_EQ(rows("SELECT ID, sub, condist, geodist FROM fermitin ORDER BY ID, sub"),
              "1|1|0.0|0.0\n1|2|512.35|512.346\n1|3|1900.0|1900.004\n"
              "2|1|0.0|0.0\n2|2|1414.21|1414.21\n2|3|1914.21|1914.21\n"
              "3|1|31.0|32.0\n");
    EXPECT_EQ(rows("SELECT id, lung, ct_lung FROM corse ORDER BY id"),
              "1|1900.0|1900.0\n2|1914.21|1914.21\n3|1900.0|1900.0\n");
    EXPECT_EQ(rows("SELECT ID, conlung FROM itiner ORDER BY ID"), "1|1900.0\n2|1640.12\n3|6.0\n");
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Risultati dell'elaborazione:\n\n"
                                        "Sistemate 3 corse.\n"
                                        "Sistemate 9 progressive.\n"
                                        "Sistemati 3 itinerari.\n"}));
}

} // namespace
} // namespace tramela::network
