// The command table's code utilities: trip, contract, extended, subcontract, route and vehicle
// codes, then the clean-ups of what no timetable uses any more.

#include "app/command_sections.h"
#include "app/parameters.h"

namespace tramela::app {

std::vector<Command> codeCommands() {
    using namespace parameters;
    return {
        {.menuId = 5135, .label = "Assegnazione &Codici Corsa", .cli = "assign-trip-codes"},
        {.menuId = 5136, .label = "Assegnazione Codici C&ontratto", .cli = "assign-contracts"},
        {.menuId = 5154, .label = "Assegnazione Codifiche &Estese", .cli = "assign-extcodes"},
        {.menuId = 5165, .label = "Sistemazione &Subappalti Codice=0", .cli = "fix-subcontracts"},
        {.menuId = 5149,
         .label = "Assegnazione Codici &Percorso da Linea",
         .cli = "assign-route-codes"},
        {.menuId = 5138, .label = "Assegnazione &Tipo Mezzo (Aziendale)", .cli = "assign-vehicle"},
        {.menuId = 5139,
         .label = "Assegnazione Tipo &Mezzo (Linea)",
         .cli = "assign-vehicle",
         .cliVariant = "--line"},
        {.menuId = 5140,
         .label = "Assegnazione Tipo Mezzo (&Ente)",
         .cli = "assign-vehicle",
         .cliVariant = "--authority"},
        {.menuId = 5127,
         .label = "Pulizia Corse &Standard inutilizzate",
         .cli = "clean-standard-trips"},
        {.menuId = 5129, .label = "Pulizia &Percorsi inutilizzati", .cli = "clean-routes"},
        {.menuId = 5128, .label = "Pulizia &Fermate inutilizzate", .cli = "clean-stops"},
        {.menuId = 5137, .label = "&Codici Corsa", .cli = "blank-trip-codes"},
        {.menuId = 5148, .label = "Pulizia Corse x &Periodo", .cli = "clean-period"},
    };
}

} // namespace tramela::app
