#include "network/stop_picker.h"

#include "network/distance_entry.h"
#include "store/query_cursor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <unordered_map>
#include <unordered_set>

namespace tramela::network {

namespace {

constexpr std::string_view kNoPlace = "*** Località non assegnata ***";
constexpr std::string_view kNothingChosen =
    "Attenzione: non è stato selezionato un oggetto valido !!!\n\n"
    "Occorre selezionare obbligatoriamento una delle fermate\n";
constexpr std::string_view kIllegalProgressive =
    "La distanza progressiva è espressa in formato illegale";
constexpr std::string_view kNearEnough =
    "La fermata si trova a {:1.2f} metri dal percorso\n\n"
    "Premere OK per associare la fermata alla composizione percorso\n"
    "in corrispondenza della progressiva specificata";
constexpr std::string_view kTooFar = "La fermata si trova a {:1.2f} metri dal percorso\n\n"
                                     "Dato che la distanza è eccessiva non è possibile associare\n"
                                     "la fermata al percorso";

// A stop given by code is associated only when it lies nearer than this to the point of the
// line at the progressive given, metres.
constexpr double kInsertReach = 100.0;

double distance(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Whether the stop is served by a vehicle driving segment i (vertex i - 1 to vertex i): on its
// right, or on the line itself (at distance 0 it lies on neither side, and serves both).
bool served(const RoutePolyline& polyline, int segment, Point stop, double fromLine) {
    if (fromLine == 0.0) {
        return true;
    }
    const std::optional<Point> a = polyline.GetVertex(segment - 1);
    const std::optional<Point> b = polyline.GetVertex(segment);
    return a && b && IsClockwise(*a, *b, stop);
}

} // namespace

PickerMode PickerModeFor(std::size_t stops, std::optional<std::size_t> selected) {
    if (stops == 0 || !selected || *selected >= stops) {
        return PickerMode::End;
    }
    if (*selected == 0) {
        return PickerMode::Start;
    }
    return *selected + 1 == stops ? PickerMode::End : PickerMode::Middle;
}

// A stop where the route passes twice, out along a street and back along it, is met by the
// walk from the start on the way out and by the walk from the end on the way back: each pass is
// offered when the stop lies on its right.
std::vector<CandidateStop> SearchCandidateStops(const RoutePolyline& polyline,
                                                std::span<const RegisterStop> stops) {
    std::vector<CandidateStop> offered;
    if (polyline.vertexCount() == 0) {
        return offered;
    }
    const RoutePolyline reversed = polyline.reversed();
    const double length = polyline.Length();
    std::size_t firstOfStop = 0; // the stop's own offers follow one another
    const auto offer = [&](StopId stop, double progressive) {
        const CandidateStop candidate{stop, progressive};
        const auto own = offered.begin() + static_cast<std::ptrdiff_t>(firstOfStop);
        if (std::find(own, offered.end(), candidate) == offered.end()) {
            offered.push_back(candidate);
        }
    };
    for (const RegisterStop& stop : stops) {
        if (!stop.position) {
            continue;
        }
        firstOfStop = offered.size();
        const Point p = *stop.position;
        if (polyline.DistanceToStart(p).distance < kAssociationReach) {
            offer(stop.id, 0.0);
        }
        if (reversed.DistanceToStart(p).distance < kAssociationReach) {
            offer(stop.id, RoundToCentimetres(length));
        }
        std::optional<double> fromStart;
        const NearestResult forward = polyline.NearestPoint(p);
        if (forward.distance < kAssociationReach) {
            const ProgressiveResult at =
                polyline.ProgressiveOf(forward.point, SegmentNumbering::FromStart);
            fromStart = RoundToCentimetres(at.progressive);
            if (served(polyline, at.segment, p, forward.distance)) {
                offer(stop.id, *fromStart);
            }
        }
        const NearestResult backward = reversed.NearestPoint(p);
        if (backward.distance < kAssociationReach) {
            const ProgressiveResult at =
                reversed.ProgressiveOf(backward.point, SegmentNumbering::FromEnd);
            const double progressive = RoundToCentimetres(length - at.progressive);
            if (progressive != fromStart && served(polyline, at.segment, p, backward.distance)) {
                offer(stop.id, progressive);
            }
        }
    }
    return offered;
}

std::optional<std::vector<OfferedStop>> OfferedList(store::DatabaseConnection& connection,
                                                    std::span<const CandidateStop> candidates,
                                                    PickerMode mode,
                                                    double selectedProgressive) {
    std::unordered_set<StopId> wanted;
    for (const CandidateStop& candidate : candidates) {
        wanted.insert(candidate.stop);
    }
    // A stop whose place or municipality is missing is still described, by code and name.
    std::unordered_map<StopId, std::string> descriptions;
    store::QueryCursor query(connection);
    query.SetSelect("fermate.ID, fermate.fermata, fermate.denom, local.denom AS localita,"
                    " comuni.denom AS comune, comuni.istat");
    query.SetFrom("fermate LEFT JOIN local ON fermate.local = local.ID"
                  " LEFT JOIN comuni ON local.istat = comuni.istat");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        StopId id;
        if (!query.GetLong(0, id.value) || !wanted.contains(id)) {
            continue;
        }
        std::string code, name, place, municipality, istat;
        query.GetText("fermata", code);
        query.GetText("fermate.denom", name);
        query.GetText("localita", place);
        query.GetText("comune", municipality);
        query.GetText("istat", istat);
        descriptions.try_emplace(
            id,
            istat.empty() ? fmt::format("{} {} {}", code, name, kNoPlace)
                          : fmt::format("{} {} [{}-{}]", code, name, place, municipality));
    }
    if (query.failed()) {
        return std::nullopt;
    }

    std::vector<OfferedStop> list;
    list.reserve(candidates.size());
    for (const CandidateStop& candidate : candidates) {
        const auto described = descriptions.find(candidate.stop);
        list.push_back({candidate.stop,
                        candidate.progressive,
                        fmt::format("{:06d} [Km {:04.3f}] {}",
                                    candidate.stop.value,
                                    candidate.progressive * 0.001,
                                    described != descriptions.end() ? described->second : "")});
    }
    const auto ahead = [&](const OfferedStop& entry) {
        return mode != PickerMode::Middle || entry.progressive >= selectedProgressive;
    };
    std::stable_sort(list.begin(), list.end(), [&](const OfferedStop& l, const OfferedStop& r) {
        if (ahead(l) != ahead(r)) {
            return ahead(l);
        }
        if (l.progressive != r.progressive) {
            return mode == PickerMode::End ? l.progressive > r.progressive
                                           : l.progressive < r.progressive;
        }
        return l.stop < r.stop;
    });
    return list;
}

std::optional<OfferedStop> ChooseOffered(std::span<const OfferedStop> list,
                                         std::optional<std::size_t> chosen,
                                         PickerList where,
                                         ui::Ui& ui) {
    if (chosen && *chosen < list.size()) {
        return list[*chosen];
    }
    ui.Message(std::string(kNothingChosen) + (where == PickerList::SearchResults
                                                  ? "presenti tra i risultati della ricerca"
                                                  : "presenti nella lista"),
               ui::Icon::Stop);
    return std::nullopt;
}

std::optional<PickedStop> PickStopByCode(store::DatabaseConnection& connection,
                                         const RoutePolyline& polyline,
                                         std::string_view stopCode,
                                         std::string_view progressiveText) {
    ui::Ui& ui = connection.ui();
    const std::optional<double> typed = ParseDistanceEntry(progressiveText);
    if (!typed) {
        ui.Message(kIllegalProgressive, ui::Icon::Stop);
        return std::nullopt;
    }
    const double s = std::min(*typed, polyline.Length());
    const std::optional<Point> at = polyline.PointAtProgressive(s);
    if (!at) {
        ui.Message("Il percorso non ha una geometria: non è possibile associare la fermata",
                   ui::Icon::Stop);
        return std::nullopt;
    }

    StopId id;
    const auto [end, error] =
        std::from_chars(stopCode.data(), stopCode.data() + stopCode.size(), id.value);
    std::optional<Point> position;
    bool found = false;
    if (error == std::errc() && end == stopCode.data() + stopCode.size()) {
        store::QueryCursor query(connection);
        query.SetSelect("coord_x, coord_y, typeof(coord_x) IN ('real', 'integer') AND "
                        "typeof(coord_y) IN ('real', 'integer')");
        query.SetFrom("fermate");
        query.SetWhere("ID = ?");
        query.Bind(1, static_cast<std::int64_t>(id.value));
        found = query.Execute();
        if (query.failed()) {
            return std::nullopt;
        }
        Point p;
        std::int32_t placed = 0;
        if (found && query.GetDouble(0, p.x) && query.GetDouble(1, p.y) &&
            query.GetLong(2, placed) && placed != 0 && std::isfinite(p.x) && std::isfinite(p.y)) {
            position = p;
        }
    }
    if (!found) {
        ui.Message(
            fmt::format("La fermata {} non esiste: nessuna fermata è stata associata", stopCode),
            ui::Icon::Stop);
        return std::nullopt;
    }
    if (!position) {
        ui.Message(fmt::format("La fermata {} non ha coordinate: non è possibile associarla "
                               "al percorso",
                               stopCode),
                   ui::Icon::Stop);
        return std::nullopt;
    }

    const double d = distance(*position, *at);
    if (!(d < kInsertReach)) {
        ui.Message(fmt::format(fmt::runtime(kTooFar), d), ui::Icon::Stop);
        return std::nullopt;
    }
    if (!ui.Confirm({std::string(kAssociateStopKey)},
                    fmt::format(fmt::runtime(kNearEnough), d),
                    ui::Icon::Question)) {
        return std::nullopt;
    }
    return PickedStop{id, RoundToCentimetres(s), RoundToCentimetres(d)};
}

} // namespace tramela::network
