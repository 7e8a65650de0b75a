#include "network/geometry_loader.h"

#include "network/geometry_codec.h"

#include <cstdint>
#include <fmt/format.h>
#include <string>

namespace tramela::network {

namespace {

void reportCorrupt(ui::Ui& ui, std::string_view route, ui::Icon icon) {
    ui.Message(fmt::format("Itinerari: Entità Lineare corrotta {} !!!", route), icon);
}

} // namespace

std::optional<RoutePolyline> readGeometryColumns(
    store::QueryCursor& query, int puntiColumn, RouteId route, ui::Ui& ui, ui::Icon corruptIcon) {
    std::int32_t punti = 0;
    store::Blob coord;
    std::optional<std::vector<Point>> vertices;
    if (query.GetLong(puntiColumn, punti) && query.GetBlob(puntiColumn + 1, coord)) {
        vertices = decodeCoord(punti, coord);
    }
    if (!vertices) {
        reportCorrupt(ui, std::to_string(route.value), corruptIcon);
        return std::nullopt;
    }
    Box box;
    query.GetDouble(puntiColumn + 2, box.minX);
    query.GetDouble(puntiColumn + 3, box.minY);
    query.GetDouble(puntiColumn + 4, box.maxX);
    query.GetDouble(puntiColumn + 5, box.maxY);
    return RoutePolyline(std::move(*vertices), box);
}

LoadedGeometry LoadRouteGeometry(store::DatabaseConnection& connection, RouteId route) {
    store::QueryCursor query(connection);
    query.SetSelect("punti, coord, minx, miny, maxx, maxy");
    query.SetFrom("geoitin");
    query.SetWhere("ID = ?");
    query.Bind(1, static_cast<std::int64_t>(route.value));
    if (!query.Execute()) {
        return {query.failed() ? GeometryStatus::Failed : GeometryStatus::Missing, std::nullopt};
    }
    auto polyline = readGeometryColumns(query, 0, route, connection.ui());
    if (!polyline) {
        return {GeometryStatus::Corrupt, std::nullopt};
    }
    return {GeometryStatus::Sound, std::move(polyline)};
}

bool LoadAllGeometries(store::DatabaseConnection& connection,
                       RouteSet& routes,
                       const std::function<void(std::size_t rowsRead)>& rowRead) {
    store::QueryCursor query(connection);
    query.SetSelect("geoitin.ID, geoitin.punti, geoitin.coord, geoitin.minx,"
                    "  geoitin.miny, geoitin.maxx, geoitin.maxy");
    query.SetFrom("geoitin");
    query.SetOrderBy("geoitin.ID");
    std::size_t rowsRead = 0;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t id = 0;
        if (query.GetLong(0, id)) {
            routes.append(RouteId{id}, readGeometryColumns(query, 1, RouteId{id}, connection.ui()));
        } else {
            // An ID beyond 32 bits is no route of ours; it is named as stored, not dropped
            // in silence.
            std::string stored;
            query.GetText("ID", stored);
            reportCorrupt(connection.ui(), stored, ui::Icon::None);
        }
        ++rowsRead;
        if (rowRead) {
            rowRead(rowsRead);
        }
    }
    return !query.failed();
}

} // namespace tramela::network
