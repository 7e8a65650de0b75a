#include "comm/txt/txt_export.h"

#include "comm/txt/rt_writers.h"
#include "comm/txt/shapefile.h"
#include "comm/txt/side_files.h"
#include "comm/verification.h"
#include "store/database_connection.h"
#include "ui/progress_bar.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <fmt/format.h>

namespace tramela::comm {

namespace {

// Trips named one by one in the closing warning; beyond these, only how many more.
constexpr size_t kTripsNamed = 20;

ui::FileDialog folderDialog() {
    ui::FileDialog dialog;
    dialog.key = kFolderKey;
    dialog.title = "Selezione Cartella per Esportazione Comunicazione VKZ-TXT v1";
    dialog.initialName = "RT_PROTO";
    dialog.defaultExtension = "TXT";
    dialog.filters = {{"File TXT (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    dialog.confirmOverwrite = true;
    return dialog;
}

// What the export could not write as stored: trips whose stops and times cannot be paired, and
// texts that ISO-8859-1 cannot hold.
void closingWarning(ui::Ui& ui, const RecordExport& run) {
    if (!run.skippedTrips.empty()) {
        std::string text = fmt::format(
            "ATTENZIONE: {} corse non sono state esportate in RT_DTORA.TXT perché il loro "
            "percorso o la loro corsa standard manca, oppure i due elenchi di fermate hanno "
            "lunghezze diverse:\n\n",
            run.skippedTrips.size());
        for (size_t i = 0; i < run.skippedTrips.size() && i < kTripsNamed; ++i) {
            text += "Corsa " + run.skippedTrips[i] + "\n";
        }
        if (run.skippedTrips.size() > kTripsNamed) {
            text += fmt::format("... e altre {} corse\n", run.skippedTrips.size() - kTripsNamed);
        }
        ui.Message(text, ui::Icon::Exclamation);
    }
    if (run.encoder.changed() > 0) {
        ui.Message(fmt::format("{} testi contenevano caratteri che la codifica ISO-8859-1 non "
                               "rappresenta: sono stati traslitterati o sostituiti con \"?\".",
                               run.encoder.changed()),
                   ui::Icon::Information);
    }
}

} // namespace

ui::Outcome ExportTxt(workspace::Workspace& window) {
    store::DatabaseConnection& connection = *window.connection();
    ui::Ui& ui = window.ui();
    if (!checkMasterRecord(connection)) {
        return ui::Outcome::Failed;
    }
    window.ShowProgressCaption(kVerificationCaption);
    if (const ui::Outcome verified = runFormalVerification(connection, true, ExportKind::VkzTxt);
        verified != ui::Outcome::Done) {
        return verified;
    }
    const auto chosen = ui.SaveFile(folderDialog());
    if (!chosen) {
        return ui::Outcome::Cancelled;
    }
    // Every file goes into the chosen file's folder; a folder that is not there is said once, not
    // once for each of the files.
    if (!workspace::folderOfChosen(*chosen, ui)) {
        return ui::Outcome::Failed;
    }
    RecordExport run{connection, chosen->parent_path(), masterCompanyCode(connection), {}, {}};
    // The bar of the step being written; the detail file moves it trip by trip.
    ui::ProgressBar* stepBar = nullptr;
    run.progress = [&stepBar](long done, long total) {
        if (stepBar != nullptr) {
            stepBar->set(done, total);
        }
    };
    window.BeginBusy(true);

    struct Step {
        std::string_view caption;
        std::string_view summary;
        std::optional<long> (*write)(RecordExport&);
    };

    const Step steps[] = {
        {"Generazione RT_NODI.SHP",
         "Esportate {} Fermate in RT_NODI.SHP\n",
         [](RecordExport& r) {
             return writeStopShapefile(r.connection, r.folder, r.company, &r.encoder);
         }},
        {"Generazione RT_ITIN.SHP",
         "Esportati {} Percorsi in RT_ITIN.SHP\n",
         [](RecordExport& r) {
             return writeRouteShapefile(r.connection, r.folder, r.company, &r.encoder);
         }},
        {"Generazione RT_PROTO.TXT", "Esportate {} righe in RT_PROTO.TXT\n", writeProtocolFile},
        {"Generazione RT_CADEN.TXT", "Esportate {} righe in RT_CADEN.TXT\n", writeCadenceFile},
        {"Generazione RT_CALEN.TXT", "Esportate {} righe in RT_CALEN.TXT\n", writeCalendarFile},
        {"Generazione RT_HDORA.TXT", "Esportate {} righe in RT_HDORA.TXT\n", writeTripHeaderFile},
        {"Generazione RT_DTORA.TXT", "Esportate {} righe in RT_DTORA.TXT\n", writeTripDetailFile},
        {"Generazione RT_PERIOD.TXT", "Esportate {} righe in RT_PERIOD.TXT\n", writePeriodFile},
        {"Generazione RT_EXTCOD.TXT",
         "Esportate {} righe in RT_EXTCOD.TXT\n",
         writeExtendedCodeFile},
        {"Generazione FERMATE_NORMALIZZATE.TXT",
         "Esportate {} righe in FERMATE_NORMALIZZATE.TXT\n",
         [](RecordExport& r) {
             return writeNormalizedStopsFile(r.connection, r.folder, r.company, &r.encoder);
         }},
        {"Generazione FERMATE_NUVO.TXT",
         "Esportate {} righe in FERMATE_NUVO.TXT\n",
         [](RecordExport& r) {
             return writeNuvoStopsFile(r.connection, r.folder, r.company, &r.encoder);
         }},
        {"Generazione PERCORSI_NUVO.TXT",
         "Esportate {} righe in PERCORSI_NUVO.TXT\n",
         [](RecordExport& r) {
             return writeNuvoRoutesFile(r.connection, r.folder, r.company, &r.encoder);
         }},
    };
    std::string summary = "Risultati generazione Comunicazione VKZ-TXT v1:\n\n";
    bool complete = true;
    for (const Step& step : steps) {
        window.ShowProgressCaption(step.caption);
        ui::ProgressBar bar(ui);
        stepBar = &bar;
        const std::optional<long> written = step.write(run);
        stepBar = nullptr;
        // A file that could not be written has been reported, and is not counted as written.
        if (written) {
            summary += fmt::format(fmt::runtime(step.summary), *written);
        } else {
            complete = false;
            summary += fmt::format("Non è stato possibile generare {}\n",
                                   step.caption.substr(step.caption.find(' ') + 1));
        }
    }
    ui.Message(summary, complete ? ui::Icon::Information : ui::Icon::Stop);
    closingWarning(ui, run);
    return complete ? ui::Outcome::Done : ui::Outcome::Failed;
}

} // namespace tramela::comm
