#include "support/background_process.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace tramela::cli {
namespace {

using namespace std::chrono_literals;
using test::ProcessResult;

// The rows of each table, and whether the engine finds the file sound.
struct Snapshot {
    std::string integrity;
    std::vector<long> rows;

    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const std::filesystem::path& database, const std::vector<std::string>& tables) {
    Snapshot taken;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
    if (sqlite3_step(statement) == SQLITE_ROW) {
        taken.integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    for (const std::string& table : tables) {
        sqlite3_prepare_v2(db, ("SELECT COUNT(*) FROM " + table).c_str(), -1, &statement, nullptr);
        taken.rows.push_back(
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return taken;
}

class CrashTest : public ::testing::Test {
protected:
    ProcessResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    // Runs the command on a copy of `database` once for each delay, killing it (SIGKILL) after
    // that delay: each time the file is sound and holds either nothing of the command's work or
    // all of it, and the command run again on it ends well.
    void killAtSeveralPoints(const std::filesystem::path& database,
                             const std::vector<std::string>& command,
                             const std::vector<std::string>& tables) {
        const Snapshot before = snapshot(database, tables);
        const auto whole = dir / "intero.sqlite";
        std::filesystem::copy_file(database, whole);
        std::vector<std::string> arguments{"--yes", "--db", whole.string()};
        arguments.insert(arguments.end(), command.begin(), command.end());
        ASSERT_EQ(run(arguments).exitCode, 0);
        const Snapshot after = snapshot(whole, tables);
        ASSERT_NE(after, before);

        for (const auto delay : {0ms, 5ms, 15ms, 30ms, 60ms, 100ms, 160ms, 250ms, 400ms}) {
            SCOPED_TRACE(delay.count());
            const auto killed = dir / "ucciso.sqlite";
            std::filesystem::remove(killed);
            std::filesystem::copy_file(database, killed);
            arguments[2] = killed.string();
            std::vector<std::string> full{"--settings", (dir / "settings.toml").string()};
            full.insert(full.end(), arguments.begin(), arguments.end());
            {
                test::BackgroundProcess process(TRAMELA_CLI, full, dir.path());
                ASSERT_TRUE(process.started());
                std::this_thread::sleep_for(delay);
                ::kill(process.pid(), SIGKILL);
                process.finish(5s);
            }
            const Snapshot left = snapshot(killed, tables);
            EXPECT_EQ(left.integrity, "ok");
            EXPECT_TRUE(left == before || left == after) << "a half-written database";
            if (left == before) {
                EXPECT_EQ(run(arguments).exitCode, 0) << "the run again";
                EXPECT_EQ(snapshot(killed, tables), after);
            }
        }
    }

    test::TempDir dir;
};

TEST_F(CrashTest, AKilledCompleteImportLeavesTheDatabaseAsItWas) {
    ASSERT_EQ(run({"demo", "d.sqlite"}).exitCode, 0);
    std::filesystem::create_directory(dir / "out");
    ASSERT_EQ(run({"--yes", "--db", "d.sqlite", "export-txt", "out"}).exitCode, 0);
    test::runSql(dir / "d.sqlite",
                 "DELETE FROM extcod; DELETE FROM period; DELETE FROM corse; DELETE FROM detstd;"
                 "DELETE FROM tesstd; DELETE FROM calend; DELETE FROM cadenz;"
                 "UPDATE master SET protoc = NULL;");
    killAtSeveralPoints(dir / "d.sqlite",
                        {"import-all", (dir / "out").string()},
                        {"master WHERE protoc IS NOT NULL",
                         "cadenz",
                         "calend",
                         "tesstd",
                         "detstd",
                         "corse",
                         "period",
                         "extcod"});
}

TEST_F(CrashTest, AKilledGtfsImportLeavesTheDatabaseAsItWas) {
    ASSERT_EQ(run({"new-database", "g.sqlite"}).exitCode, 0);
    ASSERT_EQ(run({"--db", "g.sqlite", "create-tables"}).exitCode, 0);
    killAtSeveralPoints(dir / "g.sqlite",
                        {"import-gtfs", std::string(TRAMELA_SOURCE_DATA) + "/demo"},
                        {"fermate", "itiner", "fermitin", "calend", "tesstd", "corse", "extcod"});
}

} // namespace
} // namespace tramela::cli
