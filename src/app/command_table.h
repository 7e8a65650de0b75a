#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::app {

// What a menu item runs: the command's core entry point, on the main window's session.
using CommandEntry = void (*)(workspace::Workspace& window);

// One item of the menu bar: a command, a separator or a submenu (the bar's own popups are
// submenus too). The one table from which every front end builds its menu and its commands.
struct MenuItem {
    enum class Kind { Command, Separator, Submenu };

    Kind kind = Kind::Command;
    int id = 0;                   // commands: 5101..5167
    std::string_view label;       // with "&" before the mnemonic letter
    std::string_view cli;         // the command line's name for the command, when it has one
    CommandEntry entry = nullptr; // nullptr: the command is not built yet
    std::vector<MenuItem> children;
};

// The menu bar, left to right.
const std::vector<MenuItem>& menuBar();
const MenuItem* findCommand(int id);
const MenuItem* findCommandByCli(std::string_view name);
// Every command of the menu, in menu order.
std::vector<const MenuItem*> allCommands();

// Exit, about, connect, disconnect, repair and duplicate are always enabled; every other item
// only while a database is connected.
bool needsDatabase(int id);
bool isEnabled(int id, const workspace::Workspace& window);

// Runs the command of a menu item. A command not built yet says so; a command started without
// the database it needs says so too (the menu never lets that happen, the command line may).
// False when nothing was run.
bool Route(workspace::Workspace& window, int id);

// The label without its mnemonic mark: "&Crea Tavole Tramela" -> "Crea Tavole Tramela".
std::string plainLabel(std::string_view label);

// The menu tree as text, one item a line, with ids and the enabled state for this window.
std::string menuTree(const workspace::Workspace& window);

} // namespace tramela::app
