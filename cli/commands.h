#pragma once

#include "ui/cli_ui.h"
#include "workspace/workspace.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tramela::cli {

// What a command of the command line gets: the front end, the main window's state and the
// database chosen with --db for this run.
struct Context {
    ui::CliUi& ui;
    workspace::Workspace& window;
    std::optional<std::filesystem::path> database;
};

// What a command needs before it runs.
enum class Startup {
    None,     // works on files it is given
    Settings, // changes the binding
    Full,     // the start-up sequence: settings, then the bound (or --db) database
};

// The values the flags and positional arguments of one command line hold.
struct Arguments {
    std::vector<std::string> files;
    std::map<std::string, std::string> form; // dialog answers, by field id
};

// One subcommand: a menu command (routed through the command table) or one of the command
// line's own (run directly).
struct CliCommand {
    std::string_view name = {};
    int menuId = 0;
    Startup startup = Startup::Full;
    void (*addOptions)(CLI::App& command, Arguments& arguments) = nullptr;
    // Runs the command: answers its dialogs from the arguments and routes it, or does the work
    // of a command of the command line's own. Without it the menu command is routed as it is.
    void (*run)(Context& context, const Arguments& arguments) = nullptr;
    std::string_view description = {}; // for the command line's own commands
};

// The subcommands: every built command of the menu, then the command line's own.
std::vector<CliCommand> cliCommands();

// Prepares the session as the command needs, answers its dialogs and runs it.
void runCommand(const CliCommand& command, Context& context, const Arguments& arguments);

} // namespace tramela::cli
