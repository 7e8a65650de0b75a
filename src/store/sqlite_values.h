#pragma once

#include "store/value_text.h"

#include <sqlite3.h>

namespace tramela::store {

// Moving values between a prepared statement and the store's Value.
int bindValue(sqlite3_stmt* stmt, int position, const Value& value);
Value columnValue(sqlite3_stmt* stmt, int column);

} // namespace tramela::store
