#include "store/sqlite_values.h"

namespace tramela::store {

int bindValue(sqlite3_stmt* stmt, int position, const Value& value) {
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return sqlite3_bind_int64(stmt, position, *integer);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        return sqlite3_bind_double(stmt, position, *real);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return sqlite3_bind_text(
            stmt, position, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    }
    if (const auto* blob = std::get_if<Blob>(&value)) {
        return sqlite3_bind_blob(
            stmt, position, blob->data(), static_cast<int>(blob->size()), SQLITE_TRANSIENT);
    }
    return sqlite3_bind_null(stmt, position);
}

Value columnValue(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    }
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column));
        return Blob(bytes, bytes + sqlite3_column_bytes(stmt, column));
    }
    default:
        return std::monostate{};
    }
}

} // namespace tramela::store
