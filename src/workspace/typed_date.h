#pragma once

#include "store/date.h"

#include <optional>
#include <string>
#include <string_view>

namespace tramela::workspace {

// The rule by which every dialog accepts a typed date: exactly 8 or 10 characters, "/", "." or
// "-" as the third and sixth, decimal digits everywhere else; day, month, then a year of four
// digits or of two taken as 20xx; a real day of the Gregorian calendar. Nothing when refused.
std::optional<Date> parseTypedDate(std::string_view text);

// The accepted date written "GG/MM/AAAA", as it is stored and compared; nothing when refused.
std::optional<std::string> normaliseTypedDate(std::string_view text);

} // namespace tramela::workspace
