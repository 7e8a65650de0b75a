#include "network/trip_parameters.h"

#include "network/standard_trips.h"
#include "network/trip_form_support.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fmt/format.h>

namespace tramela::network {

namespace {

using namespace trip_form;

namespace fields = parameter_fields;

constexpr std::string_view kBadLot =
    "ATTENZIONE: Il Codice Lotto di Gara non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Lotto presente nella lista.\n\n";
constexpr std::string_view kBadNumber = "ATTENZIONE: il valore del campo \"{}\" non è valido.\n\n"
                                        "Occorre indicare un numero intero non negativo{}.\n\n";

constexpr long kLongestLength = 2147483647L; // corse.lung, ct_lung: whole metres "%ld"
constexpr long kLongestDuration = 32767L;    // corse.tempo, ct_tempo: 16-bit minutes

bool ticked(const ui::FormValues& values, std::string_view id) {
    return valueOf(values, id) == "1";
}

// A list's edit part: every character a digit, and "%04d" of it the start of an entry. Nothing
// for anything else, an empty text included.
std::optional<int> listedCode(std::string_view text, const std::vector<std::string>& entries) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int code = std::atoi(std::string(text).c_str());
    const std::string prefix = fmt::format("{:04d}", code);
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
        return entry.starts_with(prefix);
    });
    return listed ? std::optional<int>(code) : std::nullopt;
}

// The decimal value at the start of a field ("1200 m" is 1200, "12.7" is 12), as the lengths
// and durations are written in whole units. A field with no number at its start, a negative
// one or one its column cannot hold is refused rather than written as 0 or cut.
std::optional<long> leadingNumber(std::string_view text, long highest) {
    const std::string copy(store::trimBlanks(text));
    const char* start = copy.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end == start || !std::isfinite(value) || value < 0.0 ||
        value >= static_cast<double>(highest) + 1.0) {
        return std::nullopt;
    }
    return static_cast<long>(value);
}

std::vector<std::string>
entries(store::DatabaseConnection& connection, std::string_view table, bool& failed) {
    std::vector<std::string> list;
    store::QueryCursor rows(connection);
    rows.SetSelect("codice, denom");
    rows.SetFrom(table);
    rows.SetOrderBy("codice");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::int16_t code = 0;
        std::string name;
        rows.GetShort(0, code);
        rows.GetText("denom", name);
        list.push_back(fmt::format("{:04d} - {}", code, store::withoutTrailingBlanks(name)));
    }
    failed = failed || rows.failed();
    return list;
}

ui::FormField check(std::string_view id, bool value) {
    return {.id = std::string(id),
            .caption = "Modifica",
            .kind = ui::FieldKind::Check,
            .value = value ? "1" : "0",
            .entries = {}};
}

ui::FormField text(std::string_view id, std::string caption, std::string value, int maxLength) {
    return {.id = std::string(id),
            .caption = std::move(caption),
            .kind = ui::FieldKind::Text,
            .value = std::move(value),
            .entries = {},
            .maxLength = maxLength};
}

ui::FormField
list(std::string_view id, std::string caption, std::vector<std::string> entries, int code) {
    return {.id = std::string(id),
            .caption = std::move(caption),
            .kind = ui::FieldKind::Choice,
            .value = fmt::format("{:04d}", code),
            .entries = std::move(entries),
            .maxLength = 4};
}

std::string vehicleName(char letter) {
    for (const VehicleType& type : kVehicleTypes) {
        if (type.letter == letter) {
            return std::string(type.name);
        }
    }
    return {};
}

std::string number(long value) {
    return fmt::format("{}", value);
}

} // namespace

std::optional<ParameterLists> LoadParameterLists(store::DatabaseConnection& connection) {
    bool failed = false;
    ParameterLists lists{entries(connection, "regent", failed),
                         entries(connection, "reglot", failed),
                         entries(connection, "regazi", failed)};
    if (failed) {
        return std::nullopt;
    }
    return lists;
}

std::optional<TripParameters> ReadTripParameters(store::DatabaseConnection& connection,
                                                 TripId trip) {
    const std::optional<TripHead> head = ReadTripHead(connection, trip);
    if (!head) {
        return std::nullopt;
    }
    store::QueryCursor query(connection);
    query.SetSelect("lung, tempo, ct_lung, ct_tempo, verso");
    query.SetFrom("corse");
    query.SetWhere("id = ?");
    query.Bind(1, std::int64_t{trip.value});
    if (!query.Execute()) {
        return std::nullopt; // ReadTripHead has just read it: only a failure, shown, gets here
    }
    TripParameters current;
    current.setLine = current.setAuthority = current.setLot = current.setCompany =
        current.setSubcontractor = current.setVehicle = true;
    current.line = store::trimBlanks(head->line);
    std::string direction;
    query.GetText("verso", direction);
    current.direction = direction.empty() ? ' ' : direction[0];
    current.authority = head->authority;
    current.lot = head->lot;
    current.company = head->company;
    current.subcontractor = head->subcontractor;
    double length = 0.0;
    double contractLength = 0.0;
    std::int16_t duration = 0;
    std::int16_t contractDuration = 0;
    query.GetDouble(0, length);
    query.GetShort(1, duration);
    query.GetDouble(2, contractLength);
    query.GetShort(3, contractDuration);
    current.length = std::lround(length);
    current.duration = duration;
    current.contractLength = std::lround(contractLength);
    current.contractDuration = contractDuration;
    current.vehicle = head->vehicle.empty() ? ' ' : head->vehicle[0];
    current.scope = ParameterScope::Route;
    return current;
}

ui::FormSpec tripParametersForm(const ParameterLists& lists, const TripParameters& current) {
    using namespace fields;
    ui::FormSpec spec;
    spec.id = kTripParametersFormId;
    spec.title = "Parametri Corse";
    std::vector<std::string> vehicles;
    for (const VehicleType& type : kVehicleTypes) {
        vehicles.emplace_back(type.name);
    }
    spec.groups = {
        {"Assegnazione Codice Linea",
         {check(kSetLine, current.setLine),
          text(kLine, "Codice Linea", current.line, static_cast<int>(kLineLength)),
          text(kDirection, "Verso (A/R)", std::string(1, current.direction), 1)}},
        {"Assegnazione Ente Gestore",
         {check(kSetAuthority, current.setAuthority),
          list(kAuthority, "Ente", lists.authorities, current.authority)}},
        {"Assegnazione Lotto di Gara",
         {check(kSetLot, current.setLot), list(kLot, "Lotto", lists.lots, current.lot)}},
        {"Assegnazione Azienda Gestione",
         {check(kSetCompany, current.setCompany),
          list(kCompany, "Azienda", lists.companies, current.company)}},
        {"Assegnazione Azienda Subappalto",
         {check(kSetSubcontractor, current.setSubcontractor),
          list(kSubcontractor, "Azienda", lists.companies, current.subcontractor)}},
        {"Caratteristiche Fisiche",
         {check(kSetPhysical, current.setPhysical),
          text(kLength, "Lunghezza fisica (m.)", number(current.length), 0),
          text(kDuration, "Durata fisica (min)", number(current.duration), 0)}},
        {"Caratteristiche Contabili",
         {check(kSetContract, current.setContract),
          text(kContractLength, "Lunghezza contabile (m.)", number(current.contractLength), 0),
          text(kContractDuration, "Durata Contabile (min)", number(current.contractDuration), 0)}},
        {"Tipo mezzo utilizzato",
         {check(kSetVehicle, current.setVehicle),
          {.id = std::string(kVehicle),
           .caption = "Tipo mezzo",
           .kind = ui::FieldKind::Radio,
           .value = vehicleName(current.vehicle),
           .entries = vehicles}}},
        {"Corse da modificare",
         {{.id = std::string(kScope),
           .caption = "Corse da modificare",
           .kind = ui::FieldKind::Radio,
           .value = std::string(current.scope == ParameterScope::Route ? kScopeRoute
                                                                       : kScopeStandardTrip),
           .entries = {std::string(kScopeStandardTrip), std::string(kScopeRoute)}}}},
    };
    // A group's values are typed only while its box is ticked.
    spec.editable = [](std::string_view id, const ui::FormValues& values) {
        static constexpr std::pair<std::string_view, std::string_view> kBoxes[] = {
            {kLine, kSetLine},
            {kDirection, kSetLine},
            {kAuthority, kSetAuthority},
            {kLot, kSetLot},
            {kCompany, kSetCompany},
            {kSubcontractor, kSetSubcontractor},
            {kLength, kSetPhysical},
            {kDuration, kSetPhysical},
            {kContractLength, kSetContract},
            {kContractDuration, kSetContract},
            {kVehicle, kSetVehicle}};
        for (const auto& [field, box] : kBoxes) {
            if (field == id) {
                return ticked(values, box);
            }
        }
        return true;
    };
    spec.validate = [lists](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        auto read = ReadTripParametersForm(values, lists);
        if (auto* refused = std::get_if<ui::Refusal>(&read)) {
            return std::move(*refused);
        }
        return std::nullopt;
    };
    return spec;
}

std::variant<TripParameters, ui::Refusal> ReadTripParametersForm(const ui::FormValues& values,
                                                                 const ParameterLists& lists) {
    using namespace fields;
    TripParameters chosen;
    chosen.scope = valueOf(values, kScope) == kScopeStandardTrip ? ParameterScope::StandardTrip
                                                                 : ParameterScope::Route;
    chosen.setLine = ticked(values, kSetLine);
    if (chosen.setLine) {
        chosen.line = store::withoutTrailingBlanks(valueOf(values, kLine));
        if (characters(chosen.line) > kLineLength) {
            return refusal(kLineTooLong);
        }
        // Only A and R are directions; anything else leaves the trip without one.
        const std::string& direction = valueOf(values, kDirection);
        const char first = direction.empty() ? ' ' : direction[0];
        chosen.direction = first == 'a' || first == 'A'   ? 'A'
                           : first == 'r' || first == 'R' ? 'R'
                                                          : ' ';
    }
    const auto code = [&](std::string_view box,
                          std::string_view field,
                          const std::vector<std::string>& entries,
                          bool& set,
                          int& value) {
        set = ticked(values, box);
        if (!set) {
            return true;
        }
        const auto listed = listedCode(valueOf(values, field), entries);
        value = listed.value_or(0);
        return listed.has_value();
    };
    if (!code(
            kSetAuthority, kAuthority, lists.authorities, chosen.setAuthority, chosen.authority)) {
        return refusal(kBadAuthority);
    }
    if (!code(kSetLot, kLot, lists.lots, chosen.setLot, chosen.lot)) {
        return refusal(kBadLot);
    }
    if (!code(kSetCompany, kCompany, lists.companies, chosen.setCompany, chosen.company)) {
        return refusal(kBadCompany);
    }
    if (!code(kSetSubcontractor,
              kSubcontractor,
              lists.companies,
              chosen.setSubcontractor,
              chosen.subcontractor)) {
        return refusal(kBadSubcontractor);
    }

    struct Amount {
        std::string_view box;
        std::string_view field;
        std::string_view caption;
        long highest;
    };

    const auto amount = [&](const Amount& what) -> std::variant<long, ui::Refusal> {
        if (const auto read = leadingNumber(valueOf(values, what.field), what.highest)) {
            return *read;
        }
        return refusal(fmt::format(
            kBadNumber, what.caption, what.highest == kLongestDuration ? " fino a 32767" : ""));
    };
    chosen.setPhysical = ticked(values, kSetPhysical);
    chosen.setContract = ticked(values, kSetContract);
    const Amount amounts[] = {
        {kSetPhysical, kLength, "Lunghezza fisica (m.)", kLongestLength},
        {kSetPhysical, kDuration, "Durata fisica (min)", kLongestDuration},
        {kSetContract, kContractLength, "Lunghezza contabile (m.)", kLongestLength},
        {kSetContract, kContractDuration, "Durata Contabile (min)", kLongestDuration}};
    long* targets[] = {&chosen.length, nullptr, &chosen.contractLength, nullptr};
    int* durations[] = {nullptr, &chosen.duration, nullptr, &chosen.contractDuration};
    for (std::size_t i = 0; i < std::size(amounts); ++i) {
        if (!ticked(values, amounts[i].box)) {
            continue;
        }
        auto read = amount(amounts[i]);
        if (auto* refused = std::get_if<ui::Refusal>(&read)) {
            return std::move(*refused);
        }
        if (targets[i] != nullptr) {
            *targets[i] = std::get<long>(read);
        } else {
            *durations[i] = static_cast<int>(std::get<long>(read));
        }
    }
    chosen.setVehicle = ticked(values, kSetVehicle);
    if (chosen.setVehicle) {
        const std::string& name = valueOf(values, kVehicle);
        const auto* found =
            std::find_if(std::begin(kVehicleTypes),
                         std::end(kVehicleTypes),
                         [&](const VehicleType& type) { return type.name == name; });
        if (found == std::end(kVehicleTypes)) {
            return refusal(kBadVehicle);
        }
        chosen.vehicle = found->letter;
    }
    return chosen;
}

std::optional<int> AssignTripParameters(store::DatabaseConnection& connection,
                                        TripId selected,
                                        const TripParameters& parameters) {
    std::int32_t standard = 0;
    std::int32_t route = 0;
    {
        store::QueryCursor query(connection);
        query.SetSelect("standard, id_perc");
        query.SetFrom("corse");
        query.SetWhere("id = ?");
        query.Bind(1, std::int64_t{selected.value});
        if (!query.Execute()) {
            if (!query.failed()) {
                connection.ui().Message(
                    fmt::format("ATTENZIONE: la Corsa ID={} non esiste !!!", selected.value),
                    ui::Icon::Stop);
            }
            return std::nullopt;
        }
        query.GetLong(0, standard);
        query.GetLong(1, route);
    }
    std::vector<std::int32_t> trips;
    {
        store::QueryCursor query(connection);
        query.SetSelect("id");
        query.SetFrom("corse");
        const bool wholeRoute = parameters.scope == ParameterScope::Route;
        query.SetWhere(wholeRoute ? "id_perc = ?" : "standard = ?");
        query.Bind(1, std::int64_t{wholeRoute ? route : standard});
        query.SetOrderBy("id");
        for (bool row = query.Execute(); row; row = query.MoveNext()) {
            std::int32_t id = 0;
            query.GetLong(0, id);
            trips.push_back(id);
        }
        if (query.failed()) {
            return std::nullopt;
        }
    }
    const bool anyCode = parameters.setLot || parameters.setCompany || parameters.setSubcontractor;
    const bool anyTrip = parameters.setLine || parameters.setAuthority || parameters.setPhysical ||
                         parameters.setContract || parameters.setVehicle;
    // Every trip is written or none: a row the store refuses takes back the trips already done.
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    {
        store::TableCursor rows(&connection, "corse");
        store::TableCursor codes(&connection, "extcod");
        if (!rows.SelectIndex("codice") || !codes.SelectIndex("codice")) {
            return std::nullopt;
        }
        for (const std::int32_t trip : trips) {
            const std::string id = number(trip);
            if (anyTrip) {
                if (!rows.Seek({id})) {
                    connection.ui().Message(
                        fmt::format("ATTENZIONE: la Corsa ID={} non esiste !!!", trip),
                        ui::Icon::Stop);
                    return std::nullopt;
                }
                bool written = rows.Edit();
                if (written && parameters.setLine) {
                    written = rows.SetField("codlinea",
                                            parameters.line.empty() ? " " : parameters.line) &&
                              rows.SetField("verso", std::string(1, parameters.direction));
                }
                if (written && parameters.setAuthority) {
                    written = rows.SetField("ente", number(parameters.authority));
                }
                if (written && parameters.setPhysical) {
                    written = rows.SetField("lung", number(parameters.length)) &&
                              rows.SetField("tempo", number(parameters.duration));
                }
                if (written && parameters.setContract) {
                    written = rows.SetField("ct_lung", number(parameters.contractLength)) &&
                              rows.SetField("ct_tempo", number(parameters.contractDuration));
                }
                if (written && parameters.setVehicle) {
                    written = rows.SetField("mezzo", std::string(1, parameters.vehicle));
                }
                if (!written || !rows.Update()) {
                    return std::nullopt;
                }
            }
            if (!anyCode) {
                continue;
            }
            const auto value = [](bool set, int code) { return number(set ? code : 0); };
            bool written = false;
            if (codes.Seek({id})) {
                written = codes.Edit() &&
                          (!parameters.setLot || codes.SetField("lotto", number(parameters.lot))) &&
                          (!parameters.setCompany ||
                           codes.SetField("aziges", number(parameters.company))) &&
                          (!parameters.setSubcontractor ||
                           codes.SetField("azisub", number(parameters.subcontractor)));
            } else {
                written =
                    codes.AddNew() && codes.SetField("id", id) &&
                    codes.SetField("lotto", value(parameters.setLot, parameters.lot)) &&
                    codes.SetField("aziges", value(parameters.setCompany, parameters.company)) &&
                    codes.SetField("azisub",
                                   value(parameters.setSubcontractor, parameters.subcontractor));
            }
            if (!written || !codes.Update()) {
                return std::nullopt;
            }
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return static_cast<int>(trips.size());
}

} // namespace tramela::network
