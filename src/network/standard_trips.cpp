#include "network/standard_trips.h"

#include "network/timetable_entry.h"
#include "network/trip_form_support.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <limits>

namespace tramela::network {

namespace {

using namespace trip_form;

constexpr std::string_view kBadLot =
    "ATTENZIONE: Il Codice Lotto non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Lotto presente nella lista.\n\n";
constexpr std::string_view kBadDirection = "ATTENZIONE: Il Verso della corsa non è valido.\n\n"
                                           "Occorre indicare A (Andata) oppure R (Ritorno).\n\n";
constexpr std::string_view kCodeTooLong = "ATTENZIONE: Il Codice Corsa supera i 20 caratteri.\n\n";
constexpr std::string_view kBadFrequency = "La frequenza indicata è illegale.\n\n"
                                           "La frequenza delle corse deve essere espressa in "
                                           "minuti.\n\n";
constexpr std::string_view kRouteWithoutStops = "ATTENZIONE: il Percorso ID={} non ha fermate.\n\n"
                                                "Non è possibile generare la corsa standard.";
constexpr std::string_view kMissingTrip = "ATTENZIONE: la Corsa ID={} non esiste !!!";

constexpr std::size_t kCodeLength = 20; // corse.codcorsa
constexpr int kDay = 1440;

// A whole number written with decimal digits only.
std::optional<int> wholeNumber(std::string_view text) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

// A code typed in a list's edit part: digits, and "%04d" of it one of the list's entries.
std::optional<int> listedCode(std::string_view text, const std::vector<std::string>& entries) {
    const std::optional<int> code = wholeNumber(store::trimBlanks(text));
    if (!code ||
        std::find(entries.begin(), entries.end(), fmt::format("{:04d}", *code)) == entries.end()) {
        return std::nullopt;
    }
    return code;
}

std::vector<std::string>
registerCodes(store::DatabaseConnection& connection, std::string_view table, bool& failed) {
    std::vector<std::string> codes;
    store::QueryCursor rows(connection);
    rows.SetSelect("codice");
    rows.SetFrom(table);
    rows.SetOrderBy("codice");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::int16_t code = 0;
        rows.GetShort(0, code);
        codes.push_back(fmt::format("{:04d}", code));
    }
    failed = failed || rows.failed();
    return codes;
}

// A code left blank is stored as one blank.
std::string storedCode(std::string_view code) {
    return code.empty() ? std::string(" ") : std::string(code);
}

// A length in metres as the trip rows hold it: two decimals, a decimal comma.
std::string lengthText(double metres) {
    std::string text = fmt::format("{:.2f}", metres);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string number(std::int64_t value) {
    return fmt::format("{}", value);
}

// What a new trip takes from elsewhere than its dialog.
struct TripBody {
    double length = 0.0;         // corse.lung
    double contractLength = 0.0; // corse.ct_lung
    int duration = 0;            // corse.tempo
    int contractDuration = 0;    // corse.ct_tempo
    std::int32_t route = 0;
    std::int32_t standard = 0;
};

// The id after the highest trip's, 1 for the first trip.
std::optional<std::int32_t> nextTripId(store::DatabaseConnection& connection) {
    store::QueryCursor query(connection);
    query.SetSelect("MAX(id)");
    query.SetFrom("corse");
    if (!query.Execute()) {
        return std::nullopt;
    }
    std::int32_t highest = 0;
    query.GetLong(0, highest);
    if (highest == std::numeric_limits<std::int32_t>::max()) {
        connection.ui().Message(fmt::format("Identificativo corsa fuori limite: {}", highest),
                                ui::Icon::Stop);
        return std::nullopt;
    }
    return std::max(highest, 0) + 1;
}

bool writeHeadFields(store::TableCursor& trips, const TripHead& head) {
    return trips.SetField("codcorsa", storedCode(head.code)) &&
           trips.SetField("codlinea", storedCode(head.line)) &&
           trips.SetField("verso", std::string(1, head.direction)) &&
           trips.SetField("parte", number(head.start)) &&
           trips.SetField("ente", number(head.authority)) && trips.SetField("mezzo", head.vehicle);
}

bool addTrip(store::TableCursor& trips,
             std::int32_t id,
             const TripHead& head,
             const TripBody& body) {
    return trips.AddNew() && trips.SetField("id", number(id)) && writeHeadFields(trips, head) &&
           trips.SetField("lung", lengthText(body.length)) &&
           trips.SetField("ct_lung", lengthText(body.contractLength)) &&
           trips.SetField("tempo", number(body.duration)) &&
           trips.SetField("ct_tempo", number(body.contractDuration)) &&
           trips.SetField("id_perc", number(body.route)) &&
           trips.SetField("standard", number(body.standard)) && trips.Update();
}

bool addCodes(store::TableCursor& codes, std::int32_t id, const TripHead& head) {
    return codes.AddNew() && codes.SetField("id", number(id)) &&
           codes.SetField("lotto", number(head.lot)) &&
           codes.SetField("aziges", number(head.company)) &&
           codes.SetField("azisub", number(head.subcontractor)) && codes.Update();
}

// The stored head and body of a trip; the extended codes as stored (nullopt without a row).
struct StoredTrip {
    TripHead head;
    TripBody body;
    bool hasCodes = false;
};

std::optional<StoredTrip> readTrip(store::DatabaseConnection& connection, TripId trip) {
    store::QueryCursor query(connection);
    query.SetSelect("corse.codcorsa, corse.codlinea, corse.verso, corse.parte, corse.ente, "
                    "corse.mezzo, corse.lung, corse.ct_lung, corse.tempo, corse.ct_tempo, "
                    "corse.id_perc, corse.standard, extcod.lotto, extcod.aziges, extcod.azisub, "
                    "extcod.id");
    query.SetFrom("corse LEFT JOIN extcod ON extcod.id = corse.id");
    query.SetWhere("corse.id = ?");
    query.Bind(1, std::int64_t{trip.value});
    if (!query.Execute()) {
        if (!query.failed()) {
            connection.ui().Message(fmt::format(kMissingTrip, trip.value), ui::Icon::Stop);
        }
        return std::nullopt;
    }
    StoredTrip stored;
    TripHead& head = stored.head;
    std::string direction;
    std::int16_t start = 0;
    std::int16_t authority = 0;
    query.GetText("codcorsa", head.code);
    query.GetText("codlinea", head.line);
    query.GetText("verso", direction);
    head.direction = direction.empty() ? 'A' : direction[0];
    query.GetShort(3, start);
    query.GetShort(4, authority);
    head.start = start;
    head.authority = authority;
    query.GetText("mezzo", head.vehicle);
    std::int16_t duration = 0;
    std::int16_t contractDuration = 0;
    query.GetDouble(6, stored.body.length);
    query.GetDouble(7, stored.body.contractLength);
    query.GetShort(8, duration);
    query.GetShort(9, contractDuration);
    stored.body.duration = duration;
    stored.body.contractDuration = contractDuration;
    query.GetLong(10, stored.body.route);
    query.GetLong(11, stored.body.standard);
    std::string codesId;
    query.GetText("id", codesId);
    stored.hasCodes = !codesId.empty();
    std::int16_t lot = 0;
    std::int16_t company = 0;
    std::int16_t subcontractor = 0;
    query.GetShort(12, lot);
    query.GetShort(13, company);
    query.GetShort(14, subcontractor);
    head.lot = lot;
    head.company = company;
    head.subcontractor = subcontractor;
    // A blank code is shown as empty.
    if (head.code == " ") {
        head.code.clear();
    }
    return stored;
}

// Copies every period of `source` to `target`; false when a row was refused.
bool copyPeriods(store::DatabaseConnection& connection,
                 store::TableCursor& periods,
                 TripId source,
                 std::int32_t target) {
    store::QueryCursor query(connection);
    query.SetSelect("caden, inizio, fine, escluso");
    query.SetFrom("period");
    query.SetWhere("id = ?");
    query.SetOrderBy("inizio, fine");
    query.Bind(1, std::int64_t{source.value});
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::string cadence;
        std::string from;
        std::string to;
        std::int16_t excluded = 0;
        query.GetDateText(0, cadence);
        query.GetDateText(1, from);
        query.GetDateText(2, to);
        query.GetShort(3, excluded);
        if (!(periods.AddNew() && periods.SetField("id", number(target)) &&
              periods.SetField("caden", cadence) && periods.SetField("inizio", from) &&
              periods.SetField("fine", to) &&
              periods.SetField("escluso", excluded != 0 ? "1" : "0") && periods.Update())) {
            return false;
        }
    }
    return !query.failed();
}

ui::FormField
textField(std::string id, std::string caption, std::string value, std::size_t maxLength = 0) {
    return {std::move(id),
            std::move(caption),
            ui::FieldKind::Text,
            std::move(value),
            {},
            static_cast<int>(maxLength)};
}

ui::FormField
listField(std::string id, std::string caption, std::vector<std::string> entries, int code) {
    return {.id = std::move(id),
            .caption = std::move(caption),
            .kind = ui::FieldKind::Choice,
            .value = fmt::format("{:04d}", code),
            .entries = std::move(entries)};
}

} // namespace

std::optional<TripCodeLists> LoadTripCodeLists(store::DatabaseConnection& connection) {
    bool failed = false;
    TripCodeLists lists{registerCodes(connection, "regent", failed),
                        registerCodes(connection, "reglot", failed),
                        registerCodes(connection, "regazi", failed)};
    if (failed) {
        return std::nullopt;
    }
    return lists;
}

std::vector<std::string> CompanyLineCodes(store::DatabaseConnection& connection) {
    std::vector<std::string> lines;
    store::QueryCursor rows(connection);
    rows.SetSelect("codlinea");
    rows.SetFrom("corse");
    rows.SetGroupBy("codlinea");
    std::string line;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        rows.GetText("codlinea", line);
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    // Codes that differ only in trailing blanks are the same line.
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

std::optional<TripHead> ReadTripHead(store::DatabaseConnection& connection, TripId trip) {
    std::optional<StoredTrip> stored = readTrip(connection, trip);
    if (!stored) {
        return std::nullopt;
    }
    if (!stored->hasCodes) {
        store::QueryCursor master(connection);
        master.SetSelect("azienda");
        master.SetFrom("master");
        std::int16_t company = 0;
        if (master.Execute()) {
            master.GetShort(0, company);
        }
        stored->head.company = stored->head.subcontractor = company;
        stored->head.lot = 0;
    }
    return stored->head;
}

ui::FormSpec
tripForm(TripDialog dialog, const TripCodeLists& lists, const TripHead& proposed, int proposedEnd) {
    ui::FormSpec spec;
    switch (dialog) {
    case TripDialog::NewStandard:
        spec.id = kNewTripFormId;
        spec.title = "Nuova Corsa Standard";
        break;
    case TripDialog::Clone:
        spec.id = kCloneFormId;
        spec.title = "Clonazione Corsa";
        break;
    case TripDialog::Head:
        spec.id = kHeadFormId;
        spec.title = "Variazione Testa Corsa";
        break;
    }
    std::vector<ui::FormField> trip = {
        textField("code", "Codice Corsa", proposed.code, kCodeLength),
        textField("line", "Codice Linea", proposed.line, kLineLength),
        textField("direction", "Verso (A/R)", std::string(1, proposed.direction), 1),
        textField("start", "Orario Partenza", formatClockTime(minutesOfHhmm(proposed.start))),
    };
    if (dialog == TripDialog::NewStandard) {
        trip.push_back(
            textField("end", "Orario Arrivo", formatClockTime(minutesOfHhmm(proposedEnd))));
    }
    std::vector<ui::FormField> codes = {
        listField("authority", "Ente Concedente", lists.authorities, proposed.authority),
        listField("lot", "Lotto", lists.lots, proposed.lot),
        listField("company", "Azienda Gestione", lists.companies, proposed.company),
        listField("subcontractor", "Azienda Subappalto", lists.companies, proposed.subcontractor),
        {.id = "vehicle",
         .caption = "Tipo Mezzo",
         .kind = ui::FieldKind::Choice,
         .value = proposed.vehicle,
         .entries = std::vector<std::string>(std::begin(kVehicleKinds), std::end(kVehicleKinds)),
         .maxLength = 1},
    };
    spec.groups = {{"Corsa", std::move(trip)}, {"Codifiche", std::move(codes)}};
    spec.validate = [dialog, lists](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        auto read = ReadTripForm(dialog, values, lists);
        if (auto* refused = std::get_if<ui::Refusal>(&read)) {
            return std::move(*refused);
        }
        return std::nullopt;
    };
    return spec;
}

std::variant<TripEntry, ui::Refusal>
ReadTripForm(TripDialog dialog, const ui::FormValues& values, const TripCodeLists& lists) {
    TripEntry entry;
    TripHead& head = entry.head;
    head.code = store::withoutTrailingBlanks(valueOf(values, "code"));
    if (characters(head.code) > kCodeLength) {
        return refusal(kCodeTooLong);
    }
    head.line = store::withoutTrailingBlanks(valueOf(values, "line"));
    if (characters(head.line) > kLineLength) {
        return refusal(kLineTooLong);
    }
    const std::string_view direction = store::trimBlanks(valueOf(values, "direction"));
    if (direction == "A" || direction == "a") {
        head.direction = 'A';
    } else if (direction == "R" || direction == "r") {
        head.direction = 'R';
    } else {
        return refusal(kBadDirection);
    }
    const std::optional<ClockTime> start = ParseClockTime(valueOf(values, "start"));
    if (!start) {
        return timeRefusal(kBadDeparture);
    }
    head.start = start->hhmm();
    if (dialog == TripDialog::NewStandard) {
        const std::optional<ClockTime> end = ParseClockTime(valueOf(values, "end"));
        if (!end) {
            return timeRefusal(kBadArrival);
        }
        entry.end = end->hhmm();
    }
    const auto authority = listedCode(valueOf(values, "authority"), lists.authorities);
    if (!authority) {
        return refusal(kBadAuthority);
    }
    const auto lot = listedCode(valueOf(values, "lot"), lists.lots);
    if (!lot) {
        return refusal(kBadLot);
    }
    const auto company = listedCode(valueOf(values, "company"), lists.companies);
    if (!company) {
        return refusal(kBadCompany);
    }
    const auto subcontractor = listedCode(valueOf(values, "subcontractor"), lists.companies);
    if (!subcontractor) {
        return refusal(kBadSubcontractor);
    }
    head.authority = *authority;
    head.lot = *lot;
    head.company = *company;
    head.subcontractor = *subcontractor;
    std::string vehicle(store::trimBlanks(valueOf(values, "vehicle")));
    std::transform(vehicle.begin(), vehicle.end(), vehicle.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    if (!vehicle.empty() &&
        std::find(std::begin(kVehicleKinds), std::end(kVehicleKinds), vehicle) ==
            std::end(kVehicleKinds)) {
        return refusal(kBadVehicle);
    }
    head.vehicle = vehicle;
    return entry;
}

ui::FormSpec bandForm() {
    ui::FormSpec spec;
    spec.id = kBandFormId;
    spec.title = "Clonazione a Frequenza";
    spec.groups = {{{},
                    {textField("start", "Inizio Fascia Oraria", {}),
                     textField("end", "Termine Fascia Oraria", {}),
                     {"frequency", "Frequenza (minuti)", ui::FieldKind::Integer, {}, {}}}}};
    spec.validate = [](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        auto read = ReadBandForm(values);
        if (auto* refused = std::get_if<ui::Refusal>(&read)) {
            return std::move(*refused);
        }
        return std::nullopt;
    };
    return spec;
}

std::variant<Band, ui::Refusal> ReadBandForm(const ui::FormValues& values) {
    const std::optional<ClockTime> start = ParseClockTime(valueOf(values, "start"));
    if (!start) {
        return timeRefusal(kBadBandStart);
    }
    const std::optional<ClockTime> end = ParseClockTime(valueOf(values, "end"));
    if (!end) {
        return timeRefusal(kBadBandEnd);
    }
    // A negative frequency would never reach the band's end: refused like 0.
    const std::optional<int> frequency =
        wholeNumber(store::trimBlanks(valueOf(values, "frequency")));
    if (!frequency || *frequency <= 0) {
        return refusal(kBadFrequency, false);
    }
    return Band{start->minutesOfDay(), end->minutesOfDay(), *frequency};
}

std::optional<NewStandardTrip> InsertTripWithNewStandard(store::DatabaseConnection& connection,
                                                         RouteId route,
                                                         const TripHead& head,
                                                         int endHhmm) {
    struct Stop {
        std::int16_t sub = 0;
        std::int32_t stop = 0;
        double progressive = 0.0;
    };

    std::vector<Stop> stops;
    {
        store::QueryCursor query(connection);
        query.SetSelect("sub, fermata, condist");
        query.SetFrom("fermitin");
        query.SetWhere("id = ?");
        query.SetOrderBy("sub");
        query.Bind(1, std::int64_t{route.value});
        for (bool row = query.Execute(); row; row = query.MoveNext()) {
            Stop stop;
            query.GetShort(0, stop.sub);
            query.GetLong(1, stop.stop);
            query.GetDouble(2, stop.progressive);
            stops.push_back(stop);
        }
        if (query.failed()) {
            return std::nullopt;
        }
    }
    if (stops.empty()) {
        connection.ui().Message(fmt::format(kRouteWithoutStops, route.value), ui::Icon::Stop);
        return std::nullopt;
    }
    const double length = stops.back().progressive;
    const int start = minutesOfHhmm(head.start);
    const int end = minutesOfHhmm(endHhmm);
    // From 23.50 to 00.20 is 30 minutes.
    const int running = end < start ? end + kDay - start : end - start;
    std::vector<int> offsets(stops.size(), 0);
    for (std::size_t k = 1; k + 1 < stops.size(); ++k) {
        // A route of no length, or a progressive outside it, is kept within the trip's times.
        const double t = stops[k].progressive * (1.0 / (length / running));
        if (std::isfinite(t)) {
            const double whole = std::floor(t);
            offsets[k] =
                std::clamp(static_cast<int>(whole) + (t - whole >= 0.5 ? 1 : 0), 0, running);
        }
    }
    if (stops.size() > 1) {
        offsets.back() = running;
    }

    const std::optional<StandardTripId> standard = NextStandardTripId(connection);
    const std::optional<std::int32_t> trip = nextTripId(connection);
    if (!standard || !trip) {
        return std::nullopt;
    }
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    {
        store::TableCursor headers(&connection, "tesstd");
        if (!(headers.AddNew() && headers.SetField("ID", number(standard->value)) &&
              headers.SetField("id_perc", number(route.value)) && headers.Update())) {
            return std::nullopt;
        }
        store::TableCursor details(&connection, "detstd");
        for (std::size_t k = 0; k < stops.size(); ++k) {
            if (!(details.AddNew() && details.SetField("ID", number(standard->value)) &&
                  details.SetField("sub", number(stops[k].sub)) &&
                  details.SetField("fermata", number(stops[k].stop)) &&
                  details.SetField("arriva", number(offsets[k])) &&
                  details.SetField("parte", number(offsets[k])) &&
                  details.SetField("nonferma", "0") && details.SetField("fisso", "0") &&
                  details.Update())) {
                return std::nullopt;
            }
        }
        store::TableCursor trips(&connection, "corse");
        store::TableCursor codes(&connection, "extcod");
        const TripBody body{
            length, length, offsets.back(), offsets.back(), route.value, standard->value};
        if (!addTrip(trips, *trip, head, body) || !addCodes(codes, *trip, head)) {
            return std::nullopt;
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return NewStandardTrip{*standard, TripId{*trip}};
}

std::optional<TripId>
CloneTrip(store::DatabaseConnection& connection, TripId source, const TripHead& head) {
    const std::optional<StoredTrip> stored = readTrip(connection, source);
    const std::optional<std::int32_t> id = stored ? nextTripId(connection) : std::nullopt;
    if (!id) {
        return std::nullopt;
    }
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    {
        store::TableCursor trips(&connection, "corse");
        store::TableCursor codes(&connection, "extcod");
        store::TableCursor periods(&connection, "period");
        if (!addTrip(trips, *id, head, stored->body) || !addCodes(codes, *id, head) ||
            !copyPeriods(connection, periods, source, *id)) {
            return std::nullopt;
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return TripId{*id};
}

std::optional<std::vector<TripId>>
CloneTripAtFrequency(store::DatabaseConnection& connection, TripId source, const Band& band) {
    std::optional<StoredTrip> stored = readTrip(connection, source);
    const std::optional<std::int32_t> first = stored ? nextTripId(connection) : std::nullopt;
    if (!first) {
        return std::nullopt;
    }
    if (band.frequency <= 0) {
        return std::vector<TripId>{};
    }
    TripHead head = stored->head;
    head.code.clear();
    // Codes the source holds as unknown (-1, -2) are not copied; neither is a missing row.
    const bool withCodes =
        stored->hasCodes && head.lot >= 0 && head.company >= 0 && head.subcontractor >= 0;
    std::vector<TripId> created;
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    {
        store::TableCursor trips(&connection, "corse");
        store::TableCursor codes(&connection, "extcod");
        store::TableCursor periods(&connection, "period");
        std::int32_t id = *first;
        for (int t = band.start; t <= band.end; t += band.frequency) {
            head.start = t / 60 * 100 + t % 60;
            if (!addTrip(trips, id, head, stored->body) ||
                (withCodes && !addCodes(codes, id, head)) ||
                !copyPeriods(connection, periods, source, id)) {
                return std::nullopt;
            }
            created.push_back(TripId{id});
            if (id == std::numeric_limits<std::int32_t>::max()) {
                break;
            }
            ++id;
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return created;
}

bool ChangeTripHead(store::DatabaseConnection& connection, TripId trip, const TripHead& head) {
    const std::optional<StoredTrip> stored = readTrip(connection, trip);
    if (!stored) {
        return false;
    }
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return false;
    }
    {
        const std::string id = number(trip.value);
        store::TableCursor trips(&connection, "corse");
        if (!(trips.SelectIndex("codice") && trips.Seek({id}) && trips.Edit() &&
              writeHeadFields(trips, head) && trips.Update())) {
            return false;
        }
        store::TableCursor codes(&connection, "extcod");
        if (!codes.SelectIndex("codice")) {
            return false;
        }
        if (stored->hasCodes) {
            if (!(codes.Seek({id}) && codes.Edit() && codes.SetField("lotto", number(head.lot)) &&
                  codes.SetField("aziges", number(head.company)) &&
                  codes.SetField("azisub", number(head.subcontractor)) && codes.Update())) {
                return false;
            }
        } else if (!addCodes(codes, trip.value, head)) {
            return false;
        }
    }
    return transaction.commit();
}

} // namespace tramela::network
