#pragma once

#include "store/query_cursor.h"
#include "ui/ui.h"
#include "views/edit_window.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the windows' sources.
namespace tramela::views::support {

inline constexpr std::string_view kNotRegistered = "I dati immessi non saranno registrati !!!";

// A refusal in three parts: what is wrong, how it must be written, and that nothing is written.
std::string refusal(std::string_view what, std::string_view how);

ui::FormField textField(std::string_view id, std::string_view caption, int maxLength = 0);
ui::FormField dateField(std::string_view id, std::string_view caption);
ui::FormField
choiceField(std::string_view id, std::string_view caption, std::vector<std::string> entries);

// The code at the start of a choice list's entry ("0003 - Lotto Nord" -> "0003", "FER5  Feriale"
// -> "FER5"): its first field, up to the first blank.
std::string leadingField(std::string_view entry);
// A whole number that fits the column ("0003" -> 3); nothing for anything else.
std::optional<std::int32_t> wholeNumber(std::string_view text, std::int64_t max = INT32_MAX);
// A text column read from a query, without its trailing blanks.
std::string text(store::QueryCursor& rows, std::string_view column);
// A double column read as text ("00000000001234,5000") as a number.
double number(std::string_view text);
// Metres shown as kilometres with three decimals.
std::string kilometres(double metres);
// How many characters (not bytes) a text holds.
size_t characters(std::string_view text);

// "codice, denom" of a register ordered as asked, each entry "%04d - %s".
std::vector<std::string> registerEntries(store::DatabaseConnection& connection,
                                         std::string_view table,
                                         std::string_view order);
// The register holds a row with this code.
bool registerHolds(store::DatabaseConnection& connection,
                   std::string_view table,
                   std::int32_t code);

} // namespace tramela::views::support
