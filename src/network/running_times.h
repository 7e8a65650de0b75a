#pragma once

#include "network/congruence.h"
#include "store/database_connection.h"
#include "ui/ui.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::network {

// One row of a standard trip as its running times are computed: offsets are minutes after the
// trip's start.
struct RunningTimeRow {
    std::int32_t sub = 0;
    std::int32_t arrival = 0;
    std::int32_t departure = 0;
    bool fixed = false; // detstd.fisso
};

// Lays the floating times of a standard trip out between its anchors in proportion to the
// conventional progressives (metres) of its route's stops, the k-th row belonging to the k-th
// stop. The anchors are the first row, the row of the route's last stop and every fixed row; each
// floating row between two anchors gets the previous anchor's departure plus its share of the
// time between them, rounded half up, as both arrival and departure. Rows after the last anchor,
// and rows beyond the route's stops, are left as they are. Between two anchors with no distance
// or no time between them (or with either running backwards) the floating rows take the previous
// anchor's departure; a floating row whose progressive lies outside its anchors' is kept within
// their times. Returns the positions of the rows computed, in order.
std::vector<std::size_t> ComputeFloatingTimes(std::span<const double> progressives,
                                              std::span<RunningTimeRow> rows);

// The two flags of a stop of a standard trip that the timetable editor toggles.
enum class StopFlag {
    Fixed,   // detstd.fisso: the time at this stop is fixed
    Passing, // detstd.nonferma: trips pass this stop without stopping
};

// Toggles the flag of the stop `sub` of a standard trip; the new value, or nothing (the store has
// shown why, or the row is missing) when the row was not written.
std::optional<bool> ToggleStopFlag(store::DatabaseConnection& connection,
                                   StandardTripId standard,
                                   int sub,
                                   StopFlag flag);

// Writes the arrival and departure (minutes after the trip's start) of the stop `sub` of a
// standard trip. False, nothing written, when the row is missing or the store refuses it.
bool SetStopTimes(store::DatabaseConnection& connection,
                  StandardTripId standard,
                  int sub,
                  int arrival,
                  int departure);

// A stop of a trip as the timetable editor shows it: times of day in minutes after midnight.
struct ShownStopTime {
    int arrival = 0;
    int departure = 0;
    bool fixed = false;
};

// The standard trip of a trip after its times were recomputed.
struct TripTimes {
    StandardTripId standard;
    int start = 0;                     // the trip's start, hours × 100 + minutes
    std::vector<RunningTimeRow> rows;  // every row of the standard trip, as it now stands
    std::vector<std::size_t> computed; // positions of the rows written
};

// Recomputes the floating times of a trip's standard trip on the trip's route, taking the anchors
// from the times of day the editor shows for the trip (one per row of the standard trip, in
// order) and the fixed flags shown with them. Each row computed is written at once, in one
// transaction; the other trips of the view then show, at each stop, their own start plus the new
// offset. Nothing (nothing written, the failure shown) when the trip, its standard trip or its
// route's stops cannot be read, or a write is refused.
std::optional<TripTimes> RecomputeTripTimes(store::DatabaseConnection& connection,
                                            TripId trip,
                                            std::span<const ShownStopTime> shown);

// "Ricalcolo Orari Corse": the floating times of every standard trip on every route a trip runs
// it on, in one transaction.
ui::Outcome RecomputeTimes(workspace::Workspace& window);

// "Sistemazione Tempi Corsa": every trip's durations from its standard trip's arrival at the last
// stop, in one transaction.
ui::Outcome FixDurations(workspace::Workspace& window);

} // namespace tramela::network
