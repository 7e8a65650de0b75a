#include "comm/gtfs/feed_readers.h"

#include "comm/gtfs/feed_values.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace tramela::comm::gtfs {

std::optional<int> parseTime(std::string_view text) {
    text = trimmed(text);
    const size_t first = text.find(':');
    if (first == std::string_view::npos || first < 1 || first > 3 || text.size() != first + 6 ||
        text[first + 3] != ':') {
        return std::nullopt;
    }
    const auto hours = parseNumber<int>(text.substr(0, first));
    const auto minutes = parseNumber<int>(text.substr(first + 1, 2));
    const auto seconds = parseNumber<int>(text.substr(first + 4, 2));
    if (!hours || !minutes || !seconds || *hours < 0 || *minutes < 0 || *minutes > 59 ||
        *seconds < 0 || *seconds > 59) {
        return std::nullopt;
    }
    return *hours * 3600 + *minutes * 60 + *seconds;
}

std::optional<Date> parseFeedDate(std::string_view text) {
    text = trimmed(text);
    if (text.size() != 8) {
        return std::nullopt;
    }
    const auto year = parseNumber<int>(text.substr(0, 4));
    const auto month = parseNumber<int>(text.substr(4, 2));
    const auto day = parseNumber<int>(text.substr(6, 2));
    if (!year || !month || !day || !isValidDate(*year, *month, *day)) {
        return std::nullopt;
    }
    return Date{*year, *month, *day};
}

namespace {

ServiceRecord& serviceNamed(Feed& feed, std::string_view id) {
    const auto [it, inserted] = feed.serviceById.try_emplace(
        std::string(id), static_cast<std::int32_t>(feed.services.size()));
    if (inserted) {
        feed.services.push_back({std::string(id), {}});
    }
    return feed.services[static_cast<size_t>(it->second)];
}

std::optional<std::uint8_t> parseFlag(std::string_view text, int highest) {
    text = trimmed(text);
    if (text.empty()) {
        return 0;
    }
    const auto value = parseNumber<int>(text);
    if (!value || *value < 0 || *value > highest) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*value);
}

} // namespace

bool readAgency(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"agency_name"},
        1,
        [&](const CsvRecord& r, FeedError&) {
            if (feed.agencyName.empty()) {
                feed.agencyName = std::string(trimmed(r[0]));
            }
            return true;
        },
        error);
}

bool readStops(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"stop_id",
         "stop_code",
         "stop_name",
         "stop_desc",
         "stop_lat",
         "stop_lon",
         "location_type",
         "parent_station"},
        1,
        [&](const CsvRecord& r, FeedError& e) {
            StopRecord stop;
            stop.id = std::string(trimmed(r[0]));
            stop.code = std::string(trimmed(r[1]));
            stop.name = std::string(trimmed(r[2]));
            stop.description = std::string(trimmed(r[3]));
            stop.parent = std::string(trimmed(r[7]));
            stop.line = r.line();
            if (stop.id.empty()) {
                e.text = "stop_id vuoto";
                return false;
            }
            if (!trimmed(r[6]).empty()) {
                const auto type = parseNumber<int>(r[6]);
                if (!type || *type < 0 || *type > 4) {
                    e.text = fmt::format("location_type non valido \"{}\"", r[6]);
                    return false;
                }
                stop.locationType = *type;
            }
            const auto latitude = parseNumber<double>(r[4]);
            const auto longitude = parseNumber<double>(r[5]);
            if (latitude && longitude) {
                if (std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) {
                    e.text =
                        fmt::format("coordinate fuori dai limiti ({}, {}) della fermata \"{}\"",
                                    r[4],
                                    r[5],
                                    stop.id);
                    return false;
                }
                stop.hasPosition = true;
                stop.latitude = *latitude;
                stop.longitude = *longitude;
            } else if (!trimmed(r[4]).empty() || !trimmed(r[5]).empty() || stop.locationType <= 2) {
                // Stops, stations and entrances must have a position; generic nodes and
                // boarding areas may go without one.
                e.text = fmt::format("la fermata \"{}\" non ha coordinate valide", stop.id);
                return false;
            }
            const auto index = static_cast<std::int32_t>(feed.stops.size());
            if (!feed.stopById.emplace(stop.id, index).second) {
                e.text = fmt::format("stop_id \"{}\" duplicato", stop.id);
                return false;
            }
            feed.stops.push_back(std::move(stop));
            return true;
        },
        error);
}

bool readRoutes(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"route_id", "route_type", "route_short_name", "route_long_name"},
        2,
        [&](const CsvRecord& r, FeedError& e) {
            RouteRecord route;
            route.id = std::string(trimmed(r[0]));
            const auto type = parseNumber<int>(r[1]);
            if (!type) {
                e.text = fmt::format("route_type non valido \"{}\"", r[1]);
                return false;
            }
            route.type = *type;
            route.shortName = std::string(trimmed(r[2]));
            route.longName = std::string(trimmed(r[3]));
            const auto index = static_cast<std::int32_t>(feed.routes.size());
            if (!feed.routeById.emplace(route.id, index).second) {
                e.text = fmt::format("route_id \"{}\" duplicato", route.id);
                return false;
            }
            feed.routes.push_back(std::move(route));
            return true;
        },
        error);
}

bool readCalendar(const CsvInput& input, Feed& feed, FeedError& error) {
    long expanded = 0;
    return readCsv(
        input,
        {"service_id",
         "monday",
         "tuesday",
         "wednesday",
         "thursday",
         "friday",
         "saturday",
         "sunday",
         "start_date",
         "end_date"},
        10,
        [&](const CsvRecord& r, FeedError& e) {
            const std::string id(trimmed(r[0]));
            if (feed.serviceById.contains(id)) {
                e.text = fmt::format("service_id \"{}\" duplicato", id);
                return false;
            }
            bool weekdays[7];
            for (size_t d = 0; d < 7; ++d) {
                const std::string_view flag = trimmed(r[1 + d]);
                if (flag != "0" && flag != "1") {
                    e.text = fmt::format("indicatore di giorno non valido \"{}\"", flag);
                    return false;
                }
                weekdays[d] = flag == "1";
            }
            const auto start = parseFeedDate(r[8]);
            const auto end = parseFeedDate(r[9]);
            if (!start || !end || *end < *start) {
                e.text = fmt::format("date di validità non valide \"{}\" - \"{}\"", r[8], r[9]);
                return false;
            }
            // Every day of a period becomes a day in memory: a few rows spanning centuries
            // would take gigabytes, so the days of the whole file are bounded.
            const long span = end->serial() - start->serial() + 1;
            if (span > kMaxCalendarDays - expanded) {
                e.text = fmt::format("i periodi di validità superano in tutto {} giorni",
                                     kMaxCalendarDays);
                return false;
            }
            expanded += span;
            ServiceRecord& service = serviceNamed(feed, id);
            const bool runs =
                std::find(std::begin(weekdays), std::end(weekdays), true) != std::end(weekdays);
            for (long day = start->serial(); runs && day <= end->serial(); ++day) {
                if (weekdays[Date::fromSerial(day).weekday() - 1]) {
                    service.days.insert(day);
                }
            }
            return true;
        },
        error);
}

bool readCalendarDates(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"service_id", "date", "exception_type"},
        3,
        [&](const CsvRecord& r, FeedError& e) {
            const auto date = parseFeedDate(r[1]);
            if (!date) {
                e.text = fmt::format("data non valida \"{}\"", r[1]);
                return false;
            }
            const std::string_view type = trimmed(r[2]);
            if (type != "1" && type != "2") {
                e.text = fmt::format("exception_type non valido \"{}\"", type);
                return false;
            }
            ServiceRecord& service = serviceNamed(feed, trimmed(r[0]));
            if (type == "1") {
                service.days.insert(date->serial());
            } else {
                service.days.erase(date->serial());
            }
            return true;
        },
        error);
}

bool readTrips(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"route_id", "service_id", "trip_id", "shape_id", "direction_id"},
        3,
        [&](const CsvRecord& r, FeedError& e) {
            TripRecord trip;
            trip.id = std::string(trimmed(r[2]));
            trip.line = r.line();
            const auto route = feed.routeById.find(std::string(trimmed(r[0])));
            if (route == feed.routeById.end()) {
                e.text = fmt::format("la linea \"{}\" non esiste in routes.txt", r[0]);
                return false;
            }
            const auto service = feed.serviceById.find(std::string(trimmed(r[1])));
            if (service == feed.serviceById.end()) {
                e.text = fmt::format("il servizio \"{}\" non esiste nel calendario", r[1]);
                return false;
            }
            trip.route = route->second;
            trip.service = service->second;
            trip.shape = std::string(trimmed(r[3]));
            const std::string_view direction = trimmed(r[4]);
            if (!direction.empty() && direction != "0" && direction != "1") {
                e.text = fmt::format("direction_id non valido \"{}\"", direction);
                return false;
            }
            trip.direction = direction == "1" ? 'R' : 'A';
            const auto index = static_cast<std::int32_t>(feed.trips.size());
            if (trip.id.empty() || !feed.tripById.emplace(trip.id, index).second) {
                e.text = fmt::format("trip_id \"{}\" vuoto o duplicato", trip.id);
                return false;
            }
            feed.trips.push_back(std::move(trip));
            return true;
        },
        error);
}

bool readStopTimes(const CsvInput& input, Feed& feed, FeedError& error) {
    std::int32_t lastTrip = -1;
    std::string lastTripId;
    return readCsv(
        input,
        {"trip_id",
         "stop_id",
         "stop_sequence",
         "arrival_time",
         "departure_time",
         "timepoint",
         "pickup_type",
         "drop_off_type"},
        5,
        [&](const CsvRecord& r, FeedError& e) {
            feed.hasTimepointColumn = r.hasColumn(5);
            // The rows of a trip usually follow each other: its id is looked up once.
            const std::string_view tripId = trimmed(r[0]);
            if (lastTrip < 0 || tripId != lastTripId) {
                const auto trip = feed.tripById.find(std::string(tripId));
                if (trip == feed.tripById.end()) {
                    e.text = fmt::format("la corsa \"{}\" non esiste in trips.txt", r[0]);
                    return false;
                }
                lastTrip = trip->second;
                lastTripId = tripId;
            }
            const auto stop = feed.stopById.find(std::string(trimmed(r[1])));
            if (stop == feed.stopById.end()) {
                e.text = fmt::format("la fermata \"{}\" non esiste in stops.txt", r[1]);
                return false;
            }
            StopTimeRow row;
            const auto sequence = parseNumber<std::int32_t>(r[2]);
            if (!sequence || *sequence < 0) {
                e.text = fmt::format("stop_sequence non valido \"{}\"", r[2]);
                return false;
            }
            row.sequence = *sequence;
            row.stop = stop->second;
            row.line = static_cast<std::int32_t>(r.line());
            for (const auto& [column, target] :
                 {std::pair{3, &row.arrival}, std::pair{4, &row.departure}}) {
                const std::string_view text = trimmed(r[static_cast<size_t>(column)]);
                if (text.empty()) {
                    continue;
                }
                const auto time = parseTime(text);
                if (!time) {
                    e.text = fmt::format("orario non valido \"{}\"", text);
                    return false;
                }
                *target = *time;
            }
            const auto timepoint =
                trimmed(r[5]).empty() ? std::optional<std::uint8_t>(2) : parseFlag(r[5], 1);
            const auto pickup = parseFlag(r[6], 3);
            const auto dropOff = parseFlag(r[7], 3);
            if (!timepoint || !pickup || !dropOff) {
                e.text = "timepoint, pickup_type o drop_off_type non valido";
                return false;
            }
            row.timepoint = *timepoint;
            row.pickup = *pickup;
            row.dropOff = *dropOff;
            feed.stops[static_cast<size_t>(row.stop)].served = true;
            feed.trips[static_cast<size_t>(lastTrip)].stops.push_back(row);
            return true;
        },
        error);
}

bool readShapes(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"shape_id", "shape_pt_lat", "shape_pt_lon", "shape_pt_sequence"},
        4,
        [&](const CsvRecord& r, FeedError& e) {
            const auto latitude = parseNumber<double>(r[1]);
            const auto longitude = parseNumber<double>(r[2]);
            const auto sequence = parseNumber<std::int64_t>(r[3]);
            if (!latitude || !longitude || std::fabs(*latitude) > 90 ||
                std::fabs(*longitude) > 180) {
                e.text = fmt::format("coordinate non valide ({}, {})", r[1], r[2]);
                return false;
            }
            if (!sequence) {
                e.text = fmt::format("shape_pt_sequence non valido \"{}\"", r[3]);
                return false;
            }
            feed.shapes[std::string(trimmed(r[0]))].push_back(
                {*sequence, *latitude, *longitude, r.line()});
            return true;
        },
        error);
}

bool readFrequencies(const CsvInput& input, Feed& feed, FeedError& error) {
    return readCsv(
        input,
        {"trip_id", "start_time", "end_time", "headway_secs"},
        4,
        [&](const CsvRecord& r, FeedError& e) {
            const auto trip = feed.tripById.find(std::string(trimmed(r[0])));
            if (trip == feed.tripById.end()) {
                e.text = fmt::format("la corsa \"{}\" non esiste in trips.txt", r[0]);
                return false;
            }
            const auto start = parseTime(r[1]);
            const auto end = parseTime(r[2]);
            const auto headway = parseNumber<int>(r[3]);
            if (!start || !end || *end < *start) {
                e.text = fmt::format("orari non validi \"{}\" - \"{}\"", r[1], r[2]);
                return false;
            }
            if (!headway || *headway <= 0) {
                e.text = fmt::format("headway_secs non valido \"{}\"", r[3]);
                return false;
            }
            feed.trips[static_cast<size_t>(trip->second)].frequencies.push_back(
                {*start, *end, *headway});
            return true;
        },
        error);
}

} // namespace tramela::comm::gtfs
