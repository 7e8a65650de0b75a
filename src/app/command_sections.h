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
// "&Stampe": the printed lists, the timetable boards, the contract totals and the distance
// registers (the two verifications that end the menu stay in the table).
std::vector<Command> reportCommands();
// The command line's own: the composition of a route ("route-stops").
std::vector<Command> compositionCommands();
// The command line's own commands of the timetable of a route: its list, the trips and the
// transit times.
std::vector<Command> tripCommands();

} // namespace tramela::app
