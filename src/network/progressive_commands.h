#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::network {

// The whole-database commands on progressive distances and trip lengths. Each asks to proceed
// (ui::keys::kProceed; anything but OK changes nothing and the command is cancelled), writes in
// one transaction and ends with its counts. A row the tables refuse is shown by the table layer,
// skipped and not counted.

inline constexpr std::string_view kGeometryCaption = "Estrazione Geometria Percorsi";
inline constexpr std::string_view kStopsCaption = "Estrazione Geometria Fermate";
inline constexpr std::string_view kDeterminationCaption = "Determinazione progressive";
inline constexpr std::string_view kUpdateCaption = "Aggiornamento progressive";

// "Ricalcola Distanze Cartografiche": the cartographic progressive (fermitin.geodist) of every
// stop of every route with a sound geometry, from where the stop projects onto the route. Routes
// whose geometry is corrupt (shown as such), has no vertex, or is missing are left as they are.
// When stops are far from their route or cannot be placed in sequence, the report
// ERRORI_KM_CARTA is offered (ui::keys::kReport, first as a question, then as a save dialog).
ui::Outcome RecomputeCartographicProgressives(workspace::Workspace& window);

// "Assegnazione Distanze Progressive": the conventional progressive (fermitin.condist) of every
// stop of every route run by a trip, spread from its cartographic one in the ratio of the route's
// conventional to its cartographic length. A route missing from itiner, or without cartographic
// length, keeps its conventional progressives and is named in a warning.
ui::Outcome SpreadConventionalProgressives(workspace::Workspace& window);

// "Sistemazione Lunghezze Corsa": every trip's lengths (corse.lung, corse.ct_lung) set to the
// conventional progressive of the last stop of its route. A trip whose route has no stops is
// left as it is.
ui::Outcome FixTripLengths(workspace::Workspace& window);

// "Allinea Distanze su base cartografica": the conventional figures copied from the cartographic
// ones: condist from geodist for the stops of the routes run by trips, lung and ct_lung of every
// trip from the last stop's geodist, conlung from geolung for every route. A stop is written
// once however many trips run its route, and counted once per trip, as the count of progressives
// aligned has always been given.
ui::Outcome AlignDistancesToCartographic(workspace::Workspace& window);

} // namespace tramela::network
