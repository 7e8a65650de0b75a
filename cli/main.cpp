// The command line: one subcommand per built command of the menu, plus a few of its own. This is
// the one place where the outcome of a command becomes the exit status: 0 done, 1 a failure or
// refusal was shown, 2 usage, 3 cancelled.

#include "app/command_table.h"
#include "commands.h"
#include "ui/cli_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kCancelled = 3;

} // namespace

int main(int argc, char** argv) {
    using namespace tramela;

    CLI::App app{"Tramela - Acquisizione DataBase Corse - Regione Valmora", "tramela"};
    app.require_subcommand(1);

    std::string database;
    std::string settingsFile;
    bool yes = false;
    bool no = false;
    app.add_option("--db", database, "Usa questo database per questa esecuzione")
        ->type_name("FILE");
    app.add_option("--settings", settingsFile, "Usa questo file di impostazioni")
        ->type_name("FILE");
    auto* yesFlag = app.add_flag("--yes", yes, "Risponde OK a ogni richiesta di conferma");
    app.add_flag("--no", no, "Risponde Annulla a ogni richiesta di conferma")->excludes(yesFlag);

    const std::vector<cli::CliCommand> commands = cli::cliCommands();
    std::vector<cli::Arguments> arguments(commands.size());
    const cli::CliCommand* selected = nullptr;
    const cli::Arguments* selectedArguments = nullptr;
    for (size_t i = 0; i < commands.size(); ++i) {
        const cli::CliCommand& command = commands[i];
        std::string description(command.description);
        if (command.menuId != 0) {
            const app::MenuItem* item = app::findCommand(command.menuId);
            if (item == nullptr || item->entry == nullptr) {
                continue; // not built yet: the menu lists it, the command line does not offer it
            }
            if (description.empty()) {
                description = app::plainLabel(item->label);
            }
        }
        CLI::App* sub = app.add_subcommand(std::string(command.name), description);
        if (command.addOptions != nullptr) {
            command.addOptions(*sub, arguments[i]);
        }
        sub->callback([&, i] {
            selected = &commands[i];
            selectedArguments = &arguments[i];
        });
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }
    if (selected == nullptr) {
        return kUsage;
    }

    ui::CliUi::Terminals terminals;
    terminals.interactive = ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
    terminals.progress = ::isatty(STDERR_FILENO) != 0;
    ui::CliUi ui(yes  ? ui::CliUi::Answer::Yes
                 : no ? ui::CliUi::Answer::No
                      : ui::CliUi::Answer::Ask,
                 terminals);
    workspace::Settings settings(settingsFile.empty() ? workspace::Settings::defaultPath()
                                                      : std::filesystem::path(settingsFile));
    workspace::Workspace window(ui, settings);
    cli::Context context{ui, window, std::nullopt};
    if (!database.empty()) {
        context.database = database;
    }

    cli::runCommand(*selected, context, *selectedArguments);
    window.Shutdown();

    if (ui.failureShown() || ui.refused()) {
        return kFailed;
    }
    return ui.cancelled() ? kCancelled : kDone;
}
