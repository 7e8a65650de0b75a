// The code utilities and the clean-ups on the generated benchmark network (6,000 stops, 400
// routes of 40 stops with 300-vertex geometries, 2,000 standard trips, 40,000 trips with two
// periods and extended codes), each command timed on its own. Before the clean-ups the network
// gets what they remove: 500 standard trips and 100 routes nothing uses (40 stop rows each, the
// routes with geometry), 4,000 trips with a 2025 period; about 770 of the grid's stops are on no
// route. Target: every command under 1 s.

#include "bench_util.h"
#include "network_generator.h"
#include "store/database_connection.h"
#include "ui/scripted_ui.h"
#include "utilities/clean_ups.h"
#include "utilities/code_assignment.h"
#include "utilities/vehicle_type.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using namespace tramela;

struct Bench {
    workspace::Workspace& window;
    ui::ScriptedUi& ui;
    bool failed = false;

    // Runs one command with its answers and prints its time, the rows it was about and its
    // closing message (the last line of it).
    void run(const char* name,
             double rows,
             const std::function<void(ui::ScriptedUi&)>& answer,
             ui::Outcome (*command)(workspace::Workspace&)) {
        ui.clear();
        answer(ui);
        bench::Stopwatch watch;
        const ui::Outcome outcome = command(window);
        const double seconds = watch.seconds();
        bench::report(name, seconds, rows, "rows");
        std::string text =
            ui.messages().empty() ? std::string("(no message)") : ui.messages().back().text;
        for (char& c : text) {
            c = c == '\n' ? ' ' : c;
        }
        std::printf("    %s%s\n", text.c_str(), seconds < 1.0 ? "" : "  [over 1 s]");
        failed = failed || outcome != ui::Outcome::Done || seconds >= 1.0;
    }

    void sql(const std::string& statement) {
        std::string description;
        if (!window.connection()->execute(statement, &description)) {
            std::printf("set-up failed: %s\n", description.c_str());
            failed = true;
        }
    }
};

void proceed(ui::ScriptedUi& ui) {
    ui.answerConfirm("proceed", true);
}

} // namespace

int main() {
    const std::filesystem::path dir = bench::scratchFolder();
    const bench::NetworkSize size;
    bench::printWorkload(size);
    bench::generateNetwork(dir / "rete.sqlite", size);

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");
    Bench b{window, ui};
    const double trips = size.trips;

    b.run("assign-trip-codes", trips, proceed, utilities::AssignTripCodes);
    b.run("blank-trip-codes", trips, proceed, utilities::BlankTripCodes);
    b.run(
        "assign-contracts --any-line",
        trips,
        [](ui::ScriptedUi& answers) {
            answers.answerForm("assign-contracts",
                               ui::FormValues{{"any_line", "1"}, {"authority", "4"}});
        },
        utilities::AssignContracts);
    b.run(
        "assign-contracts --line L1",
        trips,
        [](ui::ScriptedUi& answers) {
            answers.answerForm("assign-contracts",
                               ui::FormValues{{"line", "L1"}, {"authority", "3"}});
        },
        utilities::AssignContracts);
    b.sql("DELETE FROM extcod WHERE id % 2 = 0");
    b.run(
        "assign-extcodes --any-line (half created)",
        trips,
        [](ui::ScriptedUi& answers) {
            answers.answerForm(
                "assign-extcodes",
                ui::FormValues{
                    {"any_line", "1"}, {"lot", "1"}, {"company", "42"}, {"subcontractor", "0"}});
        },
        utilities::AssignExtendedCodes);
    b.run("fix-subcontracts", trips, proceed, utilities::FixSubcontracts);
    // The generator gives a route trips of both directions; one direction per route here.
    b.sql("UPDATE corse SET verso = CASE id_perc % 2 WHEN 0 THEN 'A' ELSE 'R' END");
    b.run("assign-route-codes", trips, proceed, utilities::AssignRouteCodes);
    b.run(
        "assign-vehicle --type X",
        trips,
        [](ui::ScriptedUi& answers) { answers.answerForm("assign-vehicle", ui::FormValues{}); },
        utilities::AssignVehicleToCompany);
    b.run(
        "assign-vehicle --type T --line L1",
        trips,
        [](ui::ScriptedUi& answers) {
            answers.answerForm("assign-vehicle-line",
                               ui::FormValues{{"line", "L1"}, {"type", "Treno"}});
        },
        utilities::AssignVehicleToLine);
    b.run(
        "assign-vehicle --type W --authority 3",
        trips,
        [](ui::ScriptedUi& answers) {
            answers.answerForm("assign-vehicle-authority",
                               ui::FormValues{{"authority", "3"}, {"type", "Tramvia"}});
        },
        utilities::AssignVehicleToAuthority);

    b.sql(
        "BEGIN;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
        "INSERT INTO period SELECT i * 10, 'FER', '2025-01-01', '2025-12-31', 0 FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 100001 UNION ALL SELECT i + 1 FROM n WHERE i < 100500) "
        "INSERT INTO tesstd SELECT i, 1 FROM n;"
        "INSERT INTO detstd SELECT t.id, d.sub, d.fermata, d.arriva, d.parte, d.nonferma, d.fisso "
        "FROM tesstd t, detstd d WHERE t.id > 100000 AND d.id = 1;"
        "WITH RECURSIVE n(i) AS (SELECT 10001 UNION ALL SELECT i + 1 FROM n WHERE i < 10100) "
        "INSERT INTO itiner SELECT i, 'U' || i, 'Inutilizzato', 0, 0 FROM n;"
        "INSERT INTO fermitin SELECT r.id, f.sub, f.fermata, f.condist, f.geodist, f.primaria, "
        "f.facolt FROM itiner r, fermitin f WHERE r.id > 10000 AND f.id = 1;"
        "INSERT INTO geoitin SELECT r.id, g.punti, g.coord, g.minx, g.miny, g.maxx, g.maxy "
        "FROM itiner r, geoitin g WHERE r.id > 10000 AND g.id = 1;"
        "COMMIT;");
    b.run(
        "clean-period 01/01/2025 - 31/12/2025",
        4000,
        [](ui::ScriptedUi& answers) {
            answers.answerForm("clean-period",
                               ui::FormValues{{"start", "01/01/2025"}, {"end", "31/12/2025"}});
            answers.answerConfirm("proceed", true);
        },
        utilities::CleanPeriod);
    b.run(
        "clean-standard-trips",
        size.standardTrips + 500,
        [](ui::ScriptedUi&) {},
        utilities::CleanStandardTrips);
    b.run("clean-routes", size.routes + 100, proceed, utilities::CleanRoutes);
    b.run("clean-stops", size.stops, proceed, utilities::CleanStops);

    window.Shutdown();
    std::filesystem::remove_all(dir);
    std::printf("%s\n",
                b.failed ? "FAILED: a command failed or took 1 s or more" : "all under 1 s");
    return b.failed ? 1 : 0;
}
