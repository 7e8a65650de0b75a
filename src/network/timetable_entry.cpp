#include "network/timetable_entry.h"

#include <fmt/format.h>

namespace tramela::network {

namespace {

constexpr std::string_view kArrivalBeforePrevious =
    "L'orario di arrivo è antecedente all'orario di partenza della fermata precedente.\n"
    "Questa condizione è illogica ed inaccettabile";
constexpr std::string_view kDepartureAfterNext =
    "L'orario di partenza è successivo all'orario di arrivo della fermata successiva.\n"
    "Questa condizione è illogica ed inaccettabile";

constexpr int kDay = 1440;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSeparator(char c) {
    return c == '.' || c == ':' || c == ',' || c == '-';
}

int digit(char c) {
    return c - '0';
}

} // namespace

std::optional<ClockTime> ParseClockTime(std::string_view text) {
    // "07.30 e poi" is read as "07.30".
    if (const auto blank = text.find(' '); blank != std::string_view::npos) {
        text = text.substr(0, blank);
    }
    ClockTime time;
    if (text.size() == 4 && isDigit(text[0]) && isSeparator(text[1]) && isDigit(text[2]) &&
        isDigit(text[3])) {
        time = {digit(text[0]), digit(text[2]) * 10 + digit(text[3])};
    } else if (text.size() == 5 && isDigit(text[0]) && isDigit(text[1]) && isSeparator(text[2]) &&
               isDigit(text[3]) && isDigit(text[4])) {
        time = {digit(text[0]) * 10 + digit(text[1]), digit(text[3]) * 10 + digit(text[4])};
    } else {
        return std::nullopt;
    }
    if (time.hours > 23 || time.minutes > 59) {
        return std::nullopt;
    }
    return time;
}

std::string formatClockTime(int minutesOfDay) {
    const int minutes = ((minutesOfDay % kDay) + kDay) % kDay;
    return fmt::format("{:02d}.{:02d}", minutes / 60, minutes % 60);
}

int timeOfDay(int startHhmm, int offset) {
    return ((minutesOfHhmm(startHhmm) + offset) % kDay + kDay) % kDay;
}

int offsetFromStart(int startHhmm, int minutesOfDay) {
    const int start = minutesOfHhmm(startHhmm);
    return minutesOfDay < start ? minutesOfDay + kDay - start : minutesOfDay - start;
}

ui::Refusal timeRefusal(std::string_view fieldLine) {
    return {std::string(fieldLine) + std::string(kTimeFormatHow), ui::Icon::Stop, {}};
}

std::variant<TransitTimes, ui::Refusal> CheckTransitChange(int previousDeparture,
                                                           int nextArrival,
                                                           std::string_view arrival,
                                                           std::string_view departure) {
    // The trip passes midnight between the stop before and the stop after.
    const bool overMidnight = nextArrival < previousDeparture;
    if (overMidnight) {
        nextArrival += kDay;
    }
    const auto arrivalTime = ParseClockTime(arrival);
    if (!arrivalTime) {
        return timeRefusal(kBadArrival);
    }
    const auto departureTime = ParseClockTime(departure);
    if (!departureTime) {
        return timeRefusal(kBadDeparture);
    }
    int arrives = arrivalTime->minutesOfDay();
    // When midnight falls between the two neighbours, an arrival earlier than the departure
    // before is after midnight: from 23.55 to 00.10, an arrival at 00.05 is 1445, not 5.
    if (overMidnight && arrives < previousDeparture && arrives + kDay <= nextArrival) {
        arrives += kDay;
    }
    if (arrives < previousDeparture) {
        return ui::Refusal{std::string(kArrivalBeforePrevious), ui::Icon::Stop, {}};
    }
    int leaves = departureTime->minutesOfDay();
    // A stop reached at 23.58 and left at 00.02 is left at midnight's far side.
    while (leaves < arrives) {
        leaves += kDay;
    }
    if (leaves > nextArrival) {
        return ui::Refusal{std::string(kDepartureAfterNext), ui::Icon::Stop, {}};
    }
    return TransitTimes{arrivalTime->minutesOfDay(), departureTime->minutesOfDay()};
}

ui::FormSpec transitForm(int previousDeparture, int nextArrival, int arrival, int departure) {
    ui::FormSpec spec;
    spec.id = kTransitFormId;
    spec.title = "Variazione Transito";
    spec.groups = {
        {{},
         {{"arrival", "Orario di Arrivo", ui::FieldKind::Text, formatClockTime(arrival), {}},
          {"departure",
           "Orario di Partenza",
           ui::FieldKind::Text,
           formatClockTime(departure),
           {}}}}};
    spec.validate = [previousDeparture, nextArrival](const ui::FormValues& values) {
        const auto field = [&values](std::string_view id) {
            const auto found = values.find(id);
            return found != values.end() ? std::string_view(found->second) : std::string_view();
        };
        auto checked = CheckTransitChange(
            previousDeparture, nextArrival, field("arrival"), field("departure"));
        return std::holds_alternative<ui::Refusal>(checked)
                   ? std::optional<ui::Refusal>(std::get<ui::Refusal>(std::move(checked)))
                   : std::nullopt;
    };
    return spec;
}

} // namespace tramela::network
