// The composition of a route on the command line, on the demonstration database.

#include "support/demo_cli.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tramela::cli {
namespace {

using test::ProcessResult;

// Each command names the demonstration database (--db demo.sqlite).
class CompositionCli : public test::DemoCli {
protected:
    ProcessResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--db", "demo.sqlite"});
        return runArguments(std::move(arguments));
    }
};

// Each line: sub, stop ID, code, name, location, conventional and cartographic km, the marks.
TEST_F(CompositionCli, ListPrintsBothProgressivesOfEveryStop) {
    const ProcessResult listed = run({"route-stops", "1", "list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::istringstream lines(listed.out);
    std::string shown;
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream cellStream(line);
        for (std::string cell; std::getline(cellStream, cell, '\t');) {
            cells.push_back(cell);
        }
        ASSERT_EQ(cells.size(), 9u) << line;
        shown +=
            cells[0] + "|" + cells[1] + "|" + cells[5] + "|" + cells[6] + "|" + cells[7] + "\n";
    }
    EXPECT_EQ(shown,
              rows("SELECT sub, fermata, printf('%.3f', condist / 1000.0), printf('%.3f', geodist "
                   "/ 1000.0), CASE primaria WHEN 1 THEN 'Si' ELSE 'No' END FROM fermitin WHERE "
                   "ID = 1 ORDER BY sub"));
    EXPECT_GT(std::count(listed.out.begin(), listed.out.end(), '\n'), 5);
}

TEST_F(CompositionCli, EachOperationIsOneRunAndARefusalChangesNothing) {
    const std::string all = "SELECT * FROM fermitin ORDER BY ID, sub";
    const std::string before = rows(all);
    // A progressive in a wrong form, a sub the route does not have, a route that does not exist.
    EXPECT_EQ(run({"route-stops", "1", "progressive", "2", "1,5,0"}).exitCode, 1);
    EXPECT_EQ(run({"route-stops", "1", "delete", "999"}).exitCode, 1);
    const ProcessResult missing = run({"route-stops", "999999", "list"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("non è presente nell'archivio dei percorsi"), std::string::npos);
    // A stop given by code far from the line at the progressive given.
    const ProcessResult far =
        run({"--yes", "route-stops", "1", "insert", "--code", "1", "--at", "0"});
    EXPECT_EQ(far.exitCode, 1) << far.err;
    EXPECT_EQ(rows(all), before);

    const ProcessResult changed = run({"route-stops", "1", "progressive", "2", "1,5"});
    EXPECT_EQ(changed.exitCode, 0) << changed.err;
    EXPECT_EQ(rows("SELECT CAST(condist AS INTEGER) FROM fermitin WHERE ID = 1 AND sub = 2"),
              "1500\n");
    EXPECT_EQ(run({"route-stops", "1", "delete", "2"}).exitCode, 0);
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 1 AND sub = 2"), "0\n");
}

} // namespace
} // namespace tramela::cli
