#include "utilities/clean_ups.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "utilities/bulk_edit.h"
#include "workspace/typed_date.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fmt/format.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tramela::utilities {

namespace {

using ui::Outcome;

constexpr std::string_view kStandardTripsResult =
    "Risultati dell'eliminazione corse standard non utilizzate:\n\n"
    "Eliminate {} corse standard";

constexpr std::string_view kStopsQuestion =
    "ATTENZIONE: questa funzione eliminerà in maniera IRREVERSIBILE\n"
    "tutte le FERMATE che non risultano utilizzate dagli ORARI CORSA.\n\n"
    "Le fermate eliminate non saranno quindi successivamente utilizzabili\n"
    "per la compilazione degli orari e verranno anche eliminate dalla\n"
    "cartografia di VkzNuvo.\n\n"
    "Intendi procedere all'eliminazione delle fermate inutilizzate ?";
constexpr std::string_view kStopsResult = "Risultati dell'eliminazione fermate non utilizzate:\n\n"
                                          "Eliminate {} fermate";

constexpr std::string_view kRoutesQuestion =
    "ATTENZIONE: questa funzione eliminerà in maniera IRREVERSIBILE\n"
    "tutti i PERCORSI che non risultano utilizzati dagli ORARI CORSA.\n\n"
    "I percorsi eliminati non saranno quindi successivamente utilizzabili\n"
    "per la compilazione degli orari e verranno anche eliminati dalla\n"
    "cartografia di VkzNuvo.\n\n"
    "Intendi procedere all'eliminazione dei percorsi inutilizzati ?";
constexpr std::string_view kRoutesResult =
    "Risultati dell'eliminazione percorsi non utilizzati:\n\n"
    "Eliminati {} percorsi";

constexpr std::string_view kPeriodTitle = "Eliminazione Corse x Periodo di effettuazione";
constexpr std::string_view kBadStart =
    "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
constexpr std::string_view kBadEnd =
    "ATTENZIONE: la data di fine periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
constexpr std::string_view kNoTrips =
    "Non esiste nessuna corsa con le caratteristiche richieste !!!";
constexpr std::string_view kPeriodQuestion = "Sono state identificate {} corse da eliminare\n\n"
                                             "Confermi eliminazione corse ?";
constexpr std::string_view kPeriodResult = "Sono state eliminate {} corse\n\n";

// The IDs of one table, sorted, each with a mark that says whether something uses it.
class IdSet {
public:
    // The IDs of the table's rows; false when the query failed.
    bool load(store::DatabaseConnection& connection, std::string_view table) {
        store::QueryCursor rows(connection);
        rows.SetSelect("ID");
        rows.SetFrom(table);
        std::optional<std::vector<std::int32_t>> ids = readIds(rows, "ID");
        if (!ids) {
            return false;
        }
        m_ids = std::move(*ids);
        std::sort(m_ids.begin(), m_ids.end());
        m_used.assign(m_ids.size(), false);
        return true;
    }

    // Marks an ID as used; an ID not in the set is ignored.
    void mark(std::int32_t id) {
        const auto found = std::lower_bound(m_ids.begin(), m_ids.end(), id);
        if (found != m_ids.end() && *found == id) {
            m_used[static_cast<size_t>(found - m_ids.begin())] = true;
        }
    }

    // The IDs not marked, ascending.
    std::vector<std::int32_t> unused() const {
        std::vector<std::int32_t> ids;
        for (size_t i = 0; i < m_ids.size(); ++i) {
            if (!m_used[i]) {
                ids.push_back(m_ids[i]);
            }
        }
        return ids;
    }

private:
    std::vector<std::int32_t> m_ids;
    std::vector<bool> m_used;
};

// A table whose rows refer to the candidates: `column` holds a candidate's ID.
struct Reference {
    std::string_view table;
    std::string_view column;
};

// What one clean-up examines and deletes: the candidates' table, the tables that refer to them,
// the table of their dependent rows keyed (ID, sub) and deleted first, then the further tables
// keyed by the ID alone, the candidates' own table last.
struct CleanUp {
    std::string_view candidates;
    std::vector<Reference> references;
    std::string_view dependents; // empty: none
    std::vector<std::string_view> deleted;
};

// Marks every candidate a reference uses: one join per referring table, each candidate once.
bool markUsed(store::DatabaseConnection& connection, const CleanUp& cleanUp, IdSet& set) {
    for (const Reference& reference : cleanUp.references) {
        const std::string id = fmt::format("{}.ID", cleanUp.candidates);
        store::QueryCursor used(connection);
        used.SetSelect(id);
        used.SetFrom(fmt::format("{}, {}", cleanUp.candidates, reference.table));
        used.SetWhere(fmt::format("{} = {}.{}", id, reference.table, reference.column));
        used.SetGroupBy(id);
        const std::optional<std::vector<std::int32_t>> ids = readIds(used);
        if (!ids) {
            return false;
        }
        for (std::int32_t usedId : *ids) {
            set.mark(usedId);
        }
    }
    return true;
}

// Deletes the dependent rows (ID, sub) of one candidate, each found again through the table
// layer. False when the query failed.
bool deleteDependents(store::DatabaseConnection& connection,
                      store::TableCursor& cursor,
                      std::string_view table,
                      const std::string& id) {
    store::QueryCursor rows(connection);
    rows.SetSelect("sub");
    rows.SetFrom(table);
    rows.SetWhere("ID = ?");
    rows.Bind(1, id);
    std::vector<std::string> subs;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        // As stored: a damaged one is refused by the seek, which says so.
        std::string sub;
        rows.GetText("sub", sub);
        subs.push_back(std::move(sub));
    }
    if (rows.failed()) {
        return false;
    }
    for (const std::string& sub : subs) {
        if (cursor.Seek({id, sub})) {
            cursor.Delete();
        }
    }
    return true;
}

// The common pass of the three clean-ups of unused rows; the count of candidates deleted, or
// nothing when a query failed or the transaction could not be made durable.
std::optional<long> removeUnused(store::DatabaseConnection& connection, const CleanUp& cleanUp) {
    IdSet set;
    if (!set.load(connection, cleanUp.candidates) || !markUsed(connection, cleanUp, set)) {
        return std::nullopt;
    }
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    long deleted = 0;
    {
        std::optional<store::TableCursor> dependents;
        if (!cleanUp.dependents.empty()) {
            dependents.emplace(&connection, cleanUp.dependents);
            dependents->SelectIndex("codice");
        }
        std::vector<std::unique_ptr<store::TableCursor>> tables;
        for (std::string_view table : cleanUp.deleted) {
            tables.push_back(std::make_unique<store::TableCursor>(&connection, table));
            tables.back()->SelectIndex("codice");
        }
        for (std::int32_t unused : set.unused()) {
            const std::string id = fmt::format("{}", unused);
            if (dependents && !deleteDependents(connection, *dependents, cleanUp.dependents, id)) {
                return std::nullopt;
            }
            // The candidate counts when its own row, the last, is gone.
            bool gone = false;
            for (const auto& table : tables) {
                gone = table->Seek({id}) && table->Delete();
            }
            if (gone) {
                ++deleted;
            }
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return deleted;
}

Outcome cleanUnused(workspace::Workspace& window,
                    const CleanUp& cleanUp,
                    std::string_view question,
                    std::string_view result) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!question.empty() &&
        !ui.Confirm({std::string(ui::keys::kProceed)}, question, ui::Icon::Question)) {
        return Outcome::Cancelled;
    }
    window.BeginBusy(true);
    const std::optional<long> deleted = removeUnused(*connection, cleanUp);
    if (!deleted) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(fmt::runtime(result), *deleted), ui::Icon::Information);
    return Outcome::Done;
}

// The validity period the dialog gives: both days read by the typed-date rule.
struct Period {
    Date start;
    Date end;
};

std::optional<ui::Refusal> periodRefusal(const ui::FormValues& values) {
    if (!workspace::parseTypedDate(fieldValue(values, kPeriodStartField))) {
        return ui::Refusal{std::string(kBadStart), ui::Icon::Stop, {}};
    }
    if (!workspace::parseTypedDate(fieldValue(values, kPeriodEndField))) {
        return ui::Refusal{std::string(kBadEnd), ui::Icon::Stop, {}};
    }
    return std::nullopt;
}

// Binds the period's two days to the first two parameters of a query.
void bindPeriod(store::QueryCursor& query, const Period& period) {
    query.BindDate(1, period.start.display());
    query.BindDate(2, period.end.display());
}

// The keys (ID, inizio, fine) of every period of the trips that have the chosen one.
struct PeriodKey {
    std::string id;
    std::string start;
    std::string end;
};

std::optional<std::vector<PeriodKey>> periodsOfTrips(store::DatabaseConnection& connection,
                                                     const Period& period) {
    store::QueryCursor rows(connection);
    rows.SetSelect("period.ID, period.inizio, period.fine");
    rows.SetFrom("period JOIN period AS chosen ON chosen.ID = period.ID");
    rows.SetWhere("chosen.inizio = ? AND chosen.fine = ?");
    rows.SetOrderBy("period.ID, period.inizio, period.fine");
    bindPeriod(rows, period);
    std::vector<PeriodKey> keys;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        const std::optional<std::int32_t> id = idIn(rows, "ID");
        if (!id) {
            continue;
        }
        PeriodKey key;
        key.id = fmt::format("{}", *id);
        rows.GetDateText(1, key.start);
        rows.GetDateText(2, key.end);
        keys.push_back(std::move(key));
    }
    if (rows.failed()) {
        return std::nullopt;
    }
    return keys;
}

} // namespace

ui::Outcome CleanStandardTrips(workspace::Workspace& window) {
    static const CleanUp cleanUp{"tesstd", {{"corse", "standard"}}, "detstd", {"tesstd"}};
    return cleanUnused(window, cleanUp, {}, kStandardTripsResult);
}

ui::Outcome CleanStops(workspace::Workspace& window) {
    static const CleanUp cleanUp{
        "fermate", {{"detstd", "fermata"}, {"fermitin", "fermata"}}, {}, {"fermate"}};
    return cleanUnused(window, cleanUp, kStopsQuestion, kStopsResult);
}

ui::Outcome CleanRoutes(workspace::Workspace& window) {
    static const CleanUp cleanUp{
        "itiner", {{"corse", "id_perc"}, {"tesstd", "id_perc"}}, "fermitin", {"geoitin", "itiner"}};
    return cleanUnused(window, cleanUp, kRoutesQuestion, kRoutesResult);
}

ui::Outcome CleanPeriod(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    ui::FormSpec form;
    form.id = kPeriodFormId;
    form.title = kPeriodTitle;
    form.groups.push_back(
        {"Periodo",
         {{std::string(kPeriodStartField), "Data Inizio", ui::FieldKind::Date, {}, {}, 0},
          {std::string(kPeriodEndField), "Data Fine", ui::FieldKind::Date, {}, {}, 0}}});
    form.validate = periodRefusal;
    const std::optional<ui::FormValues> values = ui.Form(form);
    if (!values) {
        return Outcome::Cancelled;
    }
    const Period period{*workspace::parseTypedDate(fieldValue(*values, kPeriodStartField)),
                        *workspace::parseTypedDate(fieldValue(*values, kPeriodEndField))};

    // The days are bound in the database's own form: no reading of day and month can swap them.
    store::QueryCursor chosen(*connection);
    chosen.SetSelect("ID");
    chosen.SetFrom("period");
    chosen.SetWhere("inizio = ? AND fine = ?");
    chosen.SetOrderBy("ID");
    bindPeriod(chosen, period);
    const std::optional<std::vector<std::int32_t>> trips = readIds(chosen);
    if (!trips) {
        return Outcome::Failed;
    }
    if (trips->empty()) {
        ui.Message(kNoTrips, ui::Icon::Information);
        return Outcome::Done;
    }
    if (!ui.Confirm({std::string(ui::keys::kProceed)},
                    fmt::format(kPeriodQuestion, trips->size()),
                    ui::Icon::Question)) {
        return Outcome::Cancelled;
    }
    const std::optional<std::vector<PeriodKey>> periods = periodsOfTrips(*connection, period);
    if (!periods) {
        return Outcome::Failed;
    }

    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return Outcome::Failed;
    }
    long deleted = 0;
    {
        // Every period of those trips, not only the chosen one; then their extended codes; then
        // the trips, which the relations keep while a period or a code still refers to them.
        store::TableCursor periodRows(connection, "period");
        periodRows.SelectIndex("codice");
        for (const PeriodKey& key : *periods) {
            if (periodRows.Seek({key.id, key.start, key.end})) {
                periodRows.Delete();
            }
        }
        store::TableCursor codes(connection, "extcod");
        codes.SelectIndex("codice");
        store::TableCursor tripRows(connection, "corse");
        tripRows.SelectIndex("codice");
        std::vector<std::string> ids;
        for (std::int32_t trip : *trips) {
            ids.push_back(fmt::format("{}", trip));
        }
        for (const std::string& id : ids) {
            if (codes.Seek({id})) {
                codes.Delete();
            }
        }
        for (const std::string& id : ids) {
            if (tripRows.Seek({id}) && tripRows.Delete()) {
                ++deleted;
            }
        }
    }
    if (!transaction.commit()) {
        return Outcome::Failed;
    }
    ui.Message(fmt::format(kPeriodResult, deleted), ui::Icon::Information);
    return Outcome::Done;
}

} // namespace tramela::utilities
