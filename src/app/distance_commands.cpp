// The command table's distance and running-time utilities: progressive distances, trip lengths
// and durations, running times.

#include "app/command_sections.h"
#include "app/parameters.h"
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
        {.menuId = 5134, .label = "Sistemazione &Lunghezze Corsa", .cli = "fix-lengths"},
        {.menuId = 5144,
         .label = "Assegnazione &Distanze Progressive",
         .cli = "spread-progressives"},
        {.menuId = 5150,
         .label = "Ricalcola &Distanze Cartografiche",
         .cli = "recompute-cartographic"},
        {.menuId = 5151,
         .label = "&Allinea Distanze su base cartografica",
         .cli = "align-distances"},
        {.menuId = 5146,
         .label = "Ricalcolo &Orari Corse",
         .cli = "recompute-times",
         .help = "Ricalcola i tempi flottanti delle corse standard dalle progressive "
                 "convenzionali",
         .entry = network::RecomputeTimes},
    };
}

} // namespace tramela::app
