// The text communication's export on a generated network: 6,000 stops, 400 routes of 40 stops
// with 300-vertex geometries, 2,000 standard trips, 40,000 trips with two periods each and
// extended codes (1.6 M lines of RT_DTORA.TXT). Reports RT_DTORA alone, then the whole export.

#include "bench_util.h"
#include "comm/txt/rt_writers.h"
#include "comm/txt/txt_export.h"
#include "network_generator.h"
#include "store/database_connection.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>

int main() {
    using namespace tramela;
    const std::filesystem::path dir = bench::scratchFolder();
    std::filesystem::create_directory(dir / "out");
    const bench::NetworkSize size;
    std::printf("workload: %d stops, %d routes of %d stops and %d vertices, %d standard trips, "
                "%d trips with 2 periods\n",
                size.stops,
                size.routes,
                size.stopsPerRoute,
                size.verticesPerRoute,
                size.standardTrips,
                size.trips);

    bench::Stopwatch generation;
    bench::generateNetwork(dir / "rete.sqlite", size);
    bench::report("generate the network", generation.seconds(), size.trips, "trips");

    ui::ScriptedUi ui;
    {
        store::DatabaseConnection connection(ui, dir / "rete.sqlite");
        comm::RecordExport run{
            connection, dir / "out", comm::masterCompanyCode(connection), {}, {}};
        bench::Stopwatch details;
        const long lines = comm::writeTripDetailFile(run).value_or(0);
        bench::report("RT_DTORA.TXT alone", details.seconds(), static_cast<double>(lines), "lines");
    }

    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");
    ui.clear();
    ui.answerFile("folder", dir / "out" / "RT_PROTO.TXT");
    bench::Stopwatch whole;
    comm::ExportTxt(window);
    bench::report("whole export (verification, 12 files, 2 shapefiles)",
                  whole.seconds(),
                  size.trips,
                  "trips");
    for (const auto& message : ui.messages()) {
        std::printf("%s\n", message.text.c_str());
    }
    window.Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
