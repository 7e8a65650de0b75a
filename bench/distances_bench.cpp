// The whole-database distance utilities on two generated networks whose route geometries run
// through their stops: the generator's network (6,000 stops, 400 routes of 40 stops and 300
// vertices, 40,000 trips) and a large city's (5,000 stops, 1,500 routes of 40 stops and 600
// vertices, 60,000 trips). Each command runs once, confirmed, in the order a user would run
// them: recompute-cartographic, spread-progressives, fix-lengths, align-distances.

#include "bench_util.h"
#include "network/progressive_commands.h"
#include "network_generator.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace tramela;

void runNetwork(const std::filesystem::path& dir, const char* name, bench::NetworkSize size) {
    size.geometryThroughStops = true;
    const double stopsOfRoutes = static_cast<double>(size.routes) * size.stopsPerRoute;
    std::printf("\n%s: %d stops, %d routes of %d stops and %d vertices, %d trips\n",
                name,
                size.stops,
                size.routes,
                size.stopsPerRoute,
                size.verticesPerRoute,
                size.trips);
    const std::filesystem::path database = dir / (std::string(name) + ".sqlite");
    bench::Stopwatch generation;
    bench::generateNetwork(database, size);
    bench::report("generate the network", generation.seconds(), size.trips, "trips");

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(database);

    struct Step {
        const char* what;
        ui::Outcome (*command)(workspace::Workspace&);
        double rows;
        const char* unit;
    };

    const Step steps[] = {
        {"recompute-cartographic (target < 2 s)",
         network::RecomputeCartographicProgressives,
         stopsOfRoutes,
         "stops"},
        {"spread-progressives", network::SpreadConventionalProgressives, stopsOfRoutes, "stops"},
        {"fix-lengths (target < 2 s)",
         network::FixTripLengths,
         static_cast<double>(size.trips),
         "trips"},
        {"align-distances (target < 2 s)",
         network::AlignDistancesToCartographic,
         stopsOfRoutes + size.trips + size.routes,
         "rows"},
    };
    for (const Step& step : steps) {
        ui.clear();
        ui.answerConfirm("proceed", true);
        bench::Stopwatch watch;
        const ui::Outcome outcome = step.command(window);
        bench::report(step.what, watch.seconds(), step.rows, step.unit);
        if (outcome != ui::Outcome::Done) {
            std::printf("  not done\n");
        }
        if (ui.confirmations().size() > 1) {
            std::printf("  errors found: the report was offered\n");
        }
        if (const auto last = ui.lastMessage()) {
            std::string text = last->text;
            for (char& c : text) {
                c = c == '\n' ? ' ' : c;
            }
            std::printf("  %s\n", text.c_str());
        }
    }
    window.Shutdown();
}

} // namespace

int main() {
    const std::filesystem::path dir = bench::scratchFolder();
    runNetwork(dir, "generator", tramela::bench::NetworkSize{});
    tramela::bench::NetworkSize city;
    city.stops = 5000;
    city.routes = 1500;
    city.verticesPerRoute = 600;
    city.trips = 60000;
    runNetwork(dir, "large-city", city);
    std::filesystem::remove_all(dir);
    return 0;
}
