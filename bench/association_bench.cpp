// The stop-to-route association analysis (every stop against every route, both directions) on
// two generated networks: a large city (5,000 stops beside the streets of a 12 km square of
// 200 m blocks, 1,500 routes of 600 vertices walking those streets, many sharing each street)
// and the generator's corridors (6,000 stops on a 100 m grid, 400 zigzag routes of 300
// vertices). Each network is generated in a process of its own and analysed in another, so that
// each peak is the analysis's alone: the steps one by one, then the whole command with its full
// report. Target: under 5 s and 500 MB for each.

#include "bench_util.h"
#include "network/association_command.h"
#include "network/stop_association.h"
#include "network_generator.h"
#include "store/database_connection.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace tramela;

void analyse(const std::filesystem::path& database, const std::filesystem::path& dir) {
    ui::ScriptedUi ui;
    double pairs = 0.0;
    {
        store::DatabaseConnection connection(ui, database);
        network::StopAssociation association;
        bench::Stopwatch routes;
        network::ReadAnalysedRoutes(connection, association);
        bench::report("  read the routes and their geometries",
                      routes.seconds(),
                      static_cast<double>(association.routes().size()),
                      "routes");
        bench::Stopwatch reading;
        const auto stops = network::ReadRegisterStops(connection);
        bench::report(
            "  read the stops", reading.seconds(), static_cast<double>(stops->size()), "stops");
        pairs =
            static_cast<double>(stops->size()) * static_cast<double>(association.routes().size());
        bench::Stopwatch finding;
        association.findStops(*stops);
        bench::report(
            "  stops near each route, both directions", finding.seconds(), pairs, "stop-routes");
        bench::Stopwatch rest;
        association.sortItems();
        network::ReadCompositions(connection, association);
        association.settleSides();
        std::size_t items = 0;
        for (const network::AnalysedRoute& route : association.routes()) {
            items += route.items.size();
        }
        bench::report("  sort, compositions, side of the road",
                      rest.seconds(),
                      static_cast<double>(items),
                      "items");
    }

    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(database);
    ui.clear();
    ui.answerConfirm("report", true);
    ui.answerForm(std::string(network::kAssociationFormId), ui::FormValues{{"full", "1"}});
    ui.answerFile("report", dir / "ReportFermatePercorsi.txt");
    bench::Stopwatch whole;
    const ui::Outcome outcome = network::StopRouteAnalysis(window);
    bench::report("whole command with the full report", whole.seconds(), pairs, "stop-routes");
    std::printf(
        "  outcome %s, report %ju bytes\n",
        outcome == ui::Outcome::Done ? "done" : "NOT DONE",
        static_cast<std::uintmax_t>(std::filesystem::file_size(dir / "ReportFermatePercorsi.txt")));
    for (const auto& message : ui.messages()) {
        std::printf("  message: %s\n", message.text.c_str());
    }
    window.Shutdown();
}

} // namespace

int main() {
    const std::filesystem::path dir = bench::scratchFolder();

    bench::NetworkSize city;
    city.stops = 5000;
    city.routes = 1500;
    city.verticesPerRoute = 600;
    city.standardTrips = 1500;
    city.trips = 1500;
    city.layout = bench::NetworkLayout::City;
    bench::NetworkSize corridors;
    corridors.standardTrips = 400;
    corridors.trips = 400;

    const std::pair<const char*, bench::NetworkSize> networks[] = {
        {"large city", city}, {"generator's corridors", corridors}};
    bool sound = true;
    for (const auto& [name, size] : networks) {
        std::printf("%s: %d stops, %d routes of %d vertices\n",
                    name,
                    size.stops,
                    size.routes,
                    size.verticesPerRoute);
        const std::filesystem::path database = dir / "rete.sqlite";
        sound = bench::inChild([&] { bench::generateNetwork(database, size); }) && sound;
        sound = bench::inChild([&] { analyse(database, dir); }) && sound;
        std::filesystem::remove(database);
    }
    std::filesystem::remove_all(dir);
    return sound ? 0 : 1;
}
