// The command line: one subcommand per command of the command table. This is the one place
// where the outcome of a command becomes the exit status: 0 done, 1 failed or refused, 2 usage,
// 3 cancelled.

#include "app/registry.h"
#include "command_line.h"
#include "document_ui.h"
#include "ui/cli_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <iostream>
#include <unistd.h>

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kCancelled = 3;

int exitStatus(tramela::ui::Outcome outcome, const tramela::ui::CliUi& ui) {
    using tramela::ui::Outcome;
    if (ui.usageError()) {
        return kUsage;
    }
    if (outcome == Outcome::Done) {
        return kDone;
    }
    // An answer of the command line that the command refused is a failure, not a Cancel.
    return outcome == Outcome::Failed || ui.refused() ? kFailed : kCancelled;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tramela;

    CLI::App app{"Tramela - Acquisizione DataBase Corse - Regione Valmora", "tramela"};
    cli::speakItalian(app);
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

    const cli::CommandLine commandLine(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }
    std::optional<cli::CommandLine::Selection> selection = commandLine.selection();
    if (!selection) {
        return kUsage;
    }

    ui::CliUi::Terminals terminals;
    terminals.interactive = ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
    terminals.progress = ::isatty(STDERR_FILENO) != 0;
    // What nobody can be asked must be given: refused before anything is read or written.
    if (!terminals.interactive && !selection->missingInBatch.empty()) {
        for (const app::Parameter* missing : selection->missingInBatch) {
            std::cerr << fmt::format("Manca {}: {} (senza un terminale non può essere chiesto)\n",
                                     missing->name,
                                     missing->help);
        }
        return kUsage;
    }

    cli::DocumentCliUi ui(yes  ? ui::CliUi::Answer::Yes
                          : no ? ui::CliUi::Answer::No
                               : ui::CliUi::Answer::Ask,
                          terminals);
    ui.setAnswers(std::move(selection->answers));
    workspace::Settings settings(settingsFile.empty() ? workspace::Settings::defaultPath()
                                                      : std::filesystem::path(settingsFile));
    workspace::Workspace workspace(ui, settings);
    const app::Command& command = *selection->command;
    bool started = true;
    switch (command.needs) {
    case app::Needs::Files:
        break;
    case app::Needs::Binding:
        workspace.LoadSettings();
        if (!database.empty()) {
            // A database named for this run is the binding these commands leave or keep.
            workspace.Startup(std::filesystem::path(database));
        }
        break;
    case app::Needs::Session:
    case app::Needs::Database:
        started = workspace.Startup(
            database.empty() ? std::nullopt : std::optional<std::filesystem::path>(database));
        break;
    }
    ui.setInputs({workspace.databasePath(), settings.path()});
    const bool viewing = command.view != nullptr && !selection->anyGiven;
    const ui::Outcome outcome =
        app::Run(workspace, command, viewing ? command.view : command.entry);
    if (command.after != nullptr && !viewing) {
        std::cout << command.after(workspace) << '\n' << std::flush;
    }
    const bool bindingKept = workspace.Shutdown();
    // A start-up that reported a failure (settings unreadable, database unopenable), or a
    // binding that could not be written, does not end in a clean exit even when the command
    // itself did its work.
    const int status = exitStatus(outcome, ui);
    return status == kDone && (!started || !bindingKept) ? kFailed : status;
}
