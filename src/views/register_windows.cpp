// The windows of the registers: cadences, calendar, standard lines and their links.

#include "calendar/cadences.h"
#include "calendar/calendar.h"
#include "store/table_cursor.h"
#include "store/value_text.h"
#include "views/window_support.h"
#include "views/windows.h"
#include "workspace/typed_date.h"

#include <fmt/format.h>

namespace tramela::views {

namespace {

using namespace support;
using store::DatabaseConnection;

std::string cadenceEntry(const calendar::Cadence& cadence) {
    return fmt::format("{:<10} {}", cadence.code, cadence.name);
}

std::vector<std::string> cadenceEntries(DatabaseConnection& connection) {
    std::vector<std::string> entries;
    for (const calendar::Cadence& cadence : calendar::listCadences(connection)) {
        entries.push_back(cadenceEntry(cadence));
    }
    return entries;
}

bool cadenceListed(DatabaseConnection& connection, std::string_view code) {
    for (const calendar::Cadence& cadence : calendar::listCadences(connection)) {
        if (cadence.code == code) {
            return true;
        }
    }
    return false;
}

class CadenceWindow final : public WindowSource {
public:
    std::string title() const override { return "Gestione Cadenze"; }

    std::vector<std::string> headers() const override { return {"Codice", "Denominazione"}; }

    std::vector<ui::FormField> fields(DatabaseConnection&) override {
        return {textField(fields::kCode, "Codice", 10),
                textField(fields::kName, "Denominazione", 60)};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        for (const calendar::Cadence& cadence : calendar::listCadences(connection)) {
            entries.push_back({{cadence.code}, {cadence.code, cadence.name}, false});
        }
        return true;
    }

    ui::FormValues valuesOf(DatabaseConnection&, const ListEntry& entry) override {
        return {{std::string(fields::kCode), entry.columns[0]},
                {std::string(fields::kName), entry.columns[1]}};
    }

    std::optional<std::string>
    check(DatabaseConnection& connection, const ui::FormValues& values, bool isNew) override {
        const std::string_view code =
            store::withoutTrailingBlanks(fieldValue(values, fields::kCode));
        if (isNew) {
            if (code.empty() || characters(code) > 10) {
                return refusal("ATTENZIONE: il codice della cadenza non è valido.",
                               "Il codice deve avere da 1 a 10 caratteri.");
            }
            if (cadenceListed(connection, code)) {
                return refusal(fmt::format("ATTENZIONE: la cadenza {} è già presente "
                                           "nell'archivio delle cadenze.",
                                           code),
                               "Occorre indicare un codice non ancora usato.");
            }
        }
        if (characters(store::withoutTrailingBlanks(fieldValue(values, fields::kName))) > 60) {
            return refusal("ATTENZIONE: la denominazione della cadenza è troppo lunga.",
                           "La denominazione può avere al massimo 60 caratteri.");
        }
        return std::nullopt;
    }

    bool insert(DatabaseConnection& connection, const ui::FormValues& values) override {
        return calendar::addCadence(
            connection, fieldValue(values, fields::kCode), fieldValue(values, fields::kName));
    }

    bool modify(DatabaseConnection& connection,
                const ListEntry& entry,
                const ui::FormValues& values) override {
        // The code is the record's key: only the name changes.
        return calendar::modifyCadence(
            connection, entry.keys[0], fieldValue(values, fields::kName));
    }

    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        return calendar::deleteCadence(connection, entry.keys[0]);
    }

    std::vector<MenuEntry> menu() const override {
        return {menuItem("&Inserisci una Nuova Cadenza", Operation::Insert),
                menuItem("&Modifica la Cadenza Selezionata", Operation::Modify),
                menuItem("&Elimina la Cadenza Selezionata", Operation::Delete),
                menuItem("", Operation::Separator),
                menuItem("&Aggiorna la Vista delle Cadenze", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore)};
    }
};

constexpr std::string_view kBadDay =
    "ATTENZIONE: la data del giorno è espressa in un formato illegale.";
constexpr std::string_view kDateForm = "Le date devono essere espresse nella forma GG/MM/AAAA.";

class CalendarWindow final : public WindowSource {
public:
    std::string title() const override { return "Gestione Calendario"; }

    std::vector<std::string> headers() const override {
        return {"Data", "Giorno", "Cadenza", "Denominazione Cadenza", "Note"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection& connection) override {
        return {dateField(fields::kDay, "Data"),
                choiceField(fields::kCadence, "Cadenza", cadenceEntries(connection)),
                textField(fields::kNote, "Note", 20)};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        store::QueryCursor rows(connection);
        rows.SetSelect("calend.data, calend.caden, calend.giorno, calend.note, cadenz.denom");
        rows.SetFrom("calend LEFT JOIN cadenz ON cadenz.codice = calend.caden");
        rows.SetOrderBy("calend.data, calend.caden");
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            const std::string day = text(rows, "data");
            const std::string code = text(rows, "caden");
            const std::string weekday = text(rows, "giorno");
            const auto digit = wholeNumber(weekday, 7);
            const std::string name =
                digit && *digit >= 1 ? std::string(calendar::weekdayName(*digit)) : "";
            entries.push_back({{day, code},
                               {day,
                                fmt::format("{} {}", weekday, name),
                                code,
                                text(rows, "denom"),
                                text(rows, "note")},
                               false});
        }
        return !rows.failed();
    }

    ui::FormValues valuesOf(DatabaseConnection&, const ListEntry& entry) override {
        return {{std::string(fields::kDay), entry.keys[0]},
                {std::string(fields::kCadence), entry.keys[1]},
                {std::string(fields::kNote), entry.columns[4]}};
    }

    std::optional<std::string>
    check(DatabaseConnection& connection, const ui::FormValues& values, bool) override {
        if (!workspace::parseTypedDate(fieldValue(values, fields::kDay))) {
            return refusal(kBadDay, kDateForm);
        }
        const std::string code = leadingField(fieldValue(values, fields::kCadence));
        if (!cadenceListed(connection, code)) {
            return calendar::missingCadenceMessage(code);
        }
        if (characters(fieldValue(values, fields::kNote)) > 20) {
            return refusal("ATTENZIONE: la nota del giorno è troppo lunga.",
                           "La nota può avere al massimo 20 caratteri.");
        }
        return std::nullopt;
    }

    bool insert(DatabaseConnection& connection, const ui::FormValues& values) override {
        const Date day = *workspace::parseTypedDate(fieldValue(values, fields::kDay));
        calendar::DayList days(day, day);
        if (!days.LoadCalendar(connection)) {
            return false;
        }
        calendar::CalendarEditor editor(connection, days);
        const std::string code = leadingField(fieldValue(values, fields::kCadence));
        if (days.find(day) != nullptr && days.find(day)->hasCadence(code)) {
            connection.ui().Message(
                refusal(fmt::format("ATTENZIONE: la cadenza {} è già attiva nel giorno {}.",
                                    code,
                                    day.display()),
                        "Occorre indicare una cadenza non ancora attiva nel giorno."),
                ui::Icon::Stop);
            return false;
        }
        const std::string& note = fieldValue(values, fields::kNote);
        return editor.AddCadence(day, code) &&
               (store::trimBlanks(note).empty() || editor.SetAnnotation(day, note));
    }

    bool modify(DatabaseConnection&, const ListEntry&, const ui::FormValues&) override {
        return false; // the calendar's entries are inserted and deleted, not modified
    }

    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        const auto day = workspace::parseTypedDate(entry.keys[0]);
        if (!day) {
            return false;
        }
        calendar::DayList days(*day, *day);
        calendar::CalendarEditor editor(connection, days);
        return days.LoadCalendar(connection) && editor.RemoveCadence(*day, entry.keys[1]);
    }

    bool
    special(DatabaseConnection& connection, std::string_view id, const ListEntry* entry) override {
        if (id != kClearDay || entry == nullptr) {
            return false;
        }
        const auto day = workspace::parseTypedDate(entry->keys[0]);
        if (!day) {
            return false;
        }
        calendar::DayList days(*day, *day);
        if (!days.LoadCalendar(connection) || days.find(*day) == nullptr) {
            return false;
        }
        std::vector<std::string> codes;
        for (const calendar::DayCadence& cadence : days.find(*day)->cadences) {
            codes.push_back(cadence.code);
        }
        calendar::CalendarEditor editor(connection, days);
        for (const std::string& code : codes) {
            if (!editor.RemoveCadence(*day, code)) {
                return false;
            }
        }
        return true;
    }

    std::vector<MenuEntry> menu() const override {
        return {menuItem("&Inserisci una Nuova Cadenza/Giorno", Operation::Insert),
                menuItem("&Elimina la Cadenza/Giorno Selezionata", Operation::Delete),
                specialItem("&Pulisce tutte le Cadenze del giorno", std::string(kClearDay)),
                menuItem("&Aggiorna la Vista del Calendario", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore)};
    }
};

std::optional<std::string>
lengthRefusal(std::string_view value, std::string_view what, size_t most) {
    if (characters(store::withoutTrailingBlanks(value)) > most) {
        return refusal(fmt::format("ATTENZIONE: il campo {} è troppo lungo.", what),
                       fmt::format("Il campo {} può avere al massimo {} caratteri.", what, most));
    }
    return std::nullopt;
}

class StandardLineWindow final : public WindowSource {
public:
    std::string title() const override { return "Gestione Codifiche Linee Ufficiali"; }

    std::vector<std::string> headers() const override {
        return {"Lotto", "Id", "Ente Gestione", "Sigla Ufficiale", "Denominazione", "Percorso"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection& connection) override {
        return {choiceField(
                    fields::kLot, "Lotto di gara", registerEntries(connection, "reglot", "codice")),
                choiceField(fields::kAuthority,
                            "Ente Gestione",
                            registerEntries(connection, "regent", "denom")),
                textField(fields::kId, "Id", 5),
                textField(fields::kCode, "Sigla Ufficiale", 10),
                textField(fields::kName, "Denominazione", 40),
                textField(fields::kRoute, "Percorso", 120)};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        static constexpr std::string_view kOrders[] = {
            "reglinee.lotto, reglinee.id",
            "regent.denom, reglinee.sigla, reglinee.lotto, reglinee.id",
            "reglinee.sigla, reglinee.lotto, reglinee.id"};
        store::QueryCursor rows(connection);
        rows.SetSelect("reglinee.lotto, reglinee.id, reglinee.ente, reglinee.sigla, "
                       "reglinee.denom, reglinee.itiner, regent.denom AS ente_denom");
        rows.SetFrom("reglinee LEFT JOIN regent ON regent.codice = reglinee.ente");
        rows.SetOrderBy(kOrders[m_order]);
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            const std::string lot = text(rows, "lotto");
            const std::string id = text(rows, "id");
            entries.push_back({{lot, id},
                               {lot,
                                id,
                                fmt::format("{} {}", text(rows, "ente"), text(rows, "ente_denom")),
                                text(rows, "sigla"),
                                text(rows, "denom"),
                                text(rows, "itiner")},
                               false});
        }
        return !rows.failed();
    }

    ui::FormValues valuesOf(DatabaseConnection& connection, const ListEntry& entry) override {
        store::QueryCursor rows(connection);
        rows.SetSelect("ente");
        rows.SetFrom("reglinee");
        rows.SetWhere("lotto = ? AND id = ?");
        rows.Bind(1, entry.keys[0]);
        rows.Bind(2, entry.keys[1]);
        std::string authority;
        if (rows.Execute()) {
            authority = text(rows, "ente");
        }
        const auto code = [](std::string_view value) {
            const auto n = wholeNumber(value);
            return n ? fmt::format("{:04d}", *n) : std::string(value);
        };
        return {{std::string(fields::kLot), code(entry.keys[0])},
                {std::string(fields::kAuthority), code(authority)},
                {std::string(fields::kId), entry.keys[1]},
                {std::string(fields::kCode), entry.columns[3]},
                {std::string(fields::kName), entry.columns[4]},
                {std::string(fields::kRoute), entry.columns[5]}};
    }

    std::optional<std::string>
    check(DatabaseConnection& connection, const ui::FormValues& values, bool isNew) override {
        if (isNew) {
            const auto lot = wholeNumber(leadingField(fieldValue(values, fields::kLot)), 32767);
            if (!lot || !registerHolds(connection, "reglot", *lot)) {
                return refusal("ATTENZIONE: il Lotto di gara non è valido.",
                               "Occorre selezionare un Lotto di gara presente nella lista.");
            }
            const auto id = wholeNumber(fieldValue(values, fields::kId), 32767);
            if (!id) {
                return refusal("ATTENZIONE: l'Id della linea non è valido.",
                               "L'Id deve essere un numero intero da 0 a 32767.");
            }
            store::QueryCursor used(connection);
            used.SetSelect("id");
            used.SetFrom("reglinee");
            used.SetWhere("lotto = ? AND id = ?");
            used.Bind(1, std::int64_t{*lot});
            used.Bind(2, std::int64_t{*id});
            if (used.Execute()) {
                return refusal(
                    fmt::format("ATTENZIONE: la linea {} del lotto {} è già presente.", *id, *lot),
                    "Occorre indicare un Id non ancora usato nel lotto.");
            }
        }
        const auto authority =
            wholeNumber(leadingField(fieldValue(values, fields::kAuthority)), 32767);
        if (!authority || !registerHolds(connection, "regent", *authority)) {
            return refusal("ATTENZIONE: l'Ente Gestione non è valido.",
                           "Occorre selezionare un Ente Gestione presente nella lista.");
        }
        if (store::trimBlanks(fieldValue(values, fields::kCode)).empty()) {
            return refusal("ATTENZIONE: la Sigla Ufficiale non è indicata.",
                           "La Sigla Ufficiale deve avere da 1 a 10 caratteri.");
        }
        if (auto refused =
                lengthRefusal(fieldValue(values, fields::kCode), "Sigla Ufficiale", 10)) {
            return refused;
        }
        if (auto refused = lengthRefusal(fieldValue(values, fields::kName), "Denominazione", 40)) {
            return refused;
        }
        return lengthRefusal(fieldValue(values, fields::kRoute), "Percorso", 120);
    }

    bool insert(DatabaseConnection& connection, const ui::FormValues& values) override {
        store::TableCursor lines(&connection, "reglinee");
        return lines.AddNew() &&
               lines.SetField(
                   "lotto",
                   std::to_string(*wholeNumber(leadingField(fieldValue(values, fields::kLot))))) &&
               lines.SetField("id",
                              std::to_string(*wholeNumber(fieldValue(values, fields::kId)))) &&
               write(lines, values) && lines.Update();
    }

    bool modify(DatabaseConnection& connection,
                const ListEntry& entry,
                const ui::FormValues& values) override {
        store::TableCursor lines(&connection, "reglinee");
        return seek(connection, lines, entry) && lines.Edit() && write(lines, values) &&
               lines.Update();
    }

    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        store::TableCursor lines(&connection, "reglinee");
        return seek(connection, lines, entry) && lines.Delete();
    }

    std::vector<MenuEntry> menu() const override {
        return {menuItem("&Inserisci una Nuova Linea Standard", Operation::Insert),
                menuItem("&Modifica la Linea Standard Selezionata", Operation::Modify),
                menuItem("&Elimina la Linea Standard Selezionata", Operation::Delete),
                menuItem("&Aggiorna la Vista delle Linee Standard", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore),
                orderItem("Ordine per Lotto/Id", 0),
                orderItem("Ordine per Ente/Sigla Ufficiale", 1),
                orderItem("Ordine per Sigla Ufficiale", 2)};
    }

    int orderCount() const override { return 3; }

    void setOrder(int order) override { m_order = order; }

    int order() const override { return m_order; }

private:
    static bool write(store::TableCursor& lines, const ui::FormValues& values) {
        return lines.SetField("ente",
                              std::to_string(*wholeNumber(
                                  leadingField(fieldValue(values, fields::kAuthority))))) &&
               lines.SetField("sigla", store::trimBlanks(fieldValue(values, fields::kCode))) &&
               lines.SetField("denom",
                              store::withoutTrailingBlanks(fieldValue(values, fields::kName))) &&
               lines.SetField("itiner",
                              store::withoutTrailingBlanks(fieldValue(values, fields::kRoute)));
    }

    static bool
    seek(DatabaseConnection& connection, store::TableCursor& lines, const ListEntry& entry) {
        if (lines.SelectIndex("codice") && lines.Seek({entry.keys[0], entry.keys[1]})) {
            return true;
        }
        if (lines.IsOpen()) {
            connection.ui().Message(
                fmt::format("ATTENZIONE: la linea {} del lotto {} non è più presente.",
                            entry.keys[1],
                            entry.keys[0]),
                ui::Icon::Stop);
        }
        return false;
    }

    int m_order = 0;
};

class LineLinkWindow final : public WindowSource {
public:
    std::string title() const override {
        return "Gestione Corrispondenze Codifiche Linee Ufficiali";
    }

    std::vector<std::string> headers() const override {
        return {"Linea Aziendale", "Lotto", "Id", "Sigla Ufficiale", "Denominazione"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection& connection) override {
        std::vector<std::string> official;
        store::QueryCursor rows(connection);
        rows.SetSelect("lotto, id, sigla, denom");
        rows.SetFrom("reglinee");
        rows.SetOrderBy("lotto, id");
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            official.push_back(fmt::format("{}/{} {} {}",
                                           text(rows, "lotto"),
                                           text(rows, "id"),
                                           text(rows, "sigla"),
                                           text(rows, "denom")));
        }
        return {textField(fields::kLine, "Linea Aziendale", 10),
                choiceField(fields::kOfficial, "Linea Ufficiale", std::move(official))};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        store::QueryCursor rows(connection);
        rows.SetSelect("reglklin.codlinea, reglklin.lotto, reglklin.id, reglinee.sigla, "
                       "reglinee.denom");
        rows.SetFrom("reglklin LEFT JOIN reglinee ON reglinee.lotto = reglklin.lotto AND "
                     "reglinee.id = reglklin.id");
        rows.SetOrderBy(m_order == 0 ? "reglklin.codlinea" : "reglinee.sigla, reglklin.codlinea");
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            const std::string line = text(rows, "codlinea");
            entries.push_back({{line},
                               {line,
                                text(rows, "lotto"),
                                text(rows, "id"),
                                text(rows, "sigla"),
                                text(rows, "denom")},
                               false});
        }
        return !rows.failed();
    }

    ui::FormValues valuesOf(DatabaseConnection&, const ListEntry& entry) override {
        return {{std::string(fields::kLine), entry.columns[0]},
                {std::string(fields::kOfficial), entry.columns[1] + "/" + entry.columns[2]}};
    }

    std::optional<std::string>
    check(DatabaseConnection& connection, const ui::FormValues& values, bool) override {
        const std::string_view line = store::trimBlanks(fieldValue(values, fields::kLine));
        if (line.empty() || characters(line) > 10) {
            return refusal("ATTENZIONE: la Linea Aziendale non è valida.",
                           "La Linea Aziendale deve avere da 1 a 10 caratteri.");
        }
        store::QueryCursor linked(connection);
        linked.SetSelect("codlinea");
        linked.SetFrom("reglklin");
        linked.SetWhere("codlinea = ?");
        linked.Bind(1, line);
        if (linked.Execute()) {
            return refusal(fmt::format("ATTENZIONE: la Linea Aziendale {} è già associata.", line),
                           "Occorre eliminare l'associazione esistente prima di inserirne una "
                           "nuova.");
        }
        if (!official(connection, fieldValue(values, fields::kOfficial))) {
            return refusal("ATTENZIONE: la Linea Ufficiale non è valida.",
                           "Occorre selezionare una Linea Ufficiale presente nella lista "
                           "(lotto/id).");
        }
        return std::nullopt;
    }

    bool insert(DatabaseConnection& connection, const ui::FormValues& values) override {
        const auto [lot, id] = *official(connection, fieldValue(values, fields::kOfficial));
        store::TableCursor links(&connection, "reglklin");
        return links.AddNew() &&
               links.SetField("codlinea", store::trimBlanks(fieldValue(values, fields::kLine))) &&
               links.SetField("lotto", std::to_string(lot)) &&
               links.SetField("id", std::to_string(id)) && links.Update();
    }

    bool modify(DatabaseConnection&, const ListEntry&, const ui::FormValues&) override {
        return false; // a link is deleted and inserted anew
    }

    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        store::TableCursor links(&connection, "reglklin");
        if (links.SelectIndex("codice") && links.Seek({entry.keys[0]})) {
            return links.Delete();
        }
        return false;
    }

    std::vector<MenuEntry> menu() const override {
        return {menuItem("&Inserisci una Nuova Associazione Linea", Operation::Insert),
                menuItem("&Elimina l'Associazione Linea Selezionata", Operation::Delete),
                menuItem("&Aggiorna la Vista delle Associazioni Linea", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore),
                orderItem("Ordine per Codice Linea Aziendale", 0),
                orderItem("Ordine per Sigla Ufficiale", 1)};
    }

    int orderCount() const override { return 2; }

    void setOrder(int order) override { m_order = order; }

    int order() const override { return m_order; }

private:
    // "lot/id" at the start of the entry, when reglinee holds that line.
    static std::optional<std::pair<std::int32_t, std::int32_t>>
    official(DatabaseConnection& connection, std::string_view entry) {
        const std::string first = leadingField(entry);
        const auto slash = first.find('/');
        if (slash == std::string::npos) {
            return std::nullopt;
        }
        const auto lot = wholeNumber(std::string_view(first).substr(0, slash), 32767);
        const auto id = wholeNumber(std::string_view(first).substr(slash + 1), 32767);
        if (!lot || !id) {
            return std::nullopt;
        }
        store::QueryCursor rows(connection);
        rows.SetSelect("id");
        rows.SetFrom("reglinee");
        rows.SetWhere("lotto = ? AND id = ?");
        rows.Bind(1, std::int64_t{*lot});
        rows.Bind(2, std::int64_t{*id});
        if (!rows.Execute()) {
            return std::nullopt;
        }
        return std::pair{*lot, *id};
    }

    int m_order = 0;
};

} // namespace

std::unique_ptr<WindowSource> cadenceWindow() {
    return std::make_unique<CadenceWindow>();
}

std::unique_ptr<WindowSource> calendarWindow() {
    return std::make_unique<CalendarWindow>();
}

std::unique_ptr<WindowSource> standardLineWindow() {
    return std::make_unique<StandardLineWindow>();
}

std::unique_ptr<WindowSource> lineLinkWindow() {
    return std::make_unique<LineLinkWindow>();
}

} // namespace tramela::views
