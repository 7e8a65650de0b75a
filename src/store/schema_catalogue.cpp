#include "store/schema_catalogue.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/registers.h"
#include "store/relations.h"
#include "store/table_cursor.h"
#include "store/table_definition.h"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>
#include <functional>
#include <map>
#include <optional>

namespace tramela::store {

namespace {

constexpr size_t kMaxIndexFields = 10;
constexpr size_t kMaxRelationFields = 10;

std::string inQuotes(std::string_view name) {
    return fmt::format("\"{}\"", name);
}

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// One catalogue table being written. The rows already there are loaded once, so that a row
// present and identical is not appended a second time (a re-run would otherwise be refused once
// per row); a row that differs is still appended, and the table layer refuses it.
class CatalogueTarget {
public:
    CatalogueTarget(DatabaseConnection& connection,
                    std::string_view table,
                    std::vector<std::string_view> columns,
                    size_t keyColumns)
        : m_cursor(&connection, table)
        , m_columns(std::move(columns))
        , m_keyColumns(keyColumns) {
        if (!m_cursor.IsOpen()) {
            return;
        }
        QueryCursor present(connection);
        std::string select;
        for (std::string_view column : m_columns) {
            select += (select.empty() ? "" : ", ") + std::string(column);
        }
        present.SetSelect(select);
        present.SetFrom(table);
        for (bool row = present.Execute(); row; row = present.MoveNext()) {
            std::vector<std::string> values(m_columns.size());
            for (size_t i = 0; i < m_columns.size(); ++i) {
                present.GetText(m_columns[i], values[i]);
            }
            m_present.emplace(key(values), std::move(values));
        }
    }

    bool IsOpen() const { return m_cursor.IsOpen(); }

    void add(const std::vector<std::string>& values) {
        const auto found = m_present.find(key(values));
        if (found != m_present.end() && found->second == values) {
            return;
        }
        m_cursor.AddNew();
        for (size_t i = 0; i < m_columns.size(); ++i) {
            m_cursor.SetField(m_columns[i], values[i]);
        }
        m_cursor.Update();
    }

private:
    std::string key(const std::vector<std::string>& values) const {
        std::string text;
        for (size_t i = 0; i < m_keyColumns; ++i) {
            text += values[i] + '\x1f';
        }
        return text;
    }

    TableCursor m_cursor;
    std::vector<std::string_view> m_columns;
    size_t m_keyColumns;
    std::map<std::string, std::vector<std::string>> m_present;
};

void AddTableRow(CatalogueTarget& tables, const CatalogueTable& table) {
    tables.add({std::string(table.name), std::string(table.caption), std::string(table.note)});
}

void AddFieldRow(CatalogueTarget& fields, std::string_view table, const CatalogueField& field) {
    // No field of the system has a validation rule or message: both are written empty.
    fields.add({std::string(table),
                std::string(field.name),
                std::string(1, field.type),
                std::to_string(field.size),
                field.required ? "1" : "0",
                std::string(field.caption),
                std::string(field.note),
                "",
                ""});
}

void AddIndexRow(CatalogueTarget& indexes, std::string_view table, const CatalogueIndex& index) {
    indexes.add({std::string(table),
                 std::string(index.name),
                 index.primary ? "1" : "0",
                 std::string(index.caption),
                 std::string(index.note)});
}

void AddIndexFieldRow(CatalogueTarget& indexFields,
                      std::string_view table,
                      std::string_view index,
                      size_t position,
                      std::string_view field) {
    indexFields.add(
        {std::string(table), std::string(index), std::to_string(position), std::string(field)});
}

void AddRelationRow(CatalogueTarget& relations, const CatalogueRelation& relation) {
    relations.add({std::string(relation.name),
                   std::string(relation.primaryTable),
                   std::string(relation.foreignTable)});
}

void AddRelationFieldRow(CatalogueTarget& relationFields,
                         std::string_view relation,
                         size_t position,
                         std::string_view primaryField,
                         std::string_view foreignField) {
    relationFields.add({std::string(relation),
                        std::to_string(position),
                        std::string(primaryField),
                        std::string(foreignField)});
}

// Writes the description of every table and relation of the system into the catalogue. False
// when the catalogue itself is missing: then nothing can be built from it.
bool writeCatalogue(DatabaseConnection& connection) {
    CatalogueTarget tables(connection, "tavole", {"nome", "denom", "note"}, 1);
    CatalogueTarget fields(
        connection,
        "campi",
        {"tavola", "nome", "tipo", "size", "obblig", "denom", "note", "regola", "mess"},
        2);
    CatalogueTarget indexes(
        connection, "indici", {"tavola", "nome", "primkey", "denom", "note"}, 2);
    CatalogueTarget indexFields(connection, "indici2", {"tavola", "nome", "progr", "campo"}, 3);
    CatalogueTarget relations(connection, "relaz", {"nome", "interna", "esterna"}, 1);
    CatalogueTarget relationFields(
        connection, "relaz2", {"nome", "progr", "interno", "esterno"}, 2);
    for (const CatalogueTarget* target :
         {&tables, &fields, &indexes, &indexFields, &relations, &relationFields}) {
        if (!target->IsOpen()) {
            return false;
        }
    }
    for (const CatalogueTable& table : systemTables()) {
        for (const CatalogueField& field : table.fields) {
            AddFieldRow(fields, table.name, field);
        }
        for (const CatalogueIndex& index : table.indexes) {
            AddIndexRow(indexes, table.name, index);
            for (size_t position = 0; position < index.fields.size(); ++position) {
                AddIndexFieldRow(
                    indexFields, table.name, index.name, position, index.fields[position]);
            }
        }
        AddTableRow(tables, table);
    }
    for (const CatalogueRelation& relation : systemRelations()) {
        AddRelationRow(relations, relation);
        for (size_t position = 0; position < relation.fields.size(); ++position) {
            AddRelationFieldRow(relationFields,
                                relation.name,
                                position,
                                relation.fields[position].first,
                                relation.fields[position].second);
        }
    }
    return true;
}

// A field as the catalogue describes it, or the refusal of a row that describes no field.
struct DescribedField {
    FieldDefinition field;
    std::string refusal;
};

DescribedField describedField(QueryCursor& rows) {
    DescribedField described;
    std::string type;
    std::string size;
    std::string required;
    rows.GetText("nome", described.field.name);
    rows.GetText("tipo", type);
    rows.GetText("size", size);
    rows.GetText("obblig", required);
    const auto fieldType = type.size() == 1 ? fieldTypeFromCode(type[0]) : std::nullopt;
    if (!fieldType) {
        described.refusal = fmt::format("Tipo di campo non previsto: {}", type);
        return described;
    }
    described.field.type = *fieldType;
    described.field.required = required == "1";
    if (*fieldType == FieldType::Text) {
        const auto characters = wholeNumber(size);
        if (!characters || *characters < 1 || *characters > 255) {
            described.refusal =
                fmt::format("Dimensione non valida per un campo di testo: {}", size);
            return described;
        }
        described.field.size = *characters;
    }
    return described;
}

// The fields the catalogue describes for a table, in the order they were described.
void selectFields(QueryCursor& rows, std::string_view table) {
    rows.SetSelect("nome, tipo, size, obblig, regola, mess");
    rows.SetFrom("campi");
    rows.SetWhere("tavola = ?1");
    rows.SetOrderBy("rowid");
    rows.Bind(1, table);
}

// The indexes the catalogue describes for a table, each with its fields placed by position.
struct DescribedIndex {
    IndexDefinition index;
    std::string refusal;
};

std::vector<DescribedIndex> describedIndexes(DatabaseConnection& connection,
                                             std::string_view table) {
    std::vector<DescribedIndex> described;
    QueryCursor indexes(connection);
    indexes.SetSelect("nome, primkey");
    indexes.SetFrom("indici");
    indexes.SetWhere("tavola = ?1");
    indexes.SetOrderBy("rowid");
    indexes.Bind(1, table);
    for (bool row = indexes.Execute(); row; row = indexes.MoveNext()) {
        DescribedIndex& entry = described.emplace_back();
        std::string primary;
        indexes.GetText("nome", entry.index.name);
        indexes.GetText("primkey", primary);
        entry.index.primary = primary == "1";

        QueryCursor fields(connection);
        fields.SetSelect("campo, progr");
        fields.SetFrom("indici2");
        fields.SetWhere("tavola = ?1 AND nome = ?2");
        fields.Bind(1, table);
        fields.Bind(2, std::string_view(entry.index.name));
        std::vector<std::string> placed(kMaxIndexFields);
        size_t count = 0;
        for (bool field = fields.Execute(); field; field = fields.MoveNext()) {
            std::string name;
            std::int16_t position = -1;
            fields.GetText("campo", name);
            fields.GetShort(1, position);
            if (position < 0 || static_cast<size_t>(position) >= kMaxIndexFields) {
                entry.refusal =
                    fmt::format("Posizione non valida di un campo dell'indice: {}", position);
                break;
            }
            placed[static_cast<size_t>(position)] = name;
            count = std::max(count, static_cast<size_t>(position) + 1);
        }
        placed.resize(count);
        for (const std::string& name : placed) {
            if (name.empty() && entry.refusal.empty()) {
                entry.refusal = "Campi dell'indice mancanti o incompleti";
            }
        }
        entry.index.fields = std::move(placed);
    }
    return described;
}

// A required field added to a table that may already hold rows needs a value for them: the
// type's empty value (zero, false, empty text, the lowest date).
std::string addedColumnSql(std::string_view table, const FieldDefinition& field) {
    std::string sql = addColumnSql(table, field);
    if (!field.required) {
        return sql;
    }
    switch (field.type) {
    case FieldType::Text:
    case FieldType::Memo:
        return sql + " DEFAULT ''";
    case FieldType::Date:
        return sql + " DEFAULT '1600-01-01'";
    case FieldType::Blob:
        return sql + " DEFAULT x''";
    default:
        return sql + " DEFAULT 0";
    }
}

// Creates the indexes the catalogue describes for a table and the table does not have yet; the
// first failure is shown through `fail`.
bool createIndexes(DatabaseConnection& connection,
                   std::string_view table,
                   const std::vector<IndexDefinition>& existing,
                   const std::function<bool(std::string_view)>& fail) {
    std::string description;
    for (const DescribedIndex& described : describedIndexes(connection, table)) {
        const bool present =
            std::any_of(existing.begin(), existing.end(), [&](const IndexDefinition& index) {
                return equalsIgnoreCase(index.name, described.index.name);
            });
        if (present || (described.refusal.empty() &&
                        connection.execute(createIndexSql(table, described.index), &description))) {
            continue;
        }
        return fail(fmt::format("Tavola {}: errore creazione indice {}\n\n{}",
                                inQuotes(table),
                                inQuotes(described.index.name),
                                described.refusal.empty() ? description : described.refusal));
    }
    return true;
}

} // namespace

const CatalogueTable* findSystemTable(std::string_view name) {
    for (const CatalogueTable& table : systemTables()) {
        if (table.name == name) {
            return &table;
        }
    }
    return nullptr;
}

TableDefinition tableDefinition(const CatalogueTable& table) {
    TableDefinition definition;
    definition.name = table.name;
    for (const CatalogueField& field : table.fields) {
        definition.fields.push_back({std::string(field.name),
                                     fieldTypeFromCode(field.type).value_or(FieldType::Text),
                                     field.size,
                                     field.required});
    }
    for (const CatalogueIndex& index : table.indexes) {
        definition.indexes.push_back(
            {std::string(index.name),
             index.primary,
             std::vector<std::string>(index.fields.begin(), index.fields.end())});
    }
    return definition;
}

bool CreateTable(std::string_view table, DatabaseConnection& connection) {
    ui::Ui& ui = connection.ui();
    const std::string caption = "Creazione Tavola " + inQuotes(table);
    const auto fail = [&](std::string_view text) {
        ui.Message(text, ui::Icon::Exclamation, caption);
        return false;
    };

    TableDefinition definition;
    definition.name = table;
    QueryCursor rows(connection);
    selectFields(rows, table);
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        DescribedField described = describedField(rows);
        if (!described.refusal.empty()) {
            return fail(fmt::format("Errore in fase di inserimento campo {}\n\n{}",
                                    inQuotes(described.field.name),
                                    described.refusal));
        }
        definition.fields.push_back(std::move(described.field));
    }
    if (rows.failed()) {
        return false;
    }
    std::string description;
    if (definition.fields.empty()) {
        return fail(fmt::format("Errore in fase di inserimento tavola {}\n\n"
                                "Il catalogo non descrive alcun campo della tavola",
                                inQuotes(table)));
    }
    if (!connection.execute(createTableSql(definition), &description)) {
        return fail(fmt::format(
            "Errore in fase di inserimento tavola {}\n\n{}", inQuotes(table), description));
    }
    return createIndexes(connection, table, {}, fail);
}

bool UpdateTable(std::string_view table, DatabaseConnection& connection) {
    ui::Ui& ui = connection.ui();
    const std::string caption = "Aggiornamento Tavola " + inQuotes(table);
    const auto fail = [&](std::string_view text) {
        ui.Message(text, ui::Icon::Exclamation, caption);
        return false;
    };
    const auto columns = tableColumns(connection, table);
    if (!columns) {
        return fail(fmt::format("Errore inizializzazione tavola {}\n\nTavola inesistente",
                                inQuotes(table)));
    }
    // Fields and indexes that exist are left as they are, whatever the catalogue says of them;
    // a missing field can only be appended after the others.
    QueryCursor rows(connection);
    selectFields(rows, table);
    std::string description;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        DescribedField described = describedField(rows);
        if (findColumn(*columns, described.field.name) != nullptr) {
            continue;
        }
        if (!described.refusal.empty()) {
            return fail(fmt::format("Errore in fase di inserimento campo {}\n\n{}",
                                    inQuotes(described.field.name),
                                    described.refusal));
        }
        if (!connection.execute(addedColumnSql(table, described.field), &description)) {
            return fail(fmt::format("Errore in fase di inserimento campo {}\n\n{}",
                                    inQuotes(described.field.name),
                                    description));
        }
    }
    if (rows.failed()) {
        return false;
    }
    return createIndexes(connection, table, tableIndexes(connection, table), fail);
}

bool SyncTables(DatabaseConnection& connection) {
    connection.ui().BeginBusy(false);
    QueryCursor tables(connection);
    tables.SetSelect("nome");
    tables.SetFrom("tavole");
    tables.SetOrderBy("nome");
    for (bool row = tables.Execute(); row; row = tables.MoveNext()) {
        std::string name;
        tables.GetText("nome", name);
        const bool done = connection.tableExists(name) ? UpdateTable(name, connection)
                                                       : CreateTable(name, connection);
        if (!done) {
            return false;
        }
    }
    return !tables.failed();
}

bool CreateRelations(DatabaseConnection& connection) {
    bool result = true;
    QueryCursor relations(connection);
    relations.SetSelect("nome, interna, esterna");
    relations.SetFrom("relaz");
    relations.SetOrderBy("rowid");
    for (bool row = relations.Execute(); row; row = relations.MoveNext()) {
        RelationDefinition relation;
        relations.GetText("nome", relation.name);
        relations.GetText("interna", relation.primaryTable);
        relations.GetText("esterna", relation.foreignTable);
        if (relationExists(connection, relation.name)) {
            continue;
        }
        QueryCursor pairs(connection);
        pairs.SetSelect("progr, interno, esterno");
        pairs.SetFrom("relaz2");
        pairs.SetWhere("nome = ?1");
        pairs.Bind(1, std::string_view(relation.name));
        std::vector<std::pair<std::string, std::string>> placed(kMaxRelationFields);
        size_t count = 0;
        for (bool pair = pairs.Execute(); pair; pair = pairs.MoveNext()) {
            std::int16_t position = -1;
            pairs.GetShort(0, position);
            if (position < 0 || static_cast<size_t>(position) >= kMaxRelationFields) {
                continue;
            }
            auto& slot = placed[static_cast<size_t>(position)];
            pairs.GetText("interno", slot.first);
            pairs.GetText("esterno", slot.second);
            count = std::max(count, static_cast<size_t>(position) + 1);
        }
        placed.resize(count);
        relation.fields = std::move(placed);
        if (const auto failure = createRelation(connection, relation)) {
            connection.ui().Message(fmt::format("Errore creazione relazione {}\n\n{}",
                                                inQuotes(relation.name),
                                                *failure),
                                    ui::Icon::Exclamation,
                                    "Creazione relazioni");
            result = false;
        }
    }
    return result && !relations.failed();
}

bool RefreshDescriptors(DatabaseConnection& connection) {
    // One transaction for the whole command: a crash leaves the database as it was, and a
    // failure keeps what was done before it, as each step's message says.
    connection.BeginTrans();
    const bool done = writeCatalogue(connection) && SyncTables(connection) &&
                      CreateRelations(connection) && LoadBuiltInRegisters(connection);
    connection.CommitTrans();
    if (done) {
        connection.ui().Message("I descrittori del DataBase sono stati aggiornati",
                                ui::Icon::Information);
    } else {
        connection.ui().Message("Errore durante l'aggiornamento dei descrittori del DataBase",
                                ui::Icon::Stop);
    }
    return done;
}

} // namespace tramela::store
