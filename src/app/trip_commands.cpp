// The timetable of a route on the command line: its list, the trips created, cloned, changed and
// deleted, the parameters assigned and the transit times changed. Each run opens the timetable
// window of the route (its transaction begins), performs one operation through the window's
// dialogs, answered by the options, and closes it with "Fine" (the transaction is committed); a
// refusal, a cancel or a failure commits nothing.

#include "app/command_sections.h"
#include "app/parameters.h"
#include "app/window_command_support.h"
#include "network/standard_trips.h"
#include "network/timetable_entry.h"
#include "network/trip_parameters.h"
#include "store/query_cursor.h"
#include "store/value_text.h"
#include "views/timetable_window.h"
#include "views/windows.h"
#include "workspace/workspace.h"

#include <fmt/format.h>

namespace tramela::app {

namespace {

using namespace parameters;
using ui::Outcome;
namespace fields = network::parameter_fields;

// The forms of the command line that name what an operation works on.
constexpr std::string_view kTimetableForm = "timetable";
constexpr std::string_view kTripForm = "trip";
constexpr std::string_view kRouteField = "route";
constexpr std::string_view kTripField = "trip";
constexpr std::string_view kSubField = "sub";
constexpr std::string_view kOperationField = "operation";
constexpr std::string_view kValidOnField = "valid-on";

// The route a trip runs on; nothing (said so) when the trip is not in the archive.
std::optional<std::int32_t> routeOfTrip(workspace::Workspace& workspace, std::int32_t trip) {
    store::DatabaseConnection& connection = *workspace.connection();
    if (!views::tripExists(connection, trip)) {
        return std::nullopt;
    }
    store::QueryCursor rows(connection);
    rows.SetSelect("id_perc");
    rows.SetFrom("corse");
    rows.SetWhere("id = ?");
    rows.Bind(1, std::int64_t{trip});
    std::int32_t route = 0;
    if (!rows.Execute() || !rows.GetLong(0, route)) {
        return std::nullopt;
    }
    return route;
}

bool routeExists(workspace::Workspace& workspace, std::int32_t route) {
    store::QueryCursor rows(*workspace.connection());
    rows.SetSelect("ID");
    rows.SetFrom("itiner");
    rows.SetWhere("ID = ?");
    rows.Bind(1, std::int64_t{route});
    if (rows.Execute()) {
        return true;
    }
    if (!rows.failed()) {
        workspace.ui().Message(
            fmt::format("ATTENZIONE: il percorso {} non è presente nell'archivio.", route),
            ui::Icon::Stop);
    }
    return false;
}

// The timetable window of a route, closed with "Fine" when the operation succeeded.
struct OpenTimetable {
    views::TimetableWindow window;

    OpenTimetable(workspace::Workspace& workspace, std::int32_t route)
        : window(*workspace.connection(), route) {}

    Outcome finish(bool done) {
        if (!done) {
            return Outcome::Failed; // the window's transaction is rolled back with it
        }
        return window.close() ? Outcome::Done : Outcome::Failed;
    }

    // Runs an operation of the window; its outcome, the window closed when it is done.
    Outcome run(std::string_view id) {
        if (!window.run(id)) {
            return window.lastOutcome() == Outcome::Cancelled ? Outcome::Cancelled
                                                              : Outcome::Failed;
        }
        return finish(true);
    }
};

// The timetable of the route a form names, open; nothing (said so) when the route is not valid, not
// in the archive or its timetable cannot be opened.
std::unique_ptr<OpenTimetable> openRouteTimetable(workspace::Workspace& workspace,
                                                  const ui::FormValues& values) {
    const auto route =
        identifier(workspace, views::fieldValue(values, kRouteField), "del percorso");
    if (!route || !routeExists(workspace, *route)) {
        return nullptr;
    }
    auto open = std::make_unique<OpenTimetable>(workspace, *route);
    if (!open->window.open()) {
        return nullptr;
    }
    return open;
}

Outcome listTimetable(workspace::Workspace& workspace) {
    const auto values = askForm(workspace,
                                kTimetableForm,
                                "Corse effettuate sul percorso",
                                {{kRouteField, ""}, {kOperationField, ""}, {kValidOnField, ""}});
    if (!values) {
        return Outcome::Cancelled;
    }
    const auto open = openRouteTimetable(workspace, *values);
    if (!open) {
        return Outcome::Failed;
    }
    const std::string& validOn = views::fieldValue(*values, kValidOnField);
    if (!validOn.empty() && !open->window.setValidOn(validOn)) {
        return Outcome::Failed;
    }
    const std::string text = open->window.text(onTerminal());
    workspace.ui().Message(text, ui::Icon::None);
    return open->finish(true);
}

// The trip an operation names, with the timetable of its route open and the trip selected.
struct SelectedTrip {
    std::int32_t trip = 0;
    std::unique_ptr<OpenTimetable> open;
};

std::optional<SelectedTrip> selectTrip(workspace::Workspace& workspace,
                                       const ui::FormValues& values) {
    const auto trip = identifier(workspace, views::fieldValue(values, kTripField), "della corsa");
    const auto route = trip ? routeOfTrip(workspace, *trip) : std::nullopt;
    if (!route) {
        return std::nullopt;
    }
    auto open = std::make_unique<OpenTimetable>(workspace, *route);
    if (!open->window.open()) {
        return std::nullopt;
    }
    const auto column = open->window.columnOf(*trip);
    if (!column || !open->window.selectTrip(*column)) {
        return std::nullopt;
    }
    return SelectedTrip{*trip, std::move(open)};
}

std::optional<SelectedTrip> askTrip(workspace::Workspace& workspace, Outcome& outcome) {
    const auto values = askForm(workspace, kTripForm, "Corsa", {{kTripField, ""}});
    if (!values) {
        outcome = Outcome::Cancelled;
        return std::nullopt;
    }
    outcome = Outcome::Failed;
    return selectTrip(workspace, *values);
}

void tell(workspace::Workspace& workspace, const std::string& text) {
    workspace.ui().Message(text, ui::Icon::Information);
}

std::string createdText(const std::vector<std::int32_t>& created) {
    if (created.empty()) {
        return "Nessuna corsa inserita.";
    }
    if (created.size() == 1) {
        return fmt::format("Inserita la corsa {}.", created.front());
    }
    return fmt::format("Inserite {} corse: {}.", created.size(), fmt::join(created, ", "));
}

Outcome newTrip(workspace::Workspace& workspace) {
    const auto values = askForm(workspace, kTripForm, "Percorso", {{kRouteField, ""}});
    if (!values) {
        return Outcome::Cancelled;
    }
    const auto open = openRouteTimetable(workspace, *values);
    if (!open) {
        return Outcome::Failed;
    }
    const Outcome outcome = open->run(views::timetable::kInsert);
    if (outcome == Outcome::Done) {
        tell(workspace, createdText(open->window.created()));
    }
    return outcome;
}

// An operation on the trip named by the TRIP argument, told by `done` when it succeeded.
template <typename Done>
Outcome onTrip(workspace::Workspace& workspace, std::string_view id, Done done) {
    Outcome outcome = Outcome::Failed;
    auto selected = askTrip(workspace, outcome);
    if (!selected) {
        return outcome;
    }
    outcome = selected->open->run(id);
    if (outcome == Outcome::Done) {
        tell(workspace, done(*selected));
    }
    return outcome;
}

Outcome cloneTrip(workspace::Workspace& workspace) {
    return onTrip(workspace, views::timetable::kClone, [](SelectedTrip& selected) {
        return createdText(selected.open->window.created());
    });
}

Outcome cloneBand(workspace::Workspace& workspace) {
    return onTrip(workspace, views::timetable::kCloneBand, [](SelectedTrip& selected) {
        return createdText(selected.open->window.created());
    });
}

Outcome changeHead(workspace::Workspace& workspace) {
    return onTrip(workspace, views::timetable::kHead, [](SelectedTrip& selected) {
        return fmt::format("Variata la testa della corsa {}.", selected.trip);
    });
}

Outcome assignParameters(workspace::Workspace& workspace) {
    return onTrip(workspace, views::timetable::kParameters, [](SelectedTrip& selected) {
        return fmt::format("Parametri assegnati a partire dalla corsa {}.", selected.trip);
    });
}

Outcome deleteTrip(workspace::Workspace& workspace) {
    Outcome outcome = Outcome::Failed;
    auto selected = askTrip(workspace, outcome);
    if (!selected) {
        return outcome;
    }
    outcome = selected->open->finish(selected->open->window.deleteTrip());
    if (outcome == Outcome::Done) {
        tell(workspace, fmt::format("Eliminata la corsa {}.", selected->trip));
    }
    return outcome;
}

Outcome changeTransit(workspace::Workspace& workspace) {
    const auto values = askForm(workspace, kTripForm, "Corsa", {{kTripField, ""}, {kSubField, ""}});
    if (!values) {
        return Outcome::Cancelled;
    }
    const auto sub = identifier(workspace, views::fieldValue(*values, kSubField), "della fermata");
    auto selected = sub ? selectTrip(workspace, *values) : std::nullopt;
    if (!selected) {
        return Outcome::Failed;
    }
    views::TimetableWindow& window = selected->open->window;
    const auto& stops = window.stops();
    const auto stop = std::find_if(
        stops.begin(), stops.end(), [&](const views::TimetableStop& s) { return s.sub == *sub; });
    if (stop == stops.end()) {
        workspace.ui().Message(
            fmt::format("ATTENZIONE: il percorso della corsa {} non ha la fermata {}.",
                        selected->trip,
                        *sub),
            ui::Icon::Stop);
        return Outcome::Failed;
    }
    window.selectStop(static_cast<size_t>(stop - stops.begin()));
    const Outcome outcome = selected->open->run(views::timetable::kTransit);
    if (outcome == Outcome::Done) {
        tell(workspace,
             fmt::format(
                 "Variato il transito della corsa {} alla fermata {}.", selected->trip, *sub));
    }
    return outcome;
}

// The TRIP argument; it also opens the dialog's answers, so that a dialog whose options are all
// left out keeps every value it proposes.
Parameter tripArgument(std::string_view dialog = {}) {
    Parameter trip = fieldArgument("TRIP", kTripForm, kTripField, "ID della corsa");
    if (!dialog.empty()) {
        trip.answer = [dialog = std::string(dialog)](ui::Answers& answers,
                                                     const std::string& value) {
            answers.forms[std::string(kTripForm)][std::string(kTripField)] = value;
            answers.forms[dialog];
        };
    }
    return trip;
}

// The options of a trip dialog: the head of the trip.
std::vector<Parameter> headOptions(std::string_view form, bool withEnd) {
    std::vector<Parameter> list{
        fieldOption("--code", "CODICE", form, "code", "Codice Corsa"),
        fieldOption("--line", "LINEA", form, "line", "Codice Linea"),
        fieldOption("--direction", "A|R", form, "direction", "Verso (A/R)"),
        fieldOption("--start", "HH.MM", form, "start", "Orario di partenza"),
    };
    if (withEnd) {
        list.push_back(fieldOption("--end", "HH.MM", form, "end", "Orario di arrivo"));
    }
    for (Parameter& option : std::vector<Parameter>{
             fieldOption("--authority", "N", form, "authority", "Ente Concedente"),
             fieldOption("--lot", "N", form, "lot", "Lotto"),
             fieldOption("--company", "N", form, "company", "Azienda Gestione"),
             fieldOption("--subcontractor", "N", form, "subcontractor", "Azienda Subappalto"),
             fieldOption("--vehicle", "U|X|W|F|T|N", form, "vehicle", "Tipo Mezzo")}) {
        list.push_back(std::move(option));
    }
    return list;
}

// An option of the parameters dialog: its value, and its group's box ticked.
Parameter parameterOption(std::string name,
                          std::string valueName,
                          std::string_view field,
                          std::string_view box,
                          std::string help) {
    using network::kTripParametersFormId;
    Parameter option = fieldOption(
        std::move(name), std::move(valueName), kTripParametersFormId, field, std::move(help));
    option.answer = [field = std::string(field), box = std::string(box)](ui::Answers& answers,
                                                                         const std::string& value) {
        ui::FormValues& values = answers.forms[std::string(kTripParametersFormId)];
        values.insert_or_assign(field, value);
        values.insert_or_assign(box, "1");
    };
    return option;
}

std::vector<Parameter> assignOptions() {
    using network::kTripParametersFormId;
    // The scope is always given: every group not named by an option is then left unticked, so
    // that only what the command line names is written.
    Parameter scope = fieldOption("--scope",
                                  "standard|route",
                                  kTripParametersFormId,
                                  fields::kScope,
                                  "Corse da modificare: quelle della corsa standard della corsa "
                                  "(standard) o tutte quelle del percorso (route)");
    scope.required = true;
    scope.choices = {"standard", "route"};
    scope.answer = [](ui::Answers& answers, const std::string& value) {
        ui::FormValues& values = answers.forms[std::string(kTripParametersFormId)];
        values.insert_or_assign(
            std::string(fields::kScope),
            std::string(value == "standard" ? network::kScopeStandardTrip : network::kScopeRoute));
        for (const std::string_view box : {fields::kSetLine,
                                           fields::kSetAuthority,
                                           fields::kSetLot,
                                           fields::kSetCompany,
                                           fields::kSetSubcontractor,
                                           fields::kSetPhysical,
                                           fields::kSetContract,
                                           fields::kSetVehicle}) {
            values.emplace(std::string(box), "0");
        }
    };
    Parameter vehicle = parameterOption(
        "--vehicle", "U|X|W|F|T|N", fields::kVehicle, fields::kSetVehicle, "Tipo mezzo utilizzato");
    vehicle.choices = {"U", "X", "W", "F", "T", "N"};
    vehicle.answer = [](ui::Answers& answers, const std::string& value) {
        ui::FormValues& values = answers.forms[std::string(kTripParametersFormId)];
        for (const network::VehicleType& type : network::kVehicleTypes) {
            if (value == std::string(1, type.letter)) {
                values.insert_or_assign(std::string(fields::kVehicle), std::string(type.name));
            }
        }
        values.insert_or_assign(std::string(fields::kSetVehicle), "1");
    };
    return {
        tripArgument(kTripParametersFormId),
        std::move(scope),
        parameterOption("--line", "LINEA", fields::kLine, fields::kSetLine, "Codice Linea"),
        parameterOption("--direction",
                        "A|R",
                        fields::kDirection,
                        fields::kSetLine,
                        "Verso (A o R; altro: nessuno)"),
        parameterOption(
            "--authority", "N", fields::kAuthority, fields::kSetAuthority, "Ente Gestore"),
        parameterOption("--lot", "N", fields::kLot, fields::kSetLot, "Lotto di Gara"),
        parameterOption(
            "--company", "N", fields::kCompany, fields::kSetCompany, "Azienda Gestione"),
        parameterOption("--subcontractor",
                        "N",
                        fields::kSubcontractor,
                        fields::kSetSubcontractor,
                        "Azienda Subappalto"),
        parameterOption(
            "--length", "M", fields::kLength, fields::kSetPhysical, "Lunghezza fisica (m.)"),
        parameterOption(
            "--duration", "MIN", fields::kDuration, fields::kSetPhysical, "Durata fisica (min)"),
        parameterOption("--contract-length",
                        "M",
                        fields::kContractLength,
                        fields::kSetContract,
                        "Lunghezza contabile (m.)"),
        parameterOption("--contract-duration",
                        "MIN",
                        fields::kContractDuration,
                        fields::kSetContract,
                        "Durata Contabile (min)"),
        std::move(vehicle),
    };
}

std::vector<Command> tripActions() {
    using namespace network;
    std::vector<Parameter> create{
        fieldArgument("ROUTE", kTripForm, kRouteField, "ID del percorso")};
    create.front().answer = [](ui::Answers& answers, const std::string& value) {
        answers.forms[std::string(kTripForm)][std::string(kRouteField)] = value;
        answers.forms[std::string(kNewTripFormId)];
    };
    for (Parameter& option : headOptions(kNewTripFormId, true)) {
        create.push_back(std::move(option));
    }
    std::vector<Parameter> clone{tripArgument(kCloneFormId)};
    for (Parameter& option : headOptions(kCloneFormId, false)) {
        clone.push_back(std::move(option));
    }
    std::vector<Parameter> head{tripArgument(kHeadFormId)};
    for (Parameter& option : headOptions(kHeadFormId, false)) {
        head.push_back(std::move(option));
    }
    std::vector<Parameter> band{
        tripArgument(),
        fieldOption("--from", "HH.MM", kBandFormId, "start", "Inizio della fascia oraria"),
        fieldOption("--to", "HH.MM", kBandFormId, "end", "Termine della fascia oraria"),
        fieldOption("--every", "MIN", kBandFormId, "frequency", "Frequenza in minuti")};
    for (size_t i = 1; i < band.size(); ++i) {
        band[i].required = true;
    }
    return {
        operation(
            "new",
            "Inserisci Corsa (Nuova Corsa Standard): i tempi alle fermate in proporzione alle "
            "progressive convenzionali; i campi non indicati riprendono la prima corsa del "
            "percorso",
            newTrip,
            std::move(create)),
        operation("clone",
                  "Aggiungi Corsa (Clonazione): la corsa standard, le lunghezze e i periodi della "
                  "corsa; i campi non indicati la riprendono",
                  cloneTrip,
                  std::move(clone)),
        operation("clone-band",
                  "Aggiungi Corse (Clonazione a Frequenza): una corsa per ogni passo della fascia",
                  cloneBand,
                  std::move(band)),
        operation("head",
                  "Variazione Testa Corsa: i campi non indicati restano come sono",
                  changeHead,
                  std::move(head)),
        operation("delete",
                  "Elimina la corsa con i suoi periodi e le sue codifiche estese",
                  deleteTrip,
                  {tripArgument()}),
        operation("assign",
                  "Assegnazione Parametri Corse: solo i gruppi indicati sono scritti",
                  assignParameters,
                  assignOptions()),
    };
}

// "trips" with no operation: the command line always asks for one; any other caller is told.
Outcome tripsWithoutOperation(workspace::Workspace& workspace) {
    workspace.ui().Message("Indicare l'operazione sulle corse: new, clone, clone-band, head, "
                           "delete o assign.",
                           ui::Icon::Stop);
    return Outcome::Failed;
}

} // namespace

std::vector<Command> tripCommands() {
    Parameter operation = fieldArgument("OPERATION", kTimetableForm, kOperationField, "list");
    operation.choices = {"list"};
    Parameter transitTrip = fieldArgument("TRIP", kTripForm, kTripField, "ID della corsa");
    Parameter arrive = fieldOption(
        "--arrive", "HH.MM", network::kTransitFormId, "arrival", "Orario di arrivo alla fermata");
    Parameter depart = fieldOption("--depart",
                                   "HH.MM",
                                   network::kTransitFormId,
                                   "departure",
                                   "Orario di partenza dalla fermata");
    arrive.required = true;
    depart.required = true;
    return {
        {.cli = "timetable",
         .help = "Corse effettuate sul percorso: una colonna per corsa, una riga per fermata",
         .parameters = {fieldArgument("ROUTE", kTimetableForm, kRouteField, "ID del percorso"),
                        std::move(operation),
                        fieldOption("--valid-on",
                                    "GG/MM/AAAA",
                                    kTimetableForm,
                                    kValidOnField,
                                    "Solo le corse valide nel giorno (Filtro Validità Corse)")},
         .entry = listTimetable},
        {.cli = "trips",
         .help = "Corse di un percorso: inserimento, clonazione, testa, eliminazione, parametri",
         .entry = tripsWithoutOperation,
         .actions = tripActions()},
        {.cli = "transit",
         .help = "Variazione Transito di una corsa a una fermata (SUB del percorso)",
         .parameters = {std::move(transitTrip),
                        fieldArgument(
                            "SUB", kTripForm, kSubField, "Sub della fermata nel percorso"),
                        std::move(arrive),
                        std::move(depart)},
         .entry = changeTransit},
    };
}

} // namespace tramela::app
