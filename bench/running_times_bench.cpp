// The running-time utilities on generated networks: the floating times of every standard trip
// recomputed from the conventional progressives ("recompute-times"), then every trip's durations
// from its standard trip ("fix-durations"), each run as the command runs, in one transaction.
// Two networks: the generator's (400 routes of 40 stops, 2,000 standard trips, 40,000 trips) and
// a large city's (1,500 routes of 35 stops, 6,000 standard trips, 60,000 trips, one middle stop
// in eight with a fixed time). Target: recompute-times under 2 s on both.

#include "bench_util.h"
#include "network/running_times.h"
#include "network_generator.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace tramela;

void runOn(const std::filesystem::path& dir, const char* name, const bench::NetworkSize& size) {
    std::printf("\n%s: %d stops, %d routes of %d stops, %d standard trips (%d rows), %d trips\n",
                name,
                size.stops,
                size.routes,
                size.stopsPerRoute,
                size.standardTrips,
                size.standardTrips * size.stopsPerRoute,
                size.trips);
    const std::filesystem::path database = dir / (std::string(name) + ".sqlite");
    bench::Stopwatch generation;
    bench::generateNetwork(database, size);
    bench::report("generate the network", generation.seconds(), size.trips, "trips");

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(database);
    ui.clear();

    ui.answerConfirm("proceed", true);
    bench::Stopwatch recompute;
    const ui::Outcome recomputed = network::RecomputeTimes(window);
    bench::report("recompute-times", recompute.seconds(), size.trips, "trips");
    ui.answerConfirm("proceed", true);
    bench::Stopwatch durations;
    const ui::Outcome fixed = network::FixDurations(window);
    bench::report("fix-durations", durations.seconds(), size.trips, "trips");
    for (const auto& message : ui.messages()) {
        std::string text = message.text;
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::printf("  %s\n", text.c_str());
    }
    if (recomputed != ui::Outcome::Done || fixed != ui::Outcome::Done) {
        std::printf("  a command did not end done\n");
    }
    window.Shutdown();
}

} // namespace

int main() {
    const std::filesystem::path dir = bench::scratchFolder();
    runOn(dir, "generator", bench::NetworkSize{});
    bench::NetworkSize city;
    city.stops = 20000;
    city.routes = 1500;
    city.stopsPerRoute = 35;
    city.verticesPerRoute = 50;
    city.standardTrips = 6000;
    city.trips = 60000;
    city.fixedEvery = 8;
    runOn(dir, "city", city);
    std::filesystem::remove_all(dir);
    return 0;
}
