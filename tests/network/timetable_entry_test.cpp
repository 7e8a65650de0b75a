#include "network/timetable_entry.h"

#include <gtest/gtest.h>
#include <string>
#include <variant>

namespace tramela::network {
namespace {

int parsed(std::string_view text) {
    const auto time = ParseClockTime(text);
    return time ? time->minutesOfDay() : -1;
}

TEST(ClockTimeEntry, TakesOneOrTwoHourDigitsAnyOfTheFourSeparatorsAndStopsAtTheFirstBlank) {
    for (std::string_view text :
         {"7.30", "07.30", "07:30", "07,30", "07-30", "07.30 e poi", "7:30 "}) {
        EXPECT_EQ(parsed(text), 450) << text;
    }
    EXPECT_EQ(parsed("00.00"), 0);
    EXPECT_EQ(parsed("23.59"), 1439);
    EXPECT_EQ(ParseClockTime("23.50")->hhmm(), 2350);
    for (std::string_view text : {"7.3",
                                  "073",
                                  "0730",
                                  "24.00",
                                  "12.60",
                                  "",
                                  " 07.30",
                                  "07/30",
                                  "a7.30",
                                  "07.3x",
                                  "007.30"}) {
        EXPECT_EQ(parsed(text), -1) << text;
    }
}

TEST(ClockTimeEntry, ClockTimesAndOffsetsWrapAtMidnight) {
    // A trip at 23.50 is at a stop 20 minutes on at 00.10, and back.
    EXPECT_EQ(timeOfDay(2350, 20), 10);
    EXPECT_EQ(formatClockTime(timeOfDay(2350, 20)), "00.10");
    EXPECT_EQ(offsetFromStart(2350, 10), 20);
    EXPECT_EQ(offsetFromStart(735, 7 * 60 + 35), 0);
    EXPECT_EQ(timeOfDay(735, 1440 + 5), 7 * 60 + 40);
}

std::string
refusalOf(int previous, int next, std::string_view arrival, std::string_view departure) {
    const auto checked = CheckTransitChange(previous, next, arrival, departure);
    const auto* refused = std::get_if<ui::Refusal>(&checked);
    return refused != nullptr ? refused->text : std::string();
}

TEST(TransitChange, RefusesTimesOutsideTheNeighboursAndBadlyWrittenOnes) {
    const int previous = 8 * 60;  // 08.00
    const int next = 8 * 60 + 30; // 08.30
    EXPECT_EQ(refusalOf(previous, next, "08.10", "08.12"), "");
    EXPECT_EQ(refusalOf(previous, next, "08.00", "08.30"), "");
    EXPECT_EQ(refusalOf(previous, next, "8.1", "08.12"),
              "L'orario di arrivo è espresso in modo illegale.\n\n"
              "Gli orari devono essere espressi nel formato HH.MM\n\n");
    EXPECT_EQ(refusalOf(previous, next, "08.10", "25.00"),
              "L'orario di partenza è espresso in modo illegale.\n\n"
              "Gli orari devono essere espressi nel formato HH.MM\n\n");
    EXPECT_EQ(refusalOf(previous, next, "07.59", "08.12"),
              "L'orario di arrivo è antecedente all'orario di partenza della fermata precedente.\n"
              "Questa condizione è illogica ed inaccettabile");
    EXPECT_TRUE(refusalOf(previous, next, "08.10", "08.31")
                    .ends_with("\nQuesta condizione è illogica ed inaccettabile"));
    // A departure earlier than the arrival is taken after midnight, so beyond the next stop.
    EXPECT_NE(refusalOf(previous, next, "08.10", "08.05"), "");
}

TEST(TransitChange, AcceptsAStopPassedAroundMidnight) {
    const int previous = 23 * 60 + 55; // 23.55
    const int next = 10;               // 00.10, the next day
    EXPECT_EQ(refusalOf(previous, next, "23.58", "00.02"), "");
    EXPECT_EQ(refusalOf(previous, next, "00.05", "00.06"), "");
    const auto checked = CheckTransitChange(previous, next, "00.05", "00.06");
    EXPECT_EQ(std::get<TransitTimes>(checked).arrival, 5);
    EXPECT_NE(refusalOf(previous, next, "00.05", "00.11"), "");
    EXPECT_NE(refusalOf(previous, next, "23.50", "23.56"), "");
    // Without midnight between the neighbours an early arrival stays refused.
    EXPECT_NE(refusalOf(8 * 60, 9 * 60, "00.05", "00.06"), "");
}

TEST(TransitChange, TheDialogProposesTheStopsTimesAndRefusesThroughTheTest) {
    const ui::FormSpec form = transitForm(480, 510, 490, 492);
    EXPECT_EQ(form.id, "transit");
    EXPECT_EQ(form.initialValues(), (ui::FormValues{{"arrival", "08.10"}, {"departure", "08.12"}}));
    EXPECT_FALSE(form.validate(form.initialValues()));
    EXPECT_TRUE(form.validate({{"arrival", "07.00"}, {"departure", "08.12"}}));
}

} // namespace
} // namespace tramela::network
