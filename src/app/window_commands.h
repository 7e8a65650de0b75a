#pragma once

#include "app/registry.h"

#include <functional>
#include <vector>

namespace tramela::app {

// The editing windows of the "&Archivi" menu (cadences, calendar, routes, standard lines, line
// links), in menu order, each with its operations for the command line.
std::vector<Command> windowCommands();
// The command line's own commands of the windows opened from another (the periods of a trip).
std::vector<Command> nestedWindowCommands();

// How a front end with windows opens the window of a menu item; without one (the command line)
// the menu item prints the window's list.
using WindowOpener = std::function<ui::Outcome(workspace::Workspace&, int menuId)>;
void setWindowOpener(WindowOpener opener);

} // namespace tramela::app
