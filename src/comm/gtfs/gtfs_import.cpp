#include "comm/gtfs/gtfs_import.h"

#include "calendar/calendar.h"
#include "comm/gtfs/feed_reader.h"
#include "comm/gtfs/projection.h"
#include "network/geometry_codec.h"
#include "network/progressives.h"
#include "store/date.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace tramela::comm::gtfs {

namespace {

constexpr std::string_view kCaption = "Importazione GTFS";
constexpr std::string_view kNothingWritten = "Nessun dato è stato registrato.";

// ---------------------------------------------------------------------------------------------
// Texts that must fit the tables.

// The UTF-8 text with every character that Latin-1 cannot hold (and every invalid byte) replaced
// by "?": the exchange files are written one byte per character.
std::string latin1Safe(std::string_view text, bool& changed) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80           ? 1
                        : (byte >> 5) == 0x6  ? 2
                        : (byte >> 4) == 0xE  ? 3
                        : (byte >> 3) == 0x1E ? 4
                                              : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (!valid) {
            out += '?';
            changed = true;
            ++i;
            continue;
        }
        // Two-byte sequences C2 80 ... C3 BF are exactly the code points 0x80 ... 0xFF.
        if (length == 1 || (length == 2 && (byte == 0xC2 || byte == 0xC3))) {
            out.append(text.substr(i, length));
        } else {
            out += '?';
            changed = true;
        }
        i += length;
    }
    return out;
}

// The first `limit` characters of a UTF-8 text.
std::string cutChars(std::string_view text, size_t limit, bool& cut) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == limit) {
                cut = true;
                return std::string(text.substr(0, i));
            }
            ++chars;
        }
    }
    return std::string(text);
}

size_t charCount(std::string_view text) {
    size_t chars = 0;
    for (const char c : text) {
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return chars;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Every adaptation made to fit the feed into the tables, by kind, in the order first met.
class Adaptations {
public:
    void add(const std::string& kind, std::string example) {
        auto [it, inserted] = m_byKind.try_emplace(kind);
        if (inserted) {
            m_order.push_back(kind);
        }
        ++it->second.count;
        if (it->second.examples.size() < kExamples) {
            it->second.examples.push_back(std::move(example));
        }
    }

    std::string text() const {
        if (m_order.empty()) {
            return "Nessun adattamento dei dati è stato necessario.\n";
        }
        std::string out = "Adattamenti effettuati:\n";
        for (const std::string& kind : m_order) {
            const Entry& entry = m_byKind.at(kind);
            out += fmt::format("- {}: {}\n", kind, entry.count);
            for (const std::string& example : entry.examples) {
                out += fmt::format("    {}\n", example);
            }
            if (entry.count > entry.examples.size()) {
                out += fmt::format("    ... e altri {}\n", entry.count - entry.examples.size());
            }
        }
        return out;
    }

private:
    static constexpr size_t kExamples = 10;

    struct Entry {
        size_t count = 0;
        std::vector<std::string> examples;
    };

    std::map<std::string, Entry> m_byKind;
    std::vector<std::string> m_order;
};

// A text made fit for a column of `limit` characters: Latin-1 only, cut to the limit; each
// change is reported under the column's name.
std::string
fitText(std::string_view text, size_t limit, std::string_view what, Adaptations& adaptations) {
    bool changed = false;
    std::string safe = latin1Safe(text, changed);
    if (changed) {
        adaptations.add("caratteri non rappresentabili in Latin-1 sostituiti con '?'",
                        fmt::format("{} \"{}\"", what, text));
    }
    bool cut = false;
    std::string out = cutChars(safe, limit, cut);
    if (cut) {
        adaptations.add(fmt::format("{} troncati a {} caratteri", what, limit),
                        fmt::format("\"{}\" -> \"{}\"", safe, out));
    }
    return out;
}

// A code unique among `used` and within `limit` characters: the text itself when it fits and is
// free, otherwise its beginning followed by "~" and the first number that makes it unique
// ("una-corsa-molto-lunga" in 10 characters becomes "una-cors~1").
std::string uniqueCode(std::string_view text,
                       size_t limit,
                       std::unordered_set<std::string>& used,
                       std::string_view what,
                       Adaptations& adaptations,
                       bool reportChange = true) {
    bool changed = false;
    const std::string safe = latin1Safe(text, changed);
    if (!changed && !safe.empty() && charCount(safe) <= limit && !used.contains(safe)) {
        used.insert(safe);
        return safe;
    }
    std::string code;
    for (int n = 1;; ++n) {
        const std::string suffix = fmt::format("~{}", n);
        bool cut = false;
        code = cutChars(safe, limit > suffix.size() ? limit - suffix.size() : 0, cut) + suffix;
        if (!used.contains(code)) {
            break;
        }
    }
    used.insert(code);
    if (reportChange) {
        adaptations.add(fmt::format("{} sostituiti da un codice generato (lunghi più di {} "
                                    "caratteri, duplicati o non rappresentabili)",
                                    what,
                                    limit),
                        fmt::format("\"{}\" -> \"{}\"", text, code));
    }
    return code;
}

// ---------------------------------------------------------------------------------------------
// Numbers, times and dates as the feed writes them.

template <typename T> std::optional<T> parseNumber(std::string_view text) {
    text = trimmed(text);
    T value{};
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "H:MM:SS" or "HH:MM:SS", seconds after noon minus twelve hours of the service day; past
// midnight the hours go on counting (25:10:00 is 01:10 of the next day).
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

std::string formatMetres(double metres) {
    return fmt::format("{:.3f}", metres);
}

// The vehicle kind of a GTFS route type, basic or extended.
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

// ---------------------------------------------------------------------------------------------
// The feed as read.

struct StopRecord {
    std::string id;
    std::string code;
    std::string name;
    std::string description;
    std::string parent;
    int locationType = 0;
    bool hasPosition = false;
    double latitude = 0;
    double longitude = 0;
    long line = 0;
    bool served = false;
    network::Point position;
    std::int32_t dbId = 0;
    std::int32_t locality = 0;
};

struct RouteRecord {
    std::string id;
    std::string shortName;
    std::string longName;
    int type = 3;
    std::string lineCode;
};

struct ServiceRecord {
    std::string id;
    std::set<long> days; // serials of the days on which the service runs
    std::string code;
    std::map<int, std::string> shiftedCodes; // days of shift -> cadence code
};

// One row of stop_times kept compact: 2.5 million of them must fit comfortably.
struct StopTimeRow {
    std::int32_t sequence = 0;
    std::int32_t stop = 0;
    std::int32_t arrival = -1; // seconds; -1 when the feed leaves it empty
    std::int32_t departure = -1;
    std::int32_t line = 0;
    std::uint8_t timepoint = 2; // 0, 1, or 2 when empty
    std::uint8_t pickup = 0;
    std::uint8_t dropOff = 0;
};

struct Frequency {
    int start = 0;
    int end = 0;
    int headway = 0;
};

struct TripRecord {
    std::string id;
    std::int32_t route = 0;
    std::int32_t service = 0;
    std::string shape;
    char direction = 'A';
    long line = 0;
    std::vector<StopTimeRow> stops;
    std::vector<Frequency> frequencies;
};

struct ShapePoint {
    std::int64_t sequence = 0;
    double latitude = 0;
    double longitude = 0;
    long line = 0;
};

struct Feed {
    std::string agencyName;
    std::vector<StopRecord> stops;
    std::unordered_map<std::string, std::int32_t> stopById;
    std::vector<RouteRecord> routes;
    std::unordered_map<std::string, std::int32_t> routeById;
    std::vector<ServiceRecord> services;
    std::unordered_map<std::string, std::int32_t> serviceById;
    std::vector<TripRecord> trips;
    std::unordered_map<std::string, std::int32_t> tripById;
    std::unordered_map<std::string, std::vector<ShapePoint>> shapes;
    bool hasTimepointColumn = false;
};

FeedError errorAt(std::string_view file, long line, std::string text) {
    return {std::string(file), line, std::move(text)};
}

bool readAgency(const FeedSource& source, Feed& feed, FeedError& error) {
    return readCsv(
        source,
        "agency.txt",
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

bool readStops(const FeedSource& source, Feed& feed, FeedError& error) {
    return readCsv(
        source,
        "stops.txt",
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

bool readRoutes(const FeedSource& source, Feed& feed, FeedError& error) {
    return readCsv(
        source,
        "routes.txt",
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

ServiceRecord& serviceNamed(Feed& feed, std::string_view id) {
    const auto [it, inserted] = feed.serviceById.try_emplace(
        std::string(id), static_cast<std::int32_t>(feed.services.size()));
    if (inserted) {
        feed.services.push_back({std::string(id), {}, {}, {}});
    }
    return feed.services[static_cast<size_t>(it->second)];
}

bool readServices(const FeedSource& source, Feed& feed, FeedError& error) {
    const bool hasCalendar = source.has("calendar.txt");
    const bool hasDates = source.has("calendar_dates.txt");
    if (!hasCalendar && !hasDates) {
        error = errorAt("calendar.txt", 0, "manca sia calendar.txt sia calendar_dates.txt");
        return false;
    }
    if (hasCalendar &&
        !readCsv(
            source,
            "calendar.txt",
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
                ServiceRecord& service = serviceNamed(feed, id);
                for (long day = start->serial(); day <= end->serial(); ++day) {
                    if (weekdays[Date::fromSerial(day).weekday() - 1]) {
                        service.days.insert(day);
                    }
                }
                return true;
            },
            error)) {
        return false;
    }
    return !hasDates || readCsv(
                            source,
                            "calendar_dates.txt",
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

bool readTrips(const FeedSource& source, Feed& feed, FeedError& error) {
    return readCsv(
        source,
        "trips.txt",
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

bool readStopTimes(const FeedSource& source, Feed& feed, FeedError& error) {
    return readCsv(
        source,
        "stop_times.txt",
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
            const auto trip = feed.tripById.find(std::string(trimmed(r[0])));
            if (trip == feed.tripById.end()) {
                e.text = fmt::format("la corsa \"{}\" non esiste in trips.txt", r[0]);
                return false;
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
            feed.trips[static_cast<size_t>(trip->second)].stops.push_back(row);
            return true;
        },
        error);
}

bool readShapes(const FeedSource& source, Feed& feed, FeedError& error) {
    if (!source.has("shapes.txt")) {
        return true;
    }
    return readCsv(
        source,
        "shapes.txt",
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

bool readFrequencies(const FeedSource& source, Feed& feed, FeedError& error) {
    if (!source.has("frequencies.txt")) {
        return true;
    }
    return readCsv(
        source,
        "frequencies.txt",
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

// ---------------------------------------------------------------------------------------------
// What is written, built in memory before the transaction opens.

struct RouteStop {
    std::int32_t stop = 0; // index in Feed::stops
    double progressive = 0;
    bool primary = false;
    bool optional = false; // served on request only
};

struct RouteModel {
    std::int32_t id = 0;
    std::string code;
    std::string name;
    std::vector<network::Point> vertices;
    double length = 0;
    std::vector<RouteStop> stops;
};

struct StandardRow {
    std::int32_t stop = 0;
    int arrival = 0; // minutes after the trip's start
    int departure = 0;
    bool nonStopping = false;
};

struct StandardModel {
    std::int32_t id = 0;
    std::int32_t route = 0;
    std::vector<StandardRow> rows;
};

struct TripModel {
    std::int32_t id = 0;
    std::string code;
    std::string lineCode;
    char direction = 'A';
    int start = 0; // HHMM
    double length = 0;
    int duration = 0; // minutes
    std::int32_t route = 0;
    std::int32_t standard = 0;
    char vehicle = ' ';
    std::string cadence;
    Date first;
    Date last;
};

struct CadenceModel {
    std::string code;
    std::string name;
    std::set<long> days;
};

struct Locality {
    std::int32_t id = 0;
    std::string name;
    std::string istat;
};

struct Model {
    std::vector<Locality> localities;
    std::map<std::string, std::string> municipalities; // istat -> name
    std::vector<RouteModel> routes;
    std::vector<CadenceModel> cadences;
    std::vector<StandardModel> standards;
    std::vector<TripModel> trips;
    Date first;
    Date last;
    size_t calendarRows = 0;
    size_t routeStopRows = 0;
    size_t standardRows = 0;
    size_t servedStops = 0;
};

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

struct BuildContext {
    const Feed& feed;
    const Projection& projection;
    Adaptations& adaptations;
    Model& model;
};

std::optional<std::vector<network::Point>>
projectShape(BuildContext& context, const std::string& shapeId, FeedError& error) {
    const auto found = context.feed.shapes.find(shapeId);
    if (found == context.feed.shapes.end()) {
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
        const auto projected = context.projection.project(point.longitude, point.latitude);
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

bool buildModel(const Feed& feed,
                const Projection& projection,
                const ImportOptions&,
                Adaptations& adaptations,
                Model& model,
                std::vector<StopRecord>& stops,
                FeedError& error) {
    BuildContext context{feed, projection, adaptations, model};

    // Stops: those the trips serve, numbered in the order of stops.txt.
    std::int32_t nextStop = 1;
    for (StopRecord& stop : stops) {
        if (!stop.served) {
            continue;
        }
        if (!stop.hasPosition) {
            error = errorAt("stops.txt",
                            stop.line,
                            fmt::format("la fermata \"{}\" non ha coordinate", stop.id));
            return false;
        }
        const auto position = projection.project(stop.longitude, stop.latitude);
        if (!position) {
            error = errorAt("stops.txt", stop.line, "coordinate non proiettabili");
            return false;
        }
        stop.position = *position;
        stop.dbId = nextStop++;
        if (stop.locationType != 0) {
            adaptations.add("fermate servite dalle corse ma non di tipo fermata (location_type "
                            "diverso da 0), importate come fermate",
                            stop.id);
        }
    }
    model.servedStops = static_cast<size_t>(nextStop - 1);

    std::unordered_set<std::string> lineCodes;
    std::unordered_map<std::string, std::string> lineCodeOf;
    std::vector<std::string> routeLineCodes(feed.routes.size());
    for (size_t i = 0; i < feed.routes.size(); ++i) {
        const RouteRecord& route = feed.routes[i];
        routeLineCodes[i] = uniqueCode(route.shortName.empty() ? route.id : route.shortName,
                                       10,
                                       lineCodes,
                                       "codici linea",
                                       adaptations);
    }

    // Cadences: one per service, and one more per shift for the services whose trips start
    // after midnight of their service day.
    std::unordered_set<std::string> cadenceCodes;
    std::vector<std::string> serviceCodes(feed.services.size());
    for (size_t i = 0; i < feed.services.size(); ++i) {
        const ServiceRecord& service = feed.services[i];
        serviceCodes[i] = uniqueCode(service.id, 10, cadenceCodes, "codici cadenza", adaptations);
        model.cadences.push_back(
            {serviceCodes[i],
             fitText(fmt::format("{}: {}", service.id, weekdaysText(service.days)),
                     60,
                     "denominazioni cadenza",
                     adaptations),
             service.days});
    }
    std::map<std::pair<std::int32_t, int>, size_t> shiftedCadence; // (service, days) -> index

    std::unordered_map<std::string, std::int32_t> routeByKey;
    std::map<std::pair<std::string, int>, int> routeNumbers; // (line, direction) -> last number
    std::unordered_set<std::string> routeCodes;
    std::unordered_map<std::string, std::int32_t> standardByKey;
    std::unordered_set<std::string> tripCodes;
    bool truncatedSeconds = false;

    for (const TripRecord& source : feed.trips) {
        if (source.stops.empty()) {
            continue; // a trip without stop times runs nowhere: reported below
        }
        std::vector<StopTimeRow> rows = source.stops;
        std::sort(rows.begin(), rows.end(), [](const StopTimeRow& a, const StopTimeRow& b) {
            return a.sequence < b.sequence;
        });
        for (size_t i = 1; i < rows.size(); ++i) {
            if (rows[i].sequence == rows[i - 1].sequence) {
                error = errorAt("stop_times.txt",
                                rows[i].line,
                                fmt::format("stop_sequence {} ripetuto nella corsa \"{}\"",
                                            rows[i].sequence,
                                            source.id));
                return false;
            }
        }
        if (rows.size() < 2) {
            error = errorAt("stop_times.txt",
                            rows.front().line,
                            fmt::format("la corsa \"{}\" ha una sola fermata", source.id));
            return false;
        }
        if (!completeTimes(source, rows, error)) {
            return false;
        }
        for (const StopTimeRow& row : rows) {
            truncatedSeconds = truncatedSeconds || row.arrival % 60 != 0 || row.departure % 60 != 0;
        }

        // The route: one per distinct shape and sequence of stops.
        const RouteRecord& line = feed.routes[static_cast<size_t>(source.route)];
        std::string key = source.shape;
        key += '\x1f';
        for (const StopTimeRow& row : rows) {
            key.append(reinterpret_cast<const char*>(&row.stop), sizeof row.stop);
        }
        auto [routeIt, newRoute] =
            routeByKey.try_emplace(key, static_cast<std::int32_t>(model.routes.size() + 1));
        if (newRoute) {
            RouteModel route;
            route.id = routeIt->second;
            const std::string& lineCode = routeLineCodes[static_cast<size_t>(source.route)];
            const int number = ++routeNumbers[{lineCode, source.direction}];
            route.code = uniqueCode(fmt::format("{}-{}{}", lineCode, source.direction, number),
                                    20,
                                    routeCodes,
                                    "codici percorso",
                                    adaptations);
            const StopRecord& firstStop = stops[static_cast<size_t>(rows.front().stop)];
            const StopRecord& lastStop = stops[static_cast<size_t>(rows.back().stop)];
            route.name = fitText(fmt::format("{} - {}", firstStop.name, lastStop.name),
                                 120,
                                 "denominazioni percorso",
                                 adaptations);
            if (!source.shape.empty()) {
                auto vertices = projectShape(context, source.shape, error);
                if (!vertices) {
                    if (error.line == 0) {
                        error = errorAt("trips.txt", source.line, error.text);
                    }
                    return false;
                }
                route.vertices = std::move(*vertices);
            } else {
                adaptations.add("percorsi senza forma (shape): geometria a segmenti retti tra "
                                "le fermate",
                                route.code);
                for (const StopTimeRow& row : rows) {
                    const network::Point p = stops[static_cast<size_t>(row.stop)].position;
                    if (route.vertices.empty() || !(route.vertices.back() == p)) {
                        route.vertices.push_back(p);
                    }
                }
            }
            network::RouteWithStops measured;
            measured.id = network::RouteId{route.id};
            network::RoutePolyline polyline(route.vertices, network::Box{});
            polyline.RecomputeBox();
            route.length = polyline.Length();
            measured.polyline = std::move(polyline);
            std::int32_t sub = 1;
            for (const StopTimeRow& row : rows) {
                const StopRecord& stop = stops[static_cast<size_t>(row.stop)];
                network::StopOnRoute on;
                on.sub = sub++;
                on.stop = network::StopId{stop.dbId};
                on.position = stop.position;
                measured.stops.push_back(std::move(on));
            }
            std::vector<std::string> problems;
            network::ComputeCartographicProgressives(measured, &problems);
            for (std::string& problem : problems) {
                adaptations.add("distanze progressive non determinabili o fuori sequenza",
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
                stop.primary = i == 0 || i + 1 == rows.size() || row.timepoint == 1 ||
                               !feed.hasTimepointColumn;
                stop.optional = row.pickup >= 2 || row.dropOff >= 2;
                route.stops.push_back(stop);
            }
            model.routeStopRows += route.stops.size();
            model.routes.push_back(std::move(route));
        }
        const RouteModel& route = model.routes[static_cast<size_t>(routeIt->second - 1)];

        // The standard trip: shared by the trips of the route with the same times after the
        // start and the same stops not made. Times are whole minutes, seconds dropped: a trip
        // leaving 15:22:30 and arriving 15:35:00 starts at 15:22 and takes 13 minutes.
        const int startMinutes = rows.front().departure / 60;
        std::vector<StandardRow> standardRows;
        std::string standardKey(reinterpret_cast<const char*>(&route.id), sizeof route.id);
        for (size_t i = 0; i < rows.size(); ++i) {
            StandardRow row;
            row.stop = stops[static_cast<size_t>(rows[i].stop)].dbId;
            row.arrival = i == 0 ? 0 : rows[i].arrival / 60 - startMinutes;
            row.departure = rows[i].departure / 60 - startMinutes;
            if (i + 1 == rows.size()) {
                row.departure = row.arrival;
            }
            row.nonStopping = rows[i].pickup == 1 && rows[i].dropOff == 1;
            const int packed[3] = {row.arrival, row.departure, row.nonStopping ? 1 : 0};
            standardKey.append(reinterpret_cast<const char*>(packed), sizeof packed);
            standardRows.push_back(row);
        }
        auto [standardIt, newStandard] = standardByKey.try_emplace(
            standardKey, static_cast<std::int32_t>(model.standards.size() + 1));
        if (newStandard) {
            model.standardRows += standardRows.size();
            model.standards.push_back({standardIt->second, route.id, std::move(standardRows)});
        }

        // The trips: the one the feed gives, or one per departure of its frequencies. A trip
        // starting at 25:55 runs at 01:55 of the day after its service day, so its cadence is
        // the service's days shifted by one.
        std::vector<int> starts;
        if (source.frequencies.empty()) {
            starts.push_back(rows.front().departure);
        } else {
            for (const Frequency& frequency : source.frequencies) {
                for (int t = frequency.start; t < frequency.end; t += frequency.headway) {
                    starts.push_back(t);
                }
            }
        }
        const ServiceRecord& service = feed.services[static_cast<size_t>(source.service)];
        if (service.days.empty()) {
            adaptations.add("corse di servizi senza alcun giorno di esercizio, non importate",
                            source.id);
            continue;
        }
        const int duration =
            standardIt->second == 0
                ? 0
                : model.standards[static_cast<size_t>(standardIt->second - 1)].rows.back().arrival;
        for (const int start : starts) {
            const int minutes = start / 60;
            const int shift = minutes / 1440;
            std::string cadence = serviceCodes[static_cast<size_t>(source.service)];
            std::set<long> days = service.days;
            if (shift > 0) {
                auto [shiftedIt, newShifted] =
                    shiftedCadence.try_emplace({source.service, shift}, model.cadences.size());
                if (newShifted) {
                    std::set<long> shifted;
                    for (const long day : service.days) {
                        shifted.insert(day + shift);
                    }
                    // "during-dst" shifted by one day becomes "during-d+1".
                    const std::string suffix = fmt::format("+{}", shift);
                    bool cut = false;
                    const std::string code =
                        uniqueCode(cutChars(cadence, 10 - suffix.size(), cut) + suffix,
                                   10,
                                   cadenceCodes,
                                   "codici cadenza",
                                   adaptations,
                                   false);
                    adaptations.add("cadenze spostate di un giorno per le corse che partono "
                                    "dopo le 24:00",
                                    fmt::format("{} -> {}", cadence, code));
                    model.cadences.push_back(
                        {code,
                         fitText(
                             fmt::format("{} +{}g: {}", service.id, shift, weekdaysText(shifted)),
                             60,
                             "denominazioni cadenza",
                             adaptations),
                         std::move(shifted)});
                }
                const CadenceModel& shifted = model.cadences[shiftedIt->second];
                cadence = shifted.code;
                days = shifted.days;
            }
            TripModel trip;
            trip.id = static_cast<std::int32_t>(model.trips.size() + 1);
            const std::string base =
                source.frequencies.empty()
                    ? source.id
                    : fmt::format("{}@{:02}{:02}", source.id, (minutes / 60) % 24, minutes % 60);
            trip.code = uniqueCode(base, 20, tripCodes, "codici corsa", adaptations);
            trip.lineCode = routeLineCodes[static_cast<size_t>(source.route)];
            trip.direction = source.direction;
            trip.start = ((minutes % 1440) / 60) * 100 + minutes % 60;
            trip.length = route.length;
            trip.duration = duration;
            trip.route = route.id;
            trip.standard = standardIt->second;
            trip.vehicle = vehicleOf(line.type);
            if (trip.vehicle == ' ') {
                adaptations.add("tipi di linea (route_type) senza mezzo corrispondente",
                                fmt::format("{}: {}", line.id, line.type));
            }
            trip.cadence = cadence;
            trip.first = Date::fromSerial(*days.begin());
            trip.last = Date::fromSerial(*days.rbegin());
            model.trips.push_back(std::move(trip));
        }
    }
    if (truncatedSeconds) {
        adaptations.add("orari con secondi, arrotondati al minuto inferiore", "stop_times.txt");
    }
    for (const TripRecord& trip : feed.trips) {
        if (trip.stops.empty()) {
            adaptations.add("corse senza orari in stop_times.txt, non importate", trip.id);
        }
    }
    if (model.trips.empty()) {
        error = errorAt("stop_times.txt", 0, "il feed non contiene alcuna corsa con orari");
        return false;
    }
    long first = std::numeric_limits<long>::max();
    long last = std::numeric_limits<long>::min();
    for (const CadenceModel& cadence : model.cadences) {
        model.calendarRows += cadence.days.size();
        if (!cadence.days.empty()) {
            first = std::min(first, *cadence.days.begin());
            last = std::max(last, *cadence.days.rbegin());
        }
    }
    model.first = Date::fromSerial(first);
    model.last = Date::fromSerial(last);
    return true;
}

// Every served stop gets a locality: the operator's file says which, the others share the one
// named after the agency.
bool assignLocalities(const ImportOptions& options,
                      const Feed& feed,
                      std::vector<StopRecord>& stops,
                      Adaptations& adaptations,
                      Model& model,
                      FeedError& error) {
    std::map<std::pair<std::string, std::string>, std::int32_t> byNameAndIstat;
    const auto locality = [&](const std::string& name, const std::string& istat) {
        auto [it, inserted] = byNameAndIstat.try_emplace(
            {name, istat}, static_cast<std::int32_t>(model.localities.size() + 1));
        if (inserted) {
            model.localities.push_back({it->second, name, istat});
        }
        return it->second;
    };
    if (options.localities) {
        std::error_code ec;
        const auto folder = options.localities->parent_path().empty()
                                ? std::filesystem::path(".")
                                : options.localities->parent_path();
        const auto source = FeedSource::open(folder, error);
        const std::string file = options.localities->filename().string();
        if (!source || !source->has(file)) {
            error = errorAt(options.localities->string(), 0, "il file delle località non esiste");
            return false;
        }
        const bool read = readCsv(
            *source,
            file,
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
                error.file = options.localities->string();
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
        if (options.localities) {
            adaptations.add("fermate assenti dal file delle località, assegnate alla località "
                            "dell'azienda",
                            stop.id);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The database writer.

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

struct Codes {
    int authority = 0;
    int lot = 0;
    int company = 0;
    int subcontractor = 0;
};

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

void showFeedError(ui::Ui& ui, const FeedError& error) {
    const std::string where = error.line > 0
                                  ? fmt::format("file {}, riga {}", error.file, error.line)
                                  : fmt::format("file {}", error.file);
    ui.Message(
        fmt::format(
            "Importazione GTFS non eseguita.\n\n{}: {}\n\n{}", where, error.text, kNothingWritten),
        ui::Icon::Stop,
        kCaption);
}

bool fail(ui::Ui& ui, std::string_view text) {
    ui.Message(fmt::format("Importazione GTFS non eseguita.\n\n{}\n\n{}", text, kNothingWritten),
               ui::Icon::Stop,
               kCaption);
    return false;
}

long rowCount(store::DatabaseConnection& connection, std::string_view table) {
    store::QueryCursor query(connection);
    query.SetSelect("COUNT(*)");
    query.SetFrom(table);
    std::int32_t count = -1;
    if (!query.Execute() || !query.hasRow() || !query.GetLong(0, count)) {
        return -1;
    }
    return count;
}

bool codeExists(store::DatabaseConnection& connection, std::string_view table, int code) {
    store::TableCursor cursor(&connection, table);
    const std::string key = std::to_string(code);
    return cursor.IsOpen() && cursor.SelectIndex("codice") && cursor.Seek({key});
}

} // namespace

bool ImportGtfs(workspace::Workspace& window, const ImportOptions& options) {
    ui::Ui& ui = window.ui();
    store::DatabaseConnection* connection = window.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return fail(ui, "Nessun database è connesso.");
    }
    static constexpr std::string_view kTables[] = {"master",
                                                   "cadenz",
                                                   "calend",
                                                   "tesstd",
                                                   "detstd",
                                                   "corse",
                                                   "extcod",
                                                   "period",
                                                   "regent",
                                                   "reglot",
                                                   "regazi",
                                                   "fermate",
                                                   "itiner",
                                                   "fermitin",
                                                   "geoitin",
                                                   "local",
                                                   "comuni"};
    for (const std::string_view table : kTables) {
        if (!connection->tableExists(table)) {
            return fail(ui,
                        fmt::format("Il database non contiene la tavola \"{}\": eseguire prima "
                                    "\"Crea Tavole Tramela\" (create-tables).",
                                    table));
        }
    }
    // A second import would duplicate every stop, route and trip: only an empty network is
    // filled.
    for (const std::string_view table : {"fermate",
                                         "itiner",
                                         "fermitin",
                                         "geoitin",
                                         "local",
                                         "comuni",
                                         "cadenz",
                                         "calend",
                                         "tesstd",
                                         "detstd",
                                         "corse",
                                         "period",
                                         "extcod"}) {
        const long count = rowCount(*connection, table);
        if (count != 0) {
            return fail(ui,
                        fmt::format("Il database contiene già dei dati (tavola \"{}\"): "
                                    "l'importazione GTFS si esegue solo su un database senza "
                                    "fermate, percorsi, cadenze e corse.",
                                    table));
        }
    }

    Codes codes;
    bool createMaster = true;
    {
        store::TableCursor master(connection, "master");
        std::string company;
        if (master.IsOpen() && master.SelectIndex("codice") && master.Seek({"0"}) &&
            master.GetFieldText("azienda", company)) {
            createMaster = false;
            codes.company = parseNumber<int>(company).value_or(0);
        }
    }
    codes.authority = options.authority.value_or(0);
    codes.lot = options.lot.value_or(0);
    codes.company = options.company.value_or(codes.company);
    codes.subcontractor = options.subcontractor.value_or(codes.company);
    for (const auto& [table, code, what] :
         {std::tuple{"regent", codes.authority, "l'ente"},
          std::tuple{"reglot", codes.lot, "il lotto"},
          std::tuple{"regazi", codes.company, "l'azienda"},
          std::tuple{"regazi", codes.subcontractor, "l'azienda subappaltatrice"}}) {
        if (!codeExists(*connection, table, code)) {
            return fail(ui,
                        fmt::format("Il codice {} del registro \"{}\" non esiste: {} indicato "
                                    "non è valido.",
                                    code,
                                    table,
                                    what));
        }
    }

    FeedError error;
    window.ShowProgressCaption("Lettura feed GTFS");
    const auto source = FeedSource::open(options.feed, error);
    if (!source) {
        showFeedError(ui, error);
        return false;
    }
    for (const std::string_view file :
         {"agency.txt", "stops.txt", "routes.txt", "trips.txt", "stop_times.txt"}) {
        if (!source->has(file)) {
            error = errorAt(file, 0, "manca il file obbligatorio del feed");
            showFeedError(ui, error);
            return false;
        }
    }
    Feed feed;
    window.ShowProgressBar();
    const std::pair<const char*, bool (*)(const FeedSource&, Feed&, FeedError&)> steps[] = {
        {"Lettura agency.txt", readAgency},
        {"Lettura stops.txt", readStops},
        {"Lettura routes.txt", readRoutes},
        {"Lettura calendario", readServices},
        {"Lettura trips.txt", readTrips},
        {"Lettura stop_times.txt", readStopTimes},
        {"Lettura frequencies.txt", readFrequencies},
        {"Lettura shapes.txt", readShapes},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        window.ShowProgressCaption(steps[i].first);
        window.SetProgress(static_cast<std::int64_t>(i), std::size(steps) + 2);
        if (!steps[i].second(*source, feed, error)) {
            window.HideProgressBar();
            showFeedError(ui, error);
            return false;
        }
    }
    if (feed.trips.empty()) {
        window.HideProgressBar();
        showFeedError(ui, errorAt("trips.txt", 0, "il feed non contiene alcuna corsa"));
        return false;
    }

    // The planar system: the one asked for, or the UTM zone of the centre of the served stops.
    int epsg = 0;
    if (options.epsg) {
        epsg = *options.epsg;
    } else {
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        for (const StopRecord& stop : feed.stops) {
            if (stop.served && stop.hasPosition) {
                minLat = std::min(minLat, stop.latitude);
                maxLat = std::max(maxLat, stop.latitude);
                minLon = std::min(minLon, stop.longitude);
                maxLon = std::max(maxLon, stop.longitude);
            }
        }
        epsg = minLat > maxLat ? 32632 : utmZoneEpsg((minLon + maxLon) / 2, (minLat + maxLat) / 2);
    }
    std::string projectionError;
    const auto projection = Projection::create(epsg, &projectionError);
    if (!projection) {
        window.HideProgressBar();
        return fail(ui, projectionError);
    }

    window.ShowProgressCaption("Costruzione percorsi e corse standard");
    Adaptations adaptations;
    std::vector<StopRecord> stops = std::move(feed.stops);
    feed.stops.clear();
    // Codes, names and locations of the stops made fit for the register's columns.
    {
        std::unordered_set<std::string> stopCodes;
        for (StopRecord& stop : stops) {
            if (!stop.served) {
                continue;
            }
            bool notLatin1 = false;
            latin1Safe(stop.code, notLatin1);
            std::string code = stop.code;
            if (code.empty() || notLatin1) {
                if (notLatin1) {
                    adaptations.add("codici fermata non rappresentabili in Latin-1, sostituiti "
                                    "dallo stop_id",
                                    fmt::format("\"{}\" -> \"{}\"", stop.code, stop.id));
                }
                code = stop.id;
            }
            stop.code = uniqueCode(code, 10, stopCodes, "codici fermata", adaptations);
            std::string location = stop.description;
            if (location.empty() && !stop.parent.empty()) {
                const auto parent = feed.stopById.find(stop.parent);
                if (parent != feed.stopById.end()) {
                    location = stops[static_cast<size_t>(parent->second)].name;
                }
            }
            stop.name = fitText(stop.name, 40, "denominazioni fermata", adaptations);
            stop.description = fitText(location, 40, "ubicazioni fermata", adaptations);
        }
    }
    Model model;
    if (!buildModel(feed, *projection, options, adaptations, model, stops, error) ||
        !assignLocalities(options, feed, stops, adaptations, model, error)) {
        window.HideProgressBar();
        showFeedError(ui, error);
        return false;
    }

    window.ShowProgressCaption("Registrazione dati GTFS");
    window.SetProgress(static_cast<std::int64_t>(std::size(steps)) + 1, std::size(steps) + 2);
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        window.HideProgressBar();
        return fail(ui, "Impossibile aprire la transazione.");
    }
    if (!writeModel(*connection, stops, model, codes, createMaster)) {
        transaction.rollback();
        window.HideProgressBar();
        return fail(ui, "Una riga è stata rifiutata dal database (vedi il messaggio precedente).");
    }
    const bool committed = transaction.commit();
    window.HideProgressBar();
    if (!committed) {
        return fail(ui, "La transazione non è stata confermata.");
    }

    std::string text =
        fmt::format("Importazione GTFS completata ({}, EPSG:{}).\n\n", options.feed.string(), epsg);
    const std::pair<const char*, size_t> counts[] = {
        {"comuni", model.municipalities.size()},
        {"local", model.localities.size()},
        {"fermate", model.servedStops},
        {"itiner", model.routes.size()},
        {"geoitin", model.routes.size()},
        {"fermitin", model.routeStopRows},
        {"cadenz", model.cadences.size()},
        {"calend", model.calendarRows},
        {"tesstd", model.standards.size()},
        {"detstd", model.standardRows},
        {"master", createMaster ? size_t{1} : size_t{0}},
        {"corse", model.trips.size()},
        {"period", model.trips.size()},
        {"extcod", model.trips.size()},
    };
    for (const auto& [table, count] : counts) {
        text += fmt::format("Registrate {} righe in {}\n", count, table);
    }
    text += "\n" + adaptations.text();
    ui.Message(text, ui::Icon::Information, kCaption);
    return true;
}

} // namespace tramela::comm::gtfs
