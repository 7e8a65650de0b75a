#pragma once

#include "ui/ui.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tramela::network {

// A time of day typed in a dialog.
struct ClockTime {
    int hours = 0;   // 0..23
    int minutes = 0; // 0..59

    int minutesOfDay() const { return hours * 60 + minutes; }

    // The form of a trip's start (corse.parte): 07.35 is 735.
    int hhmm() const { return hours * 100 + minutes; }
};

// "H.MM" or "HH.MM", the separator one of '.', ':', ',' and '-'; the text ends at its first
// blank. Nothing for any other form, for hours above 23 or minutes above 59.
std::optional<ClockTime> ParseClockTime(std::string_view text);

// "%02d.%02d" of minutes after midnight (taken modulo a day).
std::string formatClockTime(int minutesOfDay);

// Minutes after midnight of a trip's start held as hours × 100 + minutes.
inline int minutesOfHhmm(int hhmm) {
    return hhmm / 100 * 60 + hhmm % 100;
}

// The time of day at a stop reached `offset` minutes after a start of hours × 100 + minutes: a
// trip leaving at 23.50 is at a stop with offset 20 at 00.10.
int timeOfDay(int startHhmm, int offset);

// The offset of a time of day from a start of hours × 100 + minutes; a time of day earlier than
// the start is on the next day: from 23.50, 00.10 is 20 minutes on.
int offsetFromStart(int startHhmm, int minutesOfDay);

// The first line of the refusal of each time field; the refusal goes on with kTimeFormatHow.
inline constexpr std::string_view kBadArrival =
    "L'orario di arrivo è espresso in modo illegale.\n\n";
inline constexpr std::string_view kBadDeparture =
    "L'orario di partenza è espresso in modo illegale.\n\n";
inline constexpr std::string_view kBadBandStart =
    "L'orario di inizio fascia oraria è espresso in modo illegale.\n\n";
inline constexpr std::string_view kBadBandEnd =
    "L'orario di termine della fascia oraria è espresso in modo illegale.\n\n";
inline constexpr std::string_view kTimeFormatHow =
    "Gli orari devono essere espressi nel formato HH.MM\n\n";

// The refusal of a time field whose line is one of the above (stop icon).
ui::Refusal timeRefusal(std::string_view fieldLine);

// The arrival and departure typed at a stop, minutes after midnight.
struct TransitTimes {
    int arrival = 0;
    int departure = 0;
};

// The test of a new arrival and departure at a stop, between the departure from the stop before
// and the arrival at the stop after (minutes after midnight). The stop after may be reached after
// midnight; the departure may be after midnight when it is earlier than the arrival. Refused (stop
// icon, the dialog stays open): a time not in the HH.MM form, an arrival before the departure from
// the stop before, a departure later than the arrival at the stop after.
std::variant<TransitTimes, ui::Refusal> CheckTransitChange(int previousDeparture,
                                                           int nextArrival,
                                                           std::string_view arrival,
                                                           std::string_view departure);

inline constexpr std::string_view kTransitFormId = "transit";

// The dialog "Variazione Transito" (fields "arrival" and "departure", proposing the stop's
// current times), validated by CheckTransitChange.
ui::FormSpec transitForm(int previousDeparture, int nextArrival, int arrival, int departure);

} // namespace tramela::network
