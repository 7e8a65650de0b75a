// The routes window and the periods of a trip.

#include "calendar/cadences.h"
#include "network/distance_entry.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "views/window_support.h"
#include "views/windows.h"
#include "workspace/typed_date.h"

#include <fmt/format.h>

namespace tramela::views {

namespace {

using namespace support;
using store::DatabaseConnection;

class RouteWindow final : public WindowSource {
public:
    std::string title() const override { return "Gestione Percorsi"; }

    std::vector<std::string> headers() const override {
        return {"ID", "Codice", "Km Cartografici", "Km Convenzionali", "Denominazione"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection&) override {
        return {textField(fields::kLength, "Lunghezza Km", 20),
                textField(fields::kCode, "Codice", 20),
                textField(fields::kName, "Denominazione", 120)};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        static constexpr std::string_view kOrders[] = {
            "ID", "codperc, ID", "conlung, ID", "denom, ID"};
        store::QueryCursor rows(connection);
        rows.SetSelect("ID, codperc, geolung, conlung, denom");
        rows.SetFrom("itiner");
        rows.SetOrderBy(kOrders[m_order]);
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            const std::string id = text(rows, "ID");
            const std::string geographic = text(rows, "geolung");
            const std::string conventional = text(rows, "conlung");
            entries.push_back({{id},
                               {id,
                                text(rows, "codperc"),
                                geographic.empty() ? "" : kilometres(number(geographic)),
                                conventional.empty() ? "" : kilometres(number(conventional)),
                                text(rows, "denom")},
                               false});
        }
        return !rows.failed();
    }

    ui::FormValues valuesOf(DatabaseConnection&, const ListEntry& entry) override {
        return {{std::string(fields::kLength), entry.columns[3]},
                {std::string(fields::kCode), entry.columns[1]},
                {std::string(fields::kName), entry.columns[4]}};
    }

    std::optional<std::string>
    check(DatabaseConnection&, const ui::FormValues& values, bool) override {
        if (const auto refused = network::CheckDistanceEntry(
                fieldValue(values, fields::kLength), network::DistanceEntryKind::RouteLength)) {
            return refused->text;
        }
        if (characters(store::withoutTrailingBlanks(fieldValue(values, fields::kCode))) > 20) {
            return refusal("ATTENZIONE: il codice del percorso è troppo lungo.",
                           "Il codice può avere al massimo 20 caratteri.");
        }
        if (characters(store::withoutTrailingBlanks(fieldValue(values, fields::kName))) > 120) {
            return refusal("ATTENZIONE: la denominazione del percorso è troppo lunga.",
                           "La denominazione può avere al massimo 120 caratteri.");
        }
        return std::nullopt;
    }

    bool insert(DatabaseConnection&, const ui::FormValues&) override {
        return false; // routes come from the cartography; this window changes their attributes
    }

    bool modify(DatabaseConnection& connection,
                const ListEntry& entry,
                const ui::FormValues& values) override {
        // "Lunghezza Km" is typed in kilometres and held in metres.
        const double metres =
            *network::ParseDistanceEntry(fieldValue(values, fields::kLength)) * 1000.0;
        store::TableCursor routes(&connection, "itiner");
        if (!routes.SelectIndex("codice")) {
            return false;
        }
        if (!routes.Seek({entry.keys[0]})) {
            connection.ui().Message(
                fmt::format("ATTENZIONE: il percorso {} non è più presente.", entry.keys[0]),
                ui::Icon::Stop);
            return false;
        }
        return routes.Edit() && routes.SetField("conlung", store::formatDouble(metres)) &&
               routes.SetField("codperc",
                               store::withoutTrailingBlanks(fieldValue(values, fields::kCode))) &&
               routes.SetField("denom",
                               store::withoutTrailingBlanks(fieldValue(values, fields::kName))) &&
               routes.Update();
    }

    bool remove(DatabaseConnection&, const ListEntry&) override {
        return false; // routes are not deleted here, only their composition
    }

    bool
    special(DatabaseConnection& connection, std::string_view id, const ListEntry* entry) override {
        if (id != kDeleteComposition || entry == nullptr) {
            return false;
        }
        store::QueryCursor stops(connection);
        stops.SetSelect("sub");
        stops.SetFrom("fermitin");
        stops.SetWhere("ID = ?");
        stops.Bind(1, entry->keys[0]);
        std::vector<std::string> subs;
        for (bool row = stops.Execute(); row; row = stops.MoveNext()) {
            subs.push_back(text(stops, "sub"));
        }
        if (stops.failed()) {
            return false;
        }
        store::TableCursor composition(&connection, "fermitin");
        if (!composition.SelectIndex("codice")) {
            return false;
        }
        for (const std::string& sub : subs) {
            if (!composition.Seek({entry->keys[0], sub}) || !composition.Delete()) {
                return false; // the caller's transaction takes back the rows already deleted
            }
        }
        return true;
    }

    std::vector<MenuEntry> menu() const override {
        MenuEntry composition =
            specialItem("&Dettagli Composizione Percorso Selezionata", std::string(kComposition));
        MenuEntry timetable =
            specialItem("&Corse effettuate sul percorso", std::string(kTimetable));
        return {menuItem("&Variazione Attributi Percorso Selezionato", Operation::Modify),
                specialItem("&Elimina la Composizione Percorso Selezionata",
                            std::string(kDeleteComposition)),
                composition,
                timetable,
                specialItem("&Ricerca Corsa per ID", std::string(kFindTrip), Operation::Action),
                orderItem("per &ID Corsa", 0, "&Ordinamento"),
                orderItem("per &Codice Aziendale Percorso", 1, "&Ordinamento"),
                orderItem("per &Lunghezza Corsa", 2, "&Ordinamento"),
                orderItem("per &Denominazione Corsa", 3, "&Ordinamento"),
                menuItem("&Aggiorna la Vista dei Percorsi", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore)};
    }

    int orderCount() const override { return 4; }

    void setOrder(int order) override { m_order = order; }

    int order() const override { return m_order; }

private:
    int m_order = 0;
};

constexpr std::string_view kDateForm = "Le date devono essere espresse nella forma GG/MM/AAAA.";

class PeriodWindow final : public WindowSource {
public:
    explicit PeriodWindow(std::int32_t trip)
        : m_trip(trip) {}

    std::string title() const override {
        return fmt::format("Periodi di Effettuazione della Corsa {}", m_trip);
    }

    std::vector<std::string> headers() const override {
        return {"Inizio", "Fine", "Tipo", "Cadenza", "Denominazione Cadenza", "Escluso"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection& connection) override {
        std::vector<std::string> cadences;
        for (const calendar::Cadence& cadence : calendar::listCadences(connection)) {
            cadences.push_back(fmt::format("{:<10} {}", cadence.code, cadence.name));
        }
        ui::FormField excluded = textField(fields::kExcluded, "Periodo di esclusione");
        excluded.kind = ui::FieldKind::Check;
        excluded.value = "0";
        return {dateField(fields::kFrom, "Dal"),
                dateField(fields::kTo, "Al"),
                choiceField(fields::kCadence, "Cadenza", std::move(cadences)),
                excluded};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        store::QueryCursor rows(connection);
        rows.SetSelect("period.inizio, period.fine, period.caden, period.escluso, cadenz.denom");
        // A period whose cadence is missing from the register is listed all the same.
        rows.SetFrom("period LEFT JOIN cadenz ON cadenz.codice = period.caden");
        rows.SetWhere("period.id = ?");
        rows.Bind(1, std::int64_t{m_trip});
        rows.SetOrderBy("period.inizio, period.fine");
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            const std::string from = text(rows, "inizio");
            const std::string to = text(rows, "fine");
            const bool excluded = text(rows, "escluso") == "1";
            entries.push_back({{from, to},
                               {from,
                                to,
                                excluded ? "Esclusione" : "Effettuazione",
                                text(rows, "caden"),
                                text(rows, "denom"),
                                excluded ? "Si" : "No"},
                               false});
        }
        return !rows.failed();
    }

    ui::FormValues valuesOf(DatabaseConnection& connection, const ListEntry& entry) override {
        std::string cadence = entry.columns[3];
        for (const calendar::Cadence& listed : calendar::listCadences(connection)) {
            if (listed.code == entry.columns[3]) {
                cadence = fmt::format("{:<10} {}", listed.code, listed.name);
            }
        }
        return {{std::string(fields::kFrom), entry.keys[0]},
                {std::string(fields::kTo), entry.keys[1]},
                {std::string(fields::kCadence), cadence},
                {std::string(fields::kExcluded), entry.columns[5] == "Si" ? "1" : "0"}};
    }

    std::optional<std::string>
    check(DatabaseConnection& connection, const ui::FormValues& values, bool) override {
        if (!workspace::parseTypedDate(fieldValue(values, fields::kFrom))) {
            return refusal(
                "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.",
                kDateForm);
        }
        if (!workspace::parseTypedDate(fieldValue(values, fields::kTo))) {
            return refusal("ATTENZIONE: la data di fine periodo è espressa in un formato illegale.",
                           kDateForm);
        }
        const std::string code = leadingField(fieldValue(values, fields::kCadence));
        for (const calendar::Cadence& cadence : calendar::listCadences(connection)) {
            if (cadence.code == code) {
                return std::nullopt;
            }
        }
        return calendar::missingCadenceMessage(code);
    }

    bool insert(DatabaseConnection& connection, const ui::FormValues& values) override {
        store::TableCursor periods(&connection, "period");
        return periods.AddNew() && periods.SetField("id", std::to_string(m_trip)) &&
               periods.SetField(
                   "inizio", *workspace::normaliseTypedDate(fieldValue(values, fields::kFrom))) &&
               periods.SetField("fine",
                                *workspace::normaliseTypedDate(fieldValue(values, fields::kTo))) &&
               write(periods, values) && periods.Update();
    }

    bool modify(DatabaseConnection& connection,
                const ListEntry& entry,
                const ui::FormValues& values) override {
        // The dates identify the period and are not changed here: only the cadence and whether
        // the period is one of exclusion.
        store::TableCursor periods(&connection, "period");
        return seek(connection, periods, entry) && periods.Edit() && write(periods, values) &&
               periods.Update();
    }

    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        store::TableCursor periods(&connection, "period");
        return seek(connection, periods, entry) && periods.Delete();
    }

    std::vector<MenuEntry> menu() const override {
        return {menuItem("&Inserisci un Nuovo Periodo", Operation::Insert),
                menuItem("&Modifica il Periodo Selezionato", Operation::Modify),
                menuItem("&Elimina il Periodo Selezionato", Operation::Delete),
                menuItem("&Aggiorna la Vista dei Periodi", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore)};
    }

private:
    static bool write(store::TableCursor& periods, const ui::FormValues& values) {
        return periods.SetField("caden", leadingField(fieldValue(values, fields::kCadence))) &&
               periods.SetField("escluso",
                                fieldValue(values, fields::kExcluded) == "1" ? "1" : "0");
    }

    bool seek(DatabaseConnection& connection,
              store::TableCursor& periods,
              const ListEntry& entry) const {
        const std::string trip = std::to_string(m_trip);
        if (periods.SelectIndex("codice") && periods.Seek({trip, entry.keys[0], entry.keys[1]})) {
            return true;
        }
        if (periods.IsOpen()) {
            connection.ui().Message(fmt::format("ATTENZIONE: il periodo {} - {} della corsa {} non "
                                                "è più presente.",
                                                entry.keys[0],
                                                entry.keys[1],
                                                m_trip),
                                    ui::Icon::Stop);
        }
        return false;
    }

    std::int32_t m_trip;
};

} // namespace

std::unique_ptr<WindowSource> routeWindow() {
    return std::make_unique<RouteWindow>();
}

std::unique_ptr<WindowSource> periodWindow(std::int32_t trip) {
    return std::make_unique<PeriodWindow>(trip);
}

bool tripExists(DatabaseConnection& connection, std::int32_t trip) {
    store::QueryCursor rows(connection);
    rows.SetSelect("id");
    rows.SetFrom("corse");
    rows.SetWhere("id = ?");
    rows.Bind(1, std::int64_t{trip});
    if (rows.Execute()) {
        return true;
    }
    if (!rows.failed()) {
        connection.ui().Message(
            fmt::format("ATTENZIONE: la corsa {} non è presente nell'archivio delle corse.", trip),
            ui::Icon::Stop);
    }
    return false;
}

bool selectRouteOfTrip(EditWindow& routes, std::int32_t trip) {
    DatabaseConnection& connection = routes.connection();
    if (!tripExists(connection, trip)) {
        return false;
    }
    store::QueryCursor rows(connection);
    rows.SetSelect("id_perc");
    rows.SetFrom("corse");
    rows.SetWhere("id = ?");
    rows.Bind(1, std::int64_t{trip});
    const std::string route = rows.Execute() ? text(rows, "id_perc") : std::string();
    const auto& entries = routes.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!route.empty() && entries[i].keys[0] == route) {
            return routes.select(i);
        }
    }
    connection.ui().Message(
        fmt::format("ATTENZIONE: il percorso della corsa {} non è presente nell'elenco dei "
                    "percorsi.",
                    trip),
        ui::Icon::Stop);
    return false;
}

} // namespace tramela::views
