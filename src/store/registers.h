#pragma once

#include <string_view>
#include <vector>

namespace tramela::store {

class DatabaseConnection;

// One entry of a built-in regional register.
struct RegisterEntry {
    int code = 0;
    std::string_view name;
};

// The three registers the binary carries: authorities (304 entries, codes 0-303), companies
// (210, codes 0-209) and tender lots (23, codes 0-22).
const std::vector<RegisterEntry>& authorityRegister();
const std::vector<RegisterEntry>& companyRegister();
const std::vector<RegisterEntry>& lotRegister();

// "code<TAB>name" lines.
std::vector<RegisterEntry> parseRegister(std::string_view text);

// Loads the three registers into regent, regazi and reglot: an existing code has its name
// edited, a missing one is added. True when every row was written (failures are shown by the
// table layer).
bool LoadBuiltInRegisters(DatabaseConnection& connection);

} // namespace tramela::store
