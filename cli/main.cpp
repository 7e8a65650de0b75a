// The command line: one subcommand per menu command. This is the one place where the outcome of
// a command becomes the exit status: 0 done, 1 a failure or refusal was shown, 2 usage,
// 3 cancelled.

#include "app/main_window.h"
#include "app/settings.h"
#include "commands.h"
#include "ui/cli_ui.h"

#include <CLI/CLI.hpp>
#include <iostream>
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
    app.set_help_all_flag("--help-all", "Mostra l'aiuto di tutti i comandi");

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

    cli::Command command;
    std::string file;
    std::string origin;
    std::string destination;

    auto* newDatabase = app.add_subcommand(
        "new-database", "Crea un database vuoto con le tavole della cartografia e del catalogo");
    newDatabase->add_option("FILE", file, "Il file da creare")->required();
    newDatabase->callback([&] { command = [&](cli::Context& c) { cli::newDatabase(c, file); }; });

    auto* connect = app.add_subcommand("connect", "Connetti: associa il database a Tramela");
    connect->add_option("FILE", file, "Il database da associare")->required();
    connect->callback([&] { command = [&](cli::Context& c) { cli::connect(c, file); }; });

    app.add_subcommand("disconnect", "Sconnetti: toglie l'associazione al database")->callback([&] {
        command = cli::disconnect;
    });

    auto* repair = app.add_subcommand("repair", "Ripara un database");
    repair->add_option("FILE", file, "Il database da riparare")->required();
    repair->callback([&] { command = [&](cli::Context& c) { cli::repair(c, file); }; });

    auto* duplicate = app.add_subcommand("duplicate", "Duplica (compatta) un database");
    duplicate->add_option("FROM", origin, "Il database di origine")->required();
    duplicate->add_option("TO", destination, "Il database di destinazione (nuovo)")->required();
    duplicate->callback(
        [&] { command = [&](cli::Context& c) { cli::duplicate(c, origin, destination); }; });

    app.add_subcommand("about", "Informazioni sul programma")->callback([&] {
        command = cli::about;
    });
    app.add_subcommand("title", "Il titolo della finestra principale per il database corrente")
        ->callback([&] { command = cli::title; });

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }

    ui::CliUi::Terminals terminals;
    terminals.interactive = ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
    terminals.progress = ::isatty(STDERR_FILENO) != 0;
    ui::CliUi ui(yes  ? ui::CliUi::Answer::Yes
                 : no ? ui::CliUi::Answer::No
                      : ui::CliUi::Answer::Ask,
                 terminals);
    app::Settings settings(settingsFile.empty() ? app::Settings::defaultPath()
                                                : std::filesystem::path(settingsFile));
    app::MainWindow window(ui, settings);
    cli::Context context{ui, window, std::nullopt};
    if (!database.empty()) {
        context.database = database;
    }

    command(context);
    window.Shutdown();

    if (ui.failureShown() || ui.refused()) {
        return kFailed;
    }
    return ui.cancelled() ? kCancelled : kDone;
}
