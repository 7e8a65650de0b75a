#pragma once

// The records of one differential analysis, shared by the analysis and the writer of its files.

#include "reports/analysis/differential.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tramela::reports::differential {

// When a stop or route was last used in the first period and first used in the second (day
// serials; `used` tells whether the day is meaningful).
struct Usage {
    bool used1 = false;
    bool used2 = false;
    long last1 = 0;
    long first2 = 0;

    void markFirst(long lastDay);
    void markSecond(long firstDay);
};

struct StopRecord {
    std::int32_t id = 0;
    std::string code;
    std::string name;
    Usage usage;
};

struct RouteRecord {
    std::int32_t id = 0;
    std::string code;
    std::string name;
    double geoLength = 0;
    double conLength = 0;
    Usage usage;
};

// One timetable entry of a trip: the minute after midnight at which it reaches a stop.
struct TimedStop {
    int minute = 0;
    std::int32_t stop = 0;
};

struct TripRecord {
    std::int32_t id = 0;
    int period = 1; // 1 or 2
    std::int32_t standard = 0;
    std::string line;
    std::string direction;
    std::string code;
    int company = 0;
    std::string companyName;
    int subcontractor = 0;
    std::string subcontractorName;
    int authority = 0;
    std::string authorityName;
    std::string cadence;
    std::string cadenceName;
    std::string start; // "GG/MM/AAAA"
    std::string end;
    int departure = 0; // minutes after midnight
    int arrival = 0;
    double geoLength = 0;
    double conLength = 0;
    // The trip's days in the period (serials, ascending, each once) and whether each runs.
    std::vector<long> days;
    std::vector<char> active;
    bool confirmed = false;
    TripRecord* counterpart = nullptr;
    std::string cause;
    std::vector<TimedStop> timetable; // in stop order
    // The timetable ordered by stop, then minute, for the heuristic's look-ups.
    std::vector<TimedStop> byStop;

    int activeCount = 0; // set by countActive() once the days are final

    void countActive();

    int activeDays() const { return activeCount; }

    long firstActiveDay() const;
    long lastActiveDay() const;
};

struct StandardRecord {
    std::int32_t id = 0;
    std::string firstCode;
    std::string firstName;
    std::string lastCode;
    std::string lastName;
    std::vector<TripRecord*> trips;
    bool seen = false; // a timetable row of it was met
};

struct Analysis {
    ServicePeriods periods;
    std::vector<StopRecord> stops;   // ascending identifier
    std::vector<RouteRecord> routes; // ascending identifier
    std::vector<TripRecord> trips1;  // in the order found
    std::vector<TripRecord> trips2;
    std::vector<StandardRecord> standards; // ascending identifier
};

// Links ceased and new trips that look like the same service changed, pass after pass.
// Gives the number of pairs linked.
long linkAnalogousTrips(std::vector<TripRecord>& ceased, std::vector<TripRecord>& added);

// The five files' contents, lines ended by "\n" (the writer turns them into CR LF), UTF-8.
struct AnalysisFiles {
    std::string ceased;
    std::string added;
    std::string replaced;
    std::string stops;
    std::string routes;
};

AnalysisFiles renderFiles(const Analysis& analysis);

} // namespace tramela::reports::differential
