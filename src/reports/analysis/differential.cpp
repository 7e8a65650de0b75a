// The differential analysis of two service periods: which trips, stops and routes leave service,
// which enter it, and which new trips look like ceased ones changed.

#include "reports/analysis/differential.h"

#include "reports/analysis/analysis_text.h"
#include "reports/analysis/differential_model.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "workspace/text_output.h"
#include "workspace/typed_date.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>
#include <map>
#include <unordered_map>

namespace tramela::reports {

using namespace differential;

namespace {

constexpr std::string_view kDateForm = "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";

std::optional<ui::Refusal> validatePeriods(const ui::FormValues& values) {
    const std::pair<std::string_view, std::string_view> fields[] = {
        {kFirstStartField, "inizio periodo (1)"},
        {kFirstEndField, "fine periodo (1)"},
        {kSecondStartField, "inizio periodo (2)"},
        {kSecondEndField, "fine periodo (2)"},
    };
    Date dates[4];
    for (size_t i = 0; i < 4; ++i) {
        const std::optional<Date> date =
            workspace::parseTypedDate(valueOf(values, fields[i].first));
        if (!date) {
            return ui::Refusal{fmt::format("ATTENZIONE: la data di {} è espressa in un formato "
                                           "illegale.\n\n{}",
                                           fields[i].second,
                                           kDateForm),
                               ui::Icon::Stop,
                               {}};
        }
        dates[i] = *date;
    }
    for (int period = 0; period < 2; ++period) {
        if (dates[2 * period + 1] < dates[2 * period]) {
            return ui::Refusal{fmt::format("ATTENZIONE: le date di inizio e fine periodo ({}) sono "
                                           "invertite !!!.\n\n",
                                           period + 1),
                               ui::Icon::Stop,
                               {}};
        }
    }
    if (dates[1] >= dates[2]) {
        return ui::Refusal{
            "ATTENZIONE: i due periodi sono sovrapposti !!!.\n\n", ui::Icon::Stop, {}};
    }
    return std::nullopt;
}

std::optional<long> dayAt(store::QueryCursor& cursor, int position) {
    std::string text;
    cursor.GetDateText(position, text);
    const std::optional<Date> date = workspace::parseTypedDate(text);
    if (!date) {
        return std::nullopt;
    }
    return date->serial();
}

struct PeriodRow {
    std::string cadence;
    long start = 0;
    long end = 0;
    bool excluded = false;
};

struct TripRow {
    std::int32_t id = 0;
    std::int32_t standard = 0;
};

template <typename Record> Record* findById(std::vector<Record>& records, std::int32_t id) {
    const auto found =
        std::lower_bound(records.begin(), records.end(), id, [](const Record& r, std::int32_t key) {
            return r.id < key;
        });
    return found != records.end() && found->id == id ? &*found : nullptr;
}

class Builder {
public:
    Builder(store::DatabaseConnection& connection, const ServicePeriods& periods)
        : m_connection(connection)
        , m_ui(connection.ui()) {
        m_analysis.periods = periods;
    }

    bool build() {
        return loadStops() && loadRoutes() && loadCalendar() && loadTrips() &&
               identify(1, "Identificazione Corse Periodo (1)") &&
               identify(2, "Identificazione Corse Periodo (2)") && compare() &&
               assignAttributes() && loadTimetables() && linkTrips();
    }

    Analysis& analysis() { return m_analysis; }

    long linked() const { return m_linked; }

private:
    bool loadStops() {
        m_ui.ProgressCaption("Inizializzazione Fermate");
        store::QueryCursor cursor(m_connection);
        cursor.SetSelect("ID, fermata, denom");
        cursor.SetFrom("fermate");
        cursor.SetOrderBy("ID");
        for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
            m_analysis.stops.push_back(
                {integerAt(cursor, 0), textOf(cursor, "fermata"), textOf(cursor, "denom"), {}});
        }
        return !cursor.failed();
    }

    bool loadRoutes() {
        m_ui.ProgressCaption("Inizializzazione Percorsi");
        store::QueryCursor cursor(m_connection);
        cursor.SetSelect("ID, codperc, denom, geolung, conlung");
        cursor.SetFrom("itiner");
        cursor.SetOrderBy("ID");
        for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
            m_analysis.routes.push_back({integerAt(cursor, 0),
                                         textOf(cursor, "codperc"),
                                         textOf(cursor, "denom"),
                                         doubleAt(cursor, 3),
                                         doubleAt(cursor, 4),
                                         {}});
        }
        return !cursor.failed();
    }

    // The days of both periods on which each cadence is active, ascending.
    bool loadCalendar() {
        const ServicePeriods& p = m_analysis.periods;
        store::QueryCursor cursor(m_connection);
        cursor.SetSelect("data, caden");
        cursor.SetFrom("calend");
        cursor.SetWhere("data >= ? AND data <= ?");
        cursor.BindDate(1, p.firstStart.display());
        cursor.BindDate(2, p.secondEnd.display());
        cursor.SetOrderBy("data");
        for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
            if (const std::optional<long> day = dayAt(cursor, 0)) {
                std::vector<long>& days = m_cadenceDays[textOf(cursor, "caden")];
                if (days.empty() || days.back() != *day) {
                    days.push_back(*day);
                }
            }
        }
        return !cursor.failed();
    }

    bool loadTrips() {
        const ServicePeriods& p = m_analysis.periods;
        store::QueryCursor periods(m_connection);
        periods.SetSelect("ID, caden, inizio, fine, escluso");
        periods.SetFrom("period");
        periods.SetWhere("inizio <= ? AND fine >= ?");
        periods.BindDate(1, p.secondEnd.display());
        periods.BindDate(2, p.firstStart.display());
        for (bool row = periods.Execute(); row; row = periods.MoveNext()) {
            const std::optional<long> start = dayAt(periods, 2);
            const std::optional<long> end = dayAt(periods, 3);
            if (!start || !end) {
                continue;
            }
            std::int16_t excluded = 0;
            periods.GetShort(4, excluded);
            m_periods[integerAt(periods, 0)].push_back(
                {textOf(periods, "caden"), *start, *end, excluded != 0});
        }
        if (periods.failed()) {
            return false;
        }
        store::QueryCursor trips(m_connection);
        trips.SetSelect("ID, standard");
        trips.SetFrom("corse");
        trips.SetOrderBy("codlinea, parte, ID");
        for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
            const std::int32_t id = integerAt(trips, 0);
            if (m_periods.contains(id)) {
                m_trips.push_back({id, integerAt(trips, 1)});
            }
        }
        return !trips.failed();
    }

    // The days of [first, last] on which the period's cadence is active.
    template <typename Visit>
    void periodDays(const PeriodRow& period, long first, long last, Visit visit) const {
        const auto found = m_cadenceDays.find(period.cadence);
        if (found == m_cadenceDays.end()) {
            return;
        }
        const long from = std::max(first, period.start);
        const long to = std::min(last, period.end);
        const std::vector<long>& days = found->second;
        for (auto day = std::lower_bound(days.begin(), days.end(), from);
             day != days.end() && *day <= to;
             ++day) {
            visit(*day);
        }
    }

    // A trip runs in a period on the days a granting period gives it with its cadence, less
    // those a withdrawing period takes away; a day granted twice is one day.
    bool identify(int period, std::string_view caption) {
        m_ui.ProgressCaption(caption);
        const ServicePeriods& p = m_analysis.periods;
        const long first = (period == 1 ? p.firstStart : p.secondStart).serial();
        const long last = (period == 1 ? p.firstEnd : p.secondEnd).serial();
        std::vector<TripRecord>& list = period == 1 ? m_analysis.trips1 : m_analysis.trips2;
        std::vector<char> state(static_cast<size_t>(last - first + 1));
        for (const TripRow& trip : m_trips) {
            std::fill(state.begin(), state.end(), 0);
            bool any = false;
            const std::vector<PeriodRow>& rows = m_periods.at(trip.id);
            for (const PeriodRow& row : rows) {
                if (!row.excluded) {
                    periodDays(row, first, last, [&](long day) {
                        state[static_cast<size_t>(day - first)] = 1;
                        any = true;
                    });
                }
            }
            if (!any) {
                continue;
            }
            for (const PeriodRow& row : rows) {
                if (row.excluded) {
                    periodDays(row, first, last, [&](long day) {
                        char& s = state[static_cast<size_t>(day - first)];
                        s = s != 0 ? 2 : 0;
                    });
                }
            }
            TripRecord& record = list.emplace_back();
            record.id = trip.id;
            record.period = period;
            record.standard = trip.standard;
            for (size_t i = 0; i < state.size(); ++i) {
                if (state[i] != 0) {
                    record.days.push_back(first + static_cast<long>(i));
                    record.active.push_back(state[i] == 1 ? 1 : 0);
                }
            }
            record.countActive();
        }
        return true;
    }

    bool compare() {
        m_ui.ProgressCaption("Comparazione differenziale");
        std::unordered_map<std::int32_t, TripRecord*> second;
        for (TripRecord& trip : m_analysis.trips2) {
            second.emplace(trip.id, &trip);
        }
        for (TripRecord& trip : m_analysis.trips1) {
            const auto found = second.find(trip.id);
            if (found != second.end() && trip.activeDays() > 0 && found->second->activeDays() > 0) {
                trip.confirmed = true;
                found->second->confirmed = true;
            }
        }
        // The standard trips the found trips use, each with its trips of both periods.
        std::map<std::int32_t, std::vector<TripRecord*>> byStandard;
        for (auto* list : {&m_analysis.trips1, &m_analysis.trips2}) {
            for (TripRecord& trip : *list) {
                byStandard[trip.standard].push_back(&trip);
            }
        }
        for (auto& [id, trips] : byStandard) {
            StandardRecord& record = m_analysis.standards.emplace_back();
            record.id = id;
            record.trips = std::move(trips);
        }
        return true;
    }

    bool assignAttributes() {
        m_ui.ProgressCaption("Assegnazione Attributi Corse");
        std::map<int, std::string> companies;
        std::map<int, std::string> authorities;
        std::map<std::string, std::string, std::less<>> cadences;
        const std::pair<const char*, std::map<int, std::string>*> registers[] = {
            {"regazi", &companies}, {"regent", &authorities}};
        for (const auto& [table, names] : registers) {
            store::QueryCursor cursor(m_connection);
            cursor.SetSelect("codice, denom");
            cursor.SetFrom(table);
            for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
                (*names)[integerAt(cursor, 0)] = textOf(cursor, "denom");
            }
            if (cursor.failed()) {
                return false;
            }
        }
        store::QueryCursor cadenceCursor(m_connection);
        cadenceCursor.SetSelect("codice, denom");
        cadenceCursor.SetFrom("cadenz");
        for (bool row = cadenceCursor.Execute(); row; row = cadenceCursor.MoveNext()) {
            cadences[textOf(cadenceCursor, "codice")] = textOf(cadenceCursor, "denom");
        }
        if (cadenceCursor.failed()) {
            return false;
        }
        std::unordered_map<std::int32_t, std::vector<TripRecord*>> byId;
        for (auto* list : {&m_analysis.trips1, &m_analysis.trips2}) {
            for (TripRecord& trip : *list) {
                byId[trip.id].push_back(&trip);
            }
        }
        store::QueryCursor cursor(m_connection);
        cursor.SetSelect("c.ID, c.codlinea, c.verso, c.codcorsa, ex.aziges, ex.azisub, c.ente, "
                         "p.caden, p.inizio, p.fine, c.parte, i.geolung, i.conlung");
        cursor.SetFrom("corse AS c, period AS p, extcod AS ex, itiner AS i");
        cursor.SetWhere("c.ID = p.ID AND p.escluso = 0 AND ex.ID = c.ID AND i.ID = c.id_perc");
        cursor.SetOrderBy("c.ID, p.rowid");
        for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
            const auto trips = byId.find(integerAt(cursor, 0));
            if (trips == byId.end()) {
                continue;
            }
            const int company = integerAt(cursor, 4);
            const int subcontractor = integerAt(cursor, 5);
            const int authority = integerAt(cursor, 6);
            const std::string cadence = textOf(cursor, "caden");
            const auto companyName = companies.find(company);
            const auto subcontractorName = companies.find(subcontractor);
            const auto authorityName = authorities.find(authority);
            const auto cadenceName = cadences.find(cadence);
            // A trip whose registers lack a code is left without attributes, as by a join.
            if (companyName == companies.end() || subcontractorName == companies.end() ||
                authorityName == authorities.end() || cadenceName == cadences.end()) {
                continue;
            }
            const int parte = integerAt(cursor, 10);
            for (TripRecord* trip : trips->second) {
                trip->line = textOf(cursor, "codlinea");
                trip->direction = textOf(cursor, "verso");
                trip->code = textOf(cursor, "codcorsa");
                trip->company = company;
                trip->companyName = companyName->second;
                trip->subcontractor = subcontractor;
                trip->subcontractorName = subcontractorName->second;
                trip->authority = authority;
                trip->authorityName = authorityName->second;
                trip->cadence = cadence;
                trip->cadenceName = cadenceName->second;
                cursor.GetDateText(8, trip->start);
                cursor.GetDateText(9, trip->end);
                trip->departure = parte / 100 * 60 + parte % 100;
                trip->arrival = trip->departure;
                trip->geoLength = doubleAt(cursor, 11);
                trip->conLength = doubleAt(cursor, 12);
            }
        }
        return !cursor.failed();
    }

    // Marks a route or stop with the days of the trips of a standard trip that run.
    static void markUsage(Usage& usage, const StandardRecord& standard) {
        for (const TripRecord* trip : standard.trips) {
            if (trip->activeDays() == 0) {
                continue;
            }
            if (trip->period == 1) {
                usage.markFirst(trip->lastActiveDay());
            } else {
                usage.markSecond(trip->firstActiveDay());
            }
        }
    }

    bool loadTimetables() {
        m_ui.ProgressCaption("Identificazione Orari");
        store::QueryCursor cursor(m_connection);
        cursor.SetSelect("s.ID, s.arriva, f.ID, f.fermata, f.denom, t.id_perc");
        cursor.SetFrom("detstd AS s, tesstd AS t, fermate AS f");
        cursor.SetWhere("t.ID = s.ID AND f.ID = s.fermata");
        cursor.SetOrderBy("s.ID, s.sub");
        for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
            StandardRecord* standard = findById(m_analysis.standards, integerAt(cursor, 0));
            if (standard == nullptr) {
                continue;
            }
            const std::string code = textOf(cursor, "fermata");
            const std::string name = textOf(cursor, "denom");
            if (!standard->seen) {
                standard->seen = true;
                if (RouteRecord* route = findById(m_analysis.routes, integerAt(cursor, 5))) {
                    markUsage(route->usage, *standard);
                }
                standard->firstCode = code;
                standard->firstName = name;
            }
            standard->lastCode = code;
            standard->lastName = name;
            const int offset = integerAt(cursor, 1);
            const std::int32_t stop = integerAt(cursor, 2);
            for (TripRecord* trip : standard->trips) {
                trip->arrival = trip->departure + offset;
                if (!trip->confirmed) {
                    trip->timetable.push_back({trip->arrival, stop});
                }
            }
            if (StopRecord* record = findById(m_analysis.stops, stop)) {
                markUsage(record->usage, *standard);
            }
        }
        return !cursor.failed();
    }

    bool linkTrips() {
        m_ui.ProgressCaption("Identificazione Corse Analoghe");
        m_linked = linkAnalogousTrips(m_analysis.trips1, m_analysis.trips2);
        return true;
    }

    store::DatabaseConnection& m_connection;
    ui::Ui& m_ui;
    Analysis m_analysis;
    std::map<std::string, std::vector<long>, std::less<>> m_cadenceDays;
    std::unordered_map<std::int32_t, std::vector<PeriodRow>> m_periods;
    std::vector<TripRow> m_trips; // in order of line, departure and identifier
    long m_linked = 0;
};

ui::FileDialog folderDialog() {
    ui::FileDialog dialog;
    dialog.key = kAnalysisFolderKey;
    dialog.title = "Selezione Cartella per Esportazione Analisi";
    dialog.initialName = "AnalisiDifferenziale";
    dialog.defaultExtension = "TXT";
    dialog.filters = {{"File TXT (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    return dialog;
}

} // namespace

ui::FormSpec periodsDialog() {
    ui::FormSpec spec;
    spec.id = kPeriodsFormId;
    spec.title = "Analisi Differenziale Periodi Esercizio";
    const auto date = [](std::string_view id, const char* caption) {
        ui::FormField field;
        field.id = id;
        field.caption = caption;
        field.kind = ui::FieldKind::Date;
        field.maxLength = 10;
        return field;
    };
    spec.groups.push_back(
        {"Periodo (1)", {date(kFirstStartField, "Inizio"), date(kFirstEndField, "Fine")}});
    spec.groups.push_back(
        {"Periodo (2)", {date(kSecondStartField, "Inizio"), date(kSecondEndField, "Fine")}});
    spec.validate = validatePeriods;
    return spec;
}

std::optional<ServicePeriods> periodsOf(const ui::FormValues& values) {
    if (validatePeriods(values)) {
        return std::nullopt;
    }
    const auto at = [&values](std::string_view id) {
        return *workspace::parseTypedDate(valueOf(values, id));
    };
    return ServicePeriods{
        at(kFirstStartField), at(kFirstEndField), at(kSecondStartField), at(kSecondEndField)};
}

std::optional<DifferentialCounts> writeDifferentialAnalysis(store::DatabaseConnection& connection,
                                                            const ServicePeriods& periods,
                                                            const std::filesystem::path& folder) {
    ui::Ui& ui = connection.ui();
    Builder builder(connection, periods);
    if (!builder.build()) {
        return std::nullopt;
    }
    ui.ProgressCaption("Generazione report analisi differenziale");
    const Analysis& analysis = builder.analysis();
    const AnalysisFiles files = renderFiles(analysis);
    const std::pair<std::string_view, const std::string*> outputs[] = {
        {kCeasedTripsFile, &files.ceased},
        {kNewTripsFile, &files.added},
        {kReplacedTripsFile, &files.replaced},
        {kStopsFile, &files.stops},
        {kRoutesFile, &files.routes},
    };
    for (const auto& [name, text] : outputs) {
        if (!writeTextFile(folder / name, *text, ui)) {
            return std::nullopt;
        }
    }
    DifferentialCounts counts;
    for (const TripRecord& trip : analysis.trips1) {
        counts.confirmed += trip.confirmed ? 1 : 0;
        counts.ceased += !trip.confirmed && trip.activeDays() > 0 ? 1 : 0;
    }
    for (const TripRecord& trip : analysis.trips2) {
        counts.added += !trip.confirmed && trip.activeDays() > 0 ? 1 : 0;
    }
    counts.replaced = builder.linked();
    return counts;
}

ui::Outcome RunDifferentialAnalysis(workspace::Workspace& workspace) {
    store::DatabaseConnection& connection = *workspace.connection();
    ui::Ui& ui = workspace.ui();
    const std::optional<ui::FormValues> values = ui.Form(periodsDialog());
    if (!values) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<ServicePeriods> periods = periodsOf(*values);
    if (!periods) {
        return ui::Outcome::Failed; // the dialog accepts only valid periods
    }
    const std::optional<std::filesystem::path> chosen = ui.SaveFile(folderDialog());
    if (!chosen) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<std::filesystem::path> chosenFolder =
        workspace::folderOfChosen(*chosen, ui);
    if (!chosenFolder) {
        return ui::Outcome::Failed;
    }
    const std::filesystem::path& folder = *chosenFolder;
    // None of the five files takes the place of the database, checked before any is written.
    for (std::string_view name :
         {kCeasedTripsFile, kNewTripsFile, kReplacedTripsFile, kStopsFile, kRoutesFile}) {
        if (refusedAsDatabase(workspace, folder / name)) {
            return ui::Outcome::Failed;
        }
    }
    workspace.BeginBusy(true);
    const std::optional<DifferentialCounts> counts =
        writeDifferentialAnalysis(connection, *periods, folder);
    ui.ProgressCaption("");
    ui.Progress(-1);
    if (!counts) {
        return ui::Outcome::Failed;
    }
    ui.Message("Analisi Differenziale Periodi terminata", ui::Icon::Information);
    return ui::Outcome::Done;
}

} // namespace tramela::reports
