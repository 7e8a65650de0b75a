#pragma once

#include "store/value_text.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {

struct FieldDefinition {
    std::string name;
    FieldType type = FieldType::Text;
    int size = 0; // characters, text fields only
    bool required = false;
};

// An index, ascending in every field; a primary index is unique.
struct IndexDefinition {
    std::string name;
    bool primary = false;
    std::vector<std::string> fields;
};

struct TableDefinition {
    std::string name;
    std::vector<FieldDefinition> fields;
    std::vector<IndexDefinition> indexes;
};

// The name an index of a table has on disk: SQLite's index names are database-wide, so the index
// "codice" of "corse" is "corse__codice".
std::string indexNameOnDisk(std::string_view table, std::string_view index);

std::string columnDefinitionSql(const FieldDefinition& field);
std::string createTableSql(const TableDefinition& table);
std::string createIndexSql(std::string_view table, const IndexDefinition& index);
std::string addColumnSql(std::string_view table, const FieldDefinition& field);

// The table and all its indexes, as one script.
std::string createTableScript(const TableDefinition& table);

class DatabaseConnection;

// The columns of a table as the database declares them; nothing when the table does not exist.
std::optional<std::vector<ColumnInfo>> tableColumns(DatabaseConnection& connection,
                                                    std::string_view table);
// The indexes of a table under their names within the table ("codice", not "corse__codice"),
// with their fields in order.
std::vector<IndexDefinition> tableIndexes(DatabaseConnection& connection, std::string_view table);
const ColumnInfo* findColumn(const std::vector<ColumnInfo>& columns, std::string_view name);

} // namespace tramela::store
