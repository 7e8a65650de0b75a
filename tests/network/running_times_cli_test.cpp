#include "support/demo_cli.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using test::ProcessResult;

class RunningTimesCli : public test::DemoCli {
protected:
    ProcessResult run(std::vector<std::string> arguments) {
        return runArguments(std::move(arguments));
    }

    // The rows of a query on the demonstration database, one a line, columns joined by "|".
    std::string rows(const std::string& select) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open((dir / "demo.sqlite").c_str(), &db), SQLITE_OK);
        std::string text;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr), SQLITE_OK) << select;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto* value = sqlite3_column_text(stmt, c);
                text += (c > 0 ? "|" : "") +
                        std::string(value != nullptr ? reinterpret_cast<const char*>(value) : "");
            }
            text += "\n";
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return text;
    }
};

// The demonstration's 7 standard trips have 87 rows and no fixed time: all but the 14 termini
// float. Standard trip 1 reaches its last stop, at 4351.079 m, in 13 minutes: the stops at
// 433.652, 1217.521 and 3558.364 m get 1.30, 3.64 and 10.63 minutes, so 1, 4 and 11.
TEST_F(RunningTimesCli, RecomputeTimesOnTheDemonstrationDatabase) {
    const std::string before = rows("SELECT * FROM detstd ORDER BY id, sub");
    const ProcessResult refused = run({"--db", "demo.sqlite", "--no", "recompute-times"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(rows("SELECT * FROM detstd ORDER BY id, sub"), before);

    const ProcessResult done = run({"--db", "demo.sqlite", "--yes", "recompute-times"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out, "Sono stati rideterminati 73 tempi di transito\n");
    EXPECT_TRUE(done.err.starts_with("ATTENZIONE: Questa funzione ricalcola i tempi flottanti"));
    EXPECT_EQ(rows("SELECT sub, arriva, parte FROM detstd WHERE id = 1 AND sub IN (1, 2, 4, 10, 12)"
                   " ORDER BY sub"),
              "1|0|0\n2|1|1\n4|4|4\n10|11|11\n12|13|13\n");
    // Run again, the same rows are written with the same times.
    EXPECT_EQ(run({"--db", "demo.sqlite", "--yes", "recompute-times"}).out,
              "Sono stati rideterminati 73 tempi di transito\n");
}

// Every one of the 241 trips has a standard trip with rows; trips 1 and 100 (standard trips 1 and
// 2) reach their last stop 13 minutes after their start, trip 241 (standard trip 7) 11.
TEST_F(RunningTimesCli, FixDurationsOnTheDemonstrationDatabase) {
    test::runSql(dir / "demo.sqlite", "UPDATE corse SET tempo = 0, ct_tempo = 0");
    EXPECT_EQ(run({"--db", "demo.sqlite", "--no", "fix-durations"}).exitCode, 3);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse WHERE tempo <> 0 OR ct_tempo <> 0"), "0\n");

    const ProcessResult done = run({"--db", "demo.sqlite", "--yes", "fix-durations"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out, "Risultati dell'elaborazione:\n\nSistemate 241 corse.\n");
    EXPECT_EQ(rows("SELECT id, tempo, ct_tempo FROM corse WHERE id IN (1, 100, 241) ORDER BY id"),
              "1|13|13\n100|13|13\n241|11|11\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse WHERE tempo = 0"), "0\n");
}

} // namespace
} // namespace tramela::network
