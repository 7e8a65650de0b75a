#include "network/progressive_commands.h"

#include "network/distance_values.h"
#include "network/geometry_loader.h"
#include "network/progressives.h"
#include "network/route_set.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/transaction.h"
#include "ui/progress_bar.h"
#include "workspace/report_header.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <cstdint>
#include <fmt/format.h>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tramela::network {

namespace {

constexpr std::string_view kRecomputeQuestion =
    "ATTENZIONE: Questa funzione ricalcola le distanze progressive relative alle singole fermate "
    "(cartografiche)\n"
    "Le distanze progressive cartografiche attualmente registrate sulle fermate verranno "
    "sovrascritte.\n\n"
    "Intendi proseguire?";

constexpr std::string_view kSpreadQuestion =
    "ATTENZIONE: Questa funzione determina le distanze progressive convenzionali a partire\n"
    "dalle spalmatura proporzionale delle distanze progressive cartografiche in rapporto\n"
    "alla lunghezza convenzionale della corsa.\n\n"
    "Le distanze progressive convenzionali attualmente registrate sulle fermate verranno "
    "sovrascritte.\n\n"
    "Intendi proseguire?";

constexpr std::string_view kLengthsQuestion =
    "ATTENZIONE: Questa funzione calcola le lunghezze totali dei percorsi a partire\n"
    "dalle distanze progressive.\n\n"
    "La lunghezza totale attualmente registrata sulla corsa verrà sovrascritta.\n\n"
    "Intendi proseguire?";

constexpr std::string_view kAlignQuestion =
    "ATTENZIONE: Questa funzione allinea le lunghezze e le progressive CONTABILI a partire\n"
    "dai corrispondenti valori cartografici.\n\n"
    "E' consigliabile eseguire IL RICALCOLO DELLE PROGRESSIVE CARTOGRAFICHE prima di\n"
    "lanciare questa funzione.\n\n"
    "Le lunghezze CONTABILI attualmente registrate sulle corse verranno sovrascritte.\n\n"
    "Intendi proseguire?";

constexpr std::string_view kResults = "Risultati dell'elaborazione:\n\n";

constexpr std::string_view kErrorsFound = "SONO STATI RILEVATI ERRORI:\n\n"
                                          "Vuoi salvare il report analitico degli errori ?";

// Routes that keep their conventional progressives, named one a line after this.
constexpr std::string_view kRoutesNotSpread =
    "ATTENZIONE: le progressive convenzionali dei seguenti percorsi non sono state assegnate\n\n";
// More routes than this are summed up in one last line.
constexpr std::size_t kRoutesNamed = 20;

constexpr std::string_view kReportTitle = "Errori Ricalcolo Progressive Cartografiche";

store::DatabaseConnection* openConnection(workspace::Workspace& window) {
    store::DatabaseConnection* connection = window.connection();
    return connection != nullptr && connection->IsOpen() ? connection : nullptr;
}

// The question every command asks before it writes; true to go on.
bool proceed(ui::Ui& ui, std::string_view question) {
    return ui.Confirm({std::string(ui::keys::kProceed)}, question, ui::Icon::Question);
}

// ---- cartographic progressives

// The number of geometry rows, for the bar of their reading; 0 when it cannot be counted.
std::int64_t countGeometries(store::DatabaseConnection& connection) {
    store::QueryCursor query(connection);
    query.SetSelect("COUNT(*)");
    query.SetFrom("geoitin");
    std::int32_t rows = 0;
    if (query.Execute()) {
        query.GetLong(0, rows);
    }
    return rows;
}

// Appends to each route that has a line to measure on the stops of its composition, in sub
// order. The stops of routes without geometry, or whose geometry has no vertex, are dropped: such
// routes are not recomputed, and their stops keep their progressives.
bool loadStops(store::DatabaseConnection& connection, RouteSet& routes) {
    store::QueryCursor query(connection);
    query.SetSelect("fermitin.ID, fermitin.sub, fermate.ID, fermate.coord_x, fermate.coord_y");
    query.SetFrom("fermitin, fermate");
    query.SetWhere("fermate.ID = fermitin.fermata");
    query.SetOrderBy("fermitin.ID, fermitin.sub");
    RouteWithStops* route = nullptr;
    std::int32_t current = 0;
    bool first = true;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t id = 0;
        query.GetLong(0, id);
        if (first || id != current) {
            first = false;
            current = id;
            route = routes.find(RouteId{id});
            if (route != nullptr && (!route->polyline || route->polyline->vertexCount() == 0)) {
                route = nullptr;
            }
        }
        if (route == nullptr) {
            continue;
        }
        StopOnRoute stop;
        std::int16_t sub = 0;
        std::int32_t stopId = 0;
        query.GetShort(1, sub);
        query.GetLong(2, stopId);
        query.GetDouble(3, stop.position.x);
        query.GetDouble(4, stop.position.y);
        stop.sub = sub;
        stop.stop = StopId{stopId};
        routes.appendStop(*route, std::move(stop));
    }
    return !query.failed();
}

bool measurable(const RouteWithStops& route) {
    return route.polyline && route.polyline->vertexCount() > 0 && !route.stops.empty();
}

void offerCartographicReport(store::DatabaseConnection& connection,
                             const std::vector<std::string>& errors) {
    ui::Ui& ui = connection.ui();
    if (!ui.Confirm({std::string(ui::keys::kReport), ui::QuestionKind::Offer},
                    kErrorsFound,
                    ui::Icon::Stop)) {
        return;
    }
    ui::FileDialog dialog;
    dialog.key = ui::keys::kReport;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.title = "Report Errori Riscontrati";
    dialog.defaultExtension = "TXT";
    dialog.initialName = "ERRORI_KM_CARTA";
    dialog.filters = {{"File di testo (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*.*"}};
    dialog.confirmOverwrite = true;
    const auto path = ui.SaveFile(dialog);
    if (!path) {
        return;
    }
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, *path, ui)) {
        return;
    }
    workspace::writeReportHeader(writer, kReportTitle, {"Database: " + connection.path().string()});
    workspace::Latin1Encoder latin1;
    for (const std::string& line : errors) {
        writer.writeLine(latin1.encode(line));
    }
    workspace::closeOrReport(writer, *path, ui);
}

// ---- conventional progressives and lengths

// A stop of a route's composition as the conventional figures are computed from it.
struct CompositionStop {
    std::int16_t sub = 0;
    double value = 0.0; // the progressive the command reads (geodist or condist), metres
};

// The stops of every route, each route's in sub order, read with one query.
using Compositions = std::unordered_map<std::int32_t, std::vector<CompositionStop>>;

bool readCompositions(store::DatabaseConnection& connection,
                      std::string_view progressive,
                      Compositions& compositions) {
    store::QueryCursor query(connection);
    query.SetSelect(fmt::format("ID, sub, {}", progressive));
    query.SetFrom("fermitin");
    query.SetOrderBy("ID, sub");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t route = 0;
        CompositionStop stop;
        query.GetLong(0, route);
        query.GetShort(1, stop.sub);
        query.GetDouble(2, stop.value);
        compositions[route].push_back(stop);
    }
    return !query.failed();
}

// The routes run by trips, ascending, each with the number of its trips.
bool readRoutesRun(store::DatabaseConnection& connection,
                   std::vector<std::pair<std::int32_t, std::int64_t>>& routes) {
    store::QueryCursor query(connection);
    query.SetSelect("id_perc, COUNT(*)");
    query.SetFrom("corse");
    query.SetGroupBy("id_perc");
    query.SetOrderBy("id_perc");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t route = 0;
        std::int32_t trips = 0;
        query.GetLong(0, route);
        query.GetLong(1, trips);
        routes.emplace_back(route, trips);
    }
    return !query.failed();
}

bool readRouteLengths(store::DatabaseConnection& connection,
                      std::unordered_map<std::int32_t, RouteLengths>& lengths) {
    store::QueryCursor query(connection);
    query.SetSelect("ID, geolung, conlung");
    query.SetFrom("itiner");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t route = 0;
        RouteLengths read;
        query.GetLong(0, route);
        query.GetDouble(1, read.cartographic);
        query.GetDouble(2, read.conventional);
        lengths.try_emplace(route, read);
    }
    return !query.failed();
}

// Every trip with its route, ascending by trip.
bool readTrips(store::DatabaseConnection& connection,
               std::vector<std::pair<std::int32_t, std::int32_t>>& trips) {
    store::QueryCursor query(connection);
    query.SetSelect("id, id_perc");
    query.SetFrom("corse");
    query.SetOrderBy("id");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t trip = 0;
        std::int32_t route = 0;
        query.GetLong(0, trip);
        query.GetLong(1, route);
        trips.emplace_back(trip, route);
    }
    return !query.failed();
}

// Sets lung and ct_lung of every trip whose route has stops to the progressive of the route's
// last stop; the trips updated.
int writeTripLengths(store::DatabaseConnection& connection,
                     const std::vector<std::pair<std::int32_t, std::int32_t>>& trips,
                     const Compositions& compositions,
                     ui::ProgressBar& bar) {
    KeyedRowWriter writer(connection, "corse");
    int updated = 0;
    std::int64_t done = 0;
    for (const auto& [trip, route] : trips) {
        bar.set(++done, static_cast<std::int64_t>(trips.size()));
        const auto found = compositions.find(route);
        if (found == compositions.end() || found->second.empty()) {
            continue;
        }
        const std::string length = LengthText(found->second.back().value);
        if (writer.write({trip}, {{"lung", length}, {"ct_lung", length}})) {
            ++updated;
        }
    }
    return updated;
}

} // namespace

ui::Outcome RecomputeCartographicProgressives(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!proceed(ui, kRecomputeQuestion)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);
    ui::ProgressBar bar(ui);

    ui.ProgressCaption(kGeometryCaption);
    const std::int64_t geometries = countGeometries(*connection);
    RouteSet routes;
    if (!LoadAllGeometries(*connection, routes, [&](std::size_t rows) {
            bar.set(static_cast<std::int64_t>(rows), geometries);
        })) {
        return ui::Outcome::Failed;
    }
    ui.ProgressCaption(kStopsCaption);
    if (!loadStops(*connection, routes)) {
        return ui::Outcome::Failed;
    }

    // The 40 m lines of every route come first in the report, then the lines of the
    // progressives.
    std::vector<std::string> errors;
    for (const RouteWithStops& route : routes) {
        if (measurable(route)) {
            CheckStopsNearRoute(route, &errors);
        }
    }
    ui.ProgressCaption(kDeterminationCaption);
    bar.set(0, 1);
    std::int64_t done = 0;
    for (RouteWithStops& route : routes) {
        if (measurable(route)) {
            ComputeCartographicProgressives(route, &errors);
        }
        bar.set(++done, static_cast<std::int64_t>(routes.size()));
    }

    ui.ProgressCaption(kUpdateCaption);
    bar.set(0, 1);
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    int routesDone = 0;
    int stopsDone = 0;
    {
        KeyedRowWriter writer(*connection, "fermitin");
        done = 0;
        for (const RouteWithStops& route : routes) {
            bar.set(++done, static_cast<std::int64_t>(routes.size()));
            if (!measurable(route)) {
                continue;
            }
            int written = 0;
            for (const StopOnRoute& stop : route.stops) {
                if (writer.write({route.id.value, stop.sub},
                                 {{"geodist", MetresText(stop.progressive)}})) {
                    ++written;
                }
            }
            stopsDone += written;
            routesDone += written > 0 ? 1 : 0;
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    bar.hide();
    ui.Message(
        fmt::format(
            "{}Sistemati {} percorsi.\nSistemate {} fermate.\n", kResults, routesDone, stopsDone),
        ui::Icon::Information);
    if (!errors.empty()) {
        offerCartographicReport(*connection, errors);
    }
    return ui::Outcome::Done;
}

ui::Outcome SpreadConventionalProgressives(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!proceed(ui, kSpreadQuestion)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);
    std::vector<std::pair<std::int32_t, std::int64_t>> routesRun;
    std::unordered_map<std::int32_t, RouteLengths> lengths;
    Compositions compositions;
    if (!readRoutesRun(*connection, routesRun) || !readRouteLengths(*connection, lengths) ||
        !readCompositions(*connection, "geodist", compositions)) {
        return ui::Outcome::Failed;
    }

    ui::ProgressBar bar(ui);
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    int routesDone = 0;
    std::vector<std::string> notSpread;
    {
        KeyedRowWriter writer(*connection, "fermitin");
        std::int64_t done = 0;
        for (const auto& [route, trips] : routesRun) {
            bar.set(++done, static_cast<std::int64_t>(routesRun.size()));
            const auto length = lengths.find(route);
            if (length == lengths.end()) {
                notSpread.push_back(fmt::format("Percorso ID={}: percorso inesistente", route));
                continue;
            }
            const auto stops = compositions.find(route);
            if (stops == compositions.end()) {
                continue;
            }
            int written = 0;
            bool spreadable = true;
            for (const CompositionStop& stop : stops->second) {
                const std::optional<double> spread =
                    SpreadProgressive(length->second, stop.value, &stop == &stops->second.front());
                if (!spread) {
                    spreadable = false;
                    break;
                }
                if (writer.write({route, stop.sub}, {{"condist", MetresText(*spread)}})) {
                    ++written;
                }
            }
            if (!spreadable) {
                notSpread.push_back(
                    fmt::format("Percorso ID={}: lunghezza cartografica nulla", route));
            }
            routesDone += written > 0 ? 1 : 0;
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    bar.hide();
    ui.Message(fmt::format("{}Sistemati {} percorsi.", kResults, routesDone),
               ui::Icon::Information);
    if (!notSpread.empty()) {
        std::string text(kRoutesNotSpread);
        for (std::size_t i = 0; i < notSpread.size() && i < kRoutesNamed; ++i) {
            text += notSpread[i] + "\n";
        }
        if (notSpread.size() > kRoutesNamed) {
            text += fmt::format("... e altri {} percorsi\n", notSpread.size() - kRoutesNamed);
        }
        ui.Message(text, ui::Icon::Exclamation);
    }
    return ui::Outcome::Done;
}

ui::Outcome FixTripLengths(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!proceed(ui, kLengthsQuestion)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);
    std::vector<std::pair<std::int32_t, std::int32_t>> trips;
    Compositions compositions;
    if (!readTrips(*connection, trips) || !readCompositions(*connection, "condist", compositions)) {
        return ui::Outcome::Failed;
    }
    ui::ProgressBar bar(ui);
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    const int updated = writeTripLengths(*connection, trips, compositions, bar);
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    bar.hide();
    ui.Message(fmt::format("{}Sistemate {} corse.", kResults, updated), ui::Icon::Information);
    return ui::Outcome::Done;
}

ui::Outcome AlignDistancesToCartographic(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!proceed(ui, kAlignQuestion)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);
    std::vector<std::pair<std::int32_t, std::int64_t>> routesRun;
    std::vector<std::pair<std::int32_t, std::int32_t>> trips;
    std::unordered_map<std::int32_t, RouteLengths> lengths;
    Compositions compositions;
    if (!readRoutesRun(*connection, routesRun) || !readTrips(*connection, trips) ||
        !readRouteLengths(*connection, lengths) ||
        !readCompositions(*connection, "geodist", compositions)) {
        return ui::Outcome::Failed;
    }

    ui::ProgressBar bar(ui);
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    // Each stop of a route run by k trips counts k progressives, as if written once per trip.
    std::int64_t progressives = 0;
    {
        KeyedRowWriter writer(*connection, "fermitin");
        for (const auto& [route, tripsOfRoute] : routesRun) {
            const auto stops = compositions.find(route);
            if (stops == compositions.end()) {
                continue;
            }
            for (const CompositionStop& stop : stops->second) {
                if (writer.write({route, stop.sub}, {{"condist", LengthText(stop.value)}})) {
                    progressives += tripsOfRoute;
                }
            }
        }
    }
    const int tripsDone = writeTripLengths(*connection, trips, compositions, bar);
    int routesDone = 0;
    {
        KeyedRowWriter writer(*connection, "itiner");
        for (const auto& [route, length] : lengths) {
            if (writer.write({route}, {{"conlung", LengthText(length.cartographic)}})) {
                ++routesDone;
            }
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    bar.hide();
    ui.Message(fmt::format("{}Sistemate {} corse.\nSistemate {} progressive.\nSistemati {} "
                           "itinerari.\n",
                           kResults,
                           tripsDone,
                           progressives,
                           routesDone),
               ui::Icon::Information);
    return ui::Outcome::Done;
}

} // namespace tramela::network
