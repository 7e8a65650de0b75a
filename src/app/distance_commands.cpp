// The command table's distance and running-time utilities: progressive distances, trip lengths
// and durations, running times.

#include "app/command_sections.h"
#include "app/parameters.h"
#include "network/progressive_commands.h"
#include "network/running_times.h"

namespace tramela::app {

std::vector<Command> distanceCommands() {
    using namespace parameters;
    return {
        {.menuId = 5133,
         .label = "Sistemazione &Tempi Corsa",
         .cli = "fix-durations",
         .help = "Ricalcola la durata di ogni corsa dall'arrivo al capolinea della sua corsa "
                 "standard",
         .entry = network::FixDurations},
        {.menuId = 5134,
         .label = "Sistemazione &Lunghezze Corsa",
         .cli = "fix-lengths",
         .help = "Calcola la lunghezza di ogni corsa dalla progressiva convenzionale dell'ultima "
                 "fermata del suo percorso",
         .entry = network::FixTripLengths},
        {.menuId = 5144,
         .label = "Assegnazione &Distanze Progressive",
         .cli = "spread-progressives",
         .help = "Assegna le progressive convenzionali delle fermate dei percorsi con corse, "
                 "in proporzione alle progressive cartografiche",
         .entry = network::SpreadConventionalProgressives},
        {.menuId = 5150,
         .label = "Ricalcola &Distanze Cartografiche",
         .cli = "recompute-cartographic",
         .help = "Ricalcola le progressive cartografiche delle fermate dalla geometria dei "
                 "percorsi",
         .parameters = {fileOption(
             "--report",
             ui::keys::kReport,
             "Scrive qui il report degli errori riscontrati (ERRORI_KM_CARTA)")},
         .entry = network::RecomputeCartographicProgressives},
        {.menuId = 5151,
         .label = "&Allinea Distanze su base cartografica",
         .cli = "align-distances",
         .help = "Allinea progressive e lunghezze contabili di fermate, corse e percorsi ai "
                 "valori cartografici",
         .entry = network::AlignDistancesToCartographic},
        {.menuId = 5146,
         .label = "Ricalcolo &Orari Corse",
         .cli = "recompute-times",
         .help = "Ricalcola i tempi flottanti delle corse standard dalle progressive "
                 "convenzionali",
         .entry = network::RecomputeTimes},
    };
}

} // namespace tramela::app
