#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tramela::store {

// Maintenance of a database file as a whole, on a connection of its own. Each gives nothing on
// success, or the engine's description of the failure.

// Checks the file, rebuilds its indexes and compacts it.
std::optional<std::string> repairDatabase(const std::filesystem::path& path);

// Writes a compacted copy of origin to destination; an existing destination is refused.
std::optional<std::string> duplicateDatabase(const std::filesystem::path& origin,
                                             const std::filesystem::path& destination);

} // namespace tramela::store
