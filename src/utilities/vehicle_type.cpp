#include "utilities/vehicle_type.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "utilities/bulk_edit.h"
#include "workspace/workspace.h"

#include <cstdint>
#include <fmt/format.h>
#include <string>
#include <vector>

namespace tramela::utilities {

namespace {

using ui::Outcome;

constexpr std::string_view kCompanyTitle = "Assegnazione Tipo Mezzo (Intera Azienda)";
constexpr std::string_view kLineTitle = "Assegnazione Tipo Mezzo (Singola Linea)";
constexpr std::string_view kAuthorityTitle = "Assegnazione Tipo Mezzo (Singolo Ente)";

constexpr std::string_view kBadAuthority =
    "ATTENZIONE: Il Codice Ente Concedente non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Ente presente nella lista.\n\n"
    "L'assegnazione automatica del Tipo Mezzo di Trasporto risulta\n"
    "impossibile.";

constexpr std::string_view kResult = "Risultati dell'assegnazione del mezzo di trasporto.\n"
                                     "{}"
                                     "Corse lette {}\n"
                                     "Corse aggiornate {}\n";
constexpr std::string_view kCompanyScope = "Tutte le corse dell'azienda.\n\n";
// The line is named: the message then says which trips were changed.
constexpr std::string_view kLineScope = "Corse della Linea selezionata ({}).\n\n";
constexpr std::string_view kAuthorityScope = "Corse dell'Ente Contrattuale selezionato.\n\n";

ui::FormSpec vehicleForm(std::string_view id, std::string_view title) {
    ui::FormSpec form;
    form.id = id;
    form.title = title;
    ui::FormField type{std::string(kVehicleTypeField), "", ui::FieldKind::Radio, {}, {}, 0};
    for (const VehicleType& vehicle : kVehicleTypes) {
        type.entries.emplace_back(vehicle.label);
    }
    type.value = *vehicleTypeEntry("X");
    form.groups.push_back({"Tipo mezzo utilizzato", {std::move(type)}});
    return form;
}

// The code of the chosen radio entry; the front ends let only the entries through.
std::string chosenCode(const ui::FormValues& values) {
    const std::string& label = fieldValue(values, kVehicleTypeField);
    for (const VehicleType& vehicle : kVehicleTypes) {
        if (vehicle.label == label) {
            return std::string(1, vehicle.code);
        }
    }
    return {};
}

std::optional<ui::Refusal> typeRefusal(const ui::FormValues& values) {
    if (chosenCode(values).empty()) {
        return ui::Refusal{"ATTENZIONE: occorre scegliere un Tipo mezzo utilizzato.\n\n",
                           ui::Icon::Exclamation,
                           {}};
    }
    return std::nullopt;
}

// Writes the mode into each trip and tells the counts.
Outcome assign(workspace::Workspace& window,
               store::DatabaseConnection& connection,
               const std::optional<std::vector<std::int32_t>>& ids,
               const std::string& code,
               std::string_view scope) {
    if (!ids) {
        return Outcome::Failed;
    }
    const std::optional<PassCounts> counts = editEach(
        connection,
        "corse",
        *ids,
        [&code](store::TableCursor& trip, size_t) { return trip.SetField("mezzo", code); },
        false);
    if (!counts) {
        return Outcome::Failed;
    }
    window.ui().Message(fmt::format(kResult, scope, counts->read, counts->changed),
                        ui::Icon::Information);
    return Outcome::Done;
}

} // namespace

std::optional<std::string_view> vehicleTypeEntry(std::string_view code) {
    for (const VehicleType& vehicle : kVehicleTypes) {
        if (code.size() == 1 && code[0] == vehicle.code) {
            return vehicle.label;
        }
    }
    return std::nullopt;
}

ui::Outcome AssignVehicleToCompany(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::FormSpec form = vehicleForm(kVehicleCompanyFormId, kCompanyTitle);
    form.validate = typeRefusal;
    const std::optional<ui::FormValues> values = window.ui().Form(form);
    if (!values) {
        return Outcome::Cancelled;
    }
    window.BeginBusy(true);
    return assign(window,
                  *connection,
                  tripsOfLine(*connection, std::nullopt),
                  chosenCode(*values),
                  kCompanyScope);
}

ui::Outcome AssignVehicleToLine(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    std::vector<std::string> lines = lineCodes(*connection);
    ui::FormSpec form = vehicleForm(kVehicleLineFormId, kLineTitle);
    form.groups.insert(form.groups.begin(),
                       {"", {choiceField(std::string(kVehicleLineField), "Linea", lines)}});
    form.validate = [lines](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        if (!listedLine(fieldValue(values, kVehicleLineField), lines)) {
            return ui::Refusal{std::string(kBadLine), ui::Icon::Exclamation, {}};
        }
        return typeRefusal(values);
    };
    const std::optional<ui::FormValues> values = window.ui().Form(form);
    if (!values) {
        return Outcome::Cancelled;
    }
    const std::string line = *listedLine(fieldValue(*values, kVehicleLineField), lines);
    window.BeginBusy(true);
    return assign(window,
                  *connection,
                  tripsOfLine(*connection, line),
                  chosenCode(*values),
                  fmt::format(kLineScope, line));
}

ui::Outcome AssignVehicleToAuthority(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    const std::vector<std::string> authorities = registerCodes(*connection, "regent");
    ui::FormSpec form = vehicleForm(kVehicleAuthorityFormId, kAuthorityTitle);
    form.groups.insert(
        form.groups.begin(),
        {"", {choiceField(std::string(kVehicleAuthorityField), "Ente", authorities)}});
    form.validate = typeRefusal;
    const std::optional<ui::FormValues> values = window.ui().Form(form);
    if (!values) {
        return Outcome::Cancelled;
    }
    // The authority is checked once the dialog is closed, and stops the command.
    const std::optional<int> authority =
        listedCode(fieldValue(*values, kVehicleAuthorityField), authorities);
    if (!authority) {
        window.ui().Message(kBadAuthority, ui::Icon::Stop);
        return Outcome::Failed;
    }
    window.BeginBusy(true);
    store::QueryCursor trips(*connection);
    trips.SetSelect("id");
    trips.SetFrom("corse");
    trips.SetWhere("ente = ?");
    trips.Bind(1, static_cast<std::int64_t>(*authority));
    trips.SetOrderBy("id");
    return assign(window, *connection, readIds(trips), chosenCode(*values), kAuthorityScope);
}

} // namespace tramela::utilities
