#include "network/distance_entry.h"

#include <cstdlib>
#include <string>

namespace tramela::network {

std::optional<double> ParseDistanceEntry(std::string_view text) {
    std::string number;
    number.reserve(text.size());
    bool separator = false;
    bool digit = false;
    for (const char c : text) {
        if (c == '.' || c == ',') {
            if (separator) {
                return std::nullopt;
            }
            separator = true;
            number.push_back('.');
        } else if (c >= '0' && c <= '9') {
            digit = true;
            number.push_back(c);
        } else {
            return std::nullopt;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    // Digits and one point only: strtod reads all of it, in the C locale's notation.
    return std::strtod(number.c_str(), nullptr);
}

} // namespace tramela::network

namespace tramela::network {

std::optional<ui::Refusal> CheckDistanceEntry(std::string_view text, DistanceEntryKind kind) {
    if (ParseDistanceEntry(text)) {
        return std::nullopt;
    }
    const std::string_view what = kind == DistanceEntryKind::Progressive
                                      ? "ATTENZIONE: distanza progressiva inaccettabile\n\n"
                                      : "ATTENZIONE: lunghezza percorso inaccettabile\n\n";
    return ui::Refusal{
        std::string(what) + "Il numero è espresso in formato illegale", ui::Icon::Stop, {}};
}

} // namespace tramela::network
