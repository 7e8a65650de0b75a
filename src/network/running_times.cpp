#include "network/running_times.h"

#include "network/timetable_entry.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "ui/row_progress.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tramela::network {

namespace {

constexpr std::string_view kRecomputeQuestion =
    "ATTENZIONE: Questa funzione ricalcola i tempi flottanti a partire\n"
    "dalle distanze progressive convenzionali e dalle velocità medie.\n\n"
    "Per ottenere un calcolo corretto è necessario che le progressive\n"
    "convenzionali siano state aggiornate.\n\n"
    "I tempi flottanti precedentemente calcolati verranno sovrascritti.\n\n"
    "Intendi proseguire?";
constexpr std::string_view kRecomputed = "Sono stati rideterminati {} tempi di transito";

constexpr std::string_view kDurationsQuestion =
    "ATTENZIONE: Questa funzione sistemerà formalmente i tempi di servizio delle corse.\n\n"
    "I tempi di percorrenza verranno calcolati sulla base dell'intervallo che intercorre\n"
    "tra il tempo di inizio e fine corsa.\n\n"
    "I tempi (durate) attualmente registrate sulla corsa verranno sovrascritti.\n\n"
    "Intendi proseguire?";
constexpr std::string_view kDurationsFixed = "Risultati dell'elaborazione:\n\n"
                                             "Sistemate {} corse.";

constexpr std::string_view kMissingStandard = "ATTENZIONE: la Corsa Standard ID={} non esiste !!!";
constexpr std::string_view kMissingRoute = "ATTENZIONE: il Percorso ID={} non esiste !!!";
constexpr std::string_view kMissingTrip = "ATTENZIONE: la Corsa ID={} non esiste !!!";
// A damaged row (a time or a progressive stored as text) would make every time computed from it
// wrong: its standard trip or route is told and left as it is.
constexpr std::string_view kDamagedStandard =
    "ATTENZIONE: la Corsa Standard ID={} contiene tempi non numerici !!!";
constexpr std::string_view kDamagedRoute =
    "ATTENZIONE: il Percorso ID={} contiene progressive non numeriche !!!";

store::DatabaseConnection* openConnection(workspace::Workspace& window) {
    store::DatabaseConnection* connection = window.connection();
    return connection != nullptr && connection->IsOpen() ? connection : nullptr;
}

// t rounded half up: 7.5 minutes is 8.
int roundHalfUp(double t) {
    const double whole = std::floor(t);
    return static_cast<int>(whole) + (t - whole >= 0.5 ? 1 : 0);
}

// The rows of one table (or of a constant subquery), counted first so that the bar shows the
// share read.
std::int64_t countRows(store::DatabaseConnection& connection, std::string_view table) {
    store::QueryCursor count(connection);
    count.SetSelect("COUNT(*)");
    count.SetFrom(table);
    std::int32_t rows = 0;
    if (count.Execute()) {
        count.GetLong(0, rows);
    }
    return rows;
}

// Rows of many owners (routes or standard trips) in one flat array, each owner's rows together
// in ascending sub.
template <typename Row> struct RowsByOwner {
    std::vector<Row> rows;
    std::unordered_map<std::int32_t, std::pair<std::size_t, std::size_t>> ranges;

    void add(std::int32_t owner, Row row) {
        auto [range, added] = ranges.try_emplace(owner, rows.size(), rows.size());
        if (!added && range->second.second != rows.size()) {
            // The rows come ordered by owner; an owner met again would split its rows.
            return;
        }
        rows.push_back(std::move(row));
        range->second.second = rows.size();
    }

    std::span<Row> of(std::int32_t owner) {
        const auto found = ranges.find(owner);
        if (found == ranges.end()) {
            return {};
        }
        return std::span<Row>(rows).subspan(found->second.first,
                                            found->second.second - found->second.first);
    }
};

// Writes the offsets of one row of a standard trip, found through its key; false (not counted)
// when the row is missing or refused.
bool writeRowTimes(store::TableCursor& details, std::int32_t standard, const RunningTimeRow& row) {
    const std::string id = fmt::format("{}", standard);
    const std::string sub = fmt::format("{}", row.sub);
    return details.Seek({id, sub}) && details.Edit() &&
           details.SetField("arriva", fmt::format("{}", row.arrival)) &&
           details.SetField("parte", fmt::format("{}", row.departure)) && details.Update();
}

std::vector<RunningTimeRow>
readStandardRows(store::DatabaseConnection& connection, std::int32_t standard, bool& failed) {
    std::vector<RunningTimeRow> rows;
    store::QueryCursor query(connection);
    query.SetSelect("sub, arriva, parte, fisso");
    query.SetFrom("detstd");
    query.SetWhere("id = ?");
    query.SetOrderBy("sub");
    query.Bind(1, std::int64_t{standard});
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int16_t sub = 0;
        std::int16_t arrival = 0;
        std::int16_t departure = 0;
        std::int16_t fixed = 0;
        query.GetShort(0, sub);
        query.GetShort(1, arrival);
        query.GetShort(2, departure);
        query.GetShort(3, fixed);
        rows.push_back({sub, arrival, departure, fixed != 0});
    }
    failed = query.failed();
    return rows;
}

std::vector<double>
readProgressives(store::DatabaseConnection& connection, std::int32_t route, bool& failed) {
    std::vector<double> progressives;
    store::QueryCursor query(connection);
    query.SetSelect("condist");
    query.SetFrom("fermitin");
    query.SetWhere("id = ?");
    query.SetOrderBy("sub");
    query.Bind(1, std::int64_t{route});
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        double progressive = 0.0;
        query.GetDouble(0, progressive);
        progressives.push_back(progressive);
    }
    failed = query.failed();
    return progressives;
}

} // namespace

std::vector<std::size_t> ComputeFloatingTimes(std::span<const double> progressives,
                                              std::span<RunningTimeRow> rows) {
    std::vector<std::size_t> computed;
    if (progressives.empty() || rows.empty()) {
        return computed;
    }
    const std::size_t n = std::min(progressives.size(), rows.size());
    const std::size_t last = progressives.size() - 1; // the route's last stop
    const auto isAnchor = [&](std::size_t k) { return k == 0 || k == last || rows[k].fixed; };
    std::size_t i = 0;
    for (std::size_t j = 1; j < n; ++j) {
        if (!isAnchor(j)) {
            continue;
        }
        // Anchors at 0 and 20 minutes, 0 and 10000 m: 500 m a minute, so a stop at 3750 m is
        // reached after 7.5 minutes, 8 once rounded.
        const double distance = progressives[j] - progressives[i];
        const int elapsed = rows[j].arrival - rows[i].departure;
        for (std::size_t k = i + 1; k < j; ++k) {
            int offset = 0;
            if (distance > 0.0 && elapsed > 0) {
                const double speed = distance / elapsed;
                const double t = (progressives[k] - progressives[i]) * (1.0 / speed);
                offset = std::clamp(roundHalfUp(t), 0, elapsed);
            }
            rows[k].arrival = rows[k].departure = rows[i].departure + offset;
            computed.push_back(k);
        }
        i = j;
    }
    return computed;
}

std::optional<bool> ToggleStopFlag(store::DatabaseConnection& connection,
                                   StandardTripId standard,
                                   int sub,
                                   StopFlag flag) {
    const std::string_view field = flag == StopFlag::Fixed ? "fisso" : "nonferma";
    store::TableCursor details(&connection, "detstd");
    const std::string id = fmt::format("{}", standard.value);
    const std::string position = fmt::format("{}", sub);
    std::string current;
    if (!details.SelectIndex("codice") || !details.Seek({id, position}) ||
        !details.GetFieldText(field, current)) {
        return std::nullopt;
    }
    const bool set = current == "1";
    if (!details.Edit() || !details.SetField(field, set ? "0" : "1") || !details.Update()) {
        return std::nullopt;
    }
    return !set;
}

bool SetStopTimes(store::DatabaseConnection& connection,
                  StandardTripId standard,
                  int sub,
                  int arrival,
                  int departure) {
    store::TableCursor details(&connection, "detstd");
    return details.SelectIndex("codice") &&
           writeRowTimes(details, standard.value, {sub, arrival, departure, false});
}

std::optional<TripTimes> RecomputeTripTimes(store::DatabaseConnection& connection,
                                            TripId trip,
                                            std::span<const ShownStopTime> shown) {
    ui::Ui& ui = connection.ui();
    std::int16_t start = 0;
    std::int32_t standard = 0;
    std::int32_t route = 0;
    {
        store::QueryCursor head(connection);
        head.SetSelect("parte, standard, id_perc");
        head.SetFrom("corse");
        head.SetWhere("id = ?");
        head.Bind(1, std::int64_t{trip.value});
        if (!head.Execute()) {
            if (!head.failed()) {
                ui.Message(fmt::format(kMissingTrip, trip.value), ui::Icon::Stop);
            }
            return std::nullopt;
        }
        head.GetShort(0, start);
        head.GetLong(1, standard);
        head.GetLong(2, route);
    }
    bool failed = false;
    TripTimes times;
    times.standard = StandardTripId{standard};
    times.start = start;
    times.rows = readStandardRows(connection, standard, failed);
    if (failed) {
        return std::nullopt;
    }
    if (times.rows.empty()) {
        ui.Message(fmt::format(kMissingStandard, standard), ui::Icon::Stop);
        return std::nullopt;
    }
    const std::vector<double> progressives = readProgressives(connection, route, failed);
    if (failed) {
        return std::nullopt;
    }
    if (progressives.empty()) {
        ui.Message(fmt::format(kMissingRoute, route), ui::Icon::Stop);
        return std::nullopt;
    }
    // The anchors are the times the editor shows, which may not be stored yet.
    for (std::size_t k = 0; k < times.rows.size() && k < shown.size(); ++k) {
        times.rows[k].arrival = offsetFromStart(start, shown[k].arrival);
        times.rows[k].departure = offsetFromStart(start, shown[k].departure);
        times.rows[k].fixed = shown[k].fixed;
    }
    times.computed = ComputeFloatingTimes(progressives, times.rows);

    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    {
        store::TableCursor details(&connection, "detstd");
        if (!details.SelectIndex("codice")) {
            return std::nullopt;
        }
        for (std::size_t k : times.computed) {
            if (!writeRowTimes(details, standard, times.rows[k])) {
                return std::nullopt;
            }
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return times;
}

ui::Outcome RecomputeTimes(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!ui.Confirm({std::string(ui::keys::kProceed)}, kRecomputeQuestion, ui::Icon::Question)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);

    RowsByOwner<double> stopsOfRoute;
    std::unordered_set<std::int32_t> damagedRoutes;
    {
        ui::RowProgress progress(ui, countRows(*connection, "fermitin"));
        store::QueryCursor stops(*connection);
        stops.SetSelect("id, sub, fermata, condist, typeof(condist) IN ('text', 'blob') AS bad");
        stops.SetFrom("fermitin");
        stops.SetOrderBy("id, sub");
        for (bool row = stops.Execute(); row; row = stops.MoveNext()) {
            std::int32_t route = 0;
            double progressive = 0.0;
            stops.GetLong(0, route);
            std::int32_t bad = 0;
            stops.GetDouble(3, progressive);
            stops.GetLong(4, bad);
            stopsOfRoute.add(route, progressive);
            if (bad != 0) {
                damagedRoutes.insert(route);
            }
            progress.advance();
        }
        if (stops.failed()) {
            return ui::Outcome::Failed;
        }
    }
    RowsByOwner<RunningTimeRow> rowsOfStandard;
    std::unordered_set<std::int32_t> damagedStandards;
    {
        ui::RowProgress progress(ui, countRows(*connection, "detstd"));
        store::QueryCursor details(*connection);
        details.SetSelect("id, sub, fermata, arriva, parte, fisso, "
                          "typeof(arriva) <> 'integer' OR typeof(parte) <> 'integer' AS bad");
        details.SetFrom("detstd");
        details.SetOrderBy("id, sub");
        for (bool row = details.Execute(); row; row = details.MoveNext()) {
            std::int32_t standard = 0;
            std::int16_t sub = 0;
            std::int16_t arrival = 0;
            std::int16_t departure = 0;
            std::int16_t fixed = 0;
            details.GetLong(0, standard);
            details.GetShort(1, sub);
            details.GetShort(3, arrival);
            details.GetShort(4, departure);
            std::int32_t bad = 0;
            details.GetShort(5, fixed);
            details.GetLong(6, bad);
            rowsOfStandard.add(standard, {sub, arrival, departure, fixed != 0});
            if (bad != 0) {
                damagedStandards.insert(standard);
            }
            progress.advance();
        }
        if (details.failed()) {
            return ui::Outcome::Failed;
        }
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    {
        ui::RowProgress progress(
            ui, countRows(*connection, "(SELECT 1 FROM corse GROUP BY standard, id_perc)"));
        store::QueryCursor trips(*connection);
        trips.SetSelect("standard, id_perc");
        trips.SetFrom("corse");
        trips.SetGroupBy("standard, id_perc");
        trips.SetOrderBy("standard, id_perc");
        for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
            std::int32_t standard = 0;
            std::int32_t route = 0;
            trips.GetLong(0, standard);
            trips.GetLong(1, route);
            pairs.emplace_back(standard, route);
            progress.advance();
        }
        if (trips.failed()) {
            return ui::Outcome::Failed;
        }
    }
    // A route is missing when it has no row in itiner; one without stops is skipped silently.
    std::unordered_set<std::int32_t> routes;
    {
        store::QueryCursor known(*connection);
        known.SetSelect("id");
        known.SetFrom("itiner");
        for (bool row = known.Execute(); row; row = known.MoveNext()) {
            std::int32_t route = 0;
            known.GetLong(0, route);
            routes.insert(route);
        }
        if (known.failed()) {
            return ui::Outcome::Failed;
        }
    }

    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    long written = 0;
    {
        store::TableCursor details(connection, "detstd");
        if (!details.SelectIndex("codice")) {
            return ui::Outcome::Failed;
        }
        // A standard trip run on two routes is computed once for each, the later route's times
        // being the ones left; the stored rows are the input of both, and their anchors do not
        // change.
        std::vector<RunningTimeRow> rows;
        for (const auto& [standard, route] : pairs) {
            const std::span<RunningTimeRow> stored = rowsOfStandard.of(standard);
            if (stored.empty()) {
                ui.Message(fmt::format(kMissingStandard, standard), ui::Icon::Stop);
                continue;
            }
            if (!routes.contains(route)) {
                ui.Message(fmt::format(kMissingRoute, route), ui::Icon::Stop);
                continue;
            }
            if (damagedStandards.contains(standard)) {
                ui.Message(fmt::format(kDamagedStandard, standard), ui::Icon::Stop);
                continue;
            }
            const std::span<double> progressives = stopsOfRoute.of(route);
            if (progressives.empty()) {
                continue;
            }
            if (damagedRoutes.contains(route)) {
                ui.Message(fmt::format(kDamagedRoute, route), ui::Icon::Stop);
                continue;
            }
            rows.assign(stored.begin(), stored.end());
            for (std::size_t k : ComputeFloatingTimes(progressives, rows)) {
                if (writeRowTimes(details, standard, rows[k])) {
                    ++written;
                }
            }
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    ui.Message(fmt::format(kRecomputed, written), ui::Icon::Information);
    return ui::Outcome::Done;
}

ui::Outcome FixDurations(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!ui.Confirm({std::string(ui::keys::kProceed)}, kDurationsQuestion, ui::Icon::Question)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);

    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    long fixed = 0;
    std::unordered_set<std::int32_t> damaged;
    {
        // Each trip's duration is its standard trip's arrival offset at the last stop: only that
        // row of each trip is read, in trip order. A trip whose standard trip has no rows is not
        // met and keeps its durations.
        store::QueryCursor last(*connection);
        last.SetSelect("corse.id, detstd.arriva, corse.standard, "
                       "typeof(detstd.arriva) <> 'integer' AS bad");
        last.SetFrom("corse, detstd");
        last.SetWhere("corse.standard = detstd.id AND detstd.sub = "
                      "(SELECT MAX(d.sub) FROM detstd AS d WHERE d.id = corse.standard)");
        last.SetOrderBy("corse.id");
        store::TableCursor trips(connection, "corse");
        if (!trips.SelectIndex("codice")) {
            return ui::Outcome::Failed;
        }
        for (bool row = last.Execute(); row; row = last.MoveNext()) {
            std::int32_t trip = 0;
            std::int16_t arrival = 0;
            std::int32_t standard = 0;
            std::int32_t bad = 0;
            last.GetLong(0, trip);
            last.GetShort(1, arrival);
            last.GetLong(2, standard);
            last.GetLong(3, bad);
            if (bad != 0) {
                // Told once for each standard trip; its trips keep their durations.
                if (damaged.insert(standard).second) {
                    ui.Message(fmt::format(kDamagedStandard, standard), ui::Icon::Stop);
                }
                continue;
            }
            const std::string duration = fmt::format("{}", arrival);
            if (trips.Seek({fmt::format("{}", trip)}) && trips.Edit() &&
                trips.SetField("tempo", duration) && trips.SetField("ct_tempo", duration) &&
                trips.Update()) {
                ++fixed;
            }
        }
        if (last.failed()) {
            return ui::Outcome::Failed;
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    ui.Message(fmt::format(kDurationsFixed, fixed), ui::Icon::Information);
    return ui::Outcome::Done;
}

} // namespace tramela::network
