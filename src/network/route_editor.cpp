#include "network/route_editor.h"

#include "network/distance_values.h"
#include "network/geometry_loader.h"
#include "network/progressives.h"
#include "store/query_cursor.h"
#include "store/transaction.h"

#include <cstdlib>
#include <fmt/format.h>
#include <optional>
#include <string>
#include <utility>

namespace tramela::network {

namespace {

CompositionRow* rowOfSub(std::vector<CompositionRow>& rows, std::int32_t sub) {
    for (CompositionRow& row : rows) {
        if (row.sub == sub) {
            return &row;
        }
    }
    return nullptr;
}

// The stops of the route in sub order, with their places; nothing when the query failed.
std::optional<std::vector<StopOnRoute>> readStops(store::DatabaseConnection& connection,
                                                  RouteId route) {
    store::QueryCursor query(connection);
    query.SetSelect("fermitin.sub, fermate.ID, fermate.coord_x, fermate.coord_y");
    query.SetFrom("fermitin, fermate");
    query.SetWhere("fermitin.ID = ? AND fermate.ID = fermitin.fermata");
    query.SetOrderBy("fermitin.sub");
    query.Bind(1, static_cast<std::int64_t>(route.value));
    std::vector<StopOnRoute> stops;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        StopOnRoute stop;
        std::int16_t sub = 0;
        std::int32_t id = 0;
        query.GetShort(0, sub);
        query.GetLong(1, id);
        query.GetDouble(2, stop.position.x);
        query.GetDouble(3, stop.position.y);
        stop.sub = sub;
        stop.stop = StopId{id};
        stops.push_back(std::move(stop));
    }
    if (query.failed()) {
        return std::nullopt;
    }
    return stops;
}

// Writes one field of the route's fermitin rows, one value per sub, in a transaction of its own
// (a savepoint of the window's): either every row takes its value or none does. Then the rows
// of the editor take the values written and are marked changed.
EditorResult writeField(store::DatabaseConnection& connection,
                        RouteId route,
                        std::string_view field,
                        const std::vector<std::pair<std::int32_t, std::string>>& values,
                        std::vector<CompositionRow>& rows) {
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return EditorResult::Refused;
    }
    KeyedRowWriter writer(connection, "fermitin");
    for (const auto& [sub, text] : values) {
        if (!writer.write({route.value, sub}, {{field, text}})) {
            if (writer.missed()) {
                connection.ui().Message(
                    fmt::format("La fermata {} del percorso {} non risulta registrata: "
                                "le progressive non sono state variate",
                                sub,
                                route.value),
                    ui::Icon::Stop);
            }
            return EditorResult::Refused;
        }
    }
    if (!transaction.commit()) {
        return EditorResult::Refused;
    }
    for (const auto& [sub, text] : values) {
        if (CompositionRow* row = rowOfSub(rows, sub)) {
            // The row shows what the table now holds: the text is digits, a sign and at most
            // one decimal separator.
            const double value = std::strtod(text.c_str(), nullptr);
            (field == "geodist" ? row->geodist : row->condist) = value;
            row->changed = true;
        }
    }
    return EditorResult::Done;
}

EditorResult writeFlags(store::DatabaseConnection& connection,
                        RouteId route,
                        CompositionRow& row,
                        bool primaria,
                        bool facolt) {
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return EditorResult::Refused;
    }
    KeyedRowWriter writer(connection, "fermitin");
    if (!writer.write({route.value, row.sub},
                      {{"primaria", primaria ? "1" : "0"}, {"facolt", facolt ? "1" : "0"}}) ||
        !transaction.commit()) {
        return EditorResult::Refused;
    }
    row.primaria = primaria;
    row.facolt = facolt;
    row.changed = true;
    return EditorResult::Done;
}

} // namespace

EditorResult RecomputeCartographic(store::DatabaseConnection& connection,
                                   RouteId route,
                                   std::vector<CompositionRow>& rows) {
    ui::Ui& ui = connection.ui();
    LoadedGeometry geometry = LoadRouteGeometry(connection, route);
    switch (geometry.status) {
    case GeometryStatus::Failed:
        return EditorResult::Refused;
    case GeometryStatus::Corrupt:
        return EditorResult::NoGeometry;
    case GeometryStatus::Missing:
    case GeometryStatus::Sound:
        break;
    }
    // Without a vertex every stop would be written 0: the route is as good as without geometry.
    if (!geometry.polyline || geometry.polyline->vertexCount() == 0) {
        ui.Message(fmt::format("Il percorso {} non ha una geometria associata: le progressive "
                               "cartografiche non sono state ricalcolate",
                               route.value),
                   ui::Icon::Exclamation);
        return EditorResult::NoGeometry;
    }
    std::optional<std::vector<StopOnRoute>> stops = readStops(connection, route);
    if (!stops) {
        return EditorResult::Refused;
    }
    RouteWithStops measured{route, std::move(geometry.polyline), std::move(*stops)};
    if (!CheckStopsNearRoute(measured, nullptr)) {
        ui.Message(kStopsNotNearRoute, ui::Icon::Stop);
    }
    if (!ComputeCartographicProgressives(measured, nullptr)) {
        ui.Message(kProgressivesNotComputable, ui::Icon::Stop);
    }
    std::vector<std::pair<std::int32_t, std::string>> values;
    for (const StopOnRoute& stop : measured.stops) {
        values.emplace_back(stop.sub, MetresText(stop.progressive));
    }
    return writeField(connection, route, "geodist", values, rows);
}

EditorResult RecomputeConventional(store::DatabaseConnection& connection,
                                   RouteId route,
                                   std::vector<CompositionRow>& rows) {
    ui::Ui& ui = connection.ui();
    std::optional<RouteLengths> lengths = ReadRouteLengths(connection, route);
    if (!lengths) {
        ui.Message(fmt::format("Percorso ID={} inesistente: le progressive convenzionali non sono "
                               "state ricalcolate",
                               route.value),
                   ui::Icon::Exclamation);
        return EditorResult::Refused;
    }
    std::vector<std::pair<std::int32_t, std::string>> values;
    for (const CompositionRow& row : rows) {
        const std::optional<double> spread =
            SpreadProgressive(*lengths, row.geodist, &row == &rows.front());
        if (!spread) {
            ui.Message(fmt::format("Il percorso {} non ha lunghezza cartografica: le progressive "
                                   "convenzionali non sono state ricalcolate",
                                   route.value),
                       ui::Icon::Exclamation);
            return EditorResult::Refused;
        }
        values.emplace_back(row.sub, MetresText(*spread));
    }
    return writeField(connection, route, "condist", values, rows);
}

EditorResult
TogglePrimary(store::DatabaseConnection& connection, RouteId route, CompositionRow& row) {
    return row.primaria ? writeFlags(connection, route, row, false, row.facolt)
                        : writeFlags(connection, route, row, true, false);
}

EditorResult
ToggleOptional(store::DatabaseConnection& connection, RouteId route, CompositionRow& row) {
    return row.facolt ? writeFlags(connection, route, row, row.primaria, false)
                      : writeFlags(connection, route, row, false, true);
}

} // namespace tramela::network
