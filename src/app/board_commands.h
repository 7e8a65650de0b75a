#pragma once

#include "app/registry.h"

#include <vector>

namespace tramela::app {

// "&Stampe" -> "Quadri &Orari": the boards as tab-separated text and as HTML pages, in menu
// order; the table places them where the menu has them.
std::vector<Command> boardCommands();

} // namespace tramela::app
