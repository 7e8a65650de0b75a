// The XML communication on the generated benchmark network (6,000 stops, 400 routes of 40 stops
// with 300-vertex geometries, 2,000 standard trips, 40,000 trips over the 366 days of 2024):
// the export to a local uncompressed file, then to an LZMA package, and the packing step alone
// against `xz --format=lzma -6` on the same document in the same run.

#include "bench_util.h"
#include "comm/xml/lzma_package.h"
#include "comm/xml/xml_export.h"
#include "network_generator.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>

namespace {

using namespace tramela;

// One local export: the parameters dialog keeps its defaults (the header's year) but for the
// mode and the compression; the file dialog is answered with `document`.
void exportLocally(workspace::Workspace& window,
                   ui::ScriptedUi& ui,
                   const std::filesystem::path& document,
                   bool compress) {
    ui.clear();
    ui.answerForm("export-xml",
                  ui::FormValues{
                      {"mode", "generazione locale"},
                      {"compression", compress ? "compressione LZMA" : "non compresso"},
                  });
    ui.answerFile("file", document);
    comm::xml::exportVkzXml(window);
}

double megabytes(const std::filesystem::path& file) {
    return static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
}

} // namespace

int main() {
    const std::filesystem::path dir = bench::scratchFolder();
    const bench::NetworkSize size;
    std::printf("workload: %d stops, %d routes of %d stops and %d vertices, %d standard trips, "
                "%d trips with 2 periods, communication over 2024\n",
                size.stops,
                size.routes,
                size.stopsPerRoute,
                size.verticesPerRoute,
                size.standardTrips,
                size.trips);
    bench::generateNetwork(dir / "rete.sqlite", size);

    ui::ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");

    const std::filesystem::path document = dir / "Comunicazione.xml";
    bench::Stopwatch plain;
    exportLocally(window, ui, document, false);
    const double plainSeconds = plain.seconds();
    if (!std::filesystem::exists(document)) {
        std::printf("the export wrote nothing:\n");
        for (const auto& message : ui.messages()) {
            std::printf("%s\n", message.text.c_str());
        }
        return 1;
    }
    const double documentMb = megabytes(document);
    bench::report("export-xml, uncompressed", plainSeconds, documentMb, "MB");
    std::printf("%s\n", ui.messages().back().text.c_str());

    // The packing step alone, against xz on the same document.
    bench::Stopwatch packing;
    if (!comm::xml::packLzma(document, dir / "ours.lzma")) {
        std::printf("packing failed\n");
        return 1;
    }
    const double ourSeconds = packing.seconds();
    bench::report("packLzma", ourSeconds, documentMb, "MB");
    bench::Stopwatch xz;
    const int xzStatus = std::system(fmt::format("xz --format=lzma -6 -c '{}' > '{}'",
                                                 document.string(),
                                                 (dir / "xz.lzma").string())
                                         .c_str());
    const double xzSeconds = xz.seconds();
    if (xzStatus == 0) {
        bench::report("xz --format=lzma -6", xzSeconds, documentMb, "MB");
        std::printf("packLzma / xz: %.2f (target at most 1.2); sizes %.2f MB / %.2f MB\n",
                    ourSeconds / xzSeconds,
                    megabytes(dir / "ours.lzma"),
                    megabytes(dir / "xz.lzma"));
    } else {
        std::printf("xz is not available: no comparison\n");
    }

    bench::Stopwatch packed;
    exportLocally(window, ui, document, true);
    bench::report("export-xml with LZMA package", packed.seconds(), documentMb, "MB");
    window.Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
