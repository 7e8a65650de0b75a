// The timetable window of a route on the generator's network (400 routes of 40 stops, 2,000
// standard trips, 40,000 trips: about 100 trips a route): opening it, reloading it after a flag
// toggled on a standard trip (the change shown in every column that runs it), the validity filter
// (the running trips of one day over the whole network), a band of clones every 10 minutes from
// 05.00 to 23.00 (109 trips with their periods) and the assignment of the vehicle type to every
// trip of the route. Target: each step of the window under 0.5 s, as a planner waits for it.

#include "bench_util.h"
#include "network/standard_trips.h"
#include "network/trip_parameters.h"
#include "network_generator.h"
#include "store/query_cursor.h"
#include "ui/scripted_ui.h"
#include "views/timetable_window.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main() {
    using namespace tramela;
    const std::filesystem::path dir = bench::scratchFolder();
    const std::filesystem::path database = dir / "generator.sqlite";
    const bench::NetworkSize size;
    bench::Stopwatch generation;
    bench::generateNetwork(database, size);
    bench::report("generate the network", generation.seconds(), size.trips, "trips");

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace session(ui, settings);
    session.Startup(database);
    store::DatabaseConnection& connection = *session.connection();

    // The route with the most trips.
    std::int32_t route = 0;
    {
        store::QueryCursor busiest(connection);
        busiest.SetSelect("id_perc, COUNT(*) AS n");
        busiest.SetFrom("corse");
        busiest.SetGroupBy("id_perc");
        busiest.SetOrderBy("n DESC, id_perc");
        if (busiest.Execute()) {
            busiest.GetLong(0, route);
        }
    }
    views::TimetableWindow window(connection, route);
    bench::Stopwatch opening;
    const bool opened = window.open();
    const double trips = static_cast<double>(window.columns().size());
    bench::report("open the timetable", opening.seconds(), trips, "trips");
    std::printf("  route %d: %zu trips, %zu stops\n",
                route,
                window.columns().size(),
                window.stops().size());
    if (!opened || window.columns().empty()) {
        std::printf("  the window did not open\n");
        return 1;
    }

    window.selectTrip(0);
    window.selectStop(window.stops().size() / 2);
    bench::Stopwatch toggle;
    const bool toggled = window.run(views::timetable::kFixed);
    bench::report("fixed time toggled and reloaded", toggle.seconds(), trips, "trips");

    bench::Stopwatch filter;
    const bool filtered = window.setValidOn("15/05/2024");
    bench::report("validity filter (one day)", filter.seconds(), size.trips, "trips");
    std::printf("  %zu trips run on 15/05/2024\n", window.columns().size());
    window.setValidOn("");

    window.selectTrip(0);
    ui.answerForm(std::string(network::kBandFormId),
                  ui::FormValues{{"start", "05.00"}, {"end", "23.00"}, {"frequency", "10"}});
    bench::Stopwatch band;
    const bool banded = window.run(views::timetable::kCloneBand);
    bench::report("clone band 05.00-23.00 every 10", band.seconds(), 109, "trips");

    ui.answerForm(std::string(network::kTripParametersFormId),
                  ui::FormValues{{"set-line", "0"},
                                 {"set-authority", "0"},
                                 {"set-lot", "0"},
                                 {"set-company", "0"},
                                 {"set-subcontractor", "0"},
                                 {"vehicle", "Treno"}});
    bench::Stopwatch assign;
    const bool assigned = window.run(views::timetable::kParameters);
    bench::report(
        "vehicle assigned to the route", assign.seconds(), window.columns().size(), "trips");
    const bool closed = window.close();
    if (!toggled || !filtered || !banded || !assigned || !closed) {
        std::printf("  a step did not end done\n");
        for (const auto& message : ui.messages()) {
            std::printf("  %s\n", message.text.c_str());
        }
    }
    std::printf("peak memory: %.1f MB\n", bench::peakMemoryMegabytes());
    session.Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
