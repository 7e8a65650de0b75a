// The distance utilities end to end on the demonstration database: 7 routes with geometry and
// 87 stops along them, 241 trips (60 on route 1).

#include "store/database_connection.h"
#include "support/demo_cli.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class DistancesCli : public test::DemoCli {};

// Stop 4 (route 1 at sub 5, route 2 at sub 8) moved 60 m off both routes; route 7's geometry row
// damaged. Route 7 keeps its progressives, the others are recomputed from their lines.
TEST_F(DistancesCli, RecomputeCartographicReportsTheDamageAndDoesTheRest) {
    sql("UPDATE geoitin SET punti = punti + 1 WHERE ID = 7;"
        "UPDATE fermate SET coord_y = coord_y + 60 WHERE ID = 4;"
        "UPDATE fermitin SET geodist = 5 WHERE ID IN (1, 7) AND sub = 2;");
    const std::string route7 = rows("SELECT sub, geodist FROM fermitin WHERE ID = 7");
    const ProcessResult result =
        run("--yes --db demo.sqlite recompute-cartographic --report r.txt");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "Itinerari: Entità Lineare corrotta 7 !!!\n"
              "Risultati dell'elaborazione:\n\n"
              "Sistemati 6 percorsi.\n"
              "Sistemate 77 fermate.\n");
    EXPECT_NE(result.err.find("SONO STATI RILEVATI ERRORI:"), std::string::npos);
    EXPECT_EQ(rows("SELECT ID, sub, geodist FROM fermitin WHERE ID = 1 AND sub IN (1, 2, 5, 12)"),
              "1|1|0.0\n1|2|434.0\n1|5|0.0\n1|12|4351.0\n");
    EXPECT_EQ(rows("SELECT sub, geodist FROM fermitin WHERE ID = 7"), route7);

    const std::string report = test::maskedReport(dir / "r.txt");
    EXPECT_TRUE(report.ends_with(test::crlfLines({
        "Database: demo.sqlite",
        std::string(72, '='),
        "",
        "Percorso ID=1/5 Fermata ID=4; posizionamento palina > 40 metri dal percorso",
        "Percorso ID=2/8 Fermata ID=4; posizionamento palina > 40 metri dal percorso",
        "Percorso ID=1/5 Fermata ID=4; distanza progressiva non determinabile",
        "Percorso ID=2/8 Fermata ID=4; distanza progressiva non determinabile",
    }))) << report;
}

TEST_F(DistancesCli, SpreadProgressivesFollowsEachRoutesRatio) {
    // Route 1 twice as long by contract as on the map.
    sql("UPDATE itiner SET conlung = 2 * geolung WHERE ID = 1;");
    const ProcessResult result = run("--yes --db demo.sqlite spread-progressives");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Risultati dell'elaborazione:\n\nSistemati 7 percorsi.\n");
    // geodist 433.652 -> 867; on route 2 the ratio is 1: 433.652 would be 434.
    EXPECT_EQ(rows("SELECT ID, sub, condist FROM fermitin WHERE sub IN (1, 2, 12) AND ID IN (1, 2) "
                   "ORDER BY ID, sub"),
              "1|1|0.0\n1|2|867.0\n1|12|8702.0\n2|1|0.0\n" +
                  rows("SELECT 2, 2, round(geodist) FROM fermitin WHERE ID = 2 AND sub = 2") +
                  rows("SELECT 2, 12, round(geodist) FROM fermitin WHERE ID = 2 AND sub = 12"));
}

TEST_F(DistancesCli, FixLengthsGivesEveryTripItsRoutesLastProgressive) {
    sql("UPDATE fermitin SET condist = 5000.456 WHERE ID = 1 AND sub = 12;");
    const ProcessResult result = run("--yes --db demo.sqlite fix-lengths");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Risultati dell'elaborazione:\n\nSistemate 241 corse.\n");
    EXPECT_EQ(rows("SELECT id_perc, lung, ct_lung, COUNT(*) FROM corse WHERE id_perc IN (1, 7) "
                   "GROUP BY id_perc, lung, ct_lung"),
              "1|5000.46|5000.46|60\n7|" + rows("SELECT 1.0 * round(condist, 2), 1.0 * "
                                                "round(condist, 2), 6 FROM fermitin WHERE ID = 7 "
                                                "AND sub = 10"));
}

// Each of the 87 stops counted once per trip of its route: 3209 progressives.
TEST_F(DistancesCli, AlignDistancesCopiesTheCartographicFigures) {
    sql("UPDATE fermitin SET condist = 1 WHERE ID = 1; UPDATE itiner SET conlung = 1;"
        "UPDATE corse SET lung = 1, ct_lung = 1;");
    const ProcessResult result = run("--yes --db demo.sqlite align-distances");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "Risultati dell'elaborazione:\n\n"
              "Sistemate 241 corse.\n"
              "Sistemate 3209 progressive.\n"
              "Sistemati 7 itinerari.\n");
    EXPECT_EQ(rows("SELECT sub, condist, geodist FROM fermitin WHERE ID = 1 AND sub IN (2, 12)"),
              "2|433.65|433.652\n12|4351.08|4351.079\n");
    EXPECT_EQ(rows("SELECT conlung FROM itiner WHERE ID = 1"), "4351.08\n");
    EXPECT_EQ(rows("SELECT DISTINCT lung, ct_lung FROM corse WHERE id_perc = 1"),
              "4351.08|4351.08\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse WHERE lung = 1 OR ct_lung = 1"), "0\n");
}

} // namespace
} // namespace tramela::cli
