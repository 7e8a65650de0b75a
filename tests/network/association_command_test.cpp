#include "network/association_command.h"
#include "network/geometry_codec.h"
#include "support/file_size_limit.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using ui::Icon;
using ui::Outcome;

std::string geometry(std::int32_t id, const std::vector<Point>& vertices, std::int32_t punti = -1) {
    std::string hex;
    for (unsigned char byte : encodeCoord(vertices)) {
        hex += fmt::format("{:02X}", byte);
    }
    RoutePolyline polyline(vertices, Box{});
    polyline.RecomputeBox();
    const Box& box = polyline.box();
    return fmt::format("INSERT INTO geoitin VALUES ({}, {}, X'{}', {}, {}, {}, {});",
                       id,
                       punti < 0 ? static_cast<std::int32_t>(vertices.size()) : punti,
                       hex,
                       box.minX,
                       box.minY,
                       box.maxX,
                       box.maxY);
}

// The sample's network replaced by a hand-built one. Route 10 "R10" runs east along y = 0 to
// (1000, 0) and turns north to (1000, 1000); route 20 "R20" drives it back; route 30's geometry
// is corrupt and route 40 has none. Stops: A01 30 m south of the street (right of R10), B02 30 m
// north (right of R20), C03 on the northbound leg, D04 60 m from everything, E05 by the corner
// (0, 0) where R10 starts and R20 ends, F06 without coordinates.
const std::string kNetwork =
    "DELETE FROM period; DELETE FROM extcod; DELETE FROM corse; DELETE FROM detstd;"
    "DELETE FROM tesstd; DELETE FROM fermitin; DELETE FROM geoitin; DELETE FROM itiner;"
    "DELETE FROM fermate;"
    "INSERT INTO itiner (ID, codperc, denom) VALUES (10, 'R10', 'Andata'), (20, 'R20', "
    "'Ritorno'), (30, 'R30', 'Rotto'), (40, 'R40', 'Senza geometria');"
    "INSERT INTO fermate (ID, fermata, denom, coord_x, coord_y, local) VALUES"
    " (1, 'A01', 'Alfa', 300, -30, 1), (2, 'B02', 'Beta', 600, 30, 1),"
    " (3, 'C03', 'Città', 1000, 500, 1), (4, 'D04', 'Delta', 500, 60, 1),"
    " (5, 'E05', 'Epsilon', 10, 20, 1), (6, 'F06', 'Senza', NULL, 7, 0);"
    "INSERT INTO fermitin (ID, sub, fermata, geodist) VALUES"
    " (10, 1, 5, 0), (10, 2, 1, 300), (10, 3, 4, 500), (10, 4, 2, 600),"
    " (20, 1, 3, 500), (20, 2, 2, 1400), (40, 1, 1, 0), (40, 2, 6, 10);" +
    geometry(10, {{0, 0}, {1000, 0}, {1000, 1000}}) +
    geometry(20, {{1000, 1000}, {1000, 0}, {0, 0}}) + geometry(30, {{0, 0}, {5, 5}}, 3);

class AssociationCommand : public test::SampleWorkspace {
protected:
    std::string report(const std::filesystem::path& path) {
        return test::replaceAll(test::maskedReport(path), database().string(), "<db>");
    }
};

const std::string kHeader =
    "========================================================================\r\n"
    "GG/MM/AAAA hh.mm Report Analisi Associazione Fermate/Percorsi "
    "(Tramela)\r\n"
    "Database: <db>\r\n"
    "========================================================================\r\n"
    "\r\n";

const std::string kUnplaced = "\r\n"
                              "Fermate prive di coordinate escluse dall'analisi\r\n"
                              "\tF06-Senza\tID=6\r\n";

TEST_F(AssociationCommand, FullReportOfAHandBuiltNetwork) {
    open(kNetwork);
    ui.answerConfirm("report", true);
    ui.answerForm("stop-route-analysis", ui::FormValues{{"full", "1"}});
    ui.answerFile("report", dir / "completo.txt");
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Done);
    EXPECT_EQ(ui.pendingAnswers(), 0u);

    EXPECT_EQ(ui.progressCaptions(),
              (std::vector<std::string>{"Estrazione Percorsi",
                                        "Analisi Fermate",
                                        "Ordinamento Strutture di lavoro",
                                        "Analisi Corse Standard",
                                        "Analisi Verso Circolazione/Fermata"}));
    EXPECT_EQ(ui.progressValues().back(), -1);
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {"Itinerari: Entità Lineare corrotta 30 !!!", Icon::None, ""},
                  {"Attenzione: 1 fermata priva di coordinate è stata esclusa dall'analisi",
                   Icon::Exclamation,
                   ""}}));
    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(ui.confirmations()[0],
              (ui::ScriptedUi::ShownMessage{"L'analisi dell'associazione tra Fermate e Percorsi è "
                                            "teminata.\nVuoi salvare il report analitico di "
                                            "analisi ?",
                                            Icon::Information,
                                            ""}));
    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    EXPECT_EQ(ui.fileDialogs()[0].title, "Report Associazione Fermate Percorsi");
    EXPECT_EQ(ui.fileDialogs()[0].initialName, "ReportFermatePercorsi");

    // R10: E05 lies by its start and is declared (no line), D04 is declared but 60 m away, B02
    // is declared on the left, C03 lies on the line but is not declared. R20: A01 lies on its
    // left and is not declared (no line); E05 by its end, not declared, is dropped.
    EXPECT_EQ(report(dir / "completo.txt"),
              kHeader +
                  "\r\n"
                  "Percorso ID=10 R10-Andata\r\n"
                  "\t0.300 Km\tA01-Alfa\tID=1\tOK\r\n"
                  "\t0.500 Km\tD04-Delta\tID=4\t*** Presente; non risulta associabile ***\r\n"
                  "\t0.600 Km\tB02-Beta\tID=2\t*** Presente; lato strada errato ***\r\n"
                  "\t1.500 Km\tC03-Città\tID=3\t*** Assente; risulta associabile ***\r\n"
                  "\r\n"
                  "Percorso ID=20 R20-Ritorno\r\n"
                  "\t0.500 Km\tC03-Città\tID=3\tOK\r\n"
                  "\t1.400 Km\tB02-Beta\tID=2\tOK\r\n" +
                  kUnplaced);
}

TEST_F(AssociationCommand, ChosenAnomaliesOnlyAndNoWriteToTheDatabase) {
    open(kNetwork);
    const std::string before = rows("SELECT * FROM fermitin ORDER BY ID, sub");
    ui.answerConfirm("report", true);
    ui.answerForm("stop-route-analysis", ui::FormValues{{"wrong", "1"}});
    ui.answerFile("report", dir / "errate.txt");
    ui.answerConfirm("report", true);
    ui.answerForm("stop-route-analysis", ui::FormValues{{"absent", "1"}});
    ui.answerFile("report", dir / "assenti.txt");
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Done);
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Done);
    EXPECT_EQ(report(dir / "errate.txt"),
              kHeader +
                  "\r\nPercorso ID=10 R10-Andata\r\n"
                  "\t0.500 Km\tD04-Delta\tID=4\t*** Presente; non risulta associabile ***\r\n"
                  "\t0.600 Km\tB02-Beta\tID=2\t*** Presente; lato strada errato ***\r\n" +
                  kUnplaced);
    EXPECT_EQ(report(dir / "assenti.txt"),
              kHeader +
                  "\r\nPercorso ID=10 R10-Andata\r\n"
                  "\t1.500 Km\tC03-Città\tID=3\t*** Assente; risulta associabile ***\r\n" +
                  kUnplaced);
    EXPECT_EQ(rows("SELECT * FROM fermitin ORDER BY ID, sub"), before);

    // Declining the report (or leaving its dialogs) is no cancellation and writes nothing.
    ui.clear();
    ui.answerConfirm("report", false);
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Done);
    ui.answerConfirm("report", true);
    ui.answerForm("stop-route-analysis", std::nullopt);
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Done);
    EXPECT_EQ(ui.fileDialogs().size(), 0u);
}

// A report that cannot be created is said and fails the command; a query that cannot run fails
// it before any question.
TEST_F(AssociationCommand, FailuresAreShownAndNotReportedDone) {
    open(kNetwork);
    ui.answerConfirm("report", true);
    ui.answerForm("stop-route-analysis", ui::FormValues{});
    ui.answerFile("report", dir / "manca" / "report.txt");
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Failed);
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Exclamation);
    EXPECT_TRUE(ui.lastMessage()->text.starts_with("Impossibile creare\n\n"))
        << ui.lastMessage()->text;

    // A full disk: no report passes for written, and the earlier one stays as it was.
    const std::filesystem::path earlier = write("report.txt", {"rapporto precedente"});
    ui.clear();
    ui.answerConfirm("report", true);
    ui.answerForm("stop-route-analysis", ui::FormValues{{"full", "1"}});
    ui.answerFile("report", earlier);
    {
        const test::FileSizeLimit full(200);
        EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Failed);
    }
    EXPECT_EQ(
        ui.lastMessage(),
        (ui::ScriptedUi::ShownMessage{
            "Errore durante la scrittura del file\n\n" + earlier.string(), Icon::Exclamation, ""}));
    EXPECT_EQ(test::readFile(earlier), "rapporto precedente\r\n");

    ui.clear();
    sql("DROP TABLE fermitin");
    EXPECT_EQ(StopRouteAnalysis(window()), Outcome::Failed);
    EXPECT_TRUE(ui.confirmations().empty());
    // The corrupt geometry, then the query layer's SQL error once; nothing of a result.
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[1].icon, Icon::Exclamation);
    EXPECT_EQ(ui.progressValues().back(), -1); // the bar does not stay behind
}

// The demonstration network end to end on the command line. Without --report the closing
// question is declined in the log; with it the choices come from their flags. Valmora's stops
// were digitised on the centre of the street, a fraction of a millimetre to one side, so each is
// on the right of one direction of its line and on the left of the other: of the 78 composition
// rows away from a terminus, half are OK and half on the wrong side, in all 7 routes.
TEST(AssociationCli, DemonstrationDatabase) {
    test::TempDir dir;
    const auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    };
    ASSERT_EQ(run({"demo", "demo.sqlite"}).exitCode, 0);
    const std::string question = "L'analisi dell'associazione tra Fermate e Percorsi è teminata.\n"
                                 "Vuoi salvare il report analitico di analisi ?\n";

    const test::ProcessResult declined = run({"--db", "demo.sqlite", "stop-route-analysis"});
    EXPECT_EQ(declined.exitCode, 0);
    EXPECT_EQ(declined.out, "");
    EXPECT_EQ(declined.err, question + "-> Annulla (senza --report)\n");

    // The lines of each class in a report, and its routes.
    const auto classes = [&](const std::string& name) {
        std::map<std::string, int> count;
        std::istringstream lines(test::maskedReport(dir / name));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("Percorso ID=")) {
                ++count["Percorso"];
            } else if (line.starts_with("\t")) {
                ++count[line.substr(line.rfind('\t') + 1)];
            }
        }
        return count;
    };
    const test::ProcessResult full =
        run({"--db", "demo.sqlite", "stop-route-analysis", "--report", "full.txt", "--full"});
    EXPECT_EQ(full.exitCode, 0);
    EXPECT_EQ(full.out, "");
    EXPECT_TRUE(full.err.starts_with(question + "-> OK (--report)\n")) << full.err;
    EXPECT_EQ(classes("full.txt"),
              (std::map<std::string, int>{
                  {"Percorso", 7}, {"OK\r", 39}, {"*** Presente; lato strada errato ***\r", 39}}));

    const test::ProcessResult chosen = run({"--db",
                                            "demo.sqlite",
                                            "stop-route-analysis",
                                            "--report",
                                            "wrong.txt",
                                            "--wrong",
                                            "--absent"});
    EXPECT_EQ(chosen.exitCode, 0);
    EXPECT_EQ(classes("wrong.txt"),
              (std::map<std::string, int>{{"Percorso", 7},
                                          {"*** Presente; lato strada errato ***\r", 39}}));
}

} // namespace
} // namespace tramela::network
