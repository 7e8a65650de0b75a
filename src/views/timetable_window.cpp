// The timetable of a route: its trips side by side over the route's stops.

#include "views/timetable_window.h"

#include "calendar/service_days.h"
#include "network/running_times.h"
#include "network/standard_trips.h"
#include "network/timetable_entry.h"
#include "network/trip_parameters.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/value_text.h"
#include "views/window_support.h"
#include "views/windows.h"
#include "workspace/typed_date.h"

#include <algorithm>
#include <fmt/format.h>
#include <map>
#include <unordered_set>

namespace tramela::views {

namespace {

using namespace support;
using network::StandardTripId;
using network::TripId;
using store::DatabaseConnection;

constexpr int kDay = 1440;

// "07.30", or "07.30 / 07.32" when the trip waits at the stop, then its marks.
std::string cellText(const TimetableCell& cell) {
    std::string text = network::formatClockTime(cell.arrival);
    if (cell.departure != cell.arrival) {
        text += " / " + network::formatClockTime(cell.departure);
    }
    if (cell.fixed) {
        text += " F";
    }
    if (cell.passing) {
        text += " NF";
    }
    return text;
}

std::int32_t whole(std::string_view text) {
    return wholeNumber(text).value_or(0);
}

} // namespace

class TimetableWindow::Source final : public WindowSource {
public:
    explicit Source(std::int32_t route)
        : m_route(route) {}

    std::string title() const override {
        return fmt::format("Corse effettuate sul percorso {}", m_route);
    }

    std::vector<std::string> headers() const override {
        return {"ID Corsa", "Codice Corsa", "Linea", "Verso", "Partenza"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection&) override { return {}; }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        m_stops.clear();
        m_columns.clear();
        if (!loadStops(connection) || !loadTrips(connection)) {
            return false;
        }
        for (const TimetableColumn& column : m_columns) {
            entries.push_back({{std::to_string(column.trip)},
                               {std::to_string(column.trip),
                                column.code,
                                column.line,
                                column.direction,
                                network::formatClockTime(network::minutesOfHhmm(column.start))},
                               false});
        }
        if (m_stop && *m_stop >= m_stops.size()) {
            m_stop.reset();
        }
        if (!m_stop && !m_stops.empty()) {
            m_stop = 0;
        }
        return true;
    }

    ui::FormValues valuesOf(DatabaseConnection&, const ListEntry&) override { return {}; }

    std::optional<std::string> check(DatabaseConnection&, const ui::FormValues&, bool) override {
        return std::nullopt;
    }

    bool insert(DatabaseConnection&, const ui::FormValues&) override { return false; }

    bool modify(DatabaseConnection&, const ListEntry&, const ui::FormValues&) override {
        return false;
    }

    // The trip goes with its periods and its extended codes; its standard trip stays, for other
    // trips may run it (the clean-up of unused standard trips removes it otherwise).
    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        const std::string& trip = entry.keys[0];
        store::QueryCursor rows(connection);
        rows.SetSelect("inizio, fine");
        rows.SetFrom("period");
        rows.SetWhere("id = ?");
        rows.Bind(1, std::int64_t{whole(trip)});
        std::vector<std::pair<std::string, std::string>> periods;
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            periods.emplace_back(support::text(rows, "inizio"), support::text(rows, "fine"));
        }
        if (rows.failed()) {
            return false;
        }
        store::TableCursor periodRows(&connection, "period");
        store::TableCursor codes(&connection, "extcod");
        store::TableCursor trips(&connection, "corse");
        if (!periodRows.SelectIndex("codice") || !codes.SelectIndex("codice") ||
            !trips.SelectIndex("codice")) {
            return false;
        }
        for (const auto& [from, to] : periods) {
            if (!periodRows.Seek({trip, from, to}) || !periodRows.Delete()) {
                return false;
            }
        }
        if (codes.Seek({trip}) && !codes.Delete()) {
            return false;
        }
        if (!trips.Seek({trip})) {
            connection.ui().Message(fmt::format("ATTENZIONE: la Corsa ID={} non esiste !!!", trip),
                                    ui::Icon::Stop);
            return false;
        }
        return trips.Delete();
    }

    bool
    special(DatabaseConnection& connection, std::string_view id, const ListEntry* entry) override {
        m_outcome = ui::Outcome::Failed;
        m_created.clear();
        const TimetableColumn* column = entry != nullptr ? columnOf(entry->keys[0]) : nullptr;
        const bool done = [&] {
            if (id == timetable::kInsert) {
                return insertTrip(connection, column);
            }
            if (id == timetable::kFilter) {
                return askFilter(connection);
            }
            if (column == nullptr) {
                return false;
            }
            if (id == timetable::kPassing || id == timetable::kFixed) {
                return toggle(connection, *column, id == timetable::kFixed);
            }
            if (id == timetable::kTransit) {
                return transit(connection, *column);
            }
            if (id == timetable::kHead) {
                return changeHead(connection, *column);
            }
            if (id == timetable::kParameters) {
                return assignParameters(connection, *column);
            }
            if (id == timetable::kRecompute) {
                return recompute(connection, *column);
            }
            if (id == timetable::kClone) {
                return clone(connection, *column);
            }
            if (id == timetable::kCloneBand) {
                return cloneBand(connection, *column);
            }
            return false; // the periods are opened by the front end
        }();
        if (done) {
            m_outcome = ui::Outcome::Done;
        }
        return done;
    }

    std::vector<MenuEntry> menu() const override {
        using namespace timetable;
        MenuEntry periods = specialItem("Periodi di &Effettuazione", std::string(kPeriods));
        return {specialItem("&Non effettua fermata", std::string(kPassing)),
                specialItem("&Tempo Fisso", std::string(kFixed)),
                specialItem("Variazione &Transito", std::string(kTransit)),
                specialItem("Variazione Testa &Corsa", std::string(kHead)),
                periods,
                menuItem("&Elimina la Corsa Selezionata", Operation::Delete),
                specialItem("Assegnazione &Parametri Corse", std::string(kParameters)),
                specialItem("&Ricalcola tempi", std::string(kRecompute)),
                // A new standard trip needs no trip to start from: it is offered on an empty
                // timetable too.
                specialItem("&Inserisci Corsa (Nuova Corsa Standard)",
                            std::string(kInsert),
                            Operation::Action),
                specialItem("&Aggiungi Corsa (Clonazione)", std::string(kClone)),
                specialItem("Aggiungi Corse (Clonazione a &Frequenza)", std::string(kCloneBand)),
                specialItem("&Filtro Validità Corse", std::string(kFilter), Operation::Action),
                menuItem("&Aggiorna la Vista del Quadro Orario", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore)};
    }

    std::int32_t route() const { return m_route; }

    const std::vector<TimetableStop>& stops() const { return m_stops; }

    const std::vector<TimetableColumn>& columns() const { return m_columns; }

    std::optional<size_t> stop() const { return m_stop; }

    bool selectStop(size_t row) {
        if (row >= m_stops.size()) {
            return false;
        }
        m_stop = row;
        return true;
    }

    const std::string& validOn() const { return m_validOn; }

    void setValidOn(std::string date) { m_validOn = std::move(date); }

    ui::Outcome outcome() const { return m_outcome; }

    void setOutcome(ui::Outcome outcome) { m_outcome = outcome; }

    const std::vector<std::int32_t>& created() const { return m_created; }

    const TimetableColumn* columnOf(std::string_view trip) const {
        const std::int32_t id = whole(trip);
        const auto found = std::find_if(m_columns.begin(),
                                        m_columns.end(),
                                        [id](const TimetableColumn& c) { return c.trip == id; });
        return found != m_columns.end() ? &*found : nullptr;
    }

private:
    bool loadStops(DatabaseConnection& connection) {
        store::QueryCursor rows(connection);
        rows.SetSelect("fermitin.sub, fermitin.fermata, fermate.fermata AS codice, fermate.denom");
        // A stop missing from the register is listed all the same, without code and name.
        rows.SetFrom("fermitin LEFT JOIN fermate ON fermate.ID = fermitin.fermata");
        rows.SetWhere("fermitin.ID = ?");
        rows.Bind(1, std::int64_t{m_route});
        rows.SetOrderBy("fermitin.sub");
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            m_stops.push_back({static_cast<int>(whole(support::text(rows, "sub"))),
                               whole(support::text(rows, "fermata")),
                               support::text(rows, "codice"),
                               support::text(rows, "denom")});
        }
        return !rows.failed();
    }

    bool loadTrips(DatabaseConnection& connection) {
        std::optional<calendar::ServiceDayExtraction> running;
        if (!m_validOn.empty()) {
            const auto day = workspace::parseTypedDate(m_validOn);
            if (day) {
                running = calendar::ServiceDayExtraction::Run(connection, *day, *day, {});
            }
            if (!running) {
                return false;
            }
        }
        store::QueryCursor trips(connection);
        trips.SetSelect("id, codcorsa, codlinea, verso, parte, standard");
        trips.SetFrom("corse");
        trips.SetWhere("id_perc = ?");
        trips.Bind(1, std::int64_t{m_route});
        trips.SetOrderBy("parte, id");
        for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
            TimetableColumn column;
            column.trip = whole(support::text(trips, "id"));
            if (running && !running->containsTrip(column.trip)) {
                continue;
            }
            column.code = store::trimBlanks(support::text(trips, "codcorsa"));
            column.line = store::trimBlanks(support::text(trips, "codlinea"));
            column.direction = support::text(trips, "verso");
            column.start = static_cast<int>(whole(support::text(trips, "parte")));
            column.standard = whole(support::text(trips, "standard"));
            m_columns.push_back(std::move(column));
        }
        if (trips.failed()) {
            return false;
        }
        // The rows of every standard trip the route's trips run, in one sorted load.
        store::QueryCursor rows(connection);
        rows.SetSelect("id, sub, arriva, parte, fisso, nonferma");
        rows.SetFrom("detstd");
        rows.SetWhere("id IN (SELECT standard FROM corse WHERE id_perc = ?)");
        rows.Bind(1, std::int64_t{m_route});
        rows.SetOrderBy("id, sub");
        std::map<std::int32_t, std::vector<TimetableCell>> offsets;
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            TimetableCell cell;
            cell.sub = static_cast<int>(whole(support::text(rows, "sub")));
            cell.arrival = whole(support::text(rows, "arriva"));
            cell.departure = whole(support::text(rows, "parte"));
            cell.fixed = support::text(rows, "fisso") == "1";
            cell.passing = support::text(rows, "nonferma") == "1";
            offsets[whole(support::text(rows, "id"))].push_back(cell);
        }
        if (rows.failed()) {
            return false;
        }
        for (TimetableColumn& column : m_columns) {
            const auto found = offsets.find(column.standard);
            if (found == offsets.end()) {
                continue;
            }
            const int start = network::minutesOfHhmm(column.start);
            for (size_t k = 0; k < found->second.size() && k < m_stops.size(); ++k) {
                TimetableCell cell = found->second[k];
                cell.arrival = (start + cell.arrival) % kDay;
                cell.departure = (start + cell.departure) % kDay;
                cell.text = cellText(cell);
                column.cells.push_back(std::move(cell));
            }
        }
        return true;
    }

    const TimetableCell* selectedCell(DatabaseConnection& connection,
                                      const TimetableColumn& column) const {
        if (!m_stop || *m_stop >= column.cells.size()) {
            connection.ui().Message(
                fmt::format("ATTENZIONE: la corsa {} non ha orari per la fermata selezionata.",
                            column.trip),
                ui::Icon::Stop);
            return nullptr;
        }
        return &column.cells[*m_stop];
    }

    // A dialog answered, or the outcome set to cancelled.
    std::optional<ui::FormValues> ask(DatabaseConnection& connection, const ui::FormSpec& spec) {
        std::optional<ui::FormValues> values = connection.ui().Form(spec);
        if (!values) {
            m_outcome = ui::Outcome::Cancelled;
        }
        return values;
    }

    bool toggle(DatabaseConnection& connection, const TimetableColumn& column, bool fixed) {
        const TimetableCell* cell = selectedCell(connection, column);
        return cell != nullptr && network::ToggleStopFlag(connection,
                                                          StandardTripId{column.standard},
                                                          cell->sub,
                                                          fixed ? network::StopFlag::Fixed
                                                                : network::StopFlag::Passing)
                                      .has_value();
    }

    bool transit(DatabaseConnection& connection, const TimetableColumn& column) {
        const TimetableCell* cell = selectedCell(connection, column);
        if (cell == nullptr) {
            return false;
        }
        const size_t k = *m_stop;
        const int start = network::minutesOfHhmm(column.start);
        // The first stop is left no earlier than the trip starts; the last has a day before it.
        const int previous = k == 0 ? start : column.cells[k - 1].departure;
        const int next = k + 1 < column.cells.size() ? column.cells[k + 1].arrival
                                                     : (previous + kDay - 1) % kDay;
        const auto values =
            ask(connection, network::transitForm(previous, next, cell->arrival, cell->departure));
        if (!values) {
            return false;
        }
        const auto checked = network::CheckTransitChange(
            previous, next, fieldValue(*values, "arrival"), fieldValue(*values, "departure"));
        const auto* times = std::get_if<network::TransitTimes>(&checked);
        if (times == nullptr) {
            connection.ui().Message(std::get<ui::Refusal>(checked).text, ui::Icon::Stop);
            return false;
        }
        // The offsets run from the trip's start: left at 23.50, a stop reached at 00.10 is 20.
        const int arrival = network::offsetFromStart(column.start, times->arrival);
        int departure = network::offsetFromStart(column.start, times->departure);
        if (departure < arrival) {
            departure += kDay; // reached before midnight and left after it
        }
        return network::SetStopTimes(
            connection, StandardTripId{column.standard}, cell->sub, arrival, departure);
    }

    std::optional<network::TripCodeLists> lists(DatabaseConnection& connection) {
        return network::LoadTripCodeLists(connection);
    }

    // The head the dialog proposes from the selected trip, as the user confirmed it; nothing when
    // the registers or the trip cannot be read, or the dialog is cancelled or refused.
    std::optional<network::TripHead> askHead(DatabaseConnection& connection,
                                             const TimetableColumn& column,
                                             network::TripDialog dialog) {
        const auto codes = lists(connection);
        const auto head =
            codes ? network::ReadTripHead(connection, TripId{column.trip}) : std::nullopt;
        if (!head) {
            return std::nullopt;
        }
        const auto values = ask(connection, network::tripForm(dialog, *codes, *head));
        if (!values) {
            return std::nullopt;
        }
        auto read = network::ReadTripForm(dialog, *values, *codes);
        if (!std::holds_alternative<network::TripEntry>(read)) {
            return std::nullopt;
        }
        return std::get<network::TripEntry>(read).head;
    }

    bool changeHead(DatabaseConnection& connection, const TimetableColumn& column) {
        const auto head = askHead(connection, column, network::TripDialog::Head);
        return head && network::ChangeTripHead(connection, TripId{column.trip}, *head);
    }

    bool clone(DatabaseConnection& connection, const TimetableColumn& column) {
        const auto head = askHead(connection, column, network::TripDialog::Clone);
        if (!head) {
            return false;
        }
        const auto trip = network::CloneTrip(connection, TripId{column.trip}, *head);
        if (trip) {
            m_created.push_back(trip->value);
        }
        return trip.has_value();
    }

    bool cloneBand(DatabaseConnection& connection, const TimetableColumn& column) {
        const auto values = ask(connection, network::bandForm());
        if (!values) {
            return false;
        }
        auto read = network::ReadBandForm(*values);
        if (!std::holds_alternative<network::Band>(read)) {
            return false;
        }
        const auto trips = network::CloneTripAtFrequency(
            connection, TripId{column.trip}, std::get<network::Band>(read));
        if (!trips) {
            return false;
        }
        for (const TripId trip : *trips) {
            m_created.push_back(trip.value);
        }
        return true;
    }

    bool insertTrip(DatabaseConnection& connection, const TimetableColumn* column) {
        const auto codes = lists(connection);
        if (!codes) {
            return false;
        }
        // The dialog proposes the selected trip's head, or a blank one on an empty timetable.
        network::TripHead head;
        int end = 0;
        if (column != nullptr) {
            const auto selected = network::ReadTripHead(connection, TripId{column->trip});
            if (!selected) {
                return false;
            }
            head = *selected;
            head.code.clear();
            end = column->start;
            if (!column->cells.empty()) {
                const int last = column->cells.back().arrival;
                end = last / 60 * 100 + last % 60;
            }
        } else {
            head.authority = codes->authorities.empty() ? 0 : whole(codes->authorities.front());
        }
        const auto values =
            ask(connection, network::tripForm(network::TripDialog::NewStandard, *codes, head, end));
        if (!values) {
            return false;
        }
        auto read = network::ReadTripForm(network::TripDialog::NewStandard, *values, *codes);
        if (!std::holds_alternative<network::TripEntry>(read)) {
            return false;
        }
        const auto& entry = std::get<network::TripEntry>(read);
        const auto created = network::InsertTripWithNewStandard(
            connection, network::RouteId{m_route}, entry.head, entry.end);
        if (created) {
            m_created.push_back(created->trip.value);
        }
        return created.has_value();
    }

    bool assignParameters(DatabaseConnection& connection, const TimetableColumn& column) {
        const auto codes = network::LoadParameterLists(connection);
        const auto current =
            codes ? network::ReadTripParameters(connection, TripId{column.trip}) : std::nullopt;
        if (!current) {
            return false;
        }
        const auto values = ask(connection, network::tripParametersForm(*codes, *current));
        if (!values) {
            return false;
        }
        auto read = network::ReadTripParametersForm(*values, *codes);
        if (!std::holds_alternative<network::TripParameters>(read)) {
            return false;
        }
        return network::AssignTripParameters(
                   connection, TripId{column.trip}, std::get<network::TripParameters>(read))
            .has_value();
    }

    bool recompute(DatabaseConnection& connection, const TimetableColumn& column) {
        // The anchors are the times shown; the first and the last stop always count as fixed.
        std::vector<network::ShownStopTime> shown;
        for (size_t k = 0; k < column.cells.size(); ++k) {
            const TimetableCell& cell = column.cells[k];
            shown.push_back({cell.arrival,
                             cell.departure,
                             cell.fixed || k == 0 || k + 1 == column.cells.size()});
        }
        return network::RecomputeTripTimes(connection, TripId{column.trip}, shown).has_value();
    }

    bool askFilter(DatabaseConnection& connection) {
        ui::FormSpec spec;
        spec.id = timetable::kFilterFormId;
        spec.title = "Filtro Validità Corse";
        ui::FormField date = dateField(timetable::kFilterDate, "Corse valide il giorno");
        date.value = m_validOn;
        spec.groups = {{{}, {date}}};
        spec.validate = [](const ui::FormValues& values) -> std::optional<ui::Refusal> {
            const std::string& typed = fieldValue(values, timetable::kFilterDate);
            if (store::trimBlanks(typed).empty() || workspace::parseTypedDate(typed)) {
                return std::nullopt;
            }
            return ui::Refusal{badDate(), ui::Icon::Stop, {}};
        };
        const auto values = ask(connection, spec);
        if (!values) {
            return false;
        }
        const std::string& typed = fieldValue(*values, timetable::kFilterDate);
        m_validOn = workspace::normaliseTypedDate(typed).value_or(std::string());
        return true;
    }

public:
    static std::string badDate() {
        return refusal("ATTENZIONE: la data di validità è espressa in un formato illegale.",
                       "Le date devono essere espresse nella forma GG/MM/AAAA.");
    }

private:
    std::int32_t m_route;
    std::vector<TimetableStop> m_stops;
    std::vector<TimetableColumn> m_columns;
    std::optional<size_t> m_stop;
    std::string m_validOn;
    ui::Outcome m_outcome = ui::Outcome::Done;
    std::vector<std::int32_t> m_created;
};

TimetableWindow::TimetableWindow(DatabaseConnection& connection,
                                 std::int32_t route,
                                 EditWindow* owner) {
    auto source = std::make_unique<Source>(route);
    m_source = source.get();
    m_window = std::make_unique<EditWindow>(connection, std::move(source), owner);
}

TimetableWindow::~TimetableWindow() = default;

bool TimetableWindow::open() {
    return m_window->open();
}

std::int32_t TimetableWindow::route() const {
    return m_source->route();
}

std::string TimetableWindow::title() const {
    return m_source->title();
}

const std::vector<TimetableStop>& TimetableWindow::stops() const {
    return m_source->stops();
}

const std::vector<TimetableColumn>& TimetableWindow::columns() const {
    return m_source->columns();
}

std::optional<size_t> TimetableWindow::columnOf(std::int32_t trip) const {
    const auto& columns = m_source->columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].trip == trip) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> TimetableWindow::selectedStop() const {
    return m_source->stop();
}

bool TimetableWindow::selectStop(size_t row) {
    return m_source->selectStop(row);
}

const std::string& TimetableWindow::validOn() const {
    return m_source->validOn();
}

bool TimetableWindow::setValidOn(std::string_view date) {
    std::string normalised;
    if (!store::trimBlanks(date).empty()) {
        const auto typed = workspace::normaliseTypedDate(date);
        if (!typed) {
            m_window->connection().ui().Message(Source::badDate(), ui::Icon::Stop);
            return false;
        }
        normalised = *typed;
    }
    const std::string previous = m_source->validOn();
    m_source->setValidOn(std::move(normalised));
    if (!m_window->reload()) {
        m_source->setValidOn(previous);
        return false;
    }
    return true;
}

bool TimetableWindow::run(std::string_view id) {
    if (id == timetable::kFilter) {
        const std::string previous = m_source->validOn();
        if (m_window->special(id)) {
            return true;
        }
        m_source->setValidOn(previous);
        return false;
    }
    return m_window->special(id);
}

ui::Outcome TimetableWindow::lastOutcome() const {
    return m_source->outcome();
}

const std::vector<std::int32_t>& TimetableWindow::created() const {
    return m_source->created();
}

std::unique_ptr<EditWindow> TimetableWindow::periods() {
    const ListEntry* entry = m_window->selectedEntry();
    if (entry == nullptr || entry->deleted) {
        return nullptr;
    }
    auto periods = std::make_unique<EditWindow>(
        m_window->connection(), periodWindow(whole(entry->keys[0])), m_window.get());
    if (!periods->open()) {
        return nullptr;
    }
    return periods;
}

std::vector<MenuEntry> TimetableWindow::contextMenu() const {
    std::vector<MenuEntry> items = m_window->contextMenu();
    for (MenuEntry& item : items) {
        if (item.special == timetable::kInsert || item.special == timetable::kFilter) {
            item.enabled = m_window->mode() == Mode::Browsing;
        }
    }
    return items;
}

std::string TimetableWindow::text(bool aligned) const {
    const auto& columns = m_source->columns();
    const auto& entries = m_window->entries();
    std::vector<std::string> headers{"Sub", "Codice", "Fermata"};
    for (size_t i = 0; i < columns.size(); ++i) {
        headers.push_back(std::to_string(columns[i].trip) +
                          (i < entries.size() && entries[i].deleted ? " *" : ""));
    }
    std::vector<ListEntry> rows;
    const auto heading = [&](std::string caption, auto value) {
        ListEntry row;
        row.columns = {"", "", std::move(caption)};
        for (const TimetableColumn& column : columns) {
            row.columns.push_back(value(column));
        }
        rows.push_back(std::move(row));
    };
    heading("Codice Corsa", [](const TimetableColumn& c) { return c.code; });
    heading("Linea", [](const TimetableColumn& c) {
        const std::string line = c.line + " " + c.direction;
        return std::string(store::trimBlanks(line));
    });
    heading("Partenza", [](const TimetableColumn& c) {
        return network::formatClockTime(network::minutesOfHhmm(c.start));
    });
    const auto& stops = m_source->stops();
    for (size_t k = 0; k < stops.size(); ++k) {
        ListEntry row;
        row.columns = {std::to_string(stops[k].sub), stops[k].code, stops[k].name};
        for (const TimetableColumn& column : columns) {
            row.columns.push_back(k < column.cells.size() ? column.cells[k].text : "");
        }
        rows.push_back(std::move(row));
    }
    if (!aligned) {
        ListEntry header;
        header.columns = headers;
        rows.insert(rows.begin(), std::move(header));
    }
    return formatRows(headers, rows, aligned);
}

} // namespace tramela::views
