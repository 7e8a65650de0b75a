// The editing windows' operations on the command line, on the sample network: each run is one
// transaction, committed when the operation succeeded and rolled back when it was refused.

#include "store/database_connection.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class WindowsCli : public ::testing::Test {
protected:
    void SetUp() override { test::createSampleNetwork(dir / "rete.sqlite"); }

    ProcessResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--settings", (dir / "settings.toml").string(), "--db", "rete.sqlite"});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    std::string rows(const std::string& select) {
        ui::ScriptedUi quiet;
        store::DatabaseConnection connection(quiet, dir / "rete.sqlite");
        return test::rows(connection, select);
    }

    test::TempDir dir;
};

TEST_F(WindowsCli, PeriodsOfATrip) {
    ProcessResult listed = run({"periods", "2", "list"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "01/01/2024\t31/12/2024\tEffettuazione\tFER\tFeriale\tNo\n"
              "24/12/2024\t31/12/2024\tEsclusione\tFER\tFeriale\tSi\n");

    ProcessResult added = run({"periods",
                               "2",
                               "add",
                               "--from",
                               "01.01.10",
                               "--to",
                               "31-12-2010",
                               "--cadence",
                               "FES",
                               "--excluded"});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(rows("SELECT inizio, fine, caden, escluso FROM period WHERE id = 2 ORDER BY inizio"),
              "2010-01-01|2010-12-31|FES|1\n2024-01-01|2024-12-31|FER|0\n"
              "2024-12-24|2024-12-31|FER|1\n");

    // Modify changes the cadence and the exclusion of the period its dates name.
    ProcessResult modified = run(
        {"periods", "2", "modify", "--from", "01/01/2010", "--to", "31/12/10", "--cadence", "FER"});
    EXPECT_EQ(modified.exitCode, 0) << modified.err;
    EXPECT_EQ(rows("SELECT caden, escluso FROM period WHERE id = 2 AND inizio = '2010-01-01'"),
              "FER|0\n");

    // Refusals write nothing and end with status 1.
    const std::string before = rows("SELECT * FROM period ORDER BY id, inizio");
    ProcessResult badDate = run(
        {"periods", "2", "add", "--from", "1/3/2009", "--to", "31/12/2009", "--cadence", "FER"});
    EXPECT_EQ(badDate.exitCode, 1);
    EXPECT_NE(badDate.err.find("ATTENZIONE: la data di inizio periodo è espressa in un formato "
                               "illegale."),
              std::string::npos)
        << badDate.err;
    EXPECT_EQ(run({"periods",
                   "2",
                   "add",
                   "--from",
                   "01/01/2009",
                   "--to",
                   "31/12/2009",
                   "--cadence",
                   "NOPE"})
                  .exitCode,
              1);
    EXPECT_EQ(
        run({"periods", "2", "delete", "--from", "01/01/2001", "--to", "31/12/2001"}).exitCode, 1);
    EXPECT_EQ(run({"periods", "999", "list"}).exitCode, 1);
    EXPECT_EQ(run({"periods", "x", "list"}).exitCode, 1);
    EXPECT_EQ(run({"periods", "2", "purge"}).exitCode, 2);
    EXPECT_EQ(rows("SELECT * FROM period ORDER BY id, inizio"), before);

    EXPECT_EQ(
        run({"periods", "2", "delete", "--from", "01/01/2010", "--to", "31/12/2010"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT count(*) FROM period WHERE id = 2"), "2\n");
}

TEST_F(WindowsCli, Routes) {
    ProcessResult byId = run({"routes", "list"});
    EXPECT_EQ(byId.exitCode, 0) << byId.err;
    EXPECT_EQ(byId.out.substr(0, byId.out.find('\n')),
              "1\tL1A\t1.914\t1.914\tStazione Centrale - Borgo Alto Chiesa");
    ProcessResult byName = run({"routes", "list", "--order", "name"});
    EXPECT_EQ(byName.exitCode, 0) << byName.err;
    EXPECT_EQ(byName.out.substr(0, byName.out.find('\t')), "2") << byName.out;

    EXPECT_EQ(run({"routes", "modify", "2", "--length", "2,5", "--name", "Ritorno"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT codperc, conlung, denom FROM itiner WHERE ID = 2"),
              "L1R|2500.0|Ritorno\n");
    ProcessResult bad = run({"routes", "modify", "2", "--length", "-3"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("ATTENZIONE: lunghezza percorso inaccettabile"), std::string::npos);
    EXPECT_EQ(run({"routes", "modify", "77", "--name", "X"}).exitCode, 1);

    EXPECT_EQ(run({"routes", "delete-composition", "2"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 2"), "0\n");
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 1"), "3\n");
}

TEST_F(WindowsCli, StandardLines) {
    EXPECT_EQ(run({"standard-lines",
                   "add",
                   "1",
                   "2",
                   "--authority",
                   "3",
                   "--code",
                   "A7",
                   "--name",
                   "Linea A7"})
                  .exitCode,
              0);
    ProcessResult byCode = run({"standard-lines", "list", "--order", "code"});
    EXPECT_EQ(byCode.exitCode, 0) << byCode.err;
    EXPECT_TRUE(byCode.out.starts_with("1\t2\t3 Provincia di Corvasca\tA7\tLinea A7\t\n1\t1\t"))
        << byCode.out;
    EXPECT_EQ(run({"standard-lines", "modify", "1", "2", "--name", "Linea A7 bis"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT ente, sigla, denom FROM reglinee WHERE id = 2"), "3|A7|Linea A7 bis\n");
    EXPECT_EQ(run({"standard-lines", "add", "1", "2", "--authority", "3", "--code", "B"}).exitCode,
              1)
        << "an id already used in the lot";
    EXPECT_EQ(
        run({"standard-lines", "add", "777", "5", "--authority", "3", "--code", "B"}).exitCode, 1);
    EXPECT_EQ(run({"standard-lines", "delete", "1", "2"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT count(*) FROM reglinee"), "1\n");
}

TEST_F(WindowsCli, LineLinks) {
    EXPECT_EQ(run({"line-links", "add", "L2", "1/1"}).exitCode, 0);
    ProcessResult listed = run({"line-links", "list", "--order", "code"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "L1\t1\t1\tL1\tLinea 1\nL2\t1\t1\tL1\tLinea 1\n");
    EXPECT_EQ(run({"line-links", "add", "L2", "1/1"}).exitCode, 1) << "already linked";
    EXPECT_EQ(run({"line-links", "add", "L3", "4/4"}).exitCode, 1) << "no such standard line";
    EXPECT_EQ(run({"line-links", "delete", "L2"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT codlinea FROM reglklin"), "L1\n");
}

TEST_F(WindowsCli, TheMenuShowsTheFiveWindowsEnabled) {
    ProcessResult menu = run({"menu"});
    EXPECT_EQ(menu.exitCode, 0) << menu.err;
    for (const char* id : {"5110", "5111", "5119", "5156", "5157"}) {
        const auto line = menu.out.find(id);
        ASSERT_NE(line, std::string::npos) << id;
        const std::string text = menu.out.substr(line, menu.out.find('\n', line) - line);
        EXPECT_EQ(text.find("non ancora disponibile"), std::string::npos) << text;
        EXPECT_EQ(text.find("disabilitat"), std::string::npos) << text;
    }
}

} // namespace
} // namespace tramela::cli
