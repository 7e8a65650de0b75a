// The editing windows in the command table, and their operations on the command line: each run
// opens the window (its transaction begins), performs one operation, and closes it with "Fine"
// (the transaction is committed); a refusal or a failure closes nothing and commits nothing.

#include "app/window_commands.h"

#include "app/parameters.h"
#include "app/window_command_support.h"
#include "calendar/calendar_commands.h"
#include "store/value_text.h"
#include "views/edit_window.h"
#include "views/windows.h"
#include "workspace/typed_date.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>
#include <tuple>

namespace tramela::app {

namespace {

using namespace parameters;
using ui::Outcome;
namespace fields = views::fields;

WindowOpener& opener() {
    static WindowOpener instance;
    return instance;
}

// The forms of the command line's operations: the record chosen ("...-key") and its detail
// fields ("...-fields").
constexpr std::string_view kListForm = "window-list";
constexpr std::string_view kOrderField = "order";
constexpr std::string_view kStandardLineKey = "standard-line";
constexpr std::string_view kStandardLineFields = "standard-line-fields";
constexpr std::string_view kLineLinkForm = "line-link";
constexpr std::string_view kRouteKey = "route";
constexpr std::string_view kRouteFields = "route-fields";
constexpr std::string_view kPeriodsForm = "periods";
constexpr std::string_view kTripField = "trip";
constexpr std::string_view kOperationField = "operation";

// A window open on the workspace's database, closed with "Fine" when the operation succeeded.
struct OpenWindow {
    views::EditWindow window;

    OpenWindow(workspace::Workspace& workspace, std::unique_ptr<views::WindowSource> source)
        : window(*workspace.connection(), std::move(source)) {}

    Outcome finish(bool done) {
        if (!done) {
            return Outcome::Failed; // the window's transaction is rolled back with it
        }
        return window.close() ? Outcome::Done : Outcome::Failed;
    }
};

// "list [--order ...]": the orders' names in the menu's order.
Outcome listWindow(workspace::Workspace& workspace,
                   std::unique_ptr<views::WindowSource> source,
                   const std::vector<std::string>& orders) {
    std::string order = orders.empty() ? std::string() : orders.front();
    if (!orders.empty()) {
        const auto values = askForm(workspace, kListForm, "Ordinamento", {{kOrderField, order}});
        if (!values) {
            return Outcome::Cancelled;
        }
        order = views::fieldValue(*values, kOrderField);
    }
    OpenWindow open(workspace, std::move(source));
    const auto at = std::find(orders.begin(), orders.end(), order);
    if (!open.window.open() ||
        (at != orders.end() && !open.window.setOrder(static_cast<int>(at - orders.begin())))) {
        return Outcome::Failed;
    }
    printList(workspace, open.window);
    return open.finish(true);
}

// Selects the entry with these keys; says so when the list does not hold it.
bool selectEntry(workspace::Workspace& workspace,
                 views::EditWindow& window,
                 const std::vector<std::string>& keys,
                 std::string_view what) {
    const auto& entries = window.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].keys == keys) {
            return window.select(i);
        }
    }
    workspace.ui().Message(fmt::format("ATTENZIONE: {} non è presente nell'archivio.", what),
                           ui::Icon::Stop);
    return false;
}

// Starts a new record or the modification of the selected one, lays the given values over the
// fields and confirms.
bool confirmWith(views::EditWindow& window, bool isNew, const ui::FormValues& given) {
    if (!(isNew ? window.beginNew() : window.beginModify())) {
        return false;
    }
    ui::FormValues values = window.values();
    for (const auto& [id, value] : given) {
        values.insert_or_assign(id, value);
    }
    return window.confirm(values);
}

// Values given on the command line (options left out are absent, not empty).
ui::FormValues givenValues(const ui::FormValues& values) {
    ui::FormValues given;
    for (const auto& [id, value] : values) {
        if (!value.empty()) {
            given.emplace(id, value);
        }
    }
    return given;
}

Parameter orderOption(std::vector<std::string> orders) {
    Parameter parameter =
        fieldOption("--order",
                    "ORDINE",
                    kListForm,
                    kOrderField,
                    fmt::format("Ordine dell'elenco ({})", fmt::join(orders, ", ")));
    parameter.choices = std::move(orders);
    return parameter;
}

// Standard lines.
const std::vector<std::string>& standardLineOrders() {
    static const std::vector<std::string> orders{"lot", "authority", "code"};
    return orders;
}

Outcome listStandardLines(workspace::Workspace& workspace) {
    return listWindow(workspace, views::standardLineWindow(), standardLineOrders());
}

Outcome editStandardLine(workspace::Workspace& workspace, bool isNew, bool deleting) {
    const auto key = askForm(
        workspace, kStandardLineKey, "Linea Standard", {{fields::kLot, ""}, {fields::kId, ""}});
    if (!key) {
        return Outcome::Cancelled;
    }
    std::optional<ui::FormValues> detail = ui::FormValues{};
    if (!deleting) {
        detail = askForm(workspace,
                         kStandardLineFields,
                         "Linea Standard",
                         {{fields::kAuthority, ""},
                          {fields::kCode, ""},
                          {fields::kName, ""},
                          {fields::kRoute, ""}});
        if (!detail) {
            return Outcome::Cancelled;
        }
    }
    OpenWindow open(workspace, views::standardLineWindow());
    if (!open.window.open()) {
        return Outcome::Failed;
    }
    ui::FormValues given = givenValues(*detail);
    if (isNew) {
        given.insert_or_assign(std::string(fields::kLot), views::fieldValue(*key, fields::kLot));
        given.insert_or_assign(std::string(fields::kId), views::fieldValue(*key, fields::kId));
        return open.finish(confirmWith(open.window, true, given));
    }
    const auto lot = views::fieldValue(*key, fields::kLot);
    const auto id = views::fieldValue(*key, fields::kId);
    if (!selectEntry(workspace,
                     open.window,
                     {std::string(store::trimBlanks(lot)), std::string(store::trimBlanks(id))},
                     fmt::format("la linea {} del lotto {}", id, lot))) {
        return Outcome::Failed;
    }
    return open.finish(deleting ? open.window.deleteSelected()
                                : confirmWith(open.window, false, given));
}

Outcome addStandardLine(workspace::Workspace& workspace) {
    return editStandardLine(workspace, true, false);
}

Outcome modifyStandardLine(workspace::Workspace& workspace) {
    return editStandardLine(workspace, false, false);
}

Outcome deleteStandardLine(workspace::Workspace& workspace) {
    return editStandardLine(workspace, false, true);
}

std::vector<Command> standardLineActions() {
    const auto keyArguments = [] {
        return std::vector<Parameter>{
            fieldArgument("LOT", kStandardLineKey, fields::kLot, "Codice del Lotto di gara"),
            fieldArgument("ID", kStandardLineKey, fields::kId, "Id della linea nel lotto")};
    };
    const auto detailOptions = [&](bool required) {
        std::vector<Parameter> list = keyArguments();
        list.push_back(fieldOption("--authority",
                                   "N",
                                   kStandardLineFields,
                                   fields::kAuthority,
                                   "Codice dell'Ente Gestione"));
        list.push_back(
            fieldOption("--code", "SIGLA", kStandardLineFields, fields::kCode, "Sigla Ufficiale"));
        list.push_back(
            fieldOption("--name", "TESTO", kStandardLineFields, fields::kName, "Denominazione"));
        list.push_back(
            fieldOption("--route", "TESTO", kStandardLineFields, fields::kRoute, "Percorso"));
        if (required) {
            list[2].required = true;
            list[3].required = true;
        }
        return list;
    };
    return {operation("list",
                      "Elenca le linee standard",
                      listStandardLines,
                      {orderOption(standardLineOrders())}),
            operation(
                "add", "Inserisce una nuova linea standard", addStandardLine, detailOptions(true)),
            operation(
                "modify", "Modifica una linea standard", modifyStandardLine, detailOptions(false)),
            operation("delete", "Elimina una linea standard", deleteStandardLine, keyArguments())};
}

// Line links.
const std::vector<std::string>& lineLinkOrders() {
    static const std::vector<std::string> orders{"line", "code"};
    return orders;
}

Outcome listLineLinks(workspace::Workspace& workspace) {
    return listWindow(workspace, views::lineLinkWindow(), lineLinkOrders());
}

Outcome editLineLink(workspace::Workspace& workspace, bool deleting) {
    const auto values = askForm(workspace,
                                kLineLinkForm,
                                "Associazione Linea",
                                {{fields::kLine, ""}, {fields::kOfficial, ""}});
    if (!values) {
        return Outcome::Cancelled;
    }
    OpenWindow open(workspace, views::lineLinkWindow());
    if (!open.window.open()) {
        return Outcome::Failed;
    }
    if (!deleting) {
        return open.finish(confirmWith(open.window, true, *values));
    }
    const std::string line(store::trimBlanks(views::fieldValue(*values, fields::kLine)));
    return open.finish(
        selectEntry(workspace, open.window, {line}, fmt::format("la linea aziendale {}", line)) &&
        open.window.deleteSelected());
}

Outcome addLineLink(workspace::Workspace& workspace) {
    return editLineLink(workspace, false);
}

Outcome deleteLineLink(workspace::Workspace& workspace) {
    return editLineLink(workspace, true);
}

std::vector<Command> lineLinkActions() {
    const Parameter line =
        fieldArgument("LINE", kLineLinkForm, fields::kLine, "Codice della linea aziendale");
    return {
        operation(
            "list", "Elenca le associazioni linea", listLineLinks, {orderOption(lineLinkOrders())}),
        operation("add",
                  "Associa una linea aziendale a una linea standard",
                  addLineLink,
                  {line,
                   fieldArgument("OFFICIAL",
                                 kLineLinkForm,
                                 fields::kOfficial,
                                 "La linea standard, come LOTTO/ID")}),
        operation(
            "delete", "Elimina l'associazione di una linea aziendale", deleteLineLink, {line})};
}

// Routes.
const std::vector<std::string>& routeOrders() {
    static const std::vector<std::string> orders{"id", "code", "length", "name"};
    return orders;
}

Outcome listRoutes(workspace::Workspace& workspace) {
    return listWindow(workspace, views::routeWindow(), routeOrders());
}

Outcome editRoute(workspace::Workspace& workspace, bool deletingComposition) {
    const auto key = askForm(workspace, kRouteKey, "Percorso", {{fields::kId, ""}});
    if (!key) {
        return Outcome::Cancelled;
    }
    std::optional<ui::FormValues> detail = ui::FormValues{};
    if (!deletingComposition) {
        detail = askForm(workspace,
                         kRouteFields,
                         "Variazione Attributi Percorso",
                         {{fields::kLength, ""}, {fields::kCode, ""}, {fields::kName, ""}});
        if (!detail) {
            return Outcome::Cancelled;
        }
    }
    OpenWindow open(workspace, views::routeWindow());
    const std::string id(store::trimBlanks(views::fieldValue(*key, fields::kId)));
    if (!open.window.open() ||
        !selectEntry(workspace, open.window, {id}, fmt::format("il percorso {}", id))) {
        return Outcome::Failed;
    }
    if (deletingComposition) {
        return open.finish(open.window.special(views::kDeleteComposition));
    }
    return open.finish(confirmWith(open.window, false, givenValues(*detail)));
}

Outcome modifyRoute(workspace::Workspace& workspace) {
    return editRoute(workspace, false);
}

Outcome deleteComposition(workspace::Workspace& workspace) {
    return editRoute(workspace, true);
}

std::vector<Command> routeActions() {
    const Parameter id = fieldArgument("ID", kRouteKey, fields::kId, "ID del percorso");
    return {
        operation("list", "Elenca i percorsi", listRoutes, {orderOption(routeOrders())}),
        operation(
            "modify",
            "Variazione Attributi Percorso",
            modifyRoute,
            {id,
             fieldOption(
                 "--code", "CODICE", kRouteFields, fields::kCode, "Codice aziendale del percorso"),
             fieldOption("--name", "TESTO", kRouteFields, fields::kName, "Denominazione"),
             fieldOption("--length", "KM", kRouteFields, fields::kLength, "Lunghezza in Km")}),
        operation("delete-composition",
                  "Elimina la composizione (le fermate) del percorso",
                  deleteComposition,
                  {id})};
}

// The periods of a trip.
Outcome periods(workspace::Workspace& workspace) {
    const auto values = askForm(workspace,
                                kPeriodsForm,
                                "Periodi di Effettuazione",
                                {{kTripField, ""},
                                 {kOperationField, "list"},
                                 {fields::kFrom, ""},
                                 {fields::kTo, ""},
                                 {fields::kCadence, ""},
                                 {fields::kExcluded, "0"}});
    if (!values) {
        return Outcome::Cancelled;
    }
    store::DatabaseConnection& connection = *workspace.connection();
    const auto trip = identifier(workspace, views::fieldValue(*values, kTripField), "della corsa");
    if (!trip) {
        return Outcome::Failed;
    }
    if (!views::tripExists(connection, *trip)) {
        return Outcome::Failed;
    }
    OpenWindow open(workspace, views::periodWindow(*trip));
    if (!open.window.open()) {
        return Outcome::Failed;
    }
    const std::string& what = views::fieldValue(*values, kOperationField);
    if (what == "list") {
        printList(workspace, open.window);
        return open.finish(true);
    }
    ui::FormValues given = givenValues(*values);
    given.erase(std::string(kTripField));
    given.erase(std::string(kOperationField));
    if (what == "add") {
        return open.finish(confirmWith(open.window, true, given));
    }
    // Modify and delete name the period by its dates, typed as in the dialog.
    const auto from = workspace::normaliseTypedDate(views::fieldValue(*values, fields::kFrom));
    const auto to = workspace::normaliseTypedDate(views::fieldValue(*values, fields::kTo));
    if (!from || !to) {
        workspace.ui().Message(
            fmt::format("ATTENZIONE: la data di {} periodo è espressa in un formato illegale.\n\n"
                        "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
                        "I dati immessi non saranno registrati !!!",
                        from ? "fine" : "inizio"),
            ui::Icon::Stop);
        return Outcome::Failed;
    }
    if (!selectEntry(workspace,
                     open.window,
                     {*from, *to},
                     fmt::format("il periodo {} - {} della corsa {}", *from, *to, *trip))) {
        return Outcome::Failed;
    }
    if (what == "delete") {
        return open.finish(open.window.deleteSelected());
    }
    given.erase(std::string(fields::kFrom));
    given.erase(std::string(fields::kTo));
    // "--excluded" left out on a modification makes the period one of service again.
    given.insert_or_assign(std::string(fields::kExcluded),
                           views::fieldValue(*values, fields::kExcluded));
    return open.finish(confirmWith(open.window, false, given));
}

// The menu item: the window in a front end that has windows, the list otherwise.
template <int MenuId> Outcome openWindow(workspace::Workspace& workspace) {
    if (opener()) {
        return opener()(workspace, MenuId);
    }
    switch (MenuId) {
    case 5110:
        return calendar::ListCadences(workspace);
    case 5111:
        return calendar::ListCalendarDays(workspace);
    case 5119:
        return listWindow(workspace, views::routeWindow(), {});
    case 5156:
        return listWindow(workspace, views::standardLineWindow(), {});
    default:
        return listWindow(workspace, views::lineLinkWindow(), {});
    }
}

// The cadence register and the calendar as the command line has offered them.
Command cadenceAction(std::string_view name,
                      std::string_view help,
                      Entry entry,
                      std::string nameHelp = {}) {
    Command command = operation(name, help, entry);
    command.parameters.push_back(
        fieldArgument("CODE", calendar::kCadenceFormId, "code", "Codice della cadenza"));
    if (!nameHelp.empty()) {
        command.parameters.push_back(
            fieldArgument("NAME", calendar::kCadenceFormId, "name", std::move(nameHelp)));
    }
    return command;
}

std::vector<Command> cadenceActions() {
    return {
        operation("list", "Elenca le cadenze", calendar::ListCadences),
        cadenceAction("add",
                      "Inserisce una nuova cadenza",
                      calendar::AddCadence,
                      "Denominazione della cadenza"),
        cadenceAction(
            "modify", "Modifica una cadenza", calendar::ModifyCadence, "Nuova denominazione"),
        cadenceAction("delete", "Elimina una cadenza", calendar::DeleteCadence),
    };
}

std::vector<Parameter> rangeOptions(std::string_view form) {
    return {
        fieldOption(
            "--from", "GG/MM/AAAA", form, "from", "Primo giorno (predefinito: inizio del periodo)"),
        fieldOption(
            "--to", "GG/MM/AAAA", form, "to", "Ultimo giorno (predefinito: fine del periodo)")};
}

std::vector<Command> calendarActions() {
    using namespace calendar;
    Command days = operation("days", "Elenca i giorni del calendario", ListCalendarDays);
    days.parameters = rangeOptions(kDaysFormId);

    Command fill = operation("fill", "Genera una cadenza nei giorni scelti", FillCalendar);
    fill.parameters = {fieldArgument("CADENCE", kFillFormId, "cadence", "Codice della cadenza")};
    for (Parameter& option : rangeOptions(kFillFormId)) {
        fill.parameters.push_back(std::move(option));
    }
    fill.parameters.push_back(fieldOption("--weekdays",
                                          "1234567",
                                          kFillFormId,
                                          "weekdays",
                                          "Giorni della settimana (1=Lun ... 7=Dom), "
                                          "predefinito 1234567"));

    Command clear = operation("clear", "Toglie una cadenza dai giorni", ClearCalendar);
    clear.parameters = {fieldArgument("CADENCE", kClearFormId, "cadence", "Codice della cadenza")};
    for (Parameter& option : rangeOptions(kClearFormId)) {
        clear.parameters.push_back(std::move(option));
    }

    std::vector<Command> list{std::move(days), std::move(fill), std::move(clear)};
    using DayAction = std::tuple<const char*, const char*, Entry>;
    for (auto [name, help, entry] :
         {DayAction{"add", "Attiva una cadenza in un giorno", AddDayCadence},
          DayAction{"remove", "Disattiva una cadenza in un giorno", RemoveDayCadence}}) {
        Command day = operation(name, help, entry);
        day.parameters = {
            fieldArgument("DAY", kDayCadenceFormId, "day", "Il giorno (GG/MM/AAAA)"),
            fieldArgument("CADENCE", kDayCadenceFormId, "cadence", "Codice della cadenza")};
        list.push_back(std::move(day));
    }
    Command note = operation("note", "Annotazione di un giorno", AnnotateDay);
    Parameter text = fieldArgument("TEXT", kNoteFormId, "text", "L'annotazione (vuota: nessuna)");
    text.required = false;
    note.parameters = {fieldArgument("DAY", kNoteFormId, "day", "Il giorno (GG/MM/AAAA)"),
                       std::move(text)};
    list.push_back(std::move(note));
    return list;
}

} // namespace

void setWindowOpener(WindowOpener function) {
    opener() = std::move(function);
}

std::vector<Command> windowCommands() {
    return {
        {.menuId = 5110,
         .label = "gestione Ca&denze",
         .cli = "cadences",
         .help = "elenco, inserimento, modifica, eliminazione",
         .entry = openWindow<5110>,
         .actions = cadenceActions()},
        {.menuId = 5111,
         .label = "gestione Ca&lendario",
         .cli = "calendar",
         .help = "giorni, generazione e pulizia delle cadenze",
         .entry = openWindow<5111>,
         .actions = calendarActions()},
        {.menuId = 5119,
         .label = "gestione &Corse",
         .cli = "routes",
         .help = "elenco dei percorsi, variazione degli attributi, eliminazione della composizione",
         .entry = openWindow<5119>,
         .actions = routeActions()},
        {.menuId = 5156,
         .label = "gestione Codifiche &Linee Ufficiali",
         .cli = "standard-lines",
         .help = "elenco, inserimento, modifica, eliminazione delle linee standard",
         .entry = openWindow<5156>,
         .actions = standardLineActions()},
        {.menuId = 5157,
         .label = "gestione &Corrispondenze Codifiche Linee Ufficiali",
         .cli = "line-links",
         .help = "elenco, inserimento, eliminazione delle associazioni linea",
         .entry = openWindow<5157>,
         .actions = lineLinkActions()},
    };
}

std::vector<Command> nestedWindowCommands() {
    Parameter what =
        fieldArgument("OPERATION", kPeriodsForm, kOperationField, "list, add, modify o delete");
    what.choices = {"list", "add", "modify", "delete"};
    return {
        {.cli = "periods",
         .help =
             "Periodi di Effettuazione di una corsa: elenco, inserimento, modifica, eliminazione",
         .parameters =
             {fieldArgument("TRIP", kPeriodsForm, kTripField, "ID della corsa"),
              what,
              fieldOption("--from", "GG/MM/AAAA", kPeriodsForm, fields::kFrom, "Dal"),
              fieldOption("--to", "GG/MM/AAAA", kPeriodsForm, fields::kTo, "Al"),
              fieldOption(
                  "--cadence", "CADENZA", kPeriodsForm, fields::kCadence, "Codice della cadenza"),
              fieldFlag("--excluded",
                        kPeriodsForm,
                        fields::kExcluded,
                        "1",
                        "Periodo di esclusione (altrimenti di effettuazione)")},
         .entry = periods},
    };
}

} // namespace tramela::app
