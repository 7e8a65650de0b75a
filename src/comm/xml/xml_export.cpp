#include "comm/xml/xml_export.h"

#include "calendar/service_days.h"
#include "comm/verification.h"
#include "comm/xml/export_parameters.h"
#include "comm/xml/http_upload.h"
#include "comm/xml/lzma_package.h"
#include "comm/xml/secure_send.h"
#include "comm/xml/server_answer.h"
#include "comm/xml/server_config.h"
#include "comm/xml/server_settings.h"
#include "comm/xml/xml_writer.h"
#include "ui/ui.h"
#include "workspace/company_header.h"
#include "workspace/settings.h"
#include "workspace/typed_date.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <ctime>
#include <fmt/format.h>
#include <system_error>
#include <unistd.h>

namespace tramela::comm::xml {

namespace {

constexpr std::string_view kPackingCaption = "Compressione LZMA Comunicazione";
constexpr std::string_view kSendingCaption = "Invio telematico della Comunicazione";
constexpr std::string_view kPackingFailed = "Impossibile comprimere in formato LZMA";

std::string_view transmissionCaption(const UploadParameters& parameters) {
    return parameters.useHttps ? "Trasmissione telematica via HTTPS [sicura e criptata]"
                               : "Trasmissione telematica via HTTP [non protetta]";
}

Date today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// The master row's period, the parameters dialog's default window; today when a date is
// missing (the master check has already refused an incomplete header).
std::pair<Date, Date> headerPeriod(store::DatabaseConnection& connection) {
    std::pair<Date, Date> period{today(), today()};
    if (const auto header = workspace::ReadCompanyHeader(connection)) {
        if (const auto start = workspace::parseTypedDate(header->start)) {
            period.first = *start;
        }
        if (const auto end = workspace::parseTypedDate(header->end)) {
            period.second = *end;
        }
    }
    return period;
}

std::string countsText(const SectionCounts& counts) {
    return fmt::format("Risultati Esportazione Comunicazione VkzXml:\n\n"
                       "Esportate {} righe Protocollo\n"
                       "Esportate {} Fermate\n"
                       "Esportate {} Percorsi\n"
                       "Esportate {} Cadenze\n"
                       "Esportate {} Cadenze-Giorno Calendario\n"
                       "Esportate {} Corse\n",
                       counts.protocol,
                       counts.stops,
                       counts.routes,
                       counts.cadences,
                       counts.calendarDays,
                       counts.trips);
}

ui::FileDialog exportFileDialog() {
    ui::FileDialog dialog;
    dialog.key = kDocumentKey;
    dialog.title = "Selezione File Esportazione Comunicazione VkzXml";
    dialog.defaultExtension = "xml";
    dialog.initialName = "Comunicazione.xml";
    dialog.filters = {{"Comunicazione VkzXml (*.xml)", "*.xml"}, {"Tutti i files (*.*)", "*"}};
    dialog.confirmOverwrite = true;
    return dialog;
}

ui::FileDialog externalFileDialog() {
    ui::FileDialog dialog;
    dialog.key = kDocumentKey;
    dialog.title = "Selezione file XML";
    dialog.defaultExtension = "XML";
    dialog.initialName = "Comunicazione.xml";
    dialog.filters = {{"XML file (*.xml)", "*.xml"}, {"Tutti i files (*.*)", "*"}};
    dialog.mustExist = true;
    return dialog;
}

constexpr std::string_view kExternalWarning =
    "ATTENZIONE: questa funzione deve essere utilizzata solo dalle Aziende che producono\n"
    "internamente ed autonomamente il flusso XML di Comunicazione a partire dal proprio\n"
    "Sistema Gestionale Aziendale.\n\n"
    "La funzione consente di:\n"
    "\t- acquisire il flusso XML prodotto esternamente\n"
    "\t- procedere alla compressione LZMA\n"
    "\t- trasmettere il risultato al server SIRVENTA in modalità cifrata HTTPS/SSL con "
    "certificato X509\n\n"
    "Intendi procedere comunque ?";

} // namespace

ConnectionChoice chooseConnection(ui::Ui& ui, workspace::Settings& settings) {
    // Without any configuration, or with a name that is not stored, the dialogs refuse (and
    // say so): that is a failure, not a cancellation.
    const std::vector<std::string> names = configurationNames(settings);
    const auto name = chooseConfiguration(ui, settings);
    if (!name) {
        return {std::nullopt, names.empty() ? ui::Outcome::Failed : ui::Outcome::Cancelled};
    }
    auto parameters = editConnectionParameters(ui, settings, *name);
    if (!parameters) {
        const bool stored = std::find(names.begin(), names.end(), *name) != names.end();
        return {std::nullopt, stored ? ui::Outcome::Cancelled : ui::Outcome::Failed};
    }
    if (parameters->needsCert && !testCertificate(ui, settings, *parameters)) {
        return {std::nullopt, ui::Outcome::Failed};
    }
    return {std::move(parameters), ui::Outcome::Done};
}

bool transmitCommunication(ui::Ui& ui,
                           workspace::Settings& settings,
                           const UploadParameters& parameters,
                           const std::filesystem::path& document) {
    ui.ProgressCaption(kPackingCaption);
    ui.Progress(0);
    const std::filesystem::path package = fmt::format("tmp_{}.lzma", ::getpid());
    const bool packed = packLzma(document, package, [&ui](int percent) { ui.Progress(percent); });
    ui.Progress(-1);
    if (!packed) {
        ui.Message(kPackingFailed, ui::Icon::Stop);
        return false;
    }
    ui.ProgressCaption(kSendingCaption);
    ui.Progress(0);
    const TransferResult result = parameters.useHttps
                                      ? sendSecureUpload(ui, settings, parameters, package)
                                      : sendHttpUpload(ui, parameters, package);
    ui.Progress(-1);
    removeQuietly(package);
    return showOutcome(ui, result);
}

std::filesystem::path packagePathFor(const std::filesystem::path& document) {
    std::filesystem::path package = document;
    package.replace_extension(".lzma");
    if (package == document) {
        package += ".lzma"; // a document named .lzma itself is never packed over
    }
    return package;
}

ui::Outcome exportVkzXml(workspace::Workspace& window) {
    store::DatabaseConnection& connection = *window.connection();
    ui::Ui& ui = window.ui();
    if (!checkMasterRecord(connection)) {
        return ui::Outcome::Failed;
    }
    window.ShowProgressCaption(kVerificationCaption);
    if (const ui::Outcome verified = runFormalVerification(connection, true, ExportKind::VkzXml);
        verified != ui::Outcome::Done) {
        return verified;
    }
    const auto [defaultFrom, defaultTo] = headerPeriod(connection);
    const ui::FormSpec form = exportParametersForm(connection, defaultFrom, defaultTo);
    const auto values = ui.Form(form);
    if (!values) {
        return ui::Outcome::Cancelled;
    }
    const auto parameters = exportParametersFromValues(form, *values);
    if (!parameters) {
        return ui::Outcome::Failed;
    }

    std::optional<UploadParameters> connectionParameters;
    std::filesystem::path document;
    if (parameters->transmit) {
        ConnectionChoice choice = chooseConnection(ui, window.settings());
        if (!choice.parameters) {
            return choice.outcome;
        }
        connectionParameters = std::move(choice.parameters);
        document = fmt::format("tmp_{}.xml", ::getpid());
    } else {
        const auto chosen = ui.SaveFile(exportFileDialog());
        if (!chosen) {
            return ui::Outcome::Cancelled;
        }
        document = *chosen;
    }

    window.BeginBusy(true);
    const auto extraction = calendar::ServiceDayExtraction::Run(
        connection, parameters->from, parameters->to, parameters->filters, parameters->flags);
    if (!extraction) {
        return ui::Outcome::Failed;
    }
    const auto counts = writeVkzXmlDocument(connection, *extraction, document, today());
    if (!counts) {
        return ui::Outcome::Failed; // the writer has shown why and left no partial document
    }

    if (counts->changedTexts > 0) {
        ui.Message(fmt::format("{} testi contenevano caratteri che la codifica ISO-8859-1 non "
                               "rappresenta: sono stati traslitterati o sostituiti con \"?\".",
                               counts->changedTexts),
                   ui::Icon::Information);
    }
    bool done = true;
    if (counts->trips == 0) {
        ui.Message(fmt::format("ATTENZIONE: questa comunicazione è VUOTA !!!\n\n{}"
                               "Verificare con maggior cura le date ed il lotto !!!",
                               parameters->transmit
                                   ? "La trasmissione telematica non può pertanto procedere "
                                     "oltre\n\n"
                                   : "La compressione LZMA non può pertanto procedere oltre\n\n"),
                   ui::Icon::Stop);
        done = false;
        if (parameters->transmit) {
            // Nothing will be sent: the temporary document has no further use.
            removeQuietly(document);
        }
    } else if (parameters->transmit) {
        window.ShowProgressCaption(transmissionCaption(*connectionParameters));
        done = transmitCommunication(ui, window.settings(), *connectionParameters, document);
        removeQuietly(document);
    } else if (parameters->compress) {
        window.ShowProgressCaption(kPackingCaption);
        const std::filesystem::path package = packagePathFor(document);
        window.ShowProgressBar();
        const bool packed = packLzma(
            document, package, [&window](int percent) { window.SetProgress(percent, 100); });
        window.HideProgressBar();
        if (!packed) {
            ui.Message(kPackingFailed, ui::Icon::Stop);
            done = false;
        } else {
            removeQuietly(document);
            ui.Message("Generazione comunicazione compressa LZMA terminata con successo",
                       ui::Icon::Information);
        }
    }
    ui.Message(countsText(*counts), ui::Icon::Information);
    return done ? ui::Outcome::Done : ui::Outcome::Failed;
}

ui::Outcome sendExternalXml(workspace::Workspace& window) {
    ui::Ui& ui = window.ui();
    if (!ui.Confirm({std::string(ui::keys::kProceed)}, kExternalWarning, ui::Icon::Stop)) {
        return ui::Outcome::Cancelled;
    }
    const auto document = ui.OpenFile(externalFileDialog());
    if (!document) {
        return ui::Outcome::Cancelled;
    }
    const ConnectionChoice choice = chooseConnection(ui, window.settings());
    if (!choice.parameters) {
        return choice.outcome;
    }
    window.ShowProgressCaption(transmissionCaption(*choice.parameters));
    return transmitCommunication(ui, window.settings(), *choice.parameters, *document)
               ? ui::Outcome::Done
               : ui::Outcome::Failed;
}

} // namespace tramela::comm::xml
