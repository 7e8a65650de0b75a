#pragma once

#include "store/database_connection.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::test {

// The rows a query gives, one a line, columns joined by "|", null as "".
std::string rows(const store::DatabaseConnection& connection, const std::string& select);

// The database the settings file `path` binds, as a fresh load reads it.
std::string boundDatabase(const std::filesystem::path& path);

// Lines ended by CR LF, as the record files have them.
std::string crlfLines(const std::vector<std::string>& lines);

// The sample network (sample_network.h), changed by a test's SQL and opened in a workspace on a
// ScriptedUi, for the tests of the commands.
class SampleWorkspace : public ::testing::Test {
protected:
    // Creates the sample network as `name` in the test's folder, runs `sql` on it and opens it;
    // what opening showed is forgotten.
    void open(const std::string& sql = {}, std::string_view name = "rete.sqlite");

    std::filesystem::path database() const { return m_database; }

    workspace::Workspace& window() { return *m_window; }

    store::DatabaseConnection& connection() { return *m_window->connection(); }

    // Runs SQL through the workspace's connection (fails the test on error).
    void sql(const std::string& statement);

    std::string rows(const std::string& select) { return test::rows(connection(), select); }

    // Writes the lines, CR LF ended, to `name` in the test's folder; returns its path.
    std::filesystem::path write(std::string_view name, const std::vector<std::string>& lines);

    TempDir dir;
    ui::ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};

private:
    std::filesystem::path m_database;
    std::unique_ptr<workspace::Workspace> m_window;
};

} // namespace tramela::test
