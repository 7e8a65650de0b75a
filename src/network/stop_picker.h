#pragma once

#include "network/route_polyline.h"
#include "network/stop_association.h"
#include "store/database_connection.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::network {

// The stop picker of the route editor: which stops may be inserted into a route's composition,
// found along the route on the side of the road served in the direction of travel, and the
// insertion of a stop given by its code at a given progressive.

// Where the editor inserts the stop picked, taken from the stop selected in the composition.
enum class PickerMode : char {
    Start = 'T', // the first stop is selected (also when it is the only one)
    Middle = 'S',
    End = 'C', // the last stop is selected, or the composition is empty
};

// The mode for a composition of `stops` stops of which `selected` (0-based) is selected; with no
// selection the stop goes at the end.
PickerMode PickerModeFor(std::size_t stops, std::optional<std::size_t> selected);

// A stop the picker offers, at its progressive (metres from the start, 2 decimals).
struct CandidateStop {
    StopId stop;
    double progressive = 0.0;

    bool operator==(const CandidateStop&) const = default;
};

// The four searches, every one for every stop with coordinates, in the order of `stops`: within
// 40 m of the route's first vertex (at 0) or of its last vertex (at the length), and the nearest
// point of the line measured from the start and from the end (when that gives another
// progressive), each offered only when the stop lies on the right of its segment or exactly on
// the line. A stop offered twice at the same progressive is listed once.
std::vector<CandidateStop> SearchCandidateStops(const RoutePolyline& polyline,
                                                std::span<const RegisterStop> stops);

// One line of the picker's list.
struct OfferedStop {
    StopId stop;
    double progressive = 0.0;
    std::string text; // "%06ld [Km %04.3lf] %s": ID, kilometres, description
};

// The list the picker shows, with each stop described as "<code> <name> [<place>-<municipality>]"
// (or "<code> <name> *** Località non assegnata ***" for a stop without a place). Ordered by the
// mode: from the start for 'T'; from the end for 'C'; for 'S' from `selectedProgressive` on,
// then the stops before it. Nothing when the query failed (shown).
std::optional<std::vector<OfferedStop>> OfferedList(store::DatabaseConnection& connection,
                                                    std::span<const CandidateStop> candidates,
                                                    PickerMode mode,
                                                    double selectedProgressive = 0.0);

// Which list a choice was made in, for the refusal of an empty choice.
enum class PickerList { SearchResults, List };

// The entry chosen; a choice of nothing (or of no entry of the list) is refused with
// "Attenzione: non è stato selezionato un oggetto valido !!!..." and gives nothing.
std::optional<OfferedStop> ChooseOffered(std::span<const OfferedStop> list,
                                         std::optional<std::size_t> chosen,
                                         PickerList where,
                                         ui::Ui& ui);

// The stop to insert into the composition: at progressive `progressive` (metres, 2 decimals),
// `distance` metres from the route's line there (2 decimals).
struct PickedStop {
    StopId stop;
    double progressive = 0.0;
    double distance = 0.0;

    bool operator==(const PickedStop&) const = default;
};

// The confirmation asked before a stop given by code is associated.
inline constexpr std::string_view kAssociateStopKey = "associate-stop";

// The stop whose code (the key of fermate's index codice, its ID) is `stopCode`, at the
// progressive typed as `progressiveText` (beyond the route's length: at its end), when it lies
// less than 100 m from the point of the line at that progressive and the user confirms. A
// progressive in a wrong form, an unknown stop, a stop without coordinates or one 100 m or more
// away is refused with its message; nothing is inserted then.
std::optional<PickedStop> PickStopByCode(store::DatabaseConnection& connection,
                                         const RoutePolyline& polyline,
                                         std::string_view stopCode,
                                         std::string_view progressiveText);

} // namespace tramela::network
