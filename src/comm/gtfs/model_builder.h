#pragma once

#include "comm/gtfs/feed_model.h"
#include "comm/gtfs/feed_reader.h"
#include "comm/gtfs/text_fitting.h"
#include "store/date.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tramela::comm::gtfs {

class Projection;

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

// Builds the model from the feed: the served stops get their codes, names, positions and
// numbers (kept in feed.stops); lines, cadences, routes with their geometry and progressive
// distances, standard trips and trips follow. False with the fault in `error` when the feed
// cannot be made into a timetable.
bool buildModel(Feed& feed,
                const Projection& projection,
                Adaptations& adaptations,
                Model& model,
                FeedError& error);

// Every served stop gets a locality: the operator's file (stop_id, locality, ISTAT code,
// municipality, read by position) says which, the others share the one named after the agency.
bool assignLocalities(const std::optional<std::filesystem::path>& localities,
                      Feed& feed,
                      Adaptations& adaptations,
                      Model& model,
                      FeedError& error);

// The vehicle kind of a GTFS route type, basic or extended; ' ' when none fits.
char vehicleOf(int type);

} // namespace tramela::comm::gtfs
