#include "utilities/code_assignment.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "ui/progress_bar.h"
#include "utilities/bulk_edit.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tramela::utilities {

namespace {

using ui::Outcome;

constexpr std::string_view kTripCodesQuestion =
    "ATTENZIONE: Questa funzione assegnerà un codice univoco ad ogni singola corsa.\n\n"
    "I codici corsa eventualmente già assegnati verranno sovrascritti.\n\n"
    "Intendi proseguire?";
constexpr std::string_view kTripCodesResult = "Risultati dell'elaborazione:\n\n"
                                              "Lette {} corse; Assegnati {} codici corsa.";

constexpr std::string_view kBlankQuestion =
    "ATTENZIONE: Questa funzione eliminarà tutti i codici assegnati alle corse.\n\n"
    "La funzione va utilizzata solo se si è veramente certi di volere eliminare\n"
    "i codici corsa forniti dall'azienda e palesamente incongruenti.\n\n"
    "Intendi proseguire?";
constexpr std::string_view kBlankResult = "Risultati dell'elaborazione:\n\n"
                                          "Lette {} corse; Azzerati {} codici corsa.";

constexpr std::string_view kContractsTitle = "Assegnazione Contratti";
constexpr std::string_view kContractsWarning =
    "ATTENZIONE: questa operazione effettua l'assegnazione automatica\n"
    "del codice contratto alle corse appartenenti alla linea\n"
    "selezionata. Qualora i codici contrattuali fossero già\n"
    "assegnati verranno comunque sovrascritti.";
constexpr std::string_view kContractsResult = "Risultati dell'elaborazione:\n\n"
                                              "Lette {} corse; Assegnati {} codici contratto.";

constexpr std::string_view kExtendedTitle = "Assegnazione Codifiche Estese";
constexpr std::string_view kExtendedWarning =
    "ATTENZIONE: questa operazione effettua l'assegnazione automatica\n"
    "delle codifiche estese alle corse appartenenti alla linea\n"
    "selezionata. Qualora le codifiche estese fossero già\n"
    "assegnate verranno comunque sovrascritte.";
constexpr std::string_view kExtendedResult =
    "Risultati dell'assegnazione delle codifiche estese:\n\n"
    "Aggiornate {} corse su {}\n";

constexpr std::string_view kNoLine = "ATTENZIONE: non è stata selezionata nessuna linea.\n\n"
                                     "Occorre selezionare un Codice Aziendale Linea nella lista\n"
                                     "oppure indicare \"Qualsiasi linea\".\n\n";

constexpr std::string_view kSubcontractsQuestion =
    "Questa funzione opera come segue:\n\n"
    "1) vengono identificate tutte le corse con codice Subappalto = 0\n"
    "2) a queste corse viene assegnato codice Subappalto = codice Azienda Gestione\n"
    "3) le corse che invece presentano un codice Subappalto <> 0 restano invariate\n\n"
    "La funzione si limita semplicemente ad allineare le codifiche dei Subappalti\n"
    "nel modo standard, quindi non può mai generare effetti nocivi\n\n"
    "Intendi confermare ?";
constexpr std::string_view kSubcontractsResult = "Elaborazione terminata\n\n"
                                                 "Aggiornate {} corse su {}";

constexpr std::string_view kRouteCodesQuestion =
    "Questa funzione assegna i codici percorso sulla base dei codici\n"
    "delle linee che vi transitano.\n\n"
    "Qualora venissero riscontrate incoerenze logiche nella codifica\n"
    "delle linee e/o delle corse l'operazione non verrà effettuata.\n\n"
    "Procedo con l'assegnazione ?";
constexpr std::string_view kRouteCodesIncoherent =
    "ATTENZIONE: sono presenti problemi nella codifica delle corse e/o delle linee\n\n";
constexpr std::string_view kRouteCodesResult =
    "Risultati dell'assegnazione dei codici percorso in base al codice linea:\n\n"
    "Modificati {} percorsi su {}\n";
// The incoherent routes a refusal lists by ID; the others are only said to exist.
constexpr size_t kRoutesListed = 5;

bool confirmed(ui::Ui& ui, std::string_view text) {
    return ui.Confirm({std::string(ui::keys::kProceed)}, text, ui::Icon::Question);
}

ui::Refusal listRefusal(std::string_view what) {
    return {fmt::format("ATTENZIONE: Il Codice {} non è valido.\n\n"
                        "Occorre selezionare un codice presente nella lista.\n\n",
                        what),
            ui::Icon::Exclamation,
            {}};
}

// The line of a dialog's selection: nothing for "Qualsiasi linea", or the chosen line, or the
// refusal of what was typed.
struct LineSelection {
    std::optional<std::string> line;
    std::optional<ui::Refusal> refusal;
};

LineSelection selectedLine(const ui::FormValues& values, const std::vector<std::string>& lines) {
    if (fieldValue(values, kAnyLineField) == "1") {
        return {};
    }
    const std::string& typed = fieldValue(values, kLineField);
    if (typed.find_first_not_of(' ') == std::string::npos) {
        return {std::nullopt, ui::Refusal{std::string(kNoLine), ui::Icon::Exclamation, {}}};
    }
    if (auto line = listedLine(typed, lines)) {
        return {std::move(line), std::nullopt};
    }
    return {std::nullopt, ui::Refusal{std::string(kBadLine), ui::Icon::Exclamation, {}}};
}

// The group "Selezione linea" of both dialogs: "Qualsiasi linea" clear and no line chosen, so
// that nothing is assigned to every trip without being asked for.
ui::FormGroup lineSelectionGroup(std::vector<std::string> lines) {
    return {"Selezione linea",
            {{std::string(kAnyLineField), "Qualsiasi linea", ui::FieldKind::Check, "0", {}, 0},
             choiceField(std::string(kLineField), "Codice Aziendale Linea", std::move(lines))}};
}

// The warning under a dialog's fields: a group of its own, without fields.
ui::FormGroup warningGroup(std::string_view text) {
    return {std::string(text), {}};
}

bool lineEditable(std::string_view fieldId, const ui::FormValues& values) {
    return fieldId != kLineField || fieldValue(values, kAnyLineField) != "1";
}

// A code of one of a dialog's register lists, by field, with the name the refusal gives it.
struct RegisterList {
    std::string_view field;
    std::string_view what;
    std::vector<std::string> entries;
};

std::optional<ui::Refusal> registerRefusal(const ui::FormValues& values,
                                           const std::vector<RegisterList>& lists) {
    for (const RegisterList& list : lists) {
        if (!listedCode(fieldValue(values, list.field), list.entries)) {
            return listRefusal(list.what);
        }
    }
    return std::nullopt;
}

// One route of the route code assignment: the line and direction of its first trip, and
// whether every other trip agrees. The direction is the first character of verso, empty for none.
struct RouteEntry {
    std::int32_t id = 0;
    std::string line;
    std::string direction;
    bool coherent = false;
    bool untouched = true;
};

std::string firstCharacter(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        ++length;
    }
    return std::string(text.substr(0, length));
}

// The routes with the line and direction their trips give them; nothing when a query failed.
std::optional<std::vector<RouteEntry>> routeWorkList(store::DatabaseConnection& connection) {
    store::QueryCursor routes(connection);
    routes.SetSelect("id");
    routes.SetFrom("itiner");
    routes.SetOrderBy("id");
    const std::optional<std::vector<std::int32_t>> ids = readIds(routes);
    if (!ids) {
        return std::nullopt;
    }
    std::vector<RouteEntry> entries;
    entries.reserve(ids->size());
    for (std::int32_t id : *ids) {
        entries.push_back(RouteEntry{id, {}, {}, false, true});
    }
    // The ORDER BY above is the engine's; the search below needs the order it relies on.
    std::sort(entries.begin(), entries.end(), [](const RouteEntry& a, const RouteEntry& b) {
        return a.id < b.id;
    });

    store::QueryCursor trips(connection);
    trips.SetSelect("id_perc, codlinea, verso");
    trips.SetFrom("corse");
    std::string line;
    std::string verso;
    for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
        const std::optional<std::int32_t> route = idIn(trips, "id_perc");
        if (!route) {
            continue; // a damaged route reference: the trip is on no route of the list
        }
        trips.GetText("codlinea", line);
        trips.GetText("verso", verso);
        const auto entry = std::lower_bound(
            entries.begin(), entries.end(), *route, [](const RouteEntry& e, std::int32_t id) {
                return e.id < id;
            });
        if (entry == entries.end() || entry->id != *route) {
            continue;
        }
        std::string direction = firstCharacter(verso);
        if (entry->untouched) {
            entry->line = line;
            entry->direction = std::move(direction);
            entry->coherent = true;
            entry->untouched = false;
        } else if (line != entry->line || direction != entry->direction) {
            entry->coherent = false;
        }
    }
    if (trips.failed()) {
        return std::nullopt;
    }
    return entries;
}

// The refusal listing the first incoherent routes in ID order; empty when every route is
// coherent.
std::string incoherentRoutes(const std::vector<RouteEntry>& entries) {
    std::string listed;
    size_t count = 0;
    for (const RouteEntry& entry : entries) {
        if (entry.coherent) {
            continue;
        }
        if (++count <= kRoutesListed) {
            listed += fmt::format("percorso ID={}\n", entry.id);
        }
    }
    if (count == 0) {
        return {};
    }
    if (count > kRoutesListed) {
        listed += "... (altri omessi) ...\n";
    }
    return std::string(kRouteCodesIncoherent) + listed + "\n\nNon è possibile procedere oltre";
}

} // namespace

ui::Outcome AssignTripCodes(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!confirmed(ui, kTripCodesQuestion)) {
        return Outcome::Cancelled;
    }
    window.BeginBusy(true);
    store::QueryCursor trips(*connection);
    trips.SetSelect("id");
    trips.SetFrom("corse");
    trips.SetOrderBy("codlinea, verso, id_perc, parte, id");
    const std::optional<std::vector<std::int32_t>> ids = readIds(trips);
    if (!ids) {
        return Outcome::Failed;
    }
    // The number goes on for every trip found again, whether or not its update is accepted.
    long next = 1;
    const std::optional<PassCounts> counts = editEach(
        *connection,
        "corse",
        *ids,
        [&next](store::TableCursor& trip, size_t) {
            return trip.SetField("codcorsa", fmt::format("{:06d}", next++));
        },
        true);
    if (!counts) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kTripCodesResult, counts->read, counts->changed), ui::Icon::Information);
    return Outcome::Done;
}

ui::Outcome BlankTripCodes(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!confirmed(ui, kBlankQuestion)) {
        return Outcome::Cancelled;
    }
    window.BeginBusy(true);
    const std::optional<std::vector<std::int32_t>> ids = tripsOfLine(*connection, std::nullopt);
    if (!ids) {
        return Outcome::Failed;
    }
    const std::optional<PassCounts> counts = editEach(
        *connection,
        "corse",
        *ids,
        [](store::TableCursor& trip, size_t) { return trip.SetField("codcorsa", " "); },
        true);
    if (!counts) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kBlankResult, counts->read, counts->changed), ui::Icon::Information);
    return Outcome::Done;
}

ui::Outcome AssignContracts(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    std::vector<std::string> lines = lineCodes(*connection);
    std::vector<RegisterList> lists{
        {kAuthorityField, "Ente Gestore", registerCodes(*connection, "regent")}};

    ui::FormSpec form;
    form.id = kContractsFormId;
    form.title = kContractsTitle;
    form.groups.push_back(lineSelectionGroup(lines));
    form.groups.push_back(
        {"", {choiceField(std::string(kAuthorityField), "Ente Gestore", lists[0].entries)}});
    form.groups.push_back(warningGroup(kContractsWarning));
    form.validate = [lines, lists](const ui::FormValues& values) {
        LineSelection selection = selectedLine(values, lines);
        return selection.refusal ? std::move(selection.refusal) : registerRefusal(values, lists);
    };
    form.editable = lineEditable;
    const std::optional<ui::FormValues> values = ui.Form(form);
    if (!values) {
        return Outcome::Cancelled;
    }
    const std::optional<std::string> line = selectedLine(*values, lines).line;
    const std::string authority =
        fmt::format("{}", *listedCode(fieldValue(*values, kAuthorityField), lists[0].entries));

    window.BeginBusy(true);
    const std::optional<std::vector<std::int32_t>> ids = tripsOfLine(*connection, line);
    if (!ids) {
        return Outcome::Failed;
    }
    const std::optional<PassCounts> counts = editEach(
        *connection,
        "corse",
        *ids,
        [&authority](store::TableCursor& trip, size_t) { return trip.SetField("ente", authority); },
        true);
    if (!counts) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kContractsResult, counts->read, counts->changed), ui::Icon::Information);
    return Outcome::Done;
}

ui::Outcome AssignExtendedCodes(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    std::vector<std::string> lines = lineCodes(*connection);
    const std::vector<std::string> companies = registerCodes(*connection, "regazi");
    std::vector<RegisterList> lists{
        {kLotField, "Lotto di gara", registerCodes(*connection, "reglot")},
        {kCompanyField, "Azienda Gestione", companies},
        {kSubcontractorField, "Azienda Subappalto", companies}};

    ui::FormSpec form;
    form.id = kExtendedCodesFormId;
    form.title = kExtendedTitle;
    form.groups.push_back(lineSelectionGroup(lines));
    ui::FormGroup codes;
    for (const RegisterList& list : lists) {
        codes.fields.push_back(
            choiceField(std::string(list.field), std::string(list.what), list.entries));
    }
    form.groups.push_back(std::move(codes));
    form.groups.push_back(warningGroup(kExtendedWarning));
    form.validate = [lines, lists](const ui::FormValues& values) {
        LineSelection selection = selectedLine(values, lines);
        return selection.refusal ? std::move(selection.refusal) : registerRefusal(values, lists);
    };
    form.editable = lineEditable;
    const std::optional<ui::FormValues> values = ui.Form(form);
    if (!values) {
        return Outcome::Cancelled;
    }
    const std::optional<std::string> line = selectedLine(*values, lines).line;
    std::vector<std::string> chosen;
    for (const RegisterList& list : lists) {
        chosen.push_back(
            fmt::format("{}", *listedCode(fieldValue(*values, list.field), list.entries)));
    }

    window.BeginBusy(true);
    const std::optional<std::vector<std::int32_t>> ids = tripsOfLine(*connection, line);
    if (!ids) {
        return Outcome::Failed;
    }
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return Outcome::Failed;
    }
    long updated = 0;
    {
        ui::ProgressBar bar(ui);
        store::TableCursor codesOfTrip(connection, "extcod");
        codesOfTrip.SelectIndex("codice");
        for (size_t i = 0; i < ids->size(); ++i) {
            const std::string id = fmt::format("{}", (*ids)[i]);
            // A trip without extended codes gets its row.
            const bool opened = codesOfTrip.Seek({id})
                                    ? codesOfTrip.Edit()
                                    : codesOfTrip.AddNew() && codesOfTrip.SetField("ID", id);
            if (opened && codesOfTrip.SetField("lotto", chosen[0]) &&
                codesOfTrip.SetField("aziges", chosen[1]) &&
                codesOfTrip.SetField("azisub", chosen[2]) && codesOfTrip.Update()) {
                ++updated;
            }
            bar.set(static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(ids->size()));
        }
    }
    if (!transaction.commit()) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kExtendedResult, updated, ids->size()), ui::Icon::Information);
    return Outcome::Done;
}

ui::Outcome FixSubcontracts(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!confirmed(ui, kSubcontractsQuestion)) {
        return Outcome::Cancelled;
    }
    window.BeginBusy(true);
    std::vector<std::int32_t> ids;
    std::vector<std::string> operators;
    {
        store::QueryCursor rows(*connection);
        rows.SetSelect("ID, aziges");
        rows.SetFrom("extcod");
        rows.SetWhere("azisub = 0");
        rows.SetOrderBy("ID");
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            const std::optional<std::int32_t> id = idIn(rows, "ID");
            if (!id) {
                continue;
            }
            ids.push_back(*id);
            // The operating company as stored: a damaged one is refused by the table layer,
            // which says so, rather than taken for company 0.
            std::string company;
            rows.GetText("aziges", company);
            operators.push_back(std::move(company));
        }
        if (rows.failed()) {
            return Outcome::Failed;
        }
    }
    const std::optional<PassCounts> counts = editEach(
        *connection,
        "extcod",
        ids,
        [&operators](store::TableCursor& codes, size_t position) {
            return codes.SetField("azisub", operators[position]);
        },
        false);
    if (!counts) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kSubcontractsResult, counts->changed, counts->read),
               ui::Icon::Information);
    return Outcome::Done;
}

ui::Outcome AssignRouteCodes(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!confirmed(ui, kRouteCodesQuestion)) {
        return Outcome::Cancelled;
    }
    window.BeginBusy(true);
    std::optional<std::vector<RouteEntry>> entries = routeWorkList(*connection);
    if (!entries) {
        return Outcome::Failed;
    }
    if (const std::string refusal = incoherentRoutes(*entries); !refusal.empty()) {
        ui.Message(refusal, ui::Icon::Stop);
        return Outcome::Failed;
    }

    // Line codes compare byte by byte, as std::string does: "12" before "3".
    std::sort(entries->begin(), entries->end(), [](const RouteEntry& a, const RouteEntry& b) {
        return std::tie(a.line, a.direction, a.id) < std::tie(b.line, b.direction, b.id);
    });
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return Outcome::Failed;
    }
    long modified = 0;
    {
        store::TableCursor routes(connection, "itiner");
        routes.SelectIndex("codice");
        int number = 1;
        const RouteEntry* previous = nullptr;
        for (const RouteEntry& entry : *entries) {
            if (previous != nullptr &&
                (entry.line != previous->line || entry.direction != previous->direction)) {
                number = 1;
            }
            previous = &entry;
            if (!routes.Seek({fmt::format("{}", entry.id)})) {
                continue;
            }
            const std::string code =
                entry.direction.empty()
                    ? fmt::format("{}_{:02d}", entry.line, number)
                    : fmt::format("{}_{}_{:02d}", entry.line, entry.direction, number);
            ++number;
            if (routes.Edit() && routes.SetField("codperc", code) && routes.Update()) {
                ++modified;
            }
        }
    }
    if (!transaction.commit()) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kRouteCodesResult, modified, entries->size()), ui::Icon::Information);
    return Outcome::Done;
}

} // namespace tramela::utilities
