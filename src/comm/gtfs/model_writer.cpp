#include "comm/gtfs/model_writer.h"

#include "calendar/calendar.h"
#include "network/geometry_codec.h"
#include "store/table_cursor.h"

#include <fmt/format.h>

namespace tramela::comm::gtfs {

namespace {

std::string formatMetres(double metres) {
    return fmt::format("{:.3f}", metres);
}

class Writer {
public:
    // Adds one row; false after the table layer has shown why it refused it.
    bool add(store::TableCursor& cursor,
             std::initializer_list<std::pair<std::string_view, std::string>> fields) {
        if (!cursor.AddNew()) {
            return false;
        }
        for (const auto& [name, value] : fields) {
            if (!cursor.SetField(name, value)) {
                return false;
            }
        }
        return cursor.Update();
    }

    bool addCoord(store::TableCursor& cursor, const RouteModel& route) {
        network::RoutePolyline polyline(route.vertices, network::Box{});
        polyline.RecomputeBox();
        const network::Box& box = polyline.box();
        if (!cursor.AddNew() || !cursor.SetField("ID", std::to_string(route.id)) ||
            !cursor.SetField("punti", std::to_string(route.vertices.size())) ||
            !cursor.SetFieldBlob("coord", network::encodeCoord(route.vertices)) ||
            !cursor.SetField("minx", formatMetres(box.minX)) ||
            !cursor.SetField("miny", formatMetres(box.minY)) ||
            !cursor.SetField("maxx", formatMetres(box.maxX)) ||
            !cursor.SetField("maxy", formatMetres(box.maxY))) {
            return false;
        }
        return cursor.Update();
    }
};

} // namespace

bool writeModel(store::DatabaseConnection& connection,
                const std::vector<StopRecord>& stops,
                const Model& model,
                const Codes& codes,
                bool createMaster) {
    Writer writer;
    {
        store::TableCursor comuni(&connection, "comuni");
        for (const auto& [istat, name] : model.municipalities) {
            if (!writer.add(comuni, {{"istat", istat}, {"denom", name}})) {
                return false;
            }
        }
        store::TableCursor local(&connection, "local");
        for (const Locality& locality : model.localities) {
            if (!writer.add(local,
                            {{"ID", std::to_string(locality.id)},
                             {"denom", locality.name},
                             {"istat", locality.istat}})) {
                return false;
            }
        }
    }
    {
        store::TableCursor fermate(&connection, "fermate");
        for (const StopRecord& stop : stops) {
            if (stop.dbId == 0) {
                continue;
            }
            if (!writer.add(fermate,
                            {{"ID", std::to_string(stop.dbId)},
                             {"fermata", stop.code},
                             {"denom", stop.name},
                             {"ubicaz", stop.description},
                             {"coord_x", formatMetres(stop.position.x)},
                             {"coord_y", formatMetres(stop.position.y)},
                             {"local", std::to_string(stop.locality)}})) {
                return false;
            }
        }
    }
    {
        store::TableCursor itiner(&connection, "itiner");
        store::TableCursor geoitin(&connection, "geoitin");
        store::TableCursor fermitin(&connection, "fermitin");
        for (const RouteModel& route : model.routes) {
            if (!writer.add(itiner,
                            {{"ID", std::to_string(route.id)},
                             {"codperc", route.code},
                             {"denom", route.name},
                             {"conlung", formatMetres(route.length)},
                             {"geolung", formatMetres(route.length)}}) ||
                !writer.addCoord(geoitin, route)) {
                return false;
            }
            int sub = 1;
            for (const RouteStop& stop : route.stops) {
                const std::string progressive = formatMetres(stop.progressive);
                if (!writer.add(
                        fermitin,
                        {{"ID", std::to_string(route.id)},
                         {"sub", std::to_string(sub++)},
                         {"fermata", std::to_string(stops[static_cast<size_t>(stop.stop)].dbId)},
                         {"condist", progressive},
                         {"geodist", progressive},
                         {"primaria", stop.primary ? "1" : "0"},
                         {"facolt", stop.optional ? "1" : "0"}})) {
                    return false;
                }
            }
        }
    }
    {
        store::TableCursor cadenz(&connection, "cadenz");
        store::TableCursor calend(&connection, "calend");
        for (const CadenceModel& cadence : model.cadences) {
            if (!writer.add(cadenz, {{"codice", cadence.code}, {"denom", cadence.name}})) {
                return false;
            }
            for (const long serial : cadence.days) {
                const Date day = Date::fromSerial(serial);
                const std::string_view holiday = calendar::holidayName(day);
                if (!writer.add(calend,
                                {{"data", day.display()},
                                 {"caden", cadence.code},
                                 {"giorno", std::to_string(day.weekday())},
                                 {"note", holiday.empty() ? " " : std::string(holiday)}})) {
                    return false;
                }
            }
        }
    }
    {
        store::TableCursor tesstd(&connection, "tesstd");
        store::TableCursor detstd(&connection, "detstd");
        for (const StandardModel& standard : model.standards) {
            if (!writer.add(tesstd,
                            {{"id", std::to_string(standard.id)},
                             {"id_perc", std::to_string(standard.route)}})) {
                return false;
            }
            int sub = 1;
            for (const StandardRow& row : standard.rows) {
                if (!writer.add(detstd,
                                {{"id", std::to_string(standard.id)},
                                 {"sub", std::to_string(sub++)},
                                 {"fermata", std::to_string(row.stop)},
                                 {"arriva", std::to_string(row.arrival)},
                                 {"parte", std::to_string(row.departure)},
                                 {"nonferma", row.nonStopping ? "1" : "0"},
                                 {"fisso", "0"}})) {
                    return false;
                }
            }
        }
    }
    if (createMaster) {
        store::TableCursor master(&connection, "master");
        if (!writer.add(master,
                        {{"codice", "0"},
                         {"azienda", std::to_string(codes.company)},
                         {"datini", model.first.display()},
                         {"datfin", model.last.display()}})) {
            return false;
        }
    }
    store::TableCursor corse(&connection, "corse");
    store::TableCursor period(&connection, "period");
    store::TableCursor extcod(&connection, "extcod");
    for (const TripModel& trip : model.trips) {
        const std::string id = std::to_string(trip.id);
        const std::string length = formatMetres(trip.length);
        const std::string duration = std::to_string(trip.duration);
        if (!writer.add(corse,
                        {{"id", id},
                         {"codcorsa", trip.code},
                         {"codlinea", trip.lineCode},
                         {"verso", std::string(1, trip.direction)},
                         {"parte", std::to_string(trip.start)},
                         {"ente", std::to_string(codes.authority)},
                         {"lung", length},
                         {"tempo", duration},
                         {"ct_lung", length},
                         {"ct_tempo", duration},
                         {"id_perc", std::to_string(trip.route)},
                         {"standard", std::to_string(trip.standard)},
                         {"mezzo", std::string(1, trip.vehicle)}}) ||
            !writer.add(period,
                        {{"id", id},
                         {"caden", trip.cadence},
                         {"inizio", trip.first.display()},
                         {"fine", trip.last.display()},
                         {"escluso", "0"}}) ||
            !writer.add(extcod,
                        {{"id", id},
                         {"lotto", std::to_string(codes.lot)},
                         {"aziges", std::to_string(codes.company)},
                         {"azisub", std::to_string(codes.subcontractor)}})) {
            return false;
        }
    }
    return true;
}

} // namespace tramela::comm::gtfs
