#pragma once

#include "app/registry.h"
#include "network/association_command.h" // the entry point, network::StopRouteAnalysis

#include <vector>

namespace tramela::app {

// The command line of "verifica associazione Fermate/Percorso": --report FILE takes the offer of
// the report and writes it there; --full, --absent and --wrong tick the choices of its dialog,
// which keeps its proposed values for the choices not given.
std::vector<Parameter> associationParameters();

} // namespace tramela::app
