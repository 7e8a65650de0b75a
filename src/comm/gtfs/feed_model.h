#pragma once

#include "network/route_polyline.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace tramela::comm::gtfs {

// The feed as its readers leave it: each file's rows, with the indexes that join them. The
// indexes of stops, routes, services and trips are positions in their vectors.

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
    // Filled by the model builder for the served stops: projected position, number in the
    // register, locality.
    network::Point position;
    std::int32_t dbId = 0;
    std::int32_t locality = 0;
};

struct RouteRecord {
    std::string id;
    std::string shortName;
    std::string longName;
    int type = 3;
};

struct ServiceRecord {
    std::string id;
    std::set<long> days; // serials of the days on which the service runs
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
    int start = 0; // seconds
    int end = 0;
    int headway = 0;
};

struct TripRecord {
    std::string id;
    std::int32_t route = 0;
    std::int32_t service = 0;
    std::string shape;
    char direction = 'A'; // 'A' outward (direction_id 0 or empty), 'R' return
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

} // namespace tramela::comm::gtfs
