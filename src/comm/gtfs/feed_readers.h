#pragma once

#include "comm/gtfs/feed_model.h"
#include "comm/gtfs/feed_reader.h"

namespace tramela::comm::gtfs {

// One reader per file of the feed. Each reads the file's rows into the feed and gives false on
// the first fault, with the file, the line and what is wrong in `error`. A reader may use what
// the readers before it left in the feed: trips need routes and services, stop times need trips
// and stops, frequencies need trips. The order of the import is the order below.

// agency.txt: the name of the first agency.
bool readAgency(const CsvInput& input, Feed& feed, FeedError& error);

// stops.txt: every stop, station, entrance, generic node and boarding area.
bool readStops(const CsvInput& input, Feed& feed, FeedError& error);

// routes.txt: the lines.
bool readRoutes(const CsvInput& input, Feed& feed, FeedError& error);

// calendar.txt: the services and the weekdays on which they run between two dates. The
// periods of all its rows together may span kMaxCalendarDays days (a thousand services running
// for ten years each); a file beyond is refused at the row that crosses the bound.
inline constexpr long kMaxCalendarDays = 3'660'000;
bool readCalendar(const CsvInput& input, Feed& feed, FeedError& error);

// calendar_dates.txt: days added to or removed from a service (a service may be made of added
// days only).
bool readCalendarDates(const CsvInput& input, Feed& feed, FeedError& error);

// trips.txt: the trips with their line, service, shape and direction.
bool readTrips(const CsvInput& input, Feed& feed, FeedError& error);

// stop_times.txt: the stops of every trip, kept in the order read (sorted later).
bool readStopTimes(const CsvInput& input, Feed& feed, FeedError& error);

// frequencies.txt: the periods in which a trip runs every so many seconds.
bool readFrequencies(const CsvInput& input, Feed& feed, FeedError& error);

// shapes.txt: the points of every shape, kept in the order read (sorted later).
bool readShapes(const CsvInput& input, Feed& feed, FeedError& error);

} // namespace tramela::comm::gtfs
