#pragma once

#include "ui/ui.h"

#include <optional>
#include <string_view>

namespace tramela::network {

// A distance typed in a dialog (a stop's progressive, a route's length), metres: digits with at
// most one decimal separator, a point or a comma ("1500", "1,5", "12."). Nothing for an empty
// text, a sign, a blank, a letter or a second separator: the dialog then refuses it and stays
// open.
std::optional<double> ParseDistanceEntry(std::string_view text);

// What a typed distance is, for the words of its refusal.
enum class DistanceEntryKind {
    Progressive, // "Variazione Progressiva" of the route editor
    RouteLength, // the length of "Variazione Attributi Percorso"
};

// The refusal of a text ParseDistanceEntry does not take, for the dialog's validator; nothing
// when the text is accepted.
std::optional<ui::Refusal> CheckDistanceEntry(std::string_view text, DistanceEntryKind kind);

} // namespace tramela::network
