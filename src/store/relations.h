#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tramela::store {

class DatabaseConnection;

// A relation between a primary table and a foreign one, enforced without cascades: a foreign row
// needs its primary row, and a primary row still referenced can be neither deleted nor re-keyed.
struct RelationDefinition {
    std::string name;
    std::string primaryTable;
    std::string foreignTable;
    std::vector<std::pair<std::string, std::string>> fields; // primary field -> foreign field
};

// A relation exists when its triggers exist.
bool relationExists(DatabaseConnection& connection, std::string_view name);

// Creates the relation's triggers, and an index on the foreign fields so that checking a primary
// row's references never scans the foreign table. Refuses, as the original engine did, missing
// tables or fields, a primary side without a unique index, and foreign rows already orphaned.
// Gives nothing on success, or the engine's description of the failure; nothing is left behind
// by a failure.
std::optional<std::string> createRelation(DatabaseConnection& connection,
                                          const RelationDefinition& relation);

} // namespace tramela::store
