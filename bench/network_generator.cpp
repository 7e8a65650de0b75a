#include "network_generator.h"

#include "network/geometry_codec.h"
#include "network/route_polyline.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "ui/scripted_ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fmt/format.h>
#include <random>
#include <sqlite3.h>
#include <vector>

namespace tramela::bench {

namespace {

void run(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "generator: %s\n", error != nullptr ? error : "?");
        std::exit(1);
    }
}

// A zigzag of its own for each route, 60 m a step, 25 m wide.
std::vector<network::Point> zigzag(int count, int route) {
    const double x0 = (route % 50) * 400.0;
    const double y0 = (route / 50) * 400.0;
    std::vector<network::Point> vertices(static_cast<size_t>(count));
    for (int v = 0; v < count; ++v) {
        vertices[static_cast<size_t>(v)] = {x0 + v * 60.0, y0 + (v % 2) * 25.0};
    }
    return vertices;
}

// The place of stop `id` on the grid, as the stops are inserted.
network::Point stopPlace(int id) {
    return {(id % 100) * 100.0, (id / 100) * 100.0};
}

// A vertex at each stop of the route, in order, and the vertices left spread evenly over the
// stretches between stops, each 6 m off the straight line, alternately on either side.
std::vector<network::Point> verticesThroughStops(const NetworkSize& size, int route) {
    const int per = size.stopsPerRoute;
    const int gaps = std::max(per - 1, 1);
    const int extra = std::max(size.verticesPerRoute - per, 0);
    std::vector<network::Point> vertices;
    vertices.reserve(static_cast<size_t>(std::max(size.verticesPerRoute, per)));
    for (int k = 0; k < per; ++k) {
        const network::Point stop = stopPlace(((route - 1) * 13 + k) % size.stops + 1);
        vertices.push_back(stop);
        if (k + 1 == per) {
            break;
        }
        const network::Point next = stopPlace(((route - 1) * 13 + k + 1) % size.stops + 1);
        const int between = extra / gaps + (k < extra % gaps ? 1 : 0);
        const double dx = next.x - stop.x;
        const double dy = next.y - stop.y;
        const double length = std::max(std::hypot(dx, dy), 1.0);
        for (int j = 1; j <= between; ++j) {
            const double t = static_cast<double>(j) / (between + 1);
            const double side = (j % 2 == 0 ? 6.0 : -6.0) / length;
            vertices.push_back({stop.x + t * dx - side * dy, stop.y + t * dy + side * dx});
        }
    }
    return vertices;
}

// A walk along the streets of the city (200 m blocks, 12 km square): a vertex every 25 m, at each
// crossing straight on or turning, never back, never out of the city.
void cityWalk(std::mt19937& random, std::vector<network::Point>& vertices) {
    constexpr int kBlocks = 60;       // streets 0 ... 60, 200 m apart
    constexpr int kStepsPerBlock = 8; // 25 m a step
    constexpr int kSide = kBlocks * kStepsPerBlock;
    std::uniform_int_distribution<int> street(0, kBlocks);
    int x = street(random) * kStepsPerBlock;
    int y = street(random) * kStepsPerBlock;
    int dx = 1;
    int dy = 0;
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        vertices[v] = {x * 25.0, y * 25.0};
        if (x % kStepsPerBlock == 0 && y % kStepsPerBlock == 0) {
            const int choice = static_cast<int>(random() % 5);
            if (choice == 3) {
                std::swap(dx, dy);
                dx = -dx;
            } else if (choice == 4) {
                std::swap(dx, dy);
                dy = -dy;
            }
            // At the edge of the city: to the left, or round again at a corner.
            while (x + dx < 0 || x + dx > kSide || y + dy < 0 || y + dy > kSide) {
                std::swap(dx, dy);
                dx = -dx;
            }
        }
        x += dx;
        y += dy;
    }
}

// Stops beside the city's streets: on a random street, 6 to 14 m to one side of it.
void placeCityStops(sqlite3* db, int stops) {
    std::mt19937 random(5000);
    std::uniform_real_distribution<double> along(0.0, 12000.0);
    std::uniform_real_distribution<double> aside(6.0, 14.0);
    std::uniform_int_distribution<int> street(0, 60);
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(
        db, "UPDATE fermate SET coord_x = ?1, coord_y = ?2 WHERE ID = ?3", -1, &update, nullptr);
    for (int i = 1; i <= stops; ++i) {
        const double offset = (random() % 2 == 0 ? 1.0 : -1.0) * aside(random);
        const double position = along(random);
        const double line = street(random) * 200.0;
        const bool horizontal = random() % 2 == 0;
        sqlite3_bind_double(update, 1, horizontal ? position : line + offset);
        sqlite3_bind_double(update, 2, horizontal ? line + offset : position);
        sqlite3_bind_int(update, 3, i);
        sqlite3_step(update);
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
}

} // namespace

void generateNetwork(const std::filesystem::path& path, const NetworkSize& size) {
    ui::ScriptedUi quiet;
    std::filesystem::remove(path);
    if (!store::createCartographyDatabase(quiet, path)) {
        std::fprintf(stderr, "generator: cannot create %s\n", path.c_str());
        std::exit(1);
    }
    {
        store::DatabaseConnection connection(quiet, path);
        store::RefreshDescriptors(connection);
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    run(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN");
    // Stops on a grid 100 m apart; route r visits stopsPerRoute consecutive stops of the grid.
    run(db,
        fmt::format(R"sql(
INSERT INTO master VALUES (0, 42, '2024-03-01', 7, 'Ufficio Esercizio', '2024-01-01', '2024-12-31');
INSERT INTO local VALUES (1, 'Valmora', '099001');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {stops})
INSERT INTO fermate SELECT i, printf('F%05d', i), 'Fermata ' || i, 'Via ' || i,
    (i % 100) * 100.0, (i / 100) * 100.0, 1 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {routes})
INSERT INTO itiner SELECT i, printf('P%04d', i), 'Percorso ' || i, {length}, {length} FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < {routes} * {per} - 1)
INSERT INTO fermitin SELECT i / {per} + 1, i % {per} + 1,
    ((i / {per}) * 13 + i % {per}) % {stops} + 1, (i % {per}) * 500.0, (i % {per}) * 500.0,
    (i % {per}) IN (0, {per} - 1), 0 FROM n;
INSERT INTO cadenz VALUES ('FER', 'Feriale'), ('FES', 'Festivo');
WITH RECURSIVE days(d) AS (SELECT '2024-01-01' UNION ALL
    SELECT date(d, '+1 day') FROM days WHERE d < '2024-12-31')
INSERT INTO calend SELECT d, CASE strftime('%w', d) WHEN '0' THEN 'FES' ELSE 'FER' END,
    CASE strftime('%w', d) WHEN '0' THEN '7' ELSE strftime('%w', d) END, ' ' FROM days;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {standards})
INSERT INTO tesstd SELECT i, (i - 1) % {routes} + 1 FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < {standards} * {per} - 1)
INSERT INTO detstd SELECT i / {per} + 1, i % {per} + 1,
    ((i / {per}) % {routes} * 13 + i % {per}) % {stops} + 1,
    (i % {per}) * 2, (i % {per}) * 2 + CASE WHEN i % {per} IN (0, {per} - 1) THEN 0 ELSE 1 END,
    0, {fixed} > 0 AND i % {per} NOT IN (0, {per} - 1) AND i % {per} % MAX({fixed}, 1) = 0
    FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {trips})
INSERT INTO corse SELECT i, 'C' || i, 'L' || ((i - 1) % {standards} % {routes} / 4 + 1),
    CASE i % 2 WHEN 0 THEN 'A' ELSE 'R' END, 500 + (i % 18) * 100 + i % 60, 3, {length}, 80,
    {length}, 80, ((i - 1) % {standards}) % {routes} + 1, (i - 1) % {standards} + 1, 'U',
    NULL, NULL FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {trips})
INSERT INTO period SELECT i, 'FER', '2024-01-01', '2024-12-31', 0 FROM n
    UNION ALL SELECT i, 'FER', '2024-08-05', '2024-08-25', 1 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {trips})
INSERT INTO extcod SELECT i, 1, 42, 42 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {lines})
INSERT INTO reglinee SELECT 1, i, 3, printf('S%03d', i), 'Linea ' || i, 'Capolinea - Capolinea'
    FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {lines})
INSERT INTO reglklin SELECT 'L' || i, 1, i FROM n;
)sql",
                    fmt::arg("stops", size.stops),
                    fmt::arg("routes", size.routes),
                    fmt::arg("per", size.stopsPerRoute),
                    fmt::arg("length", (size.stopsPerRoute - 1) * 500),
                    fmt::arg("standards", size.standardTrips),
                    fmt::arg("trips", size.trips),
                    fmt::arg("fixed", size.fixedEvery),
                    fmt::arg("lines", (std::min(size.standardTrips, size.routes) - 1) / 4 + 1)));
    if (size.layout == NetworkLayout::City) {
        placeCityStops(db, size.stops);
    }
    // Each geometry winds along its route: a zigzag of the given number of vertices, or a walk
    // along the city's streets.
    sqlite3_stmt* geometry = nullptr;
    sqlite3_prepare_v2(
        db, "INSERT INTO geoitin VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)", -1, &geometry, nullptr);
    std::vector<network::Point> vertices;
    for (int route = 1; route <= size.routes; ++route) {
        if (size.layout == NetworkLayout::City) {
            vertices.assign(static_cast<size_t>(size.verticesPerRoute), network::Point{});
            std::mt19937 random(static_cast<unsigned>(route));
            cityWalk(random, vertices);
        } else {
            vertices = size.geometryThroughStops ? verticesThroughStops(size, route)
                                                 : zigzag(size.verticesPerRoute, route);
        }
        network::RoutePolyline polyline(vertices, network::Box{});
        polyline.RecomputeBox();
        const network::Box box = polyline.box();
        const std::vector<unsigned char> blob = network::encodeCoord(vertices);
        sqlite3_bind_int(geometry, 1, route);
        sqlite3_bind_int(geometry, 2, static_cast<int>(vertices.size()));
        sqlite3_bind_blob(
            geometry, 3, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(geometry, 4, box.minX);
        sqlite3_bind_double(geometry, 5, box.minY);
        sqlite3_bind_double(geometry, 6, box.maxX);
        sqlite3_bind_double(geometry, 7, box.maxY);
        sqlite3_step(geometry);
        sqlite3_reset(geometry);
    }
    sqlite3_finalize(geometry);
    run(db, "COMMIT");
    sqlite3_close(db);
}

void printWorkload(const NetworkSize& size) {
    std::printf("workload: %d stops, %d routes of %d stops, %d standard trips, %d trips\n",
                size.stops,
                size.routes,
                size.stopsPerRoute,
                size.standardTrips,
                size.trips);
}

} // namespace tramela::bench
