// The composition window of one route on the generator's city: a route of 600 vertices with
// 40 stops among 5,000 stops. Each operation is what the user waits for after a click: opening
// the window (the list, the geometry and each stop's standing with the line), the stop picker
// (the four searches over every stop of the register and the offered list, then cancelled),
// the cartographic and conventional recomputes, and a reload. Target: under 0.3 s each.

#include "bench_util.h"
#include "network_generator.h"
#include "store/database_connection.h"
#include "ui/scripted_ui.h"
#include "views/composition_window.h"
#include "views/edit_window.h"

#include <cstdio>
#include <filesystem>

int main() {
    using namespace tramela;
    const std::filesystem::path dir = bench::scratchFolder();
    const std::filesystem::path database = dir / "city.sqlite";
    bench::NetworkSize size;
    size.layout = bench::NetworkLayout::City;
    size.stops = 5000;
    size.routes = 200;
    size.verticesPerRoute = 600;
    size.standardTrips = 200;
    size.trips = 2000;
    bench::generateNetwork(database, size);

    ui::ScriptedUi ui;
    {
        store::DatabaseConnection connection(ui, database);
        constexpr int kRounds = 20;
        double open = 0, picker = 0, cartographic = 0, conventional = 0, reload = 0;
        std::size_t offered = 0;
        std::size_t listed = 0;
        for (int round = 0; round < kRounds; ++round) {
            const network::RouteId route{1 + round};
            bench::Stopwatch opening;
            views::EditWindow window(connection, views::compositionWindow(route));
            if (!window.open()) {
                std::printf("the composition of route %d did not open\n", route.value);
                return 1;
            }
            open += opening.seconds();
            listed += window.entries().size();
            window.select(window.entries().size() / 2);
            ui.answerForm(std::string(views::kInsertStopForm), std::nullopt);
            bench::Stopwatch picking;
            window.special(views::kInsertStop);
            picker += picking.seconds();
            if (!ui.forms().empty()) {
                offered += ui.forms().back().field(views::kOfferedField)->entries.size();
            }
            bench::Stopwatch measuring;
            window.special(views::kRecomputeCartographic);
            cartographic += measuring.seconds();
            bench::Stopwatch spreading;
            window.special(views::kRecomputeConventional);
            conventional += spreading.seconds();
            bench::Stopwatch reloading;
            window.restore();
            reload += reloading.seconds();
            ui.clear();
        }
        std::printf("composition window, %d routes of the city (600 vertices, 5,000 stops), "
                    "mean per route:\n",
                    kRounds);
        bench::report("  open: list, geometry, standings", open / kRounds, 1, "windows");
        bench::report("  picker: four searches, offered list", picker / kRounds, 5000, "stops");
        std::printf("  (%.1f stops listed, %.1f offered per route)\n",
                    static_cast<double>(listed) / kRounds,
                    static_cast<double>(offered) / kRounds);
        bench::report("  recompute cartographic", cartographic / kRounds, 1, "routes");
        bench::report("  recompute conventional", conventional / kRounds, 1, "routes");
        bench::report("  restore and reload", reload / kRounds, 1, "windows");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
