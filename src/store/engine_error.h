#pragma once

#include <string>

struct sqlite3;

namespace tramela::store {

// The engine's description of its last error, in Italian, followed by SQLite's own words:
// "Impossibile aprire il file del database (SQLite: unable to open database file)".
// Messages raised by our own triggers are already ours and are given alone.
std::string engineDescription(sqlite3* db, int resultCode);

} // namespace tramela::store
