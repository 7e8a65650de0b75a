// The differential analysis and the contract totals on the generated benchmark network (6,000
// stops, 400 routes of 40 stops, 2,000 standard trips, 40,000 trips with two periods and
// extended codes, a calendar of 2024). Trip i runs standard trip (i - 1) % 2000 + 1, so the
// trips of one block of 2,000 identifiers share their standard trips with every other block.
// Before the analysis the trips of one block in four end on 30/06/2024 and those of the next
// block start on 01/07/2024 at the departure of the ceased trip 2,000 before them: a quarter of
// these unchanged, a quarter five minutes later, a quarter half an hour later (which no pass
// links). So 10,000 trips cease, 10,000 are new, and the heuristic runs every pass over them.
// Targets: the differential of the two halves of 2024 under 5 s, the contract totals (report,
// text export and printed document) under 2 s.

#include "bench_util.h"
#include "network_generator.h"
#include "reports/analysis/contracts.h"
#include "reports/analysis/differential.h"
#include "store/database_connection.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main() {
    using namespace tramela;
    const std::filesystem::path dir = bench::scratchFolder();
    const bench::NetworkSize size;
    bench::printWorkload(size);
    bench::generateNetwork(dir / "rete.sqlite", size);

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");
    bool failed = !window.isConnected();
    std::string description;
    failed = failed || !window.connection()->execute(
                           "UPDATE period SET fine = '2024-06-30' "
                           "WHERE (id - 1) / 2000 % 4 = 0 AND escluso = 0;"
                           "UPDATE period SET inizio = '2024-07-01' "
                           "WHERE (id - 1) / 2000 % 4 = 1 AND escluso = 0;"
                           "UPDATE corse SET parte = (SELECT c.parte FROM corse AS c "
                           "WHERE c.id = corse.id - 2000) WHERE (id - 1) / 2000 % 4 = 1;"
                           "UPDATE corse SET parte = parte + 5 "
                           "WHERE (id - 1) / 2000 % 4 = 1 AND id % 4 = 1 AND parte % 100 < 50;"
                           "UPDATE corse SET parte = parte + 30 "
                           "WHERE (id - 1) / 2000 % 4 = 1 AND id % 4 = 2 AND parte % 100 < 25;",
                           &description);
    if (failed) {
        std::printf("set-up failed: %s\n", description.c_str());
        return 1;
    }

    reports::ServicePeriods periods{{2024, 1, 1}, {2024, 6, 30}, {2024, 7, 1}, {2024, 12, 31}};
    bench::Stopwatch differentialWatch;
    const auto counts = reports::writeDifferentialAnalysis(*window.connection(), periods, dir);
    const double differentialSeconds = differentialWatch.seconds();
    bench::report("differential (two halves of 2024)", differentialSeconds, size.trips, "trips");
    if (counts) {
        std::printf("    %ld confirmed, %ld ceased, %ld new, %ld replaced%s\n",
                    counts->confirmed,
                    counts->ceased,
                    counts->added,
                    counts->replaced,
                    differentialSeconds < 5.0 ? "" : "  [over 5 s]");
    }
    failed = failed || !counts || differentialSeconds >= 5.0;

    bench::Stopwatch contractWatch;
    const auto report = reports::buildContractReport(*window.connection(), {});
    const std::string text =
        report ? reports::contractText(*report, workspace::ReportTime::now()) : std::string();
    const reports::ReportDocument document =
        report ? reports::contractDocument({}, *report) : reports::ReportDocument();
    const double contractSeconds = contractWatch.seconds();
    bench::report(
        "contract totals (every trip, text and document)", contractSeconds, size.trips, "trips");
    std::printf("    %zu agencies, %zu bytes of text, %zu rows on %zu pages%s\n",
                report ? report->agencies.size() : 0,
                text.size(),
                document.rows.size(),
                reports::paginate(document).size(),
                contractSeconds < 2.0 ? "" : "  [over 2 s]");
    failed = failed || !report || contractSeconds >= 2.0;

    std::filesystem::remove_all(dir);
    return failed ? 1 : 0;
}
