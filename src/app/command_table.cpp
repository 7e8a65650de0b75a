#include "app/command_table.h"

#include "comm/txt/record_importers.h"
#include "comm/txt/standard_lines_file.h"
#include "comm/txt/trip_import.h"
#include "comm/txt/txt_export.h"
#include "comm/verification.h"
#include "comm/xml/server_config.h"
#include "comm/xml/xml_export.h"
#include "store/schema_catalogue.h"
#include "store/schema_upgrade.h"
#include "store/timetable_clearing.h"
#include "utilities/standard_lines.h"
#include "workspace/company_header.h"
#include "workspace/workspace.h"

#include <fmt/format.h>

namespace tramela::app {

namespace {

using Kind = MenuItem::Kind;

MenuItem
command(int id, std::string_view label, std::string_view cli = {}, CommandEntry entry = nullptr) {
    return {Kind::Command, id, label, cli, entry, {}};
}

MenuItem separator() {
    return {Kind::Separator, 0, {}, {}, nullptr, {}};
}

MenuItem submenu(std::string_view label, std::vector<MenuItem> children) {
    return {Kind::Submenu, 0, label, {}, nullptr, std::move(children)};
}

// Entry points of the commands that work on the connected database.
template <void (*Run)(store::DatabaseConnection&)> void onDatabase(workspace::Workspace& window) {
    Run(*window.connection());
}

void refreshDescriptors(store::DatabaseConnection& connection) {
    store::RefreshDescriptors(connection);
}

// The single imports of the menu, each on its own (not as a step of the complete import).
void importProtocol(workspace::Workspace& window) {
    comm::ImportProtocol(window, false);
}

void importCadences(workspace::Workspace& window) {
    comm::ImportCadences(window, false);
}

void importCalendar(workspace::Workspace& window) {
    comm::ImportCalendar(window, false);
}

void importTrips(workspace::Workspace& window) {
    comm::ImportTrips(window, false);
}

void importAll(workspace::Workspace& window) {
    comm::ImportAll(window);
}

void importPeriods(workspace::Workspace& window) {
    comm::ImportPeriods(window, false);
}

void importExtendedCodes(workspace::Workspace& window) {
    comm::ImportExtendedCodes(window, false);
}

void exitCommand(workspace::Workspace& window) {
    window.Exit();
}

void aboutCommand(workspace::Workspace& window) {
    window.About();
}

void connectCommand(workspace::Workspace& window) {
    window.Connect();
}

void disconnectCommand(workspace::Workspace& window) {
    window.Disconnect();
}

void repairCommand(workspace::Workspace& window) {
    window.Repair();
}

void duplicateCommand(workspace::Workspace& window) {
    window.Duplicate();
}

std::vector<MenuItem> buildMenuBar() {
    return {
        submenu(
            "&Database",
            {
                command(
                    5109, "&Crea Tavole Tramela", "create-tables", onDatabase<refreshDescriptors>),
                command(5158,
                        "Upgrade x &Xml Level 1",
                        "upgrade-xml",
                        onDatabase<store::UpgradeXmlLevel1>),
                separator(),
                command(5118,
                        "&Svuota Tavole Tramela",
                        "clear-tables",
                        onDatabase<store::ClearTimetableTables>),
                separator(),
                command(5104, "&Connetti", "connect", connectCommand),
                command(5105, "&Sconnetti", "disconnect", disconnectCommand),
                separator(),
                command(5106, "&Ripara", "repair", repairCommand),
                command(5107, "&Duplica", "duplicate", duplicateCommand),
            }),
        submenu(
            "&Archivi",
            {
                command(5108, "&Azienda", "company", workspace::EditCompanyHeader),
                separator(),
                command(5110, "gestione Ca&denze", "cadences"),
                command(5111, "gestione Ca&lendario", "calendar"),
                command(5119, "gestione &Corse", "routes"),
                separator(),
                command(5156, "gestione Codifiche &Linee Ufficiali", "standard-lines"),
                command(5157, "gestione &Corrispondenze Codifiche Linee Ufficiali", "line-links"),
                submenu(
                    "&Importazione dati (VKZ-TXT)",
                    {
                        command(5115, "&Protocollo", "import-protocol", importProtocol),
                        command(5116, "&Cadenze", "import-cadences", importCadences),
                        command(5117, "Ca&lendario", "import-calendar", importCalendar),
                        command(5124, "Co&rse", "import-trips", importTrips),
                        command(5125, "&Periodi Validità", "import-periods", importPeriods),
                        command(5153, "Codifiche &Estese", "import-extcodes", importExtendedCodes),
                        separator(),
                        command(5126, "Importazione &Complessiva", "import-all", importAll),
                    }),
                separator(),
                command(5130, "&Esportazione dati (VKZ-TXT)", "export-txt", comm::ExportTxt),
                command(5155,
                        "Esportazione comunicazione VkzXml",
                        "export-xml",
                        comm::xml::exportVkzXml),
                command(
                    5167, "Compressione-Invio Xml esterno", "send-xml", comm::xml::sendExternalXml),
                separator(),
                command(5159,
                        "Esportazione Codifiche &Linee Ufficiali",
                        "export-standard-lines",
                        comm::ExportStandardLines),
                command(5160,
                        "Importazione Codifiche Linee &Ufficiali",
                        "import-standard-lines",
                        comm::ImportStandardLines),
            }),
        submenu("&Stampe",
                {
                    command(5113, "rubrica Ca&denze", "print-cadences"),
                    command(5114, "rubrica Ca&lendario", "print-calendar"),
                    separator(),
                    submenu("Quadri &Orari",
                            {
                                command(5141, "Quadri Orari (&Carta)", "boards-print"),
                                command(5142, "Quadri Orari (&Txt/Tab)", "boards-txt"),
                                command(5143, "Quadri Orari (&Html)", "boards-html"),
                            }),
                    separator(),
                    command(5131, "verifica &Contratti", "contracts"),
                    command(5132, "verifica congruenza &Distanze", "distance-register"),
                    command(5145, "verifica &Errori Progressive", "progressive-errors"),
                    command(5147, "verifica associazione &Fermate/Percorso", "stop-route-analysis"),
                    command(5152, "verifica &Errori", "verify", comm::VerifyCommand),
                }),
        submenu(
            "&Utilità",
            {
                command(5133, "Sistemazione &Tempi Corsa", "fix-durations"),
                command(5134, "Sistemazione &Lunghezze Corsa", "fix-lengths"),
                command(5144, "Assegnazione &Distanze Progressive", "spread-progressives"),
                command(5150, "Ricalcola &Distanze Cartografiche", "recompute-cartographic"),
                command(5151, "&Allinea Distanze su base cartografica", "align-distances"),
                command(5146, "Ricalcolo &Orari Corse", "recompute-times"),
                command(5135, "Assegnazione &Codici Corsa", "assign-trip-codes"),
                command(5136, "Assegnazione Codici C&ontratto", "assign-contracts"),
                command(5154, "Assegnazione Codifiche &Estese", "assign-extcodes"),
                separator(),
                command(5165, "Sistemazione &Subappalti Codice=0", "fix-subcontracts"),
                separator(),
                command(5149, "Assegnazione Codici &Percorso da Linea", "assign-route-codes"),
                separator(),
                submenu("&Assegnazione Tipo Mezzo",
                        {
                            command(5138, "Assegnazione &Tipo Mezzo (Aziendale)", "assign-vehicle"),
                            command(5139, "Assegnazione Tipo &Mezzo (Linea)", "assign-vehicle"),
                            command(5140, "Assegnazione Tipo Mezzo (&Ente)", "assign-vehicle"),
                        }),
                separator(),
                submenu("&Pulizie",
                        {
                            command(5127,
                                    "Pulizia Corse &Standard inutilizzate",
                                    "clean-standard-trips"),
                            command(5129, "Pulizia &Percorsi inutilizzati", "clean-routes"),
                            command(5128, "Pulizia &Fermate inutilizzate", "clean-stops"),
                            separator(),
                            command(5137, "&Codici Corsa", "blank-trip-codes"),
                            command(5148, "Pulizia Corse x &Periodo", "clean-period"),
                        }),
                separator(),
                command(5163, "Analisi &Differenziale Periodi Esercizio", "differential"),
                separator(),
                command(5162,
                        "Identificazione automatica Codifiche &Linee Ufficiali",
                        "identify-standard-lines",
                        utilities::IdentifyStandardLines),
                command(5164,
                        "Eliminazione Codifiche Linee &Ufficiali",
                        "remove-standard-lines",
                        utilities::RemoveStandardLines),
                separator(),
                command(5166,
                        "Identificazione automatica Codifiche &Linee Ufficiali [Ferrovie]",
                        "identify-standard-lines",
                        utilities::IdentifyRailwayStandardLines),
                separator(),
                command(5161,
                        "Importazione &Configurazione Sirventa",
                        "import-server-config",
                        comm::xml::importServerConfiguration),
            }),
        command(5101, "&Fine", {}, exitCommand),
        command(5102, "&?", "about", aboutCommand),
    };
}

void collect(const std::vector<MenuItem>& items, std::vector<const MenuItem*>& commands) {
    for (const MenuItem& item : items) {
        if (item.kind == Kind::Command) {
            commands.push_back(&item);
        }
        collect(item.children, commands);
    }
}

void describe(const std::vector<MenuItem>& items,
              const workspace::Workspace& window,
              int depth,
              std::string& text) {
    const std::string indent(static_cast<size_t>(depth) * 4, ' ');
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case Kind::Separator:
            text += indent + "----\n";
            break;
        case Kind::Submenu:
            text += indent + std::string(item.label) + "\n";
            describe(item.children, window, depth + 1, text);
            break;
        case Kind::Command:
            text += fmt::format("{}{} {} [{}{}]\n",
                                indent,
                                item.id,
                                item.label,
                                isEnabled(item.id, window) ? "abilitato" : "disabilitato",
                                item.entry != nullptr ? "" : ", non ancora disponibile");
            break;
        }
    }
}

} // namespace

const std::vector<MenuItem>& menuBar() {
    static const std::vector<MenuItem> bar = buildMenuBar();
    return bar;
}

std::vector<const MenuItem*> allCommands() {
    std::vector<const MenuItem*> commands;
    collect(menuBar(), commands);
    return commands;
}

const MenuItem* findCommand(int id) {
    for (const MenuItem* item : allCommands()) {
        if (item->id == id) {
            return item;
        }
    }
    return nullptr;
}

const MenuItem* findCommandByCli(std::string_view name) {
    for (const MenuItem* item : allCommands()) {
        if (item->cli == name) {
            return item;
        }
    }
    return nullptr;
}

bool needsDatabase(int id) {
    switch (id) {
    case 5101:
    case 5102:
    case 5104:
    case 5105:
    case 5106:
    case 5107:
        return false;
    default:
        return true;
    }
}

bool isEnabled(int id, const workspace::Workspace& window) {
    return !needsDatabase(id) || window.isConnected();
}

std::string plainLabel(std::string_view label) {
    std::string plain;
    for (size_t i = 0; i < label.size(); ++i) {
        // "&&" stands for an ampersand shown as such.
        if (label[i] == '&' && i + 1 < label.size() && label[i + 1] != '&') {
            continue;
        }
        plain += label[i];
        if (label[i] == '&') {
            ++i;
        }
    }
    return plain;
}

bool Route(workspace::Workspace& window, int id) {
    const MenuItem* item = findCommand(id);
    if (item == nullptr) {
        return false;
    }
    if (item->entry == nullptr) {
        window.ui().Message(
            fmt::format("Il comando \"{}\" non è ancora disponibile in questa versione di Tramela.",
                        plainLabel(item->label)),
            ui::Icon::Exclamation);
        return false;
    }
    if (!isEnabled(id, window)) {
        window.ui().Message(fmt::format("Il comando \"{}\" richiede un database connesso.",
                                        plainLabel(item->label)),
                            ui::Icon::Stop);
        return false;
    }
    item->entry(window);
    return true;
}

std::string menuTree(const workspace::Workspace& window) {
    std::string text;
    describe(menuBar(), window, 0, text);
    return text;
}

} // namespace tramela::app
