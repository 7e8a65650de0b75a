#include "support/demo_cli.h"

#include "store/database_connection.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "ui/scripted_ui.h"

#include <array>
#include <cstdio>
#include <memory>

namespace tramela::test {

std::string pdfText(const std::filesystem::path& pdf, int page) {
    std::string command = "pdftotext -layout ";
    if (page > 0) {
        command += "-f " + std::to_string(page) + " -l " + std::to_string(page) + " ";
    }
    command += "'" + pdf.string() + "' - 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    std::array<char, 4096> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) {
        text += buffer.data();
    }
    return text;
}

void DemoCli::SetUp() {
    const ProcessResult built = run("demo demo.sqlite");
    ASSERT_EQ(built.exitCode, 0) << built.err;
}

ProcessResult DemoCli::runArguments(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
    return runProcess(TRAMELA_CLI, arguments, dir.path());
}

std::string DemoCli::rows(const std::string& select) {
    ui::ScriptedUi quiet;
    store::DatabaseConnection connection(quiet, dir / "demo.sqlite");
    return test::rows(connection, select);
}

void DemoCli::sql(const std::string& statement) {
    runSql(dir / "demo.sqlite", statement);
}

} // namespace tramela::test
