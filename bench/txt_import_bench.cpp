// The text communication read back: the files the text export writes for the generated network
// of its benchmark (40,000 trips, 1.6 M lines of RT_DTORA.TXT) imported with the complete import
// into a fresh database holding the same cartography and registers. Reports the import.

#include "bench_util.h"
#include "comm/txt/record_importers.h"
#include "comm/txt/rt_writers.h"
#include "comm/txt/trip_import.h"
#include "network_generator.h"
#include "store/database_connection.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <sqlite3.h>
#include <unistd.h>

int main() {
    using namespace tramela;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tramela-import-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "out");
    const bench::NetworkSize size;
    std::printf("workload: the text files of %d trips (%d lines of RT_DTORA.TXT)\n",
                size.trips,
                size.trips * size.stopsPerRoute);
    bench::generateNetwork(dir / "rete.sqlite", size);
    ui::ScriptedUi ui;
    {
        store::DatabaseConnection connection(ui, dir / "rete.sqlite");
        comm::RecordExport run{
            connection, dir / "out", comm::masterCompanyCode(connection), {}, {}};
        comm::writeProtocolFile(run);
        comm::writeCadenceFile(run);
        comm::writeCalendarFile(run);
        comm::writeTripHeaderFile(run);
        comm::writeTripDetailFile(run);
        comm::writePeriodFile(run);
        comm::writeExtendedCodeFile(run);
    }
    // The same cartography and registers, the timetable emptied.
    sqlite3* db = nullptr;
    sqlite3_open((dir / "rete.sqlite").c_str(), &db);
    sqlite3_exec(db,
                 "BEGIN; DELETE FROM extcod; DELETE FROM period; DELETE FROM corse; "
                 "DELETE FROM detstd; DELETE FROM tesstd; DELETE FROM calend; DELETE FROM cadenz; "
                 "COMMIT; VACUUM;",
                 nullptr,
                 nullptr,
                 nullptr);
    sqlite3_close(db);

    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");
    ui.clear();
    ui.answerFile("rt_proto", dir / "out" / "RT_PROTO.TXT");
    ui.answerFile("rt_caden", dir / "out" / "RT_CADEN.TXT");
    for (int i = 0; i < 8; ++i) {
        ui.answerConfirm("proceed", true);
    }

    // The complete import's six steps, in its order, each timed on its own.
    struct Step {
        const char* name;
        ui::Outcome (*run)(workspace::Workspace&, bool);
    };

    const Step steps[] = {
        {"import RT_PROTO.TXT", comm::ImportProtocol},
        {"import RT_CADEN.TXT", comm::ImportCadences},
        {"import RT_CALEN.TXT", comm::ImportCalendar},
        {"import RT_HDORA.TXT + RT_DTORA.TXT", comm::ImportTrips},
        {"import RT_PERIOD.TXT", comm::ImportPeriods},
        {"import RT_EXTCOD.TXT", comm::ImportExtendedCodes},
    };
    bench::Stopwatch whole;
    bool done = true;
    for (const Step& step : steps) {
        bench::Stopwatch one;
        done = done && step.run(window, true) == ui::Outcome::Done;
        bench::report(step.name, one.seconds(), 1, "files");
    }
    bench::report(
        "complete import", whole.seconds(), size.trips * size.stopsPerRoute, "RT_DTORA lines");
    if (!ui.messages().empty()) {
        std::printf("%s\n", ui.messages().back().text.c_str());
    }
    window.Shutdown();
    std::filesystem::remove_all(dir);
    return done ? 0 : 1;
}
