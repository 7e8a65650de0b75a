#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace tramela::store {

class DatabaseConnection;

// The data model of the system's own tables, as the catalogue describes it.
struct CatalogueField {
    std::string_view name;
    char type; // the catalogue's type letter: A B D F I L M N O
    int size;  // characters, text fields only
    bool required;
    std::string_view caption;
    std::string_view note;
};

struct CatalogueIndex {
    std::string_view name;
    bool primary;
    std::vector<std::string_view> fields;
    std::string_view caption;
    std::string_view note;
};

struct CatalogueTable {
    std::string_view name;
    std::string_view caption;
    std::string_view note;
    std::vector<CatalogueField> fields;
    std::vector<CatalogueIndex> indexes;
};

struct CatalogueRelation {
    std::string_view name;
    std::string_view primaryTable;
    std::string_view foreignTable;
    std::vector<std::pair<std::string_view, std::string_view>> fields; // primary -> foreign
};

struct TableDefinition;

// The twelve tables and sixteen relations of the system, in the order they are described.
const std::vector<CatalogueTable>& systemTables();
const std::vector<CatalogueRelation>& systemRelations();
const CatalogueTable* findSystemTable(std::string_view name);
// The structure a catalogue table describes.
TableDefinition tableDefinition(const CatalogueTable& table);

// The command that adds the system's tables to a cartography database: writes the catalogue,
// builds what it describes, creates the relations, loads the built-in registers, and tells the
// outcome. True on success.
bool RefreshDescriptors(DatabaseConnection& connection);

// These read only the catalogue, so they build whatever it describes.
bool SyncTables(DatabaseConnection& connection);
bool CreateTable(std::string_view table, DatabaseConnection& connection);
bool UpdateTable(std::string_view table, DatabaseConnection& connection);
bool CreateRelations(DatabaseConnection& connection);

} // namespace tramela::store
