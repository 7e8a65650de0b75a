#pragma once

#include "app/registry.h"

#include <vector>

namespace tramela::app {

// Sections of the command table kept in files of their own, each in menu order; the table
// places them where the menu has them.

// "&Utilità": the distance and running-time utilities.
std::vector<Command> distanceCommands();
// "&Utilità": code assignment, vehicle types and the clean-ups.
std::vector<Command> codeCommands();
// "&Stampe": the printed lists of cadences and calendar and the distance registers.
std::vector<Command> printCommands();

} // namespace tramela::app
