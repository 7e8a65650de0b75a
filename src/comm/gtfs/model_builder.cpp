#include "comm/gtfs/model_builder.h"

#include "calendar/calendar.h"
#include "comm/gtfs/feed_values.h"
#include "comm/gtfs/projection.h"
#include "network/progressives.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <limits>
#include <unordered_map>

namespace tramela::comm::gtfs {

namespace {

FeedError errorAt(std::string_view file, long line, std::string text) {
    return {std::string(file), line, std::move(text)};
}

// The weekdays on which the days fall, as the cadence's name says them: "Lun Mar Mer".
std::string weekdaysText(const std::set<long>& days) {
    bool seen[7] = {};
    for (const long day : days) {
        seen[Date::fromSerial(day).weekday() - 1] = true;
        if (std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; })) {
            break;
        }
    }
    std::string text;
    for (int d = 0; d < 7; ++d) {
        if (seen[d]) {
            text +=
                (text.empty() ? "" : " ") + std::string(calendar::weekdayName(d + 1).substr(0, 3));
        }
    }
    return text.empty() ? "nessun giorno" : text;
}

// Fills the times left empty: a stop without either time takes the other; a stop with neither
// is placed between its neighbours in proportion to its position (three stops 10:00, -, 10:10
// put the middle one at 10:05).
bool completeTimes(const TripRecord& trip, std::vector<StopTimeRow>& stops, FeedError& error) {
    for (StopTimeRow& row : stops) {
        if (row.arrival < 0) {
            row.arrival = row.departure;
        }
        if (row.departure < 0) {
            row.departure = row.arrival;
        }
    }
    for (size_t i : {size_t{0}, stops.size() - 1}) {
        if (stops[i].arrival < 0) {
            error = errorAt("stop_times.txt",
                            stops[i].line,
                            fmt::format("la corsa \"{}\" non ha orario al capolinea", trip.id));
            return false;
        }
    }
    size_t known = 0;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (stops[i].arrival < 0) {
            continue;
        }
        for (size_t k = known + 1; k < i; ++k) {
            const int t = stops[known].departure +
                          static_cast<int>(std::lround(
                              static_cast<double>(stops[i].arrival - stops[known].departure) *
                              static_cast<double>(k - known) / static_cast<double>(i - known)));
            stops[k].arrival = stops[k].departure = t;
        }
        known = i;
    }
    for (size_t i = 0; i < stops.size(); ++i) {
        if (stops[i].departure < stops[i].arrival ||
            (i > 0 && stops[i].arrival < stops[i - 1].departure)) {
            error =
                errorAt("stop_times.txt",
                        stops[i].line,
                        fmt::format("gli orari della corsa \"{}\" non sono crescenti", trip.id));
            return false;
        }
    }
    return true;
}

// The stop times of a trip in the order of their sequence, every time filled in; false when the
// trip cannot run (a sequence repeated, a single stop, times missing at a terminus or going
// back).
bool orderedStopTimes(const TripRecord& trip, std::vector<StopTimeRow>& rows, FeedError& error) {
    rows = trip.stops;
    std::sort(rows.begin(), rows.end(), [](const StopTimeRow& a, const StopTimeRow& b) {
        return a.sequence < b.sequence;
    });
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].sequence == rows[i - 1].sequence) {
            error = errorAt("stop_times.txt",
                            rows[i].line,
                            fmt::format("stop_sequence {} ripetuto nella corsa \"{}\"",
                                        rows[i].sequence,
                                        trip.id));
            return false;
        }
    }
    if (rows.size() < 2) {
        error = errorAt("stop_times.txt",
                        rows.front().line,
                        fmt::format("la corsa \"{}\" ha una sola fermata", trip.id));
        return false;
    }
    return completeTimes(trip, rows, error);
}

// The shape's points in the order of their sequence, projected, repeated points dropped.
std::optional<std::vector<network::Point>> projectShape(const Feed& feed,
                                                        const Projection& projection,
                                                        const std::string& shapeId,
                                                        FeedError& error) {
    const auto found = feed.shapes.find(shapeId);
    if (found == feed.shapes.end()) {
        error = errorAt("shapes.txt", 0, fmt::format("la forma \"{}\" non esiste", shapeId));
        return std::nullopt;
    }
    std::vector<ShapePoint> points = found->second;
    std::sort(points.begin(), points.end(), [](const ShapePoint& a, const ShapePoint& b) {
        return a.sequence < b.sequence;
    });
    if (points.size() < 2) {
        error = errorAt("shapes.txt",
                        points.front().line,
                        fmt::format("la forma \"{}\" ha un solo punto", shapeId));
        return std::nullopt;
    }
    std::vector<network::Point> vertices;
    vertices.reserve(points.size());
    for (const ShapePoint& point : points) {
        const auto projected = projection.project(point.longitude, point.latitude);
        if (!projected) {
            error = errorAt("shapes.txt", point.line, "punto non proiettabile");
            return std::nullopt;
        }
        // Repeated points add nothing to the line and would make zero-length segments.
        if (vertices.empty() || !(vertices.back() == *projected)) {
            vertices.push_back(*projected);
        }
    }
    return vertices;
}

// The model built step by step, in the order of the feed: stops, lines, cadences, then trip by
// trip its route, its standard trip and its departures.
class ModelBuilder {
public:
    ModelBuilder(Feed& feed, const Projection& projection, Adaptations& adaptations, Model& model)
        : m_feed(feed)
        , m_projection(projection)
        , m_adaptations(adaptations)
        , m_model(model) {}

    bool build(FeedError& error) {
        fitStopTexts();
        if (!numberStops(error)) {
            return false;
        }
        assignLineCodes();
        buildCadences();
        bool truncatedSeconds = false;
        std::vector<StopTimeRow> rows;
        for (const TripRecord& trip : m_feed.trips) {
            if (trip.stops.empty()) {
                continue; // a trip without stop times runs nowhere: reported below
            }
            if (!orderedStopTimes(trip, rows, error)) {
                return false;
            }
            for (const StopTimeRow& row : rows) {
                truncatedSeconds =
                    truncatedSeconds || row.arrival % 60 != 0 || row.departure % 60 != 0;
            }
            const std::int32_t route = routeOf(trip, rows, error);
            if (route == 0) {
                return false;
            }
            const std::int32_t standard = standardOf(route, rows);
            addTrips(trip, rows, route, standard);
        }
        if (truncatedSeconds) {
            m_adaptations.add("orari con secondi, arrotondati al minuto inferiore",
                              "stop_times.txt");
        }
        for (const TripRecord& trip : m_feed.trips) {
            if (trip.stops.empty()) {
                m_adaptations.add("corse senza orari in stop_times.txt, non importate", trip.id);
            }
        }
        if (m_model.trips.empty()) {
            error = errorAt("stop_times.txt", 0, "il feed non contiene alcuna corsa con orari");
            return false;
        }
        spanCalendar();
        return true;
    }

private:
    // Codes, names and locations of the served stops made fit for the register's columns.
    void fitStopTexts() {
        CodeSet stopCodes;
        for (StopRecord& stop : m_feed.stops) {
            if (!stop.served) {
                continue;
            }
            bool notLatin1 = false;
            latin1Safe(stop.code, notLatin1);
            std::string code = stop.code;
            if (code.empty() || notLatin1) {
                if (notLatin1) {
                    m_adaptations.add("codici fermata non rappresentabili in Latin-1, sostituiti "
                                      "dallo stop_id",
                                      fmt::format("\"{}\" -> \"{}\"", stop.code, stop.id));
                }
                code = stop.id;
            }
            stop.code = stopCodes.uniqueCode(code, 10, "codici fermata", m_adaptations);
            std::string location = stop.description;
            if (location.empty() && !stop.parent.empty()) {
                const auto parent = m_feed.stopById.find(stop.parent);
                if (parent != m_feed.stopById.end()) {
                    location = m_feed.stops[static_cast<size_t>(parent->second)].name;
                }
            }
            stop.name = fitText(stop.name, 40, "denominazioni fermata", m_adaptations);
            stop.description = fitText(location, 40, "ubicazioni fermata", m_adaptations);
        }
    }

    // The stops the trips serve, projected and numbered in the order of stops.txt.
    bool numberStops(FeedError& error) {
        std::int32_t next = 1;
        for (StopRecord& stop : m_feed.stops) {
            if (!stop.served) {
                continue;
            }
            if (!stop.hasPosition) {
                error = errorAt("stops.txt",
                                stop.line,
                                fmt::format("la fermata \"{}\" non ha coordinate", stop.id));
                return false;
            }
            const auto position = m_projection.project(stop.longitude, stop.latitude);
            if (!position) {
                error = errorAt("stops.txt", stop.line, "coordinate non proiettabili");
                return false;
            }
            stop.position = *position;
            stop.dbId = next++;
            if (stop.locationType != 0) {
                m_adaptations.add("fermate servite dalle corse ma non di tipo fermata "
                                  "(location_type diverso da 0), importate come fermate",
                                  stop.id);
            }
        }
        m_model.servedStops = static_cast<size_t>(next - 1);
        return true;
    }

    // One line code per route of the feed: its short name, or its id when it has none.
    void assignLineCodes() {
        CodeSet lineCodes;
        m_lineCodes.resize(m_feed.routes.size());
        for (size_t i = 0; i < m_feed.routes.size(); ++i) {
            const RouteRecord& route = m_feed.routes[i];
            m_lineCodes[i] =
                lineCodes.uniqueCode(route.shortName.empty() ? route.id : route.shortName,
                                     10,
                                     "codici linea",
                                     m_adaptations);
        }
    }

    // One cadence per service; the shifted ones come with the trips that need them.
    void buildCadences() {
        m_serviceCodes.resize(m_feed.services.size());
        for (size_t i = 0; i < m_feed.services.size(); ++i) {
            const ServiceRecord& service = m_feed.services[i];
            m_serviceCodes[i] =
                m_cadenceCodes.uniqueCode(service.id, 10, "codici cadenza", m_adaptations);
            m_model.cadences.push_back(
                {m_serviceCodes[i],
                 fitText(fmt::format("{}: {}", service.id, weekdaysText(service.days)),
                         60,
                         "denominazioni cadenza",
                         m_adaptations),
                 service.days});
        }
    }

    // The route of a trip: one per distinct shape and sequence of stops, made with its geometry
    // and progressive distances when first met. Its id, or 0 after a fault.
    std::int32_t
    routeOf(const TripRecord& trip, const std::vector<StopTimeRow>& rows, FeedError& error) {
        std::string key = trip.shape;
        key += '\x1f';
        for (const StopTimeRow& row : rows) {
            key.append(reinterpret_cast<const char*>(&row.stop), sizeof row.stop);
        }
        auto [found, isNew] =
            m_routeByKey.try_emplace(key, static_cast<std::int32_t>(m_model.routes.size() + 1));
        if (!isNew) {
            return found->second;
        }
        RouteModel route;
        route.id = found->second;
        const std::string& lineCode = m_lineCodes[static_cast<size_t>(trip.route)];
        const int number = ++m_routeNumbers[{lineCode, trip.direction}];
        route.code =
            m_routeCodes.uniqueCode(fmt::format("{}-{}{}", lineCode, trip.direction, number),
                                    20,
                                    "codici percorso",
                                    m_adaptations);
        const StopRecord& firstStop = m_feed.stops[static_cast<size_t>(rows.front().stop)];
        const StopRecord& lastStop = m_feed.stops[static_cast<size_t>(rows.back().stop)];
        route.name = fitText(fmt::format("{} - {}", firstStop.name, lastStop.name),
                             120,
                             "denominazioni percorso",
                             m_adaptations);
        if (!trip.shape.empty()) {
            auto vertices = projectShape(m_feed, m_projection, trip.shape, error);
            if (!vertices) {
                if (error.line == 0) {
                    error = errorAt("trips.txt", trip.line, error.text);
                }
                return 0;
            }
            route.vertices = std::move(*vertices);
        } else {
            m_adaptations.add("percorsi senza forma (shape): geometria a segmenti retti tra "
                              "le fermate",
                              route.code);
            for (const StopTimeRow& row : rows) {
                const network::Point p = m_feed.stops[static_cast<size_t>(row.stop)].position;
                if (route.vertices.empty() || !(route.vertices.back() == p)) {
                    route.vertices.push_back(p);
                }
            }
        }
        measureRoute(route, rows);
        m_model.routeStopRows += route.stops.size();
        m_model.routes.push_back(std::move(route));
        return found->second;
    }

    // The route's length and the progressive distance of each of its stops along its geometry.
    void measureRoute(RouteModel& route, const std::vector<StopTimeRow>& rows) {
        network::RouteWithStops measured;
        measured.id = network::RouteId{route.id};
        network::RoutePolyline polyline(route.vertices, network::Box{});
        polyline.RecomputeBox();
        route.length = polyline.Length();
        measured.polyline = std::move(polyline);
        std::int32_t sub = 1;
        for (const StopTimeRow& row : rows) {
            const StopRecord& stop = m_feed.stops[static_cast<size_t>(row.stop)];
            network::StopOnRoute on;
            on.sub = sub++;
            on.stop = network::StopId{stop.dbId};
            on.position = stop.position;
            measured.stops.push_back(std::move(on));
        }
        std::vector<std::string> problems;
        network::ComputeCartographicProgressives(measured, &problems);
        for (std::string& problem : problems) {
            m_adaptations.add("distanze progressive non determinabili o fuori sequenza",
                              std::move(problem));
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            const StopTimeRow& row = rows[i];
            RouteStop stop;
            stop.stop = row.stop;
            stop.progressive = measured.stops[i].progressive == network::kNoPosition
                                   ? 0.0
                                   : measured.stops[i].progressive;
            // Termini are always timed; elsewhere the feed's timepoint decides, and a feed
            // without the column times every stop it gives a time for.
            stop.primary =
                i == 0 || i + 1 == rows.size() || row.timepoint == 1 || !m_feed.hasTimepointColumn;
            stop.optional = row.pickup >= 2 || row.dropOff >= 2;
            route.stops.push_back(stop);
        }
    }

    // The standard trip: shared by the trips of the route with the same times after the start
    // and the same stops not made. Times are whole minutes, seconds dropped: a trip leaving
    // 15:22:30 and arriving 15:35:00 starts at 15:22 and takes 13 minutes.
    std::int32_t standardOf(std::int32_t route, const std::vector<StopTimeRow>& rows) {
        const int startMinutes = rows.front().departure / 60;
        std::vector<StandardRow> standardRows;
        std::string key(reinterpret_cast<const char*>(&route), sizeof route);
        for (size_t i = 0; i < rows.size(); ++i) {
            StandardRow row;
            row.stop = m_feed.stops[static_cast<size_t>(rows[i].stop)].dbId;
            row.arrival = i == 0 ? 0 : rows[i].arrival / 60 - startMinutes;
            row.departure = rows[i].departure / 60 - startMinutes;
            if (i + 1 == rows.size()) {
                row.departure = row.arrival;
            }
            row.nonStopping = rows[i].pickup == 1 && rows[i].dropOff == 1;
            const int packed[3] = {row.arrival, row.departure, row.nonStopping ? 1 : 0};
            key.append(reinterpret_cast<const char*>(packed), sizeof packed);
            standardRows.push_back(row);
        }
        auto [found, isNew] = m_standardByKey.try_emplace(
            key, static_cast<std::int32_t>(m_model.standards.size() + 1));
        if (isNew) {
            m_model.standardRows += standardRows.size();
            m_model.standards.push_back({found->second, route, std::move(standardRows)});
        }
        return found->second;
    }

    // The departures of a trip, seconds: the one the feed gives, or one per headway within each
    // of its frequencies.
    static std::vector<int> departures(const TripRecord& trip,
                                       const std::vector<StopTimeRow>& rows) {
        std::vector<int> starts;
        if (trip.frequencies.empty()) {
            starts.push_back(rows.front().departure);
        } else {
            for (const Frequency& frequency : trip.frequencies) {
                for (int t = frequency.start; t < frequency.end; t += frequency.headway) {
                    starts.push_back(t);
                }
            }
        }
        return starts;
    }

    // The cadence of a service shifted by whole days, made when first needed: a trip starting
    // at 25:55 runs at 01:55 of the day after its service day, so its cadence is the service's
    // days shifted by one.
    const CadenceModel& shiftedCadence(std::int32_t serviceIndex, int shift) {
        auto [found, isNew] =
            m_shiftedCadences.try_emplace({serviceIndex, shift}, m_model.cadences.size());
        if (isNew) {
            const ServiceRecord& service = m_feed.services[static_cast<size_t>(serviceIndex)];
            const std::string& cadence = m_serviceCodes[static_cast<size_t>(serviceIndex)];
            std::set<long> shifted;
            for (const long day : service.days) {
                shifted.insert(day + shift);
            }
            // "during-dst" shifted by one day becomes "during-d+1".
            const std::string suffix = fmt::format("+{}", shift);
            bool cut = false;
            const std::string code =
                m_cadenceCodes.uniqueCode(cutChars(cadence, 10 - suffix.size(), cut) + suffix,
                                          10,
                                          "codici cadenza",
                                          m_adaptations,
                                          false);
            m_adaptations.add("cadenze spostate di un giorno per le corse che partono "
                              "dopo le 24:00",
                              fmt::format("{} -> {}", cadence, code));
            m_model.cadences.push_back(
                {code,
                 fitText(fmt::format("{} +{}g: {}", service.id, shift, weekdaysText(shifted)),
                         60,
                         "denominazioni cadenza",
                         m_adaptations),
                 std::move(shifted)});
        }
        return m_model.cadences[found->second];
    }

    // The trips: the one the feed gives, or one per departure of its frequencies.
    void addTrips(const TripRecord& source,
                  const std::vector<StopTimeRow>& rows,
                  std::int32_t routeId,
                  std::int32_t standard) {
        const std::vector<int> starts = departures(source, rows);
        const ServiceRecord& service = m_feed.services[static_cast<size_t>(source.service)];
        if (service.days.empty()) {
            m_adaptations.add("corse di servizi senza alcun giorno di esercizio, non importate",
                              source.id);
            return;
        }
        const RouteModel& route = m_model.routes[static_cast<size_t>(routeId - 1)];
        const RouteRecord& line = m_feed.routes[static_cast<size_t>(source.route)];
        const int duration =
            m_model.standards[static_cast<size_t>(standard - 1)].rows.back().arrival;
        for (const int start : starts) {
            const int minutes = start / 60;
            const int shift = minutes / 1440;
            std::string cadence = m_serviceCodes[static_cast<size_t>(source.service)];
            const std::set<long>* days = &service.days;
            if (shift > 0) {
                const CadenceModel& shifted = shiftedCadence(source.service, shift);
                cadence = shifted.code;
                days = &shifted.days;
            }
            TripModel trip;
            trip.id = static_cast<std::int32_t>(m_model.trips.size() + 1);
            const std::string base =
                source.frequencies.empty()
                    ? source.id
                    : fmt::format("{}@{:02}{:02}", source.id, (minutes / 60) % 24, minutes % 60);
            trip.code = m_tripCodes.uniqueCode(base, 20, "codici corsa", m_adaptations);
            trip.lineCode = m_lineCodes[static_cast<size_t>(source.route)];
            trip.direction = source.direction;
            trip.start = ((minutes % 1440) / 60) * 100 + minutes % 60;
            trip.length = route.length;
            trip.duration = duration;
            trip.route = route.id;
            trip.standard = standard;
            trip.vehicle = vehicleOf(line.type);
            if (trip.vehicle == ' ') {
                m_adaptations.add("tipi di linea (route_type) senza mezzo corrispondente",
                                  fmt::format("{}: {}", line.id, line.type));
            }
            trip.cadence = cadence;
            trip.first = Date::fromSerial(*days->begin());
            trip.last = Date::fromSerial(*days->rbegin());
            m_model.trips.push_back(std::move(trip));
        }
    }

    // The calendar's rows and the span of the days of every cadence.
    void spanCalendar() {
        long first = std::numeric_limits<long>::max();
        long last = std::numeric_limits<long>::min();
        for (const CadenceModel& cadence : m_model.cadences) {
            m_model.calendarRows += cadence.days.size();
            if (!cadence.days.empty()) {
                first = std::min(first, *cadence.days.begin());
                last = std::max(last, *cadence.days.rbegin());
            }
        }
        m_model.first = Date::fromSerial(first);
        m_model.last = Date::fromSerial(last);
    }

    Feed& m_feed;
    const Projection& m_projection;
    Adaptations& m_adaptations;
    Model& m_model;

    std::vector<std::string> m_lineCodes;    // by route of the feed
    std::vector<std::string> m_serviceCodes; // by service
    CodeSet m_cadenceCodes;
    CodeSet m_routeCodes;
    CodeSet m_tripCodes;
    std::map<std::pair<std::int32_t, int>, size_t> m_shiftedCadences; // (service, days) -> index
    std::unordered_map<std::string, std::int32_t> m_routeByKey;
    std::map<std::pair<std::string, int>, int> m_routeNumbers; // (line, direction) -> last number
    std::unordered_map<std::string, std::int32_t> m_standardByKey;
};

} // namespace

bool buildModel(Feed& feed,
                const Projection& projection,
                Adaptations& adaptations,
                Model& model,
                FeedError& error) {
    return ModelBuilder(feed, projection, adaptations, model).build(error);
}

bool assignLocalities(const std::optional<std::filesystem::path>& localities,
                      Feed& feed,
                      Adaptations& adaptations,
                      Model& model,
                      FeedError& error) {
    std::vector<StopRecord>& stops = feed.stops;
    std::map<std::pair<std::string, std::string>, std::int32_t> byNameAndIstat;
    const auto locality = [&](const std::string& name, const std::string& istat) {
        auto [it, inserted] = byNameAndIstat.try_emplace(
            {name, istat}, static_cast<std::int32_t>(model.localities.size() + 1));
        if (inserted) {
            model.localities.push_back({it->second, name, istat});
        }
        return it->second;
    };
    if (localities) {
        const auto folder = localities->parent_path().empty() ? std::filesystem::path(".")
                                                              : localities->parent_path();
        const auto source = FeedSource::open(folder, error);
        const std::string file = localities->filename().string();
        if (!source || !source->has(file)) {
            error = errorAt(localities->string(), 0, "il file delle località non esiste");
            return false;
        }
        const bool read = readCsv(
            CsvInput(*source, file),
            {"stop_id", "localita", "istat", "comune"},
            0,
            [&](const CsvRecord& r, FeedError& e) {
                const std::string name =
                    fitText(trimmed(r[1]), 40, "denominazioni località", adaptations);
                const std::string istat(trimmed(r[2]));
                if (name.empty() || istat.empty() || istat.size() > 6) {
                    e.text = "località o codice ISTAT mancante o più lungo di 6 caratteri";
                    return false;
                }
                const auto stop = feed.stopById.find(std::string(trimmed(r[0])));
                if (stop == feed.stopById.end()) {
                    e.text = fmt::format("la fermata \"{}\" non esiste nel feed", r[0]);
                    return false;
                }
                model.municipalities.try_emplace(
                    istat, fitText(trimmed(r[3]), 40, "denominazioni comune", adaptations));
                stops[static_cast<size_t>(stop->second)].locality = locality(name, istat);
                return true;
            },
            error,
            true);
        if (!read) {
            if (error.file == file) {
                error.file = localities->string();
            }
            return false;
        }
    }
    std::int32_t fallback = 0;
    for (StopRecord& stop : stops) {
        if (!stop.served || stop.locality != 0) {
            continue;
        }
        if (fallback == 0) {
            const std::string name =
                fitText(feed.agencyName.empty() ? std::string("Località") : feed.agencyName,
                        40,
                        "denominazioni località",
                        adaptations);
            model.municipalities.try_emplace("000000", name);
            fallback = locality(name, "000000");
        }
        stop.locality = fallback;
        if (localities) {
            adaptations.add("fermate assenti dal file delle località, assegnate alla località "
                            "dell'azienda",
                            stop.id);
        }
    }
    return true;
}

char vehicleOf(int type) {
    switch (type) {
    case 0:
    case 5:
        return 'W';
    case 1:
    case 2:
    case 12:
        return 'T';
    case 3:
    case 11:
        return 'U';
    case 4:
        return 'N';
    case 6:
    case 7:
        return 'F';
    default:
        break;
    }
    if ((type >= 100 && type < 200) || (type >= 400 && type < 500)) {
        return 'T';
    }
    if (type >= 200 && type < 300) {
        return 'X';
    }
    if ((type >= 700 && type < 800) || type == 800) {
        return 'U';
    }
    if (type >= 900 && type < 1000) {
        return 'W';
    }
    if (type >= 1000 && type < 1100) {
        return 'N';
    }
    if (type >= 1300 && type < 1500) {
        return 'F';
    }
    return ' ';
}

} // namespace tramela::comm::gtfs
