#pragma once

#include "store/database_connection.h"
#include "store/value_text.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace tramela::store {

// Keyed, record-at-a-time access to one table; every value crosses it as text. Each failure is
// shown through the Ui with the system's text and gives false; a cursor whose opening failed
// stays closed and every operation on it gives false.
class TableCursor final : private ConnectionClient {
public:
    static constexpr size_t kMaxKeys = 16;

    // Opens the table; nothing happens when the connection is absent or not open.
    TableCursor(DatabaseConnection* connection, std::string_view table);
    ~TableCursor();
    TableCursor(const TableCursor&) = delete;
    TableCursor& operator=(const TableCursor&) = delete;

    bool IsOpen() const { return m_open; }

    void Close();

    bool SelectIndex(std::string_view index);
    // Positions on the first record whose current index starts with these values (compared with
    // "="); an empty text compares with the empty text. False without a message when not found.
    bool Seek(std::span<const std::string_view> keys);

    bool Seek(std::initializer_list<std::string_view> keys) {
        return Seek(std::span<const std::string_view>(keys.begin(), keys.size()));
    }

    bool AddNew();
    bool Edit();
    bool Update();
    bool Delete();

    bool SetField(std::string_view field, std::string_view text);
    bool SetFieldBlob(std::string_view field, std::span<const unsigned char> bytes);
    bool GetFieldText(std::string_view field, std::string& text);
    bool GetFieldDisplayText(std::string_view field, std::string& text);
    bool GetFieldBlob(std::string_view field, Blob& bytes);

    const std::string& table() const { return m_table; }

    const std::vector<ColumnInfo>& columns() const { return m_columns; }

private:
    enum class Mode { None, Adding, Editing };

    using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

    void beforeWrite() override {}

    void connectionClosing() override;

    int columnIndex(std::string_view field) const;
    bool readField(std::string_view field, const Value*& value, FieldType& type);
    void fail(std::string_view text);
    // Steps a statement that writes; shows the failure with the engine's description.
    bool runWrite(sqlite3_stmt* stmt, const std::function<std::string()>& failure);
    // The statement prepared once under this key; sql() gives its text the first time.
    sqlite3_stmt* statement(const std::string& key, const std::function<std::string()>& sql);
    void finalizeStatements();

    DatabaseConnection* m_connection = nullptr;
    std::string m_table;
    bool m_open = false;
    std::vector<ColumnInfo> m_columns;

    std::vector<int> m_indexColumns; // positions in m_columns of the current index's fields
    std::string m_indexName;

    bool m_hasCurrent = false;
    std::int64_t m_currentRowid = 0;
    std::vector<Value> m_current;

    Mode m_mode = Mode::None;
    std::vector<Value> m_buffer;
    std::vector<bool> m_changed;
    bool m_refused = false; // a SetField of the pending record was refused

    std::map<std::string, StatementPtr> m_statements;
};

} // namespace tramela::store
