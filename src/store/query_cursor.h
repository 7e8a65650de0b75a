#pragma once

#include "store/database_connection.h"
#include "store/value_text.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace tramela::store {

// Forward-only rows of one SELECT assembled from a select list, a source, a condition, a
// grouping and an order. The rows are a snapshot: a write through the same connection while the
// cursor walks does not change the rows still to come. Failures are shown with the statement.
class QueryCursor final : private ConnectionClient {
public:
    explicit QueryCursor(DatabaseConnection& connection);
    ~QueryCursor();
    QueryCursor(const QueryCursor&) = delete;
    QueryCursor& operator=(const QueryCursor&) = delete;

    // An empty text clears the part and gives false.
    bool SetSelect(std::string_view text) { return setPart(m_select, text); }

    bool SetFrom(std::string_view text) { return setPart(m_from, text); }

    bool SetWhere(std::string_view text) { return setPart(m_where, text); }

    bool SetGroupBy(std::string_view text) { return setPart(m_groupBy, text); }

    bool SetOrderBy(std::string_view text) { return setPart(m_orderBy, text); }

    // Values for the statement's parameters ("?" or "?N", counted from 1 across the whole
    // statement): whatever a user typed or a file held reaches SQL only this way.
    void Bind(int position, std::string_view text);
    void Bind(int position, std::int64_t number);
    void Bind(int position, double number);
    // A date typed "GG/MM/AAAA" (or a mark), bound in the database's ISO form; false when the
    // text is not a date.
    bool BindDate(int position, std::string_view date);

    bool Execute();
    bool MoveNext();
    bool MoveFirst();
    void Close();

    bool hasRow() const { return m_hasRow; }

    // The last Execute, MoveNext or MoveFirst showed a failure: "no rows" then means "unknown".
    bool failed() const { return m_failed; }

    const std::string& statement() const { return m_statement; }

    int columnCount() const { return static_cast<int>(m_columns.size()); }

    // The display text of a column by name: trailing blanks removed, a BLOB as "BLOB [n bytes]".
    bool GetText(std::string_view column, std::string& text);
    // Typed reads by 0-based position in the select list; a column of another type gives 0 and
    // false without a message. A boolean reads -1 for true through GetShort.
    bool GetShort(int position, std::int16_t& value);
    bool GetLong(int position, std::int32_t& value);
    bool GetDouble(int position, double& value);
    bool GetDateText(int position, std::string& text);
    bool GetBlob(int position, Blob& bytes);

private:
    struct Column {
        std::string name;
        std::optional<FieldType> type; // none for a computed column
    };

    static bool setPart(std::string& part, std::string_view text) {
        part = text;
        return !part.empty();
    }

    void beforeWrite() override;
    void connectionClosing() override;

    std::string buildStatement() const;
    bool stepStatement(std::string_view failureText);
    void failRead(std::string_view column);
    const Value* valueAt(int position);
    void releaseStatement();

    DatabaseConnection* m_connection;
    std::string m_select;
    std::string m_from;
    std::string m_where;
    std::string m_groupBy;
    std::string m_orderBy;
    std::vector<std::pair<int, Value>> m_parameters;

    std::string m_statement;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_stepping = false; // the statement still has rows to give
    bool m_hasRow = false;
    bool m_failed = false;
    std::vector<Column> m_columns;
    std::vector<Value> m_row;
    std::deque<std::vector<Value>> m_pending; // rows kept when the connection wrote meanwhile
    bool m_buffered = false;
};

} // namespace tramela::store
