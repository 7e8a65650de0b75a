#pragma once

#include "ui/ui.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
class QueryCursor;
class TableCursor;
} // namespace tramela::store

namespace tramela::workspace {
class Workspace;
}

namespace tramela::utilities {

// What the code utilities and the clean-ups share: the open database, the IDs a query lists,
// the pass that finds each of them again and edits it, and the lists of their dialogs.

// The connected database, or nullptr when there is none.
store::DatabaseConnection* openConnection(workspace::Workspace& window);

// The ID in a column of the query's current row: its text as a whole 32-bit integer; nothing for
// a damaged value (text, null, out of range), which names no row that could be found again.
std::optional<std::int32_t> idIn(store::QueryCursor& row, std::string_view column);

// The IDs in the column of the query's rows (qualified or not: "id" reads "tesstd.ID"), in the
// query's order, leaving out a damaged value; nothing when the query failed (the query layer has
// said why).
std::optional<std::vector<std::int32_t>> readIds(store::QueryCursor& query,
                                                 std::string_view column = "id");

// The rows of one pass: read, and changed because the table accepted the change.
struct PassCounts {
    long read = 0;
    long changed = 0;
};

// Finds each ID again in `table` (index codice) and, when found, edits the row: `set` writes its
// fields (given the row's position in `ids`) and the update follows. A row not found is skipped;
// a field or an update the table refuses is shown by the table layer and the row is not counted
// as changed. With `progress`, the bar follows the rows done. The pass runs in one transaction:
// nothing when it could not be begun or committed (the store has said why), and then no row is
// changed.
std::optional<PassCounts>
editEach(store::DatabaseConnection& connection,
         std::string_view table,
         const std::vector<std::int32_t>& ids,
         const std::function<bool(store::TableCursor& row, size_t position)>& set,
         bool progress);

// The IDs of the trips in ID order: every trip, or those of one line (its code compared without
// trailing blanks, as a bound value). Nothing when the query failed.
std::optional<std::vector<std::int32_t>> tripsOfLine(store::DatabaseConnection& connection,
                                                     const std::optional<std::string>& line);

// The value of a form's field, or the empty text.
const std::string& fieldValue(const ui::FormValues& values, std::string_view id);

// The codes of a register (regent, regazi, reglot) in ascending order, written "%04d", as its
// list shows them.
std::vector<std::string> registerCodes(store::DatabaseConnection& connection,
                                       std::string_view table);

// The company line codes the trips use, without trailing blanks, in byte order; a blank code
// names no line.
std::vector<std::string> lineCodes(store::DatabaseConnection& connection);

// A code typed or chosen in a register's list: decimal digits whose value, written "%04d", is one
// of the entries. Nothing otherwise.
std::optional<int> listedCode(std::string_view text, const std::vector<std::string>& entries);

// A line typed or chosen in the list of line codes: one of the entries once its trailing blanks
// are removed. Nothing otherwise.
std::optional<std::string> listedLine(std::string_view text,
                                      const std::vector<std::string>& entries);

// A choice list field of a dialog, with nothing chosen yet.
ui::FormField choiceField(std::string id, std::string caption, std::vector<std::string> entries);

// The refusal shown when a dialog's line list holds no line of the trips.
inline constexpr std::string_view kBadLine = "ATTENZIONE: Il Codice Linea non è valido.\n\n"
                                             "Occorre selezionare un Codice Linea nella lista.\n\n";

} // namespace tramela::utilities
