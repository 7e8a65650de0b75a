// The timetable boards as HTML on the generated benchmark network (6,000 stops, 400 routes of 40
// stops, 2,000 standard trips, 40,000 trips with two periods each, a year's calendar): every
// route's page and the index, as `boards-html` writes them, into a temporary folder. Target:
// under 3 s and 300 MB.

#include "bench_util.h"
#include "network_generator.h"
#include "reports/boards/board_files.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main() {
    using namespace tramela;
    const std::filesystem::path dir = bench::scratchFolder();
    std::filesystem::create_directory(dir / "html");
    const bench::NetworkSize size;
    bench::printWorkload(size);
    // The network is generated in a child process, so that the peak memory printed is the
    // boards' own.
    if (!bench::inChild([&] { bench::generateNetwork(dir / "rete.sqlite", size); })) {
        std::printf("the network could not be generated\n");
        return 1;
    }

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    bool failed = false;
    {
        workspace::Workspace window(ui, settings);
        window.Startup(dir / "rete.sqlite");
        ui.clear();
        // The steps on their own: the board set read from the database, then every page drawn
        // in memory.
        {
            bench::Stopwatch watch;
            const std::optional<reports::BoardSet> set =
                reports::buildBoardSet(*window.connection());
            bench::report("board set read", watch.seconds(), size.trips, "trips");
            if (set) {
                const workspace::ReportTime time = workspace::ReportTime::now();
                bench::Stopwatch drawing;
                size_t lines = 0;
                for (const reports::Board& board : set->boards) {
                    lines += reports::htmlBoardPage(*set, board, time).size();
                }
                bench::report("pages drawn in memory", drawing.seconds(), size.trips, "trips");
                std::printf("    %zu boards, %zu lines\n", set->boards.size(), lines);
            }
        }
        ui.answerForm(std::string(reports::kBoardsSelectionFormId), ui::FormValues{});
        ui.answerFile(std::string(reports::kBoardsFolderKey), dir / "html" / "QuadriOrari.htm");
        bench::Stopwatch watch;
        const ui::Outcome outcome = reports::ExportHtmlBoards(window);
        const double seconds = watch.seconds();
        bench::report("boards-html (every route and INDEX.HTM)", seconds, size.trips, "trips");
        std::uintmax_t bytes = 0;
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "html")) {
            bytes += entry.file_size();
            ++files;
        }
        std::printf("    %s; %d files, %.1f MB\n",
                    ui.messages().empty() ? "(no message)" : ui.messages().back().text.c_str(),
                    files,
                    static_cast<double>(bytes) / 1e6);
        const double peak = bench::peakMemoryMegabytes();
        failed = outcome != ui::Outcome::Done || seconds >= 3.0 || peak >= 300.0;
        if (failed) {
            std::printf("    [target missed: under 3 s and 300 MB]\n");
        }
        window.Shutdown();
    }
    std::filesystem::remove_all(dir);
    return failed ? 1 : 0;
}
