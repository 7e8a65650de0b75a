#include "support/sample_workspace.h"

#include "support/sample_network.h"

#include <sqlite3.h>

namespace tramela::test {

std::string rows(const store::DatabaseConnection& connection, const std::string& select) {
    std::string text;
    const auto collect = [](void* out, int columns, char** values, char**) {
        auto& all = *static_cast<std::string*>(out);
        for (int i = 0; i < columns; ++i) {
            all += (i > 0 ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "");
        }
        all += "\n";
        return 0;
    };
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(connection.handle(), select.c_str(), collect, &text, &error), SQLITE_OK)
        << (error != nullptr ? error : "") << "\n"
        << select;
    sqlite3_free(error);
    return text;
}

std::string boundDatabase(const std::filesystem::path& path) {
    workspace::Settings settings(path);
    EXPECT_EQ(settings.load(), workspace::Settings::LoadResult::Loaded) << path;
    return settings.databasePath();
}

std::string crlfLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line + "\r\n";
    }
    return bytes;
}

void SampleWorkspace::open(const std::string& sql, std::string_view name) {
    m_window.reset();
    m_database = dir / name;
    createSampleNetwork(m_database);
    if (!sql.empty()) {
        runSql(m_database, sql);
    }
    m_window = std::make_unique<workspace::Workspace>(ui, settings);
    m_window->Startup(m_database);
    ASSERT_TRUE(m_window->isConnected());
    ui.clear();
}

void SampleWorkspace::sql(const std::string& statement) {
    std::string description;
    ASSERT_TRUE(connection().execute(statement, &description)) << statement << ": " << description;
}

std::filesystem::path SampleWorkspace::write(std::string_view name,
                                             const std::vector<std::string>& lines) {
    writeFile(dir / name, crlfLines(lines));
    return dir / name;
}

} // namespace tramela::test
