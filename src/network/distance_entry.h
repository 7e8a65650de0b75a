#pragma once

#include <optional>
#include <string_view>

namespace tramela::network {

// A distance typed in a dialog (a stop's progressive, a route's length), metres: digits with at
// most one decimal separator, a point or a comma ("1500", "1,5", "12."). Nothing for an empty
// text, a sign, a blank, a letter or a second separator: the dialog then refuses it and stays
// open.
std::optional<double> ParseDistanceEntry(std::string_view text);

} // namespace tramela::network
