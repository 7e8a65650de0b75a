#pragma once

#include "store/table_definition.h"
#include "ui/ui.h"

#include <filesystem>
#include <vector>

namespace tramela::store {

// The tables that the sibling cartography products keep (companies, stops, routes, the stops
// along each route, route geometry, localities, municipalities) and the catalogue of table
// descriptions, as a new database holds them before Tramela adds its own tables.
const std::vector<TableDefinition>& cartographyTables();
const std::vector<TableDefinition>& catalogueTables();

// Creates a new database file with the cartography and catalogue tables, empty. An existing file
// is never overwritten. Shows the outcome; true when the file was created.
bool createCartographyDatabase(ui::Ui& ui, const std::filesystem::path& path);

} // namespace tramela::store
