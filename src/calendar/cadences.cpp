#include "calendar/cadences.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/value_text.h"

#include <fmt/format.h>

namespace tramela::calendar {

namespace {

// Positions the cursor on the cadence, or says that the register does not hold it.
bool seekCadence(store::DatabaseConnection& connection,
                 store::TableCursor& cadences,
                 std::string_view code) {
    if (cadences.SelectIndex("codice") && cadences.Seek({code})) {
        return true;
    }
    if (cadences.IsOpen()) {
        connection.ui().Message(missingCadenceMessage(code), ui::Icon::Stop);
    }
    return false;
}

} // namespace

std::string missingCadenceMessage(std::string_view code) {
    return fmt::format("ATTENZIONE: la cadenza {} non è presente nell'archivio delle cadenze.\n\n"
                       "I dati immessi non saranno registrati !!!",
                       code);
}

std::vector<Cadence> listCadences(store::DatabaseConnection& connection) {
    std::vector<Cadence> cadences;
    store::QueryCursor rows(connection);
    rows.SetSelect("codice, denom");
    rows.SetFrom("cadenz");
    rows.SetOrderBy("codice");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        Cadence& cadence = cadences.emplace_back();
        rows.GetText("codice", cadence.code);
        rows.GetText("denom", cadence.name);
    }
    return cadences;
}

bool addCadence(store::DatabaseConnection& connection,
                std::string_view code,
                std::string_view name) {
    store::TableCursor cadences(&connection, "cadenz");
    cadences.AddNew();
    cadences.SetField("codice", store::withoutTrailingBlanks(code));
    cadences.SetField("denom", store::withoutTrailingBlanks(name));
    return cadences.Update();
}

bool modifyCadence(store::DatabaseConnection& connection,
                   std::string_view code,
                   std::string_view name) {
    store::TableCursor cadences(&connection, "cadenz");
    if (!seekCadence(connection, cadences, store::withoutTrailingBlanks(code))) {
        return false;
    }
    cadences.Edit();
    cadences.SetField("denom", store::withoutTrailingBlanks(name));
    return cadences.Update();
}

bool deleteCadence(store::DatabaseConnection& connection, std::string_view code) {
    store::TableCursor cadences(&connection, "cadenz");
    return seekCadence(connection, cadences, store::withoutTrailingBlanks(code)) &&
           cadences.Delete();
}

} // namespace tramela::calendar
