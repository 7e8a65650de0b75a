// The one table of commands: each with its menu id and label, its command line name, what it
// needs, how the command line answers its questions, and its entry point. Then the menu bar,
// which places the commands by id.

#include "app/analysis_commands.h"
#include "app/association_parameters.h"
#include "app/command_sections.h"
#include "app/parameters.h"
#include "app/registry.h"
#include "app/shell_commands.h"
#include "app/window_commands.h"
#include "comm/gtfs/gtfs_command.h"
#include "comm/txt/import_frame.h"
#include "comm/txt/record_importers.h"
#include "comm/txt/record_layouts.h"
#include "comm/txt/standard_lines_file.h"
#include "comm/txt/trip_import.h"
#include "comm/txt/txt_export.h"
#include "comm/verification.h"
#include "comm/xml/export_parameters.h"
#include "comm/xml/server_config.h"
#include "comm/xml/xml_export.h"
#include "network/congruence.h"
#include "store/schema_catalogue.h"
#include "store/schema_upgrade.h"
#include "store/timetable_clearing.h"
#include "utilities/standard_lines.h"
#include "workspace/company_header.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <iterator>

namespace tramela::app {

namespace {

using namespace parameters;
using ui::Outcome;
namespace keys = ui::keys;

// Entry points of the commands that work on the connected database alone.
Outcome createTables(workspace::Workspace& workspace) {
    return store::RefreshDescriptors(*workspace.connection()) ? Outcome::Done : Outcome::Failed;
}

Outcome upgradeXml(workspace::Workspace& workspace) {
    return store::UpgradeXmlLevel1(*workspace.connection());
}

Outcome clearTables(workspace::Workspace& workspace) {
    return store::ClearTimetableTables(*workspace.connection());
}

// The single imports of the menu, each on its own (not as a step of the complete import).
template <Outcome (*Import)(workspace::Workspace&, bool)>
Outcome importAlone(workspace::Workspace& workspace) {
    return Import(workspace, false);
}

// The answer to a record file's question: the file of the text communication it reads.
std::string recordFileKey(const comm::RecordLayout& layout) {
    return comm::importFileKey(layout);
}

Parameter importFile(const comm::RecordLayout& layout) {
    return fileArgument(
        "FILE", recordFileKey(layout), "Il file da importare (" + std::string(layout.file) + ")");
}

Parameter reportOption(std::string help) {
    return fileOption("--report", keys::kReport, std::move(help));
}

Parameter importReport() {
    return reportOption("Scrive qui il report degli errori riscontrati, se l'importazione è "
                        "rifiutata");
}

Parameter congruenceReport() {
    return fileOption("--congruence-report",
                      network::kCongruenceReportKey,
                      "Scrive qui il report delle corse che non si adattano ai percorsi");
}

Parameter verificationReport() {
    return reportOption("Scrive qui il report della verifica, se trova errori");
}

// The complete import asks for the protocol and cadence files; the others come from their folder.
Parameter importFolder() {
    Parameter parameter =
        fileArgument("DIR", recordFileKey(comm::protocolLayout()), "La cartella dei file");
    parameter.answer = [](ui::Answers& answers, const std::string& folder) {
        for (const comm::RecordLayout* layout : {&comm::protocolLayout(), &comm::cadenceLayout()}) {
            answers.files[recordFileKey(*layout)] = std::filesystem::path(folder) / layout->file;
        }
    };
    return parameter;
}

// The text export writes into the folder of the file chosen in its dialog.
Parameter exportFolder() {
    Parameter parameter = fileArgument(
        "DIR", comm::kFolderKey, "La cartella in cui scrivere la comunicazione (deve esistere)");
    parameter.answer = [](ui::Answers& answers, const std::string& folder) {
        answers.files[std::string(comm::kFolderKey)] =
            std::filesystem::path(folder) / "RT_PROTO.TXT";
    };
    return parameter;
}

Parameter companyField(std::string name, std::string_view field, std::string help) {
    return fieldOption(std::move(name), "TESTO", workspace::kCompanyFormId, field, std::move(help));
}

// The server configuration of a transmission: chosen by name, its values confirmed as stored.
void answerServerConfiguration(ui::Answers& answers, const std::string& name) {
    answers
        .forms[std::string(comm::xml::kChooseFormId)][std::string(comm::xml::kConfigurationField)] =
        name;
    answers.forms[std::string(comm::xml::kConnectionFormId)];
}

std::vector<Parameter> exportXmlParameters() {
    using namespace comm::xml;
    const std::string form(kExportParametersFormId);
    std::vector<Parameter> list{
        fieldOption("--from", "GG/MM/AAAA", form, "from", "Inizio del periodo di validità"),
        fieldOption("--to", "GG/MM/AAAA", form, "to", "Fine del periodo di validità"),
    };
    Parameter type = fieldOption(
        "--type", "BUDGET|PLANNING|PROJECT|TEST", form, "type", "Tipo di comunicazione");
    type.choices = {"BUDGET", "PLANNING", "PROJECT", "TEST"};
    type.answer = [form](ui::Answers& answers, const std::string& value) {
        answers.forms[form]["type"] = std::string(communicationTypeEntry(value).value_or(""));
    };
    list.push_back(std::move(type));
    list.push_back(fieldOption("--lot", "N", form, "lot", "Codice del Lotto di gara"));
    const std::pair<const char*, const char*> filters[] = {
        {"authority", "Codice dell'Ente contrattuale"},
        {"company", "Codice dell'Azienda di gestione"},
        {"subcontractor", "Codice dell'Azienda subappaltatrice"},
        {"line", "Codice della linea aziendale"},
    };
    for (const auto& [field, help] : filters) {
        Parameter filter = fieldOption(std::string("--") + field,
                                       std::string_view(field) == "line" ? "LINEA" : "N",
                                       form,
                                       field,
                                       help);
        // A code chosen in a list clears the list's "Tutto" box.
        filter.answer = [form, field = std::string(field)](ui::Answers& answers,
                                                           const std::string& value) {
            answers.forms[form][field] = value;
            answers.forms[form][field + "_all"] = "0";
        };
        list.push_back(std::move(filter));
    }
    Parameter local = fileOption(
        "--local", kDocumentKey, "Genera la comunicazione in questo file (compressa LZMA accanto)");
    local.form = form;
    local.alternatives = "modalità";
    local.answer = [form](ui::Answers& answers, const std::string& value) {
        answers.files[std::string(kDocumentKey)] = value;
        answers.forms[form]["mode"] = kLocalGeneration;
        answers.forms[form].try_emplace("compression", kCompressed);
    };
    list.push_back(std::move(local));
    list.push_back(fieldFlag("--no-compress",
                             form,
                             "compression",
                             std::string(kUncompressed),
                             "Lascia la comunicazione non compressa"));
    Parameter send = fieldOption("--send",
                                 "CONFIGURAZIONE",
                                 form,
                                 "mode",
                                 "Trasmette la comunicazione con questa configurazione del server");
    send.alternatives = "modalità";
    send.answer = [form](ui::Answers& answers, const std::string& value) {
        answers.forms[form]["mode"] = kTransmission;
        answerServerConfiguration(answers, value);
    };
    list.push_back(std::move(send));
    list.push_back(verificationReport());
    return list;
}

Parameter serverConfiguration() {
    Parameter parameter = fieldOption("--config",
                                      "CONFIGURAZIONE",
                                      comm::xml::kChooseFormId,
                                      comm::xml::kConfigurationField,
                                      "La configurazione del server da usare");
    parameter.required = true;
    parameter.answer = answerServerConfiguration;
    return parameter;
}

Parameter passphrase() {
    Parameter parameter = fieldOption("--passphrase",
                                      "TESTO",
                                      comm::xml::kPassphraseFormId,
                                      comm::xml::kPassphraseField,
                                      "La passphrase del file (chiesta su un terminale)");
    parameter.requiredInBatch = true;
    return parameter;
}

std::vector<Parameter> gtfsParameters() {
    using namespace comm::gtfs;
    return {
        fileArgument("FEED", kFeedKey, "Il feed GTFS: una cartella o un file .zip"),
        fieldOption("--crs",
                    "EPSG:NNNN",
                    kOptionsFormId,
                    kCrsField,
                    "Sistema di riferimento piano (predefinito: fuso UTM del feed)"),
        fieldOption("--localities",
                    "FILE",
                    kOptionsFormId,
                    kLocalitiesField,
                    "File CSV delle località: stop_id, località, codice ISTAT, comune"),
        fieldOption("--authority",
                    "N",
                    kOptionsFormId,
                    kAuthorityField,
                    "Codice dell'Ente concedente delle corse"),
        fieldOption("--lot", "N", kOptionsFormId, kLotField, "Codice del Lotto di gara"),
        fieldOption(
            "--company", "N", kOptionsFormId, kCompanyField, "Codice dell'Azienda di gestione"),
        fieldOption("--subcontractor",
                    "N",
                    kOptionsFormId,
                    kSubcontractorField,
                    "Codice dell'Azienda subappaltatrice"),
    };
}

// Places a section of the table, declared in a file of its own, at the end of the table so far.
void append(std::vector<Command>& table, std::vector<Command> section) {
    std::move(section.begin(), section.end(), std::back_inserter(table));
}

std::vector<Command> buildCommandTable() {
    using comm::xml::exportVkzXml;
    std::vector<Command> table{
        // "&Database"
        {.menuId = 5109,
         .label = "&Crea Tavole Tramela",
         .cli = "create-tables",
         .entry = createTables},
        {.menuId = 5158,
         .label = "Upgrade x &Xml Level 1",
         .cli = "upgrade-xml",
         .entry = upgradeXml},
        {.menuId = 5118,
         .label = "&Svuota Tavole Tramela",
         .cli = "clear-tables",
         .entry = clearTables},
        {.menuId = 5104,
         .label = "&Connetti",
         .cli = "connect",
         .needs = Needs::Binding,
         .help = "Associa un database e ne mostra il titolo",
         .parameters = {absoluteFileArgument("FILE", kDatabaseKey, "Il database da associare")},
         .entry = Connect,
         .after = titleOf},
        {.menuId = 5105,
         .label = "&Sconnetti",
         .cli = "disconnect",
         .needs = Needs::Binding,
         .entry = Disconnect,
         .after = titleOf},
        {.menuId = 5106,
         .label = "&Ripara",
         .cli = "repair",
         .needs = Needs::Files,
         .parameters = {fileArgument("FILE", kDatabaseKey, "Il database da riparare")},
         .entry = Repair},
        {.menuId = 5107,
         .label = "&Duplica",
         .cli = "duplicate",
         .needs = Needs::Files,
         .parameters = {fileArgument("FROM", kOriginKey, "Il database di origine"),
                        fileArgument("TO", kDestinationKey, "Il database di destinazione (nuovo)")},
         .entry = Duplicate},
        // "&Archivi"
        {.menuId = 5108,
         .label = "&Azienda",
         .cli = "company",
         .help = "Senza opzioni mostra l'intestazione; con le opzioni la modifica",
         .parameters = {companyField("--code", "code", "Codice Regionale Azienda"),
                        companyField(
                            "--date", "date", "Data di invio della comunicazione (GG/MM/AAAA)"),
                        companyField("--protocol", "protocol", "Protocollo della comunicazione"),
                        companyField("--responsible", "responsible", "Responsabile dell'invio"),
                        companyField("--start", "start", "Data di inizio periodo (GG/MM/AAAA)"),
                        companyField("--end", "end", "Data di fine periodo (GG/MM/AAAA)")},
         .entry = workspace::EditCompanyHeader,
         .view = workspace::ShowCompanyHeader,
         .after = titleOf},
        // "&Importazione dati (VKZ-TXT)"
        {.menuId = 5115,
         .label = "&Protocollo",
         .cli = "import-protocol",
         .parameters = {importFile(comm::protocolLayout()), importReport()},
         .entry = importAlone<comm::ImportProtocol>},
        {.menuId = 5116,
         .label = "&Cadenze",
         .cli = "import-cadences",
         .parameters = {importFile(comm::cadenceLayout()), importReport()},
         .entry = importAlone<comm::ImportCadences>},
        {.menuId = 5117,
         .label = "Ca&lendario",
         .cli = "import-calendar",
         .parameters = {importFile(comm::calendarLayout()), importReport()},
         .entry = importAlone<comm::ImportCalendar>},
        {.menuId = 5124,
         .label = "Co&rse",
         .cli = "import-trips",
         .parameters = {fileArgument("HDORA",
                                     recordFileKey(comm::tripHeaderLayout()),
                                     "Il file delle testate corsa (RT_HDORA.TXT)"),
                        fileArgument("DTORA",
                                     recordFileKey(comm::tripDetailLayout()),
                                     "Il file dei dettagli corsa (RT_DTORA.TXT)"),
                        importReport(),
                        congruenceReport()},
         .entry = importAlone<comm::ImportTrips>},
        {.menuId = 5125,
         .label = "&Periodi Validità",
         .cli = "import-periods",
         .parameters = {importFile(comm::periodLayout()), importReport()},
         .entry = importAlone<comm::ImportPeriods>},
        {.menuId = 5153,
         .label = "Codifiche &Estese",
         .cli = "import-extcodes",
         .parameters = {importFile(comm::extendedCodeLayout()), importReport()},
         .entry = importAlone<comm::ImportExtendedCodes>},
        {.menuId = 5126,
         .label = "Importazione &Complessiva",
         .cli = "import-all",
         .help = "Importa i sette file della comunicazione da una cartella",
         .parameters = {importFolder(), importReport(), congruenceReport()},
         .entry = comm::ImportAll},
        // "&Archivi", continued
        {.menuId = 5130,
         .label = "&Esportazione dati (VKZ-TXT)",
         .cli = "export-txt",
         .parameters = {exportFolder(), verificationReport()},
         .entry = comm::ExportTxt},
        {.menuId = 5155,
         .label = "Esportazione comunicazione VkzXml",
         .cli = "export-xml",
         .help = "Con --local genera un file, con --send lo trasmette al server",
         .parameters = exportXmlParameters(),
         .entry = exportVkzXml},
        {.menuId = 5167,
         .label = "Compressione-Invio Xml esterno",
         .cli = "send-xml",
         .parameters = {fileArgument("FILE",
                                     comm::xml::kDocumentKey,
                                     "La comunicazione XML prodotta esternamente"),
                        serverConfiguration()},
         .entry = comm::xml::sendExternalXml},
        {.menuId = 5159,
         .label = "Esportazione Codifiche &Linee Ufficiali",
         .cli = "export-standard-lines",
         .parameters = {fileArgument(
             "FILE", comm::kStandardLinesFileKey, "Il file delle Linee Standard da scrivere")},
         .entry = comm::ExportStandardLines},
        {.menuId = 5160,
         .label = "Importazione Codifiche Linee &Ufficiali",
         .cli = "import-standard-lines",
         .parameters = {fileArgument(
             "FILE", comm::kStandardLinesFileKey, "Il file delle Linee Standard da leggere")},
         .entry = comm::ImportStandardLines},
    };
    // "&Archivi": the editing windows after the company header.
    {
        std::vector<Command> windows = windowCommands();
        const auto header = std::find_if(
            table.begin(), table.end(), [](const Command& c) { return c.menuId == 5108; });
        table.insert(std::next(header),
                     std::make_move_iterator(windows.begin()),
                     std::make_move_iterator(windows.end()));
    }
    // "&Stampe": the printed reports, then the two verifications.
    append(table, reportCommands());
    table.insert(
        table.end(),
        {
            {.menuId = 5147,
             .label = "verifica associazione &Fermate/Percorso",
             .cli = "stop-route-analysis",
             .help = "Confronta la posizione di ogni fermata con i percorsi e la loro composizione",
             .parameters = associationParameters(),
             .entry = network::StopRouteAnalysis},
            {.menuId = 5152,
             .label = "verifica &Errori",
             .cli = "verify",
             .parameters = {verificationReport()},
             .entry = comm::VerifyCommand},
        });
    // "&Utilità": the distance and time utilities, then the codes and the clean-ups.
    append(table, distanceCommands());
    append(table, codeCommands());
    table.insert(
        table.end(),
        {
            differentialCommand(),
            {.menuId = 5162,
             .label = "Identificazione automatica Codifiche &Linee Ufficiali",
             .cli = "identify-standard-lines",
             .parameters = {variantFlag("--railway", "Variante per le linee ferroviarie"),
                            reportOption("Scrive qui il report delle linee in errore")},
             .entry = utilities::IdentifyStandardLines},
            {.menuId = 5164,
             .label = "Eliminazione Codifiche Linee &Ufficiali",
             .cli = "remove-standard-lines",
             .entry = utilities::RemoveStandardLines},
            {.menuId = 5166,
             .label = "Identificazione automatica Codifiche &Linee Ufficiali [Ferrovie]",
             .cli = "identify-standard-lines",
             .cliVariant = "--railway",
             .parameters = {variantFlag("--railway", "Variante per le linee ferroviarie"),
                            reportOption("Scrive qui il report delle linee in errore")},
             .entry = utilities::IdentifyRailwayStandardLines},
            {.menuId = 5161,
             .label = "Importazione &Configurazione Sirventa",
             .cli = "import-server-config",
             .parameters = {fileArgument("FILE",
                                         comm::xml::kServerFileKey,
                                         "Il file di configurazione Sirventa (.srvt)"),
                            passphrase()},
             .entry = comm::xml::importServerConfiguration},
            // The bar's own commands.
            {.menuId = 5101, .label = "&Fine", .needs = Needs::Session, .entry = Exit},
            {.menuId = 5102,
             .label = "&?",
             .cli = "about",
             .needs = Needs::Session,
             .help = "Informazioni sul programma",
             .entry = About},
            // The command line's own.
            {.cli = "import-gtfs",
             .help = "Importa una rete e un orario in formato GTFS",
             .parameters = gtfsParameters(),
             .entry = comm::gtfs::ImportGtfsCommand},
            {.cli = "demo",
             .needs = Needs::Files,
             .help = "Crea il database dimostrativo della rete di Valmora",
             .parameters = {fileArgument("FILE", kDatabaseKey, "Il database da creare")},
             .entry = BuildDemo},
            {.cli = "new-database",
             .needs = Needs::Files,
             .help = "Crea un database vuoto con le tavole della cartografia e del catalogo",
             .parameters = {fileArgument("FILE", kDatabaseKey, "Il file da creare")},
             .entry = NewDatabase},
            {.cli = "title",
             .needs = Needs::Session,
             .help = "Il titolo della finestra principale per il database corrente",
             .entry = ShowTitle},
            {.cli = "menu",
             .needs = Needs::Session,
             .help = "L'albero del menu con identificativi e stato di abilitazione",
             .entry = ShowMenu},
        });
    for (Command& command : nestedWindowCommands()) {
        table.push_back(std::move(command));
    }
    append(table, compositionCommands());
    append(table, tripCommands());
    return table;
}

MenuItem command(int id) {
    return {MenuItem::Kind::Command, id, {}};
}

MenuItem separator() {
    return {MenuItem::Kind::Separator, 0, {}};
}

MenuItem submenu(std::string_view label, std::vector<MenuItem> children) {
    return {MenuItem::Kind::Submenu, 0, label, std::move(children)};
}

std::vector<MenuItem> buildMenuBar() {
    return {
        submenu("&Database",
                {command(5109),
                 command(5158),
                 separator(),
                 command(5118),
                 separator(),
                 command(5104),
                 command(5105),
                 separator(),
                 command(5106),
                 command(5107)}),
        submenu("&Archivi",
                {command(5108),
                 separator(),
                 command(5110),
                 command(5111),
                 command(5119),
                 separator(),
                 command(5156),
                 command(5157),
                 submenu("&Importazione dati (VKZ-TXT)",
                         {command(5115),
                          command(5116),
                          command(5117),
                          command(5124),
                          command(5125),
                          command(5153),
                          separator(),
                          command(5126)}),
                 separator(),
                 command(5130),
                 command(5155),
                 command(5167),
                 separator(),
                 command(5159),
                 command(5160)}),
        submenu("&Stampe",
                {command(5113),
                 command(5114),
                 separator(),
                 submenu("Quadri &Orari", {command(5141), command(5142), command(5143)}),
                 separator(),
                 command(5131),
                 command(5132),
                 command(5145),
                 command(5147),
                 command(5152)}),
        submenu("&Utilità",
                {command(5133),
                 command(5134),
                 command(5144),
                 command(5150),
                 command(5151),
                 command(5146),
                 command(5135),
                 command(5136),
                 command(5154),
                 separator(),
                 command(5165),
                 separator(),
                 command(5149),
                 separator(),
                 submenu("&Assegnazione Tipo Mezzo", {command(5138), command(5139), command(5140)}),
                 separator(),
                 submenu("&Pulizie",
                         {command(5127),
                          command(5129),
                          command(5128),
                          separator(),
                          command(5137),
                          command(5148)}),
                 separator(),
                 command(5163),
                 separator(),
                 command(5162),
                 command(5164),
                 separator(),
                 command(5166),
                 separator(),
                 command(5161)}),
        command(5101),
        command(5102),
    };
}

} // namespace

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = buildCommandTable();
    return table;
}

const std::vector<MenuItem>& menuBar() {
    static const std::vector<MenuItem> bar = buildMenuBar();
    return bar;
}

} // namespace tramela::app
