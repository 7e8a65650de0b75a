#pragma once

#include "ui/answers.h"
#include "ui/ui.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::app {

// What a command runs: its core entry point, on the session of the front end that starts it.
using Entry = ui::Outcome (*)(workspace::Workspace& workspace);

// What a command needs before it runs.
enum class Needs {
    Files,    // works on the files it is given: neither the settings nor a database
    Binding,  // the settings, to change the binding: the bound database is not opened first
    Session,  // the start-up sequence (settings, then the bound database), database or not
    Database, // the start-up sequence and a connected database
};

// How the command line answers one question of a command, or one field of its dialog.
struct Parameter {
    enum class Kind { Positional, Option, Flag };

    Kind kind = Kind::Option;
    std::string name;      // "FILE", "--report", "--railway"
    std::string valueName; // what an option's value is: "FILE", "GG/MM/AAAA", "N"
    std::string help;
    std::string answers;          // the key of the question answered ("report", "export-xml.from")
    bool required = false;        // needed on every run (positional arguments always are)
    bool requiredInBatch = false; // needed when nobody is at a terminal to be asked
    std::vector<std::string> choices;  // the only values accepted, when they are few
    std::vector<std::string> excludes; // options that cannot be given together with this one
    // The set of options of which exactly one must be given ("modalità"), if any.
    std::string alternatives;
    std::string form; // the dialog whose field it answers, if any
    // The values an option takes ("--first D D": 2); more than one reach `answer` joined by "\n".
    int values = 1;
    // Writes the answers the value gives (a flag's value is "1").
    std::function<void(ui::Answers&, const std::string& value)> answer;
};

// One command: its place in the menu, its name on the command line, what it needs, the questions
// the command line answers for it, and its entry point. The menu bar, the command line, `menu`
// and the tests all read the one table of these (commandTable()).
struct Command {
    int menuId = 0;              // 5101..5167; 0 for the command line's own commands
    std::string_view label = {}; // the menu's label with "&" before its mnemonic letter
    std::string_view cli = {};   // the command line's name; empty: the menu only
    // Among the commands that share one command line name, the flag that chooses this one
    // ("--railway"); empty for the one run when no such flag is given.
    std::string_view cliVariant = {};
    Needs needs = Needs::Database;
    std::string_view help = {}; // what the command does, for `tramela NAME --help`
    std::vector<Parameter> parameters = {};
    Entry entry = nullptr; // nullptr: not built yet
    // On the command line, run instead of the entry when no parameter is given (the company
    // header shown rather than edited).
    Entry view = nullptr;
    // On the command line, what is printed after the command has run (the window's title).
    std::string (*after)(workspace::Workspace& workspace) = nullptr;
    // Operations of the command that the command line offers one at a time ("cadences add").
    std::vector<Command> actions = {};

    bool built() const { return entry != nullptr || !actions.empty(); }
};

// One item of the menu bar: a command (by its id), a separator or a submenu with its items.
struct MenuItem {
    enum class Kind { Command, Separator, Submenu };

    Kind kind = Kind::Command;
    int id = 0;                  // commands
    std::string_view label = {}; // submenus
    std::vector<MenuItem> children = {};
};

// Every command: those of the menu in menu order, then the command line's own.
const std::vector<Command>& commandTable();
// The menu bar, left to right.
const std::vector<MenuItem>& menuBar();

const Command* findCommand(int menuId);
// The commands of one command line name: one, or the variants chosen by their flags.
std::vector<const Command*> findCommandsByCli(std::string_view name);

// The label without its mnemonic mark: "&Crea Tavole Tramela" -> "Crea Tavole Tramela".
std::string plainLabel(std::string_view label);
// How a command is named to the user: its menu label, or its command line name.
std::string commandName(const Command& command);

// Exit, about, connect, disconnect, repair and duplicate are always enabled; every other item
// only while a database is connected.
bool isEnabled(const Command& command, const workspace::Workspace& workspace);
bool isEnabled(int menuId, const workspace::Workspace& workspace);

// Runs a command: a command not built yet says so; a command started without the database it
// needs says so too (the menu never lets that happen, the command line may). Both are failures.
ui::Outcome Run(workspace::Workspace& workspace, const Command& command, Entry entry = nullptr);
// Runs the command of a menu item.
ui::Outcome Route(workspace::Workspace& workspace, int menuId);

// The menu tree as text, one item a line, with ids and the enabled state for this session.
std::string menuTree(const workspace::Workspace& workspace);

} // namespace tramela::app
