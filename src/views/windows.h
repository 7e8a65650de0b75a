#pragma once

#include "views/edit_window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tramela::views {

// The editing windows of the registers and of the routes, each a source for EditWindow.

// The cadence register, by code.
std::unique_ptr<WindowSource> cadenceWindow();
// One entry per day and active cadence, with the weekday's name; insertion, deletion, the
// clearing of a whole day ("clear-day").
std::unique_ptr<WindowSource> calendarWindow();
// The standard lines with their lot and authority; orders: lot and id, authority and official
// code, official code.
std::unique_ptr<WindowSource> standardLineWindow();
// The company lines linked to standard lines; orders: company line, official code.
std::unique_ptr<WindowSource> lineLinkWindow();
// The routes; orders: id, company code, length, name. Modify changes the attributes;
// "delete-composition" removes the route's stops.
std::unique_ptr<WindowSource> routeWindow();
// The periods of one trip, by start and end.
std::unique_ptr<WindowSource> periodWindow(std::int32_t trip);

// The special operations' ids.
inline constexpr std::string_view kClearDay = "clear-day";
inline constexpr std::string_view kDeleteComposition = "delete-composition";
inline constexpr std::string_view kComposition = "composition";
inline constexpr std::string_view kTimetable = "timetable";
inline constexpr std::string_view kFindTrip = "find-trip";

// The detail fields' ids.
namespace fields {
inline constexpr std::string_view kCode = "code";
inline constexpr std::string_view kName = "name";
inline constexpr std::string_view kDay = "day";
inline constexpr std::string_view kCadence = "cadence";
inline constexpr std::string_view kNote = "note";
inline constexpr std::string_view kLot = "lot";
inline constexpr std::string_view kAuthority = "authority";
inline constexpr std::string_view kId = "id";
inline constexpr std::string_view kRoute = "route";
inline constexpr std::string_view kLine = "line";
inline constexpr std::string_view kOfficial = "official";
inline constexpr std::string_view kLength = "length";
inline constexpr std::string_view kFrom = "from";
inline constexpr std::string_view kTo = "to";
inline constexpr std::string_view kExcluded = "excluded";
} // namespace fields

// The routes window: selects the route on which the trip runs; false when the trip is not in
// the archive or its route is not listed (said so).
bool selectRouteOfTrip(EditWindow& routes, std::int32_t trip);
// The trip is in the archive of trips; says so when it is not.
bool tripExists(store::DatabaseConnection& connection, std::int32_t trip);

} // namespace tramela::views
