#include "store/table_cursor.h"

#include "store/engine_error.h"
#include "store/sqlite_values.h"
#include "store/table_definition.h"

#include <fmt/format.h>

namespace tramela::store {

namespace {

constexpr std::string_view kNoCurrentRecord = "Nessun record corrente";
constexpr std::string_view kNoPendingRecord =
    "Nessuna operazione di inserimento o modifica in corso";

std::string requiredDescription(std::string_view table, std::string_view field) {
    return fmt::format(
        "Il campo obbligatorio '{}.{}' non può contenere un valore nullo", table, field);
}

} // namespace

TableCursor::TableCursor(DatabaseConnection* connection, std::string_view table)
    : m_connection(connection)
    , m_table(table) {
    if (m_connection == nullptr || !m_connection->IsOpen()) {
        return;
    }
    if (auto columns = tableColumns(*m_connection, m_table)) {
        m_columns = std::move(*columns);
    }
    if (m_columns.empty()) {
        m_connection->ui().Message(
            fmt::format("Errore in fase di apertura della tavola ({})\n\nTavola inesistente",
                        m_table),
            ui::Icon::Stop);
        return;
    }
    m_open = true;
    m_connection->attach(this);
}

TableCursor::~TableCursor() {
    Close();
}

void TableCursor::Close() {
    if (m_open && m_connection != nullptr) {
        m_connection->detach(this);
    }
    finalizeStatements();
    m_open = false;
    m_mode = Mode::None;
    m_hasCurrent = false;
}

void TableCursor::connectionClosing() {
    finalizeStatements();
    m_open = false;
    m_connection = nullptr;
}

void TableCursor::finalizeStatements() {
    m_statements.clear();
}

void TableCursor::fail(std::string_view text) {
    m_connection->ui().Message(text, ui::Icon::Stop);
}

sqlite3_stmt* TableCursor::statement(const std::string& key,
                                     const std::function<std::string()>& sql) {
    auto found = m_statements.find(key);
    if (found != m_statements.end()) {
        sqlite3_reset(found->second.get());
        return found->second.get();
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(
            m_connection->handle(), sql().c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    m_statements.emplace(key, StatementPtr(stmt, sqlite3_finalize));
    return stmt;
}

bool TableCursor::runWrite(sqlite3_stmt* stmt, const std::function<std::string()>& failure) {
    const int rc = sqlite3_step(stmt);
    // The description is read before the reset, which clears it.
    const std::string description =
        rc == SQLITE_DONE ? std::string() : engineDescription(m_connection->handle(), rc);
    sqlite3_reset(stmt);
    if (!description.empty()) {
        fail(failure() + description);
        return false;
    }
    return true;
}

int TableCursor::columnIndex(std::string_view field) const {
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (equalsIgnoreCase(m_columns[i].name, field)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool TableCursor::SelectIndex(std::string_view index) {
    if (!m_open) {
        return false;
    }
    // Indexes are named within their table ("codice"); an index some other program named
    // without the table's prefix is found by its own name.
    std::vector<int> positions;
    for (const IndexDefinition& candidate : tableIndexes(*m_connection, m_table)) {
        if (!equalsIgnoreCase(candidate.name, index)) {
            continue;
        }
        positions.clear();
        for (const std::string& field : candidate.fields) {
            positions.push_back(columnIndex(field));
        }
        break;
    }
    if (positions.empty() || std::find(positions.begin(), positions.end(), -1) != positions.end()) {
        fail(fmt::format(
            "Errore selezione indice ({}) tavola ({})\n\nIndice inesistente", index, m_table));
        return false;
    }
    m_indexName = std::string(index);
    m_indexColumns = std::move(positions);
    return true;
}

bool TableCursor::Seek(std::span<const std::string_view> keys) {
    if (!m_open) {
        return false;
    }
    const std::string failure = fmt::format("Errore lettura tavola ({})\n\n", m_table);
    if (m_indexColumns.empty()) {
        fail(failure + "Nessun indice selezionato");
        return false;
    }
    if (keys.empty() || keys.size() > kMaxKeys || keys.size() > m_indexColumns.size()) {
        fail(failure +
             fmt::format("Numero di valori di chiave non valido per l'indice ({})", m_indexName));
        return false;
    }
    std::vector<Value> values;
    for (size_t k = 0; k < keys.size(); ++k) {
        ColumnInfo column = m_columns[static_cast<size_t>(m_indexColumns[k])];
        if (keys[k].empty()) {
            // An empty text matches only an empty text; other types hold no empty value.
            values.emplace_back(column.type == FieldType::Text || column.type == FieldType::Memo
                                    ? Value(std::string())
                                    : Value(std::monostate{}));
            continue;
        }
        column.size = 0; // a longer key is not an error: it just matches nothing
        WriteConversion converted = convertForWrite(keys[k], column);
        if (!converted.accepted()) {
            fail(failure + converted.refusal);
            return false;
        }
        values.push_back(std::move(converted.value));
    }

    const auto seekSql = [&] {
        std::string sql = "SELECT rowid, * FROM " + sqlIdentifier(m_table) + " WHERE ";
        std::string order;
        for (size_t k = 0; k < m_indexColumns.size(); ++k) {
            const std::string name =
                sqlIdentifier(m_columns[static_cast<size_t>(m_indexColumns[k])].name);
            if (k < keys.size()) {
                sql += fmt::format("{}{} = ?{}", k > 0 ? " AND " : "", name, k + 1);
            }
            order += name + ", ";
        }
        return sql + " ORDER BY " + order + "rowid LIMIT 1";
    };
    sqlite3_stmt* stmt = statement(fmt::format("S{}:{}", keys.size(), m_indexName), seekSql);
    if (stmt == nullptr) {
        fail(failure + engineDescription(m_connection->handle(), SQLITE_ERROR));
        return false;
    }
    for (size_t k = 0; k < values.size(); ++k) {
        bindValue(stmt, static_cast<int>(k + 1), values[k]);
    }
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        m_currentRowid = sqlite3_column_int64(stmt, 0);
        m_current.resize(m_columns.size());
        for (size_t i = 0; i < m_columns.size(); ++i) {
            m_current[i] = columnValue(stmt, static_cast<int>(i + 1));
        }
        m_hasCurrent = true;
        m_mode = Mode::None;
    }
    sqlite3_reset(stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        fail(failure + engineDescription(m_connection->handle(), rc));
    }
    return false;
}

bool TableCursor::AddNew() {
    if (!m_open) {
        return false;
    }
    m_mode = Mode::Adding;
    m_buffer.assign(m_columns.size(), Value{});
    m_changed.assign(m_columns.size(), false);
    m_refused = false;
    return true;
}

bool TableCursor::Edit() {
    if (!m_open) {
        return false;
    }
    if (!m_hasCurrent) {
        fail(fmt::format("Errore editing tavola ({})\n\n{}", m_table, kNoCurrentRecord));
        return false;
    }
    m_mode = Mode::Editing;
    m_buffer = m_current;
    m_changed.assign(m_columns.size(), false);
    m_refused = false;
    return true;
}

bool TableCursor::SetField(std::string_view field, std::string_view text) {
    if (!m_open) {
        return false;
    }
    // Told only on a refusal: a bulk import sets millions of fields.
    const auto failure = [&] {
        return text.empty()
                   ? fmt::format("Errore campo ({}) della tavola ({}) <NULL>\n\n", field, m_table)
                   : fmt::format(
                         "Errore campo ({}) della tavola ({}) <{}>\n\n", field, m_table, text);
    };
    const int index = columnIndex(field);
    if (index < 0) {
        fail(failure() + "Campo inesistente");
        m_refused = m_mode != Mode::None;
        return false;
    }
    if (m_mode == Mode::None) {
        fail(failure() + std::string(kNoPendingRecord));
        return false;
    }
    const ColumnInfo& column = m_columns[static_cast<size_t>(index)];
    WriteConversion converted = convertForWrite(text, column);
    if (converted.accepted() && column.required && isNull(converted.value)) {
        converted.refusal = requiredDescription(m_table, column.name);
    }
    if (!converted.accepted()) {
        fail(failure() + converted.refusal);
        m_refused = true;
        return false;
    }
    m_buffer[static_cast<size_t>(index)] = std::move(converted.value);
    m_changed[static_cast<size_t>(index)] = true;
    return true;
}

bool TableCursor::SetFieldBlob(std::string_view field, std::span<const unsigned char> bytes) {
    if (!m_open) {
        return false;
    }
    const std::string failure = fmt::format(
        "Errore campo ({}) della tavola ({}) <BLOB [{} bytes]>\n\n", field, m_table, bytes.size());
    const int index = columnIndex(field);
    if (index < 0) {
        fail(failure + "Campo inesistente");
        return false;
    }
    if (m_mode == Mode::None) {
        fail(failure + std::string(kNoPendingRecord));
        return false;
    }
    if (m_columns[static_cast<size_t>(index)].type != FieldType::Blob) {
        fail(failure + "Tipo di dati non corrispondente: il campo non è un BLOB");
        m_refused = true;
        return false;
    }
    m_buffer[static_cast<size_t>(index)] = Blob(bytes.begin(), bytes.end());
    m_changed[static_cast<size_t>(index)] = true;
    return true;
}

bool TableCursor::Update() {
    if (!m_open) {
        return false;
    }
    const auto failure = [this] {
        return fmt::format("Errore aggiornamento tavola ({})\n\n", m_table);
    };
    if (m_mode == Mode::None) {
        fail(failure() + std::string(kNoPendingRecord));
        return false;
    }
    // The refusal of a field was shown when it happened; the record is not written.
    if (m_refused) {
        return false;
    }
    std::string signature;
    std::vector<size_t> set;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_changed[i]) {
            set.push_back(i);
        }
        signature += m_changed[i] ? '1' : '0';
    }
    if (m_mode == Mode::Adding) {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            if (m_columns[i].required && isNull(m_buffer[i])) {
                fail(failure() + requiredDescription(m_table, m_columns[i].name));
                return false;
            }
        }
    } else if (set.empty()) {
        m_mode = Mode::None;
        return true;
    }
    const auto writeSql = [&] {
        std::string names;
        std::string marks;
        for (size_t i : set) {
            const std::string name = sqlIdentifier(m_columns[i].name);
            names += (names.empty() ? "" : ", ") + name + (m_mode == Mode::Editing ? " = ?" : "");
            marks += marks.empty() ? "?" : ", ?";
        }
        const std::string table = sqlIdentifier(m_table);
        if (m_mode == Mode::Editing) {
            return "UPDATE " + table + " SET " + names + " WHERE rowid = ?";
        }
        return set.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                           : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    };

    m_connection->notifyWrite();
    sqlite3_stmt* stmt = statement((m_mode == Mode::Adding ? "I" : "U") + signature, writeSql);
    if (stmt == nullptr) {
        fail(failure() + engineDescription(m_connection->handle(), SQLITE_ERROR));
        return false;
    }
    int position = 1;
    for (size_t i : set) {
        bindValue(stmt, position++, m_buffer[i]);
    }
    if (m_mode == Mode::Editing) {
        sqlite3_bind_int64(stmt, position, m_currentRowid);
    }
    if (!runWrite(stmt, failure)) {
        return false;
    }
    // After an addition the record that was current stays current, as after an edit.
    if (m_mode == Mode::Editing) {
        m_current = m_buffer;
    }
    m_mode = Mode::None;
    return true;
}

bool TableCursor::Delete() {
    if (!m_open) {
        return false;
    }
    const auto failure = [this] {
        return fmt::format("Errore eliminazione tavola ({})\n\n", m_table);
    };
    if (!m_hasCurrent) {
        fail(failure() + std::string(kNoCurrentRecord));
        return false;
    }
    m_connection->notifyWrite();
    sqlite3_stmt* stmt = statement(
        "D", [&] { return "DELETE FROM " + sqlIdentifier(m_table) + " WHERE rowid = ?"; });
    if (stmt == nullptr) {
        fail(failure() + engineDescription(m_connection->handle(), SQLITE_ERROR));
        return false;
    }
    sqlite3_bind_int64(stmt, 1, m_currentRowid);
    if (!runWrite(stmt, failure)) {
        return false;
    }
    m_hasCurrent = false;
    m_mode = Mode::None;
    return true;
}

bool TableCursor::readField(std::string_view field, const Value*& value, FieldType& type) {
    const std::string failure =
        fmt::format("Errore campo ({}) della tavola ({})\n\n", field, m_table);
    const int index = columnIndex(field);
    if (index < 0) {
        fail(failure + "Campo inesistente");
        return false;
    }
    if (m_mode != Mode::None) {
        value = &m_buffer[static_cast<size_t>(index)];
    } else if (m_hasCurrent) {
        value = &m_current[static_cast<size_t>(index)];
    } else {
        fail(failure + std::string(kNoCurrentRecord));
        return false;
    }
    type = m_columns[static_cast<size_t>(index)].type;
    return true;
}

bool TableCursor::GetFieldText(std::string_view field, std::string& text) {
    text.clear();
    const Value* value = nullptr;
    FieldType type{};
    if (!m_open || !readField(field, value, type)) {
        return false;
    }
    text = fieldText(*value, type);
    return true;
}

bool TableCursor::GetFieldDisplayText(std::string_view field, std::string& text) {
    text.clear();
    const Value* value = nullptr;
    FieldType type{};
    if (!m_open || !readField(field, value, type)) {
        return false;
    }
    text = fieldDisplayText(*value, type);
    return true;
}

bool TableCursor::GetFieldBlob(std::string_view field, Blob& bytes) {
    bytes.clear();
    const Value* value = nullptr;
    FieldType type{};
    if (!m_open || !readField(field, value, type)) {
        return false;
    }
    if (type == FieldType::Blob) {
        if (const auto* blob = std::get_if<Blob>(value)) {
            bytes = *blob;
        } else if (const auto* text = std::get_if<std::string>(value)) {
            bytes.assign(text->begin(), text->end());
        }
    }
    return true;
}

} // namespace tramela::store
