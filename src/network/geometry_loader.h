#pragma once

#include "network/route_polyline.h"
#include "network/route_set.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "ui/ui.h"

#include <cstddef>
#include <functional>
#include <optional>

namespace tramela::network {

// What loading one route's geometry found.
enum class GeometryStatus {
    Sound,   // the polyline is loaded
    Missing, // the route has no geoitin row
    Corrupt, // the row's coord is not punti × 16 bytes long; shown
    Failed,  // the query failed; shown by the query layer
};

// A route's geometry as loaded; the polyline is present exactly when the status is Sound.
struct LoadedGeometry {
    GeometryStatus status = GeometryStatus::Missing;
    std::optional<RoutePolyline> polyline;
};

// The geometry held by the current row of a query: punti, coord, minx, miny, maxx, maxy in six
// consecutive columns from `puntiColumn`. The stored box is adopted unchanged. A corrupt row (a
// coord that is not punti × 16 bytes, a negative or unreadable punti) is shown through `ui` with
// "Itinerari: Entità Lineare corrotta <route> !!!" and gives nothing.
std::optional<RoutePolyline> readGeometryColumns(store::QueryCursor& query,
                                                 int puntiColumn,
                                                 RouteId route,
                                                 ui::Ui& ui,
                                                 ui::Icon corruptIcon = ui::Icon::None);

// Loads the geometry of one route (the route editor's computations).
LoadedGeometry LoadRouteGeometry(store::DatabaseConnection& connection, RouteId route);

// Appends one route to `routes` for every geoitin row, in ascending ID, with one query; a corrupt
// row is shown and its route appended without polyline. `rowRead` is told the number of rows
// read so far after each row, for a progress bar. False when the query failed (shown).
bool LoadAllGeometries(store::DatabaseConnection& connection,
                       RouteSet& routes,
                       const std::function<void(std::size_t rowsRead)>& rowRead = {});

} // namespace tramela::network
