#pragma once

#include "app/registry.h"

namespace tramela::app {

// The analyses of the "&Stampe" and "&Utilità" menus, each declared here and placed by the
// command table where the menu has it.

// "verifica &Contratti" (5131): the contract totals.
Command contractsCommand();
// "Analisi &Differenziale Periodi Esercizio" (5163): the differential analysis of two periods.
Command differentialCommand();

} // namespace tramela::app
