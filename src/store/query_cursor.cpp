#include "store/query_cursor.h"

#include "store/engine_error.h"
#include "store/sqlite_values.h"

#include <cctype>
#include <fmt/format.h>
#include <limits>

namespace tramela::store {

namespace {

// SQLite reports both a malformed statement and a missing table or column when preparing; the
// first kind is a syntax error, the second a statement that cannot be run.
bool isSyntaxError(std::string_view message) {
    return message.find("syntax error") != std::string_view::npos ||
           message.find("incomplete input") != std::string_view::npos ||
           message.find("unrecognized token") != std::string_view::npos;
}

bool onlyBlanks(const char* text) {
    for (; text != nullptr && *text != '\0'; ++text) {
        if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') {
            return false;
        }
    }
    return true;
}

std::string computedDisplayText(const Value& value) {
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return fmt::format("{}", *integer);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        return formatDouble(*real);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return std::string(withoutTrailingBlanks(*text));
    }
    if (const auto* blob = std::get_if<Blob>(&value)) {
        return fmt::format("BLOB [{} bytes]", blob->size());
    }
    return {};
}

template <typename Int> bool fitsIn(std::int64_t value) {
    return value >= std::numeric_limits<Int>::min() && value <= std::numeric_limits<Int>::max();
}

} // namespace

QueryCursor::QueryCursor(DatabaseConnection& connection)
    : m_connection(&connection) {}

QueryCursor::~QueryCursor() {
    Close();
}

void QueryCursor::Close() {
    releaseStatement();
    m_hasRow = false;
    m_pending.clear();
}

void QueryCursor::releaseStatement() {
    if (m_stmt != nullptr) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        if (m_connection != nullptr) {
            m_connection->detach(this);
        }
    }
    m_stepping = false;
}

void QueryCursor::connectionClosing() {
    if (m_stmt != nullptr) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
    m_connection = nullptr;
    m_stepping = false;
    m_hasRow = false;
    m_pending.clear();
}

void QueryCursor::Bind(int position, std::string_view text) {
    m_parameters.emplace_back(position, std::string(text));
}

void QueryCursor::Bind(int position, std::int64_t number) {
    m_parameters.emplace_back(position, number);
}

void QueryCursor::Bind(int position, double number) {
    m_parameters.emplace_back(position, number);
}

bool QueryCursor::BindDate(int position, std::string_view date) {
    auto iso = storeDateToIso(date);
    if (!iso) {
        return false;
    }
    m_parameters.emplace_back(position, std::move(*iso));
    return true;
}

std::string QueryCursor::buildStatement() const {
    if (m_select.empty() || m_from.empty()) {
        return {};
    }
    std::string sql = "SELECT " + m_select + "\nFROM " + m_from + "\n";
    if (!m_where.empty()) {
        sql += "WHERE " + m_where + "\n";
    }
    if (!m_groupBy.empty()) {
        sql += "GROUP BY " + m_groupBy + "\n";
    }
    if (!m_orderBy.empty()) {
        sql += "ORDER BY " + m_orderBy + "\n";
    }
    return sql;
}

bool QueryCursor::Execute() {
    Close();
    m_statement = buildStatement();
    m_buffered = false;
    m_failed = true; // until the statement runs
    m_columns.clear();
    if (m_connection == nullptr || !m_connection->IsOpen()) {
        return false;
    }
    ui::Ui& ui = m_connection->ui();
    const std::string extractionFailure = "Errore estrazione Select SQL\n\n" + m_statement + "\n\n";
    const std::string syntaxFailure = "Errore sintassi SQL\n\n" + m_statement + "\n\n";
    if (m_statement.empty()) {
        ui.Message(syntaxFailure +
                       "Istruzione incompleta: mancano l'elenco dei campi o la sorgente",
                   ui::Icon::Exclamation);
        return false;
    }

    sqlite3* db = m_connection->handle();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, m_statement.c_str(), -1, &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        const std::string description = engineDescription(db, rc);
        const bool syntax = isSyntaxError(sqlite3_errmsg(db));
        releaseStatement();
        ui.Message((syntax ? syntaxFailure : extractionFailure) + description,
                   ui::Icon::Exclamation);
        return false;
    }
    if (!onlyBlanks(tail)) {
        releaseStatement();
        ui.Message(syntaxFailure + "L'istruzione contiene più di un comando SQL",
                   ui::Icon::Exclamation);
        return false;
    }
    if (m_stmt == nullptr || sqlite3_stmt_readonly(m_stmt) == 0) {
        releaseStatement();
        ui.Message(extractionFailure + "L'istruzione non è una selezione di sola lettura",
                   ui::Icon::Exclamation);
        return false;
    }
    for (const auto& [position, value] : m_parameters) {
        const int bound = bindValue(m_stmt, position, value);
        if (bound != SQLITE_OK) {
            const std::string description = engineDescription(db, bound);
            releaseStatement();
            ui.Message(extractionFailure + description, ui::Icon::Exclamation);
            return false;
        }
    }
    const int count = sqlite3_column_count(m_stmt);
    for (int i = 0; i < count; ++i) {
        Column column;
        column.name = sqlite3_column_name(m_stmt, i);
        if (const char* declared = sqlite3_column_decltype(m_stmt, i)) {
            column.type = parseDeclaredType(declared).first;
        }
        m_columns.push_back(std::move(column));
    }
    m_connection->attach(this);
    m_stepping = true;
    m_failed = false;
    return stepStatement(extractionFailure);
}

bool QueryCursor::stepStatement(std::string_view failureText) {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_row.resize(m_columns.size());
        for (size_t i = 0; i < m_columns.size(); ++i) {
            m_row[i] = columnValue(m_stmt, static_cast<int>(i));
        }
        m_hasRow = true;
        return true;
    }
    m_hasRow = false;
    m_stepping = false;
    if (rc != SQLITE_DONE) {
        m_failed = true;
        const std::string description = engineDescription(m_connection->handle(), rc);
        sqlite3_reset(m_stmt);
        m_connection->ui().Message(
            std::string(failureText) + description,
            failureText.starts_with("Errore estrazione") ? ui::Icon::Exclamation : ui::Icon::Stop);
        return false;
    }
    // Done: let go of the read so that the connection's writes never wait on this cursor.
    sqlite3_reset(m_stmt);
    return false;
}

void QueryCursor::beforeWrite() {
    if (!m_stepping || m_stmt == nullptr) {
        return;
    }
    // The connection is about to change data: keep the rows still to come as they are now.
    std::vector<Value> current = std::move(m_row);
    const bool hadRow = m_hasRow;
    while (stepStatement("Errore lettura riga successiva della select corrente\n\n" + m_statement +
                         "\n\n")) {
        m_pending.push_back(std::move(m_row));
    }
    m_row = std::move(current);
    m_hasRow = hadRow;
    m_buffered = true;
}

bool QueryCursor::MoveNext() {
    if (!m_hasRow) {
        return false;
    }
    if (m_buffered) {
        if (m_pending.empty()) {
            m_hasRow = false;
            return false;
        }
        m_row = std::move(m_pending.front());
        m_pending.pop_front();
        return true;
    }
    if (m_stmt == nullptr || !m_stepping) {
        m_hasRow = false;
        return false;
    }
    return stepStatement("Errore lettura riga successiva della select corrente\n\n" + m_statement +
                         "\n\n");
}

bool QueryCursor::MoveFirst() {
    if (m_stmt == nullptr || m_connection == nullptr) {
        m_hasRow = false;
        return false;
    }
    sqlite3_reset(m_stmt);
    m_pending.clear();
    m_buffered = false;
    m_stepping = true;
    return stepStatement("Errore posizionamento sulle prima riga della select corrente\n\n" +
                         m_statement + "\n\n");
}

void QueryCursor::failRead(std::string_view column) {
    if (m_connection == nullptr) {
        return;
    }
    m_connection->ui().Message(
        fmt::format("Errore campo ({}) nella select corrente\n\n{}\n\n{}",
                    column,
                    m_statement,
                    m_hasRow ? "Campo non presente nella select" : "Nessuna riga corrente"),
        ui::Icon::Stop);
}

const Value* QueryCursor::valueAt(int position) {
    if (!m_hasRow || position < 0 || position >= static_cast<int>(m_row.size())) {
        failRead(fmt::format("#{}", position));
        return nullptr;
    }
    return &m_row[static_cast<size_t>(position)];
}

bool QueryCursor::GetText(std::string_view name, std::string& text) {
    text.clear();
    int found = -1;
    if (m_hasRow) {
        const size_t dot = name.rfind('.');
        const std::string_view bare = dot == std::string_view::npos ? name : name.substr(dot + 1);
        for (size_t i = 0; i < m_columns.size() && found < 0; ++i) {
            if (equalsIgnoreCase(m_columns[i].name, name)) {
                found = static_cast<int>(i);
            }
        }
        for (size_t i = 0; i < m_columns.size() && found < 0; ++i) {
            if (equalsIgnoreCase(m_columns[i].name, bare)) {
                found = static_cast<int>(i);
            }
        }
    }
    if (found < 0) {
        failRead(name);
        return false;
    }
    const Value& value = m_row[static_cast<size_t>(found)];
    const auto& type = m_columns[static_cast<size_t>(found)].type;
    text = type ? fieldDisplayText(value, *type) : computedDisplayText(value);
    return true;
}

bool QueryCursor::GetShort(int position, std::int16_t& value) {
    value = 0;
    const Value* v = valueAt(position);
    if (v == nullptr) {
        return false;
    }
    const auto& type = m_columns[static_cast<size_t>(position)].type;
    const auto* integer = std::get_if<std::int64_t>(v);
    if (type == FieldType::Boolean) {
        // The engine's truth is -1.
        value = static_cast<std::int16_t>(integer != nullptr && *integer != 0 ? -1 : 0);
        return true;
    }
    if (type == FieldType::Short || (!type && integer != nullptr)) {
        if (integer != nullptr && !fitsIn<std::int16_t>(*integer)) {
            return false;
        }
        value = static_cast<std::int16_t>(integer != nullptr ? *integer : 0);
        return type.has_value() || integer != nullptr;
    }
    return false;
}

bool QueryCursor::GetLong(int position, std::int32_t& value) {
    value = 0;
    const Value* v = valueAt(position);
    if (v == nullptr) {
        return false;
    }
    const auto& type = m_columns[static_cast<size_t>(position)].type;
    const auto* integer = std::get_if<std::int64_t>(v);
    if (type == FieldType::Long || (!type && integer != nullptr)) {
        if (integer != nullptr && !fitsIn<std::int32_t>(*integer)) {
            return false;
        }
        value = static_cast<std::int32_t>(integer != nullptr ? *integer : 0);
        return true;
    }
    return false;
}

bool QueryCursor::GetDouble(int position, double& value) {
    value = 0.0;
    const Value* v = valueAt(position);
    if (v == nullptr) {
        return false;
    }
    const auto& type = m_columns[static_cast<size_t>(position)].type;
    const auto* integer = std::get_if<std::int64_t>(v);
    const auto* real = std::get_if<double>(v);
    const bool numeric = type == FieldType::Double || type == FieldType::Currency;
    if (!numeric && (type || (integer == nullptr && real == nullptr))) {
        return false;
    }
    if (integer != nullptr) {
        value = static_cast<double>(*integer);
    } else if (real != nullptr) {
        value = *real;
    }
    return true;
}

bool QueryCursor::GetDateText(int position, std::string& text) {
    text.clear();
    const Value* v = valueAt(position);
    if (v == nullptr) {
        return false;
    }
    const auto& type = m_columns[static_cast<size_t>(position)].type;
    if (type == FieldType::Date) {
        text = formatDateValue(*v);
        return true;
    }
    if (type == FieldType::Text || type == FieldType::Memo || !type) {
        if (const auto* stored = std::get_if<std::string>(v)) {
            text = *stored;
            return true;
        }
        return type.has_value() && isNull(*v);
    }
    return false;
}

bool QueryCursor::GetBlob(int position, Blob& bytes) {
    bytes.clear();
    const Value* v = valueAt(position);
    if (v == nullptr) {
        return false;
    }
    const auto& type = m_columns[static_cast<size_t>(position)].type;
    if (type != FieldType::Blob && type.has_value()) {
        return false;
    }
    if (const auto* blob = std::get_if<Blob>(v)) {
        bytes = *blob;
        return true;
    }
    return type.has_value();
}

} // namespace tramela::store
