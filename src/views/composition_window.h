#pragma once

#include "network/route_polyline.h"
#include "network/route_set.h"
#include "views/edit_window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::views {

// How a stop of a composition stands with its route's line, as the association analysis judges
// it: on the right of the line, on the wrong side, too far from the line to be associated, or by
// one of the termini (where the side does not count).
enum class StopStanding { Ok, WrongSide, NotAssociable, Terminus };

// One stop of the composition of a route, in sub order.
struct CompositionStop {
    std::int32_t sub = 0;
    network::StopId stop;
    std::string code;                       // fermate.fermata
    std::string name;                       // fermate.denom
    std::string location;                   // fermate.ubicaz
    std::optional<network::Point> position; // absent: the stop has no coordinates
    double condist = 0.0;                   // conventional progressive, metres
    double geodist = 0.0;                   // cartographic progressive, metres
    bool primaria = false;
    bool facolt = false;
    // Absent while the route has no sound geometry.
    std::optional<StopStanding> standing;
    // The point of the line at the stop's cartographic progressive; absent without geometry.
    std::optional<network::Point> onLine;
};

// The composition of one route (fermitin rows in sub order) as an editing window: its stops with
// code, name, location, both progressives and the primary and optional marks, and the items of
// its context menu, each calling the route editor's operations of the network layer. The window
// reads the route's geometry with its list, for the drawing beside it.
class CompositionSource : public WindowSource {
public:
    virtual network::RouteId route() const = 0;
    // The stops as last loaded, one per list entry and in the same order.
    virtual const std::vector<CompositionStop>& stops() const = 0;
    // The route's line as last loaded; absent when the route has no sound geometry.
    virtual const std::optional<network::RoutePolyline>& polyline() const = 0;
};

// The composition of `route`.
std::unique_ptr<CompositionSource> compositionWindow(network::RouteId route);

// The window's own operations (Operation::Special on the selected stop, Operation::Action
// without one).
inline constexpr std::string_view kInsertStop = "insert-stop";
inline constexpr std::string_view kPrimary = "primary";
inline constexpr std::string_view kOptional = "optional";
inline constexpr std::string_view kRecomputeConventional = "recompute-conventional";
inline constexpr std::string_view kRecomputeCartographic = "recompute-cartographic";

// The dialog "Inserimento Fermata": its key and fields. A stop is chosen from the stops offered
// along the route (`kOfferedField`), or given by its code (`kStopCodeField`, the stop's ID) either
// alone, to take it where the list offers it, or with a progressive in kilometres
// (`kProgressiveAtField`), where it must lie less than 100 m from the line.
inline constexpr std::string_view kInsertStopForm = "insert-stop";
inline constexpr std::string_view kOfferedField = "offered";
inline constexpr std::string_view kStopCodeField = "code";
inline constexpr std::string_view kProgressiveAtField = "at";
// The detail field of "Variazione Progressiva": the conventional progressive, kilometres.
inline constexpr std::string_view kProgressiveField = "progressive";

// The route is in the archive of routes; says so when it is not.
bool routeExists(store::DatabaseConnection& connection, network::RouteId route);

} // namespace tramela::views
