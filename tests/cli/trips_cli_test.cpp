// The timetable of a route on the command line: each run is one transaction, committed when the
// operation succeeded and rolled back when it was refused.

#include "store/database_connection.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class TripsCli : public ::testing::Test {
protected:
    ProcessResult run(const std::string& database, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--settings", (dir / "settings.toml").string(), "--db", database});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    std::string rows(const std::string& database, const std::string& select) {
        ui::ScriptedUi quiet;
        store::DatabaseConnection connection(quiet, dir / database);
        return test::rows(connection, select);
    }

    test::TempDir dir;
};

TEST_F(TripsCli, ABandOfClonesOnTheDemoDatabaseCopiesTheSourcesPeriods) {
    ASSERT_EQ(test::runProcess(TRAMELA_CLI, {"demo", "demo.sqlite"}, dir.path()).exitCode, 0);
    const std::string source = rows("demo.sqlite", "SELECT MIN(id) FROM period");
    const std::string last = rows("demo.sqlite", "SELECT MAX(id) FROM corse");
    const std::string periods =
        rows("demo.sqlite",
             "SELECT caden, inizio, fine, escluso FROM period WHERE id = " +
                 source.substr(0, source.size() - 1) + " ORDER BY inizio, fine");
    const std::string trip = source.substr(0, source.size() - 1);
    const int first = std::stoi(last) + 1;

    const ProcessResult band =
        run("demo.sqlite",
            {"trips", "clone-band", trip, "--from", "07.00", "--to", "08.00", "--every", "15"});
    ASSERT_EQ(band.exitCode, 0) << band.err;
    EXPECT_EQ(band.out,
              fmt::format("Inserite 5 corse: {}, {}, {}, {}, {}.\n",
                          first,
                          first + 1,
                          first + 2,
                          first + 3,
                          first + 4));
    EXPECT_EQ(
        rows("demo.sqlite",
             "SELECT parte FROM corse WHERE id > " + std::to_string(first - 1) + " ORDER BY id"),
        "700\n715\n730\n745\n800\n");
    for (int id = first; id < first + 5; ++id) {
        EXPECT_EQ(rows("demo.sqlite",
                       "SELECT caden, inizio, fine, escluso FROM period WHERE id = " +
                           std::to_string(id) + " ORDER BY inizio, fine"),
                  periods);
    }
    // The new trips show in the timetable of the source's route.
    const std::string route = rows("demo.sqlite", "SELECT id_perc FROM corse WHERE id = " + trip);
    const ProcessResult listed =
        run("demo.sqlite", {"timetable", route.substr(0, route.size() - 1), "list"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("\t" + std::to_string(first + 4)), std::string::npos);

    // A band without a frequency is refused and adds nothing.
    const ProcessResult refused =
        run("demo.sqlite",
            {"trips", "clone-band", trip, "--from", "07.00", "--to", "08.00", "--every", "0"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("La frequenza indicata è illegale."), std::string::npos);
    EXPECT_EQ(
        rows("demo.sqlite", "SELECT COUNT(*) FROM corse WHERE id >= " + std::to_string(first)),
        "5\n");
}

TEST_F(TripsCli, TripsTransitAndParametersOnTheSampleNetwork) {
    test::createSampleNetwork(dir / "rete.sqlite");
    const ProcessResult listed = run("rete.sqlite", {"timetable", "1", "list"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "Sub\tCodice\tFermata\t1\n"
              "\t\tCodice Corsa\tC001\n"
              "\t\tLinea\tL1 A\n"
              "\t\tPartenza\t23.50\n"
              "1\tVAL01\tStazione Centrale\t23.50\n"
              "2\tVAL02\tUniversità\t23.55 / 23.56\n"
              "3\tBOR01\tBorgo Alto Chiesa\t00.10\n");
    const ProcessResult none =
        run("rete.sqlite", {"timetable", "1", "list", "--valid-on", "02/01/2023"});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out.find("C001"), std::string::npos);

    // A clone with a new start, then its head changed; fields not given keep the source's.
    ProcessResult cloned = run("rete.sqlite", {"trips", "clone", "1", "--start", "6.30"});
    EXPECT_EQ(cloned.exitCode, 0) << cloned.err;
    EXPECT_EQ(cloned.out, "Inserita la corsa 3.\n");
    ProcessResult head =
        run("rete.sqlite", {"trips", "head", "3", "--code", "C003", "--direction", "r"});
    EXPECT_EQ(head.exitCode, 0) << head.err;
    EXPECT_EQ(
        rows("rete.sqlite",
             "SELECT codcorsa, codlinea, verso, parte, ente, standard FROM corse WHERE id = 3"),
        "C003|L1|R|630|3|1\n");

    // The transit of trip 3 at stop 2 moves trip 1 too, since both run standard trip 1.
    ProcessResult transit =
        run("rete.sqlite", {"transit", "3", "2", "--arrive", "06.40", "--depart", "06.41"});
    EXPECT_EQ(transit.exitCode, 0) << transit.err;
    EXPECT_EQ(rows("rete.sqlite", "SELECT arriva, parte FROM detstd WHERE id = 1 AND sub = 2"),
              "10|11\n");
    ProcessResult late =
        run("rete.sqlite", {"transit", "3", "2", "--arrive", "06.40", "--depart", "07.10"});
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_EQ(rows("rete.sqlite", "SELECT arriva, parte FROM detstd WHERE id = 1 AND sub = 2"),
              "10|11\n");

    // Parameters: only what the options name, on the scope asked.
    ProcessResult assigned = run(
        "rete.sqlite",
        {"trips", "assign", "3", "--scope", "standard", "--vehicle", "T", "--subcontractor", "4"});
    EXPECT_EQ(assigned.exitCode, 0) << assigned.err;
    EXPECT_EQ(rows("rete.sqlite",
                   "SELECT corse.id, mezzo, codlinea, lotto, aziges, azisub FROM corse "
                   "JOIN extcod ON extcod.id = corse.id ORDER BY corse.id"),
              "1|T|L1|1|42|4\n2|U|L1|1|42|42\n3|T|L1|1|42|4\n");
    const std::string before = rows("rete.sqlite", "SELECT * FROM corse ORDER BY id");
    ProcessResult badLot =
        run("rete.sqlite", {"trips", "assign", "3", "--scope", "route", "--lot", "777"});
    EXPECT_EQ(badLot.exitCode, 1);
    EXPECT_NE(badLot.err.find("ATTENZIONE: Il Codice Lotto di Gara non è valido."),
              std::string::npos);
    EXPECT_EQ(rows("rete.sqlite", "SELECT * FROM corse ORDER BY id"), before);

    // A new standard trip, then the trip deleted with its periods and codes.
    ProcessResult created =
        run("rete.sqlite", {"trips", "new", "1", "--start", "08.00", "--end", "08.30"});
    EXPECT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(created.out, "Inserita la corsa 4.\n");
    EXPECT_EQ(rows("rete.sqlite", "SELECT arriva FROM detstd WHERE id = 3 ORDER BY sub"),
              "0\n8\n30\n");
    ProcessResult deleted = run("rete.sqlite", {"trips", "delete", "3"});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
    EXPECT_EQ(rows("rete.sqlite",
                   "SELECT (SELECT COUNT(*) FROM corse WHERE id = 3), "
                   "(SELECT COUNT(*) FROM period WHERE id = 3), "
                   "(SELECT COUNT(*) FROM extcod WHERE id = 3)"),
              "0|0|0\n");
    EXPECT_EQ(run("rete.sqlite", {"trips", "delete", "3"}).exitCode, 1);
}

} // namespace
} // namespace tramela::cli
