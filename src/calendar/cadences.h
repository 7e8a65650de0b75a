#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::calendar {

// A type of service day: its code (up to 10 characters) and its name.
struct Cadence {
    std::string code;
    std::string name;
};

// The refusal of a cadence code that the register does not hold.
std::string missingCadenceMessage(std::string_view code);

// The cadence register, ordered by code.
std::vector<Cadence> listCadences(store::DatabaseConnection& connection);

// The register's editing operations; refusals are shown where they are met (a code already
// used, a code or name too long or missing, a cadence still used by the calendar or a period).
bool addCadence(store::DatabaseConnection& connection,
                std::string_view code,
                std::string_view name);
bool modifyCadence(store::DatabaseConnection& connection,
                   std::string_view code,
                   std::string_view name);
bool deleteCadence(store::DatabaseConnection& connection, std::string_view code);

} // namespace tramela::calendar
