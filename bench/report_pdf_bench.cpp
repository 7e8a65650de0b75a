// A 200-page report document written as PDF: the progressive-error register's seven columns on
// landscape A4 (38 rows a page), every other row shaded, texts of realistic length with accents.
// Prints the time to build the document, to draw it and to write it, and the peak memory.

#include "bench_util.h"
#include "pdf/pdf_writer.h"
#include "reports/report_document.h"
#include "ui/scripted_ui.h"

#include <ctime>
#include <filesystem>
#include <fmt/format.h>
#include <unistd.h>

using namespace tramela;

int main() {
    reports::ReportDocument document;
    document.title = "Rubrica Verifica Errori Progressive";
    document.heading = "Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"";
    document.subheading = {"Azienda 42 - Autolinee Corvasca Sud S.r.l. [periodo dal 01/01/2025 al "
                           "31/12/2025]"};
    document.printedAt = {7, 12, 2026, 14, 0};
    document.geometry = reports::PageGeometry::landscape();
    document.columns = {{"Percorso", 12},
                        {"Km Convenzionali", 13, reports::Align::Right},
                        {"Km Cartografici", 13, reports::Align::Right},
                        {"IDFerma", 9, reports::Align::Right},
                        {"Codice", 12},
                        {"Denominazione Fermata", 40},
                        {"Errore", 28}};
    const std::size_t rows = document.rowsPerPage() * 200;
    bench::Stopwatch building;
    for (std::size_t i = 0; i < rows; ++i) {
        document.rows.push_back(
            {{fmt::format("L{:03}A", i % 400),
              fmt::format("{:.3f}", 12.345 + static_cast<double>(i % 97)),
              fmt::format("{:.3f}", 12.512 + static_cast<double>(i % 89)),
              std::to_string(1000 + i),
              fmt::format("VAL{:04}", i % 6000),
              fmt::format("Università - Via Garibaldi {} (Borgo Alto)", i % 300),
              i % 3 == 0 ? "Progressiva Errata" : "Manca Cartografica"},
             i % 2 == 0 ? reports::Shading::White : reports::Shading::LightGrey});
    }
    bench::report("document of " + std::to_string(rows) + " rows",
                  building.seconds(),
                  static_cast<double>(rows),
                  "rows");
    bench::Stopwatch drawing;
    const std::clock_t cpuStart = std::clock();
    const std::optional<std::string> pdf = pdf::renderPdf(document);
    const double drawn = drawing.seconds();
    // On a shared machine the wall time counts the other processes' turns: the CPU time too.
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!pdf) {
        std::fprintf(stderr, "cairo failed\n");
        return 1;
    }
    bench::report(fmt::format("PDF of {} pages drawn ({:.1f} MB)",
                              reports::paginate(document).size(),
                              static_cast<double>(pdf->size()) / 1e6),
                  drawn,
                  200,
                  "pages");
    std::printf("%-48s %9.3f s of CPU\n", "PDF of 200 pages drawn", cpu);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / fmt::format("report_pdf_bench_{}.pdf", ::getpid());
    ui::ScriptedUi ui;
    bench::Stopwatch writing;
    const bool written = pdf::writePdf(document, file, ui);
    bench::report("PDF of 200 pages drawn and written", writing.seconds(), 200, "pages");
    std::filesystem::remove(file);
    return written ? 0 : 1;
}
