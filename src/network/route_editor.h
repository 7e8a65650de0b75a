#pragma once

#include "network/route_set.h"
#include "store/database_connection.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tramela::network {

// The route editor's operations on the composition of the route being edited. The editor shows
// its rows and works inside the window's transaction: each operation writes its fermitin rows at
// once (all of them or, when one is refused, none), updates the rows it changed and marks them
// changed.

// One row of the composition as the editor lists it.
struct CompositionRow {
    std::int32_t sub = 0; // fermitin.sub
    StopId stop;          // fermitin.fermata
    double condist = 0.0; // conventional progressive, metres
    double geodist = 0.0; // cartographic progressive, metres
    bool primaria = false;
    bool facolt = false;
    bool changed = false; // written since the editor loaded the row
};

// What an operation did.
enum class EditorResult {
    Done,
    NoGeometry, // the route has no sound geometry: nothing changed
    Refused,    // a write or a read failed (shown): nothing changed
};

inline constexpr std::string_view kStopsNotNearRoute =
    "Attenzione: alcune fermate non sono associabili al percorso";
inline constexpr std::string_view kProgressivesNotComputable =
    "Attenzione: alcune progressive non risultano calcolabili";

// "Ricalcola Progressive Cartografiche": places the route's stops on its geometry and writes
// each stop's geodist (whole metres). Stops farther than 40 m from the route, and progressives
// that cannot be determined or are out of sequence, are each announced by one warning and the
// recompute goes on (an undetermined progressive is written 0). A route without a geoitin row,
// or whose geometry has no vertex, is announced as having no geometry; a corrupt geometry row is
// shown as such; in both cases nothing changes.
EditorResult RecomputeCartographic(store::DatabaseConnection& connection,
                                   RouteId route,
                                   std::vector<CompositionRow>& rows);

// "Ricalcola Progressive Convenzionali" (the rows in sub order): each row's condist spread from its
// geodist in the ratio of the route's conventional to its cartographic length (whole metres), the
// first row at 0. A route missing from itiner or without cartographic length is announced and
// nothing changes.
EditorResult RecomputeConventional(store::DatabaseConnection& connection,
                                   RouteId route,
                                   std::vector<CompositionRow>& rows);

// "Fermata Primaria": a stop that is not primary becomes primary and not optional; a primary
// stop stops being primary. A stop is never left both primary and optional.
EditorResult
TogglePrimary(store::DatabaseConnection& connection, RouteId route, CompositionRow& row);
// "Fermata Facoltativa": the same with the roles swapped.
EditorResult
ToggleOptional(store::DatabaseConnection& connection, RouteId route, CompositionRow& row);

} // namespace tramela::network
