#include "store/timetable_clearing.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"

#include <algorithm>
#include <fmt/format.h>
#include <string>
#include <vector>

namespace tramela::store {

namespace {

constexpr std::string_view kClearQuestion =
    "ATTENZIONE: è stato richiesto l'azzeramento delle tavole di Tramela.\n\n"
    "Questa operazione provocherà la completa eliminazione di tutti i dati\n"
    "presenti nel database relativi agli orari delle corse ed ai relativi\n"
    "calendari di servizio.\n\n"
    "Le informazioni relative alle fermate ed ai percorsi (compresi la relativa\n"
    "cartografia) non saranno invece modificate in alcun modo.\n\n"
    "Questa operazione ha senso solo se si desidera procedere con la definizione\n"
    "di un nuovo orario stagionale.\n\n"
    "Confermi l'azzeramento delle tavole di Tramela?";

struct ClearedTable {
    std::string_view table;
    std::vector<std::string_view> keys; // the columns that find a row through index codice
    std::string_view label;
    long read = 0;
    long deleted = 0;
};

long rowCount(DatabaseConnection& connection, std::string_view table) {
    QueryCursor count(connection);
    count.SetSelect("COUNT(*)");
    count.SetFrom(sqlIdentifier(table));
    std::int32_t rows = 0;
    if (count.Execute()) {
        count.GetLong(0, rows);
    }
    return rows;
}

// Deletes row by row through the table layer, so that a row that cannot go (still referred to
// by another product's table) gets its own message and the others still go.
void clearRowByRow(DatabaseConnection& connection, ClearedTable& cleared) {
    QueryCursor rows(connection);
    std::string select;
    for (std::string_view key : cleared.keys) {
        select += (select.empty() ? "" : ", ") + std::string(key);
    }
    rows.SetSelect(select);
    rows.SetFrom(cleared.table);
    TableCursor cursor(&connection, cleared.table);
    cursor.SelectIndex("codice");
    std::vector<std::string> keys(cleared.keys.size());
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        for (size_t i = 0; i < keys.size(); ++i) {
            // Dates and texts as read, numbers as whole numbers.
            if (!rows.GetDateText(static_cast<int>(i), keys[i])) {
                rows.GetText(cleared.keys[i], keys[i]);
            }
        }
        ++cleared.read;
        const std::vector<std::string_view> values(keys.begin(), keys.end());
        if (cursor.Seek(values) && cursor.Delete()) {
            ++cleared.deleted;
        }
    }
}

} // namespace

ui::Outcome ClearTimetableTables(DatabaseConnection& connection) {
    ui::Ui& ui = connection.ui();
    if (!ui.Confirm({std::string(ui::keys::kProceed)}, kClearQuestion, ui::Icon::Question)) {
        return ui::Outcome::Cancelled;
    }
    ui.BeginBusy(true);
    // The order deletes the rows that refer to others before the rows they refer to.
    std::vector<ClearedTable> tables = {
        {"period", {"ID", "inizio", "fine"}, "Periodi Validità"},
        {"extcod", {"ID"}, "Codifiche Estese"},
        {"corse", {"ID"}, "Corse"},
        {"detstd", {"ID", "sub"}, "Dettagli Corse Standard"},
        {"tesstd", {"ID"}, "Corse Standard"},
        {"calend", {"data", "caden"}, "Calendari"},
        {"cadenz", {"codice"}, "Cadenze"},
    };
    Transaction transaction(connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    for (ClearedTable& cleared : tables) {
        if (!connection.tableExists(cleared.table)) {
            continue;
        }
        // One statement per table when nothing refers to its rows any more; otherwise row by
        // row, so that each row kept is named and counted.
        const long rows = rowCount(connection, cleared.table);
        Transaction whole(connection);
        if (connection.execute("DELETE FROM " + sqlIdentifier(cleared.table)) && whole.commit()) {
            cleared.read = rows;
            cleared.deleted = rows;
        } else {
            whole.rollback();
            clearRowByRow(connection, cleared);
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }

    std::string report = "Risultati dell'azzeramento delle tavole di Tramela:\n\n";
    for (std::string_view table :
         {"cadenz", "calend", "tesstd", "detstd", "corse", "period", "extcod"}) {
        const auto& cleared = *std::find_if(
            tables.begin(), tables.end(), [&](const auto& t) { return t.table == table; });
        report += fmt::format(
            "Righe eliminate: {} di {} [{}]\n", cleared.deleted, cleared.read, cleared.label);
    }
    ui.Message(report, ui::Icon::Information);
    return ui::Outcome::Done;
}

} // namespace tramela::store
