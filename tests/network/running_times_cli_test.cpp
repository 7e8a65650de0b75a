#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using test::ProcessResult;

class RunningTimesCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(run({"demo", "demo.sqlite"}).exitCode, 0); }

    ProcessResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
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

    test::TempDir dir;
};
