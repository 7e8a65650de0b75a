#include "store/table_definition.h"

#include "store/database_connection.h"

#include <sqlite3.h>

namespace tramela::store {

std::string indexNameOnDisk(std::string_view table, std::string_view index) {
    return std::string(table) + "__" + std::string(index);
}

std::string columnDefinitionSql(const FieldDefinition& field) {
    std::string sql = sqlIdentifier(field.name) + " " + declaredType(field.type, field.size);
    if (field.required) {
        sql += " NOT NULL";
    }
    return sql;
}

std::string createTableSql(const TableDefinition& table) {
    std::string sql = "CREATE TABLE " + sqlIdentifier(table.name) + " (";
    for (size_t i = 0; i < table.fields.size(); ++i) {
        sql += (i > 0 ? ", " : "") + columnDefinitionSql(table.fields[i]);
    }
    return sql + ")";
}

std::string createIndexSql(std::string_view table, const IndexDefinition& index) {
    std::string sql = index.primary ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    sql += sqlIdentifier(indexNameOnDisk(table, index.name)) + " ON " + sqlIdentifier(table) + " (";
    for (size_t i = 0; i < index.fields.size(); ++i) {
        sql += (i > 0 ? ", " : "") + sqlIdentifier(index.fields[i]);
    }
    return sql + ")";
}

std::string addColumnSql(std::string_view table, const FieldDefinition& field) {
    return "ALTER TABLE " + sqlIdentifier(table) + " ADD COLUMN " + columnDefinitionSql(field);
}

std::string createTableScript(const TableDefinition& table) {
    std::string script = createTableSql(table) + ";\n";
    for (const IndexDefinition& index : table.indexes) {
        script += createIndexSql(table.name, index) + ";\n";
    }
    return script;
}

namespace {

// The rows of a PRAGMA, one vector of texts per row.
std::vector<std::vector<std::string>> pragmaRows(DatabaseConnection& connection,
                                                 const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* stmt = nullptr;
    if (!connection.IsOpen() ||
        sqlite3_prepare_v2(connection.handle(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return rows;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.emplace_back(text != nullptr ? text : "");
        }
    }
    sqlite3_finalize(stmt);
    return rows;
}

} // namespace

std::optional<std::vector<ColumnInfo>> tableColumns(DatabaseConnection& connection,
                                                    std::string_view table) {
    std::vector<ColumnInfo> columns;
    for (const auto& row :
         pragmaRows(connection, "PRAGMA table_info(" + sqlIdentifier(table) + ")")) {
        ColumnInfo column;
        column.name = row[1];
        std::tie(column.type, column.size) = parseDeclaredType(row[2]);
        column.required = row[3] == "1";
        columns.push_back(std::move(column));
    }
    if (columns.empty()) {
        return std::nullopt;
    }
    return columns;
}

std::vector<IndexDefinition> tableIndexes(DatabaseConnection& connection, std::string_view table) {
    std::vector<IndexDefinition> indexes;
    const std::string prefix = std::string(table) + "__";
    for (const auto& row :
         pragmaRows(connection, "PRAGMA index_list(" + sqlIdentifier(table) + ")")) {
        IndexDefinition index;
        const std::string& onDisk = row[1];
        index.name = onDisk.size() > prefix.size() &&
                             equalsIgnoreCase(onDisk.substr(0, prefix.size()), prefix)
                         ? onDisk.substr(prefix.size())
                         : onDisk;
        index.primary = row[2] == "1";
        for (const auto& field :
             pragmaRows(connection, "PRAGMA index_info(" + sqlIdentifier(onDisk) + ")")) {
            index.fields.push_back(field[2]);
        }
        indexes.push_back(std::move(index));
    }
    return indexes;
}

const ColumnInfo* findColumn(const std::vector<ColumnInfo>& columns, std::string_view name) {
    for (const ColumnInfo& column : columns) {
        if (equalsIgnoreCase(column.name, name)) {
            return &column;
        }
    }
    return nullptr;
}

} // namespace tramela::store
