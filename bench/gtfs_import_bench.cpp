// The GTFS import on a generated feed: 8,000 stops, 600 shapes of 400 points, 60,000 trips and
// 2.52 M stop times (42 stops a trip), two services over a year. Reports the generation and the
// import with the peak memory of the process.

#include "bench_util.h"
#include "comm/gtfs/gtfs_import.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kStops = 8000;
constexpr int kShapes = 600;
constexpr int kShapePoints = 400;
constexpr int kTrips = 60000;
constexpr int kStopsPerTrip = 42;
constexpr int kLines = 150;

double latitude(int stop) {
    return 45.30 + (stop / 100) * 0.0025;
}

double longitude(int stop) {
    return 11.00 + (stop % 100) * 0.0035;
}

// The stops of shape s: 42 consecutive stops of one row of the grid, a row further for every
// hundred shapes.
int stopOf(int shape, int position) {
    return (shape * 13) % (kStops - kStopsPerTrip) + position;
}

void writeFeed(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const auto open = [&](const char* name) { return std::fopen((dir / name).c_str(), "w"); };
    std::FILE* f = open("agency.txt");
    std::fprintf(f,
                 "agency_id,agency_name,agency_url,agency_timezone\nA,Autolinee Prova,"
                 "https://prova.invalid,Europe/Rome\n");
    std::fclose(f);
    f = open("calendar.txt");
    std::fprintf(f,
                 "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
                 "start_date,end_date\nFER,1,1,1,1,1,0,0,20250101,20251231\n"
                 "FES,0,0,0,0,0,1,1,20250101,20251231\n");
    std::fclose(f);
    f = open("stops.txt");
    std::fprintf(f, "stop_id,stop_code,stop_name,stop_desc,stop_lat,stop_lon\n");
    for (int s = 0; s < kStops; ++s) {
        std::fprintf(
            f, "S%d,F%05d,Fermata %d,Via %d,%.6f,%.6f\n", s, s, s, s, latitude(s), longitude(s));
    }
    std::fclose(f);
    f = open("routes.txt");
    std::fprintf(f, "route_id,agency_id,route_short_name,route_long_name,route_type\n");
    for (int r = 0; r < kLines; ++r) {
        std::fprintf(f, "R%d,A,%d,Linea %d,3\n", r, r + 1, r + 1);
    }
    std::fclose(f);
    f = open("shapes.txt");
    std::fprintf(f, "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\n");
    for (int s = 0; s < kShapes; ++s) {
        for (int p = 0; p < kShapePoints; ++p) {
            // The points run along the shape's stops, slightly off the straight line.
            const double t = static_cast<double>(p) * (kStopsPerTrip - 1) / (kShapePoints - 1);
            const int a = stopOf(s, static_cast<int>(t));
            const double k = t - static_cast<int>(t);
            const int b = stopOf(s, std::min(static_cast<int>(t) + 1, kStopsPerTrip - 1));
            std::fprintf(f,
                         "H%d,%.6f,%.6f,%d\n",
                         s,
                         latitude(a) + (latitude(b) - latitude(a)) * k + (p % 2) * 0.00005,
                         longitude(a) + (longitude(b) - longitude(a)) * k,
                         p + 1);
        }
    }
    std::fclose(f);
    std::FILE* trips = open("trips.txt");
    std::FILE* times = open("stop_times.txt");
    std::fprintf(trips, "route_id,service_id,trip_id,direction_id,shape_id\n");
    std::fprintf(times, "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n");
    for (int t = 0; t < kTrips; ++t) {
        const int shape = t % kShapes;
        std::fprintf(trips,
                     "R%d,%s,T%d,%d,H%d\n",
                     shape % kLines,
                     t % 5 == 0 ? "FES" : "FER",
                     t,
                     shape / kLines % 2,
                     shape);
        int clock = 5 * 60 + (t / kShapes) * 10; // minutes
        for (int p = 0; p < kStopsPerTrip; ++p) {
            std::fprintf(times,
                         "T%d,%02d:%02d:00,%02d:%02d:00,S%d,%d\n",
                         t,
                         clock / 60,
                         clock % 60,
                         clock / 60,
                         clock % 60,
                         stopOf(shape, p),
                         p + 1);
            clock += 2;
        }
    }
    std::fclose(trips);
    std::fclose(times);
}

} // namespace

int main() {
    using namespace tramela;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tramela-gtfs-" + std::to_string(::getpid()));
    std::printf("workload: %d stops, %d shapes of %d points, %d trips, %d stop times\n",
                kStops,
                kShapes,
                kShapePoints,
                kTrips,
                kTrips * kStopsPerTrip);
    bench::Stopwatch generation;
    writeFeed(dir / "feed");
    bench::report("write the feed", generation.seconds(), kTrips * kStopsPerTrip, "stop times");

    ui::ScriptedUi ui;
    store::createCartographyDatabase(ui, dir / "rete.sqlite");
    {
        store::DatabaseConnection connection(ui, dir / "rete.sqlite");
        store::RefreshDescriptors(connection);
    }
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");
    ui.clear();
    comm::gtfs::ImportOptions options;
    options.feed = dir / "feed";
    bench::Stopwatch import;
    const bool done = comm::gtfs::ImportGtfs(window, options);
    bench::report("import-gtfs", import.seconds(), kTrips * kStopsPerTrip, "stop times");
    std::printf("%s\n", done ? "imported" : "NOT imported");
    if (!ui.messages().empty()) {
        const std::string& text = ui.messages().back().text;
        std::printf("%s\n", text.substr(0, 1200).c_str());
    }
    window.Shutdown();
    std::filesystem::remove_all(dir);
    return done ? 0 : 1;
}
