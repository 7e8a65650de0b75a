// Service-day extraction over a generated network: 50,000 trips with three periods each over a
// range of 365 days, a calendar of four cadences, extended codes for every trip, 500 routes of
// 20 stops and 2,000 standard trips.

#include "bench_util.h"
#include "calendar/service_days.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "ui/scripted_ui.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace tramela;

constexpr int kTrips = 50000;

// The range runs from 01/09/2024 to 31/08/2025. FER runs Monday to Saturday, FES on Sundays,
// SCO on school days (Monday to Friday, September to June), EST Monday to Saturday in July and
// August. Each trip has a granting period on FER or SCO over the whole range, a granting one on
// FES over part of it, and a withdrawal of FER over the Christmas holidays.
constexpr const char* kWorkload = R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)
INSERT INTO fermate (ID, fermata, denom) SELECT i, 'F' || i, 'Fermata ' || i FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)
INSERT INTO itiner (ID, codperc, denom) SELECT i, 'P' || i, 'Percorso ' || i FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9999)
INSERT INTO fermitin (ID, sub, fermata)
    SELECT i / 20 + 1, i % 20 + 1, ((i / 20) * 7 + (i % 20) * 13) % 5000 + 1 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)
INSERT INTO tesstd (id, id_perc) SELECT i, i % 500 + 1 FROM n;
INSERT INTO cadenz (codice, denom) VALUES ('FER', 'Feriale'), ('FES', 'Festivo'),
    ('SCO', 'Scolastico'), ('EST', 'Estivo');
WITH RECURSIVE days(d) AS (SELECT '2024-09-01' UNION ALL
    SELECT date(d, '+1 day') FROM days WHERE d < '2025-08-31')
INSERT INTO calend (data, caden, giorno, note)
    SELECT d, 'FER', '1', ' ' FROM days WHERE strftime('%w', d) <> '0'
    UNION ALL SELECT d, 'FES', '7', ' ' FROM days WHERE strftime('%w', d) = '0'
    UNION ALL SELECT d, 'SCO', '1', ' ' FROM days
        WHERE strftime('%w', d) NOT IN ('0', '6') AND strftime('%m', d) NOT IN ('07', '08')
    UNION ALL SELECT d, 'EST', '1', ' ' FROM days
        WHERE strftime('%w', d) <> '0' AND strftime('%m', d) IN ('07', '08');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000)
INSERT INTO corse (id, codcorsa, codlinea, verso, parte, ente, lung, tempo, ct_lung, ct_tempo,
    id_perc, standard)
    SELECT i, 'C' || i, 'L' || (i % 200), 'A', 600 + i % 1200, i % 300 + 1, 10000, 30, 10000,
        30, (i % 2000 + 1) % 500 + 1, i % 2000 + 1 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000)
INSERT INTO extcod (id, lotto, aziges, azisub) SELECT i, i % 22 + 1, i % 209 + 1, 0 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000)
INSERT INTO period (id, caden, inizio, fine, escluso)
    SELECT i, CASE i % 2 WHEN 0 THEN 'FER' ELSE 'SCO' END, '2024-09-01', '2025-08-31', 0 FROM n
    UNION ALL SELECT i, 'FES', date('2024-09-01', '+' || (i % 120) || ' days'), '2025-06-30', 0
        FROM n
    UNION ALL SELECT i, 'FER', '2024-12-23', '2025-01-06', 1 FROM n;
)sql";

} // namespace

int main() {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("tramela_service_days_" + std::to_string(getpid()) + ".sqlite");
    ui::ScriptedUi ui;
    if (!store::createCartographyDatabase(ui, path)) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        return 1;
    }
    int status = 0;
    {
        store::DatabaseConnection connection(ui, path);
        if (!connection.IsOpen() || !store::RefreshDescriptors(connection)) {
            std::fprintf(stderr, "cannot build the tables\n");
            return 1;
        }

        bench::Stopwatch generation;
        connection.BeginTrans();
        std::string description;
        if (!connection.execute(kWorkload, &description)) {
            std::fprintf(stderr, "workload: %s\n", description.c_str());
            return 1;
        }
        connection.CommitTrans();
        std::printf("workload: %d trips, %d periods, 365 days, 4 cadences\n", kTrips, 3 * kTrips);
        bench::report(
            "generate trips, codes and periods", generation.seconds(), 5.0 * kTrips, "rows");

        ui.clear();
        bench::Stopwatch watch;
        const auto extraction = calendar::ServiceDayExtraction::Run(
            connection, Date{2024, 9, 1}, Date{2025, 8, 31}, calendar::SelectionFilters{});
        const double seconds = watch.seconds();
        if (!extraction) {
            std::fprintf(stderr,
                         "extraction failed: %s\n",
                         ui.messages().empty() ? "" : ui.messages().back().text.c_str());
            status = 1;
        } else {
            long active = 0;
            long runningDays = 0;
            for (const auto& trip : extraction->trips()) {
                active += trip.active ? 1 : 0;
                for (char day : extraction->dayVector(trip.id)) {
                    runningDays += day == 'S' ? 1 : 0;
                }
            }
            std::printf("selected %zu trips, %ld active, %ld running days\n",
                        extraction->trips().size(),
                        active,
                        runningDays);
            bench::report("service-day extraction (9 steps)", seconds, kTrips, "trips");
            bench::report("service-day extraction, period rows", seconds, 3.0 * kTrips, "rows");
        }
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
    return status;
}
