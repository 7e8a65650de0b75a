#include "store/table_definition.h"

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

} // namespace tramela::store
