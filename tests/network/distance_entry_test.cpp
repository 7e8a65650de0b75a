#include "network/distance_entry.h"

#include <gtest/gtest.h>

namespace tramela::network {
namespace {

TEST(DistanceEntryTest, TakesDigitsWithOneSeparatorEitherPointOrComma) {
    EXPECT_EQ(ParseDistanceEntry("1500"), 1500.0);
    EXPECT_EQ(ParseDistanceEntry("1,5"), 1.5);
    EXPECT_EQ(ParseDistanceEntry("1.5"), 1.5);
    EXPECT_EQ(ParseDistanceEntry("12."), 12.0);
    EXPECT_EQ(ParseDistanceEntry(",25"), 0.25);
}

TEST(DistanceEntryTest, RefusesWhatIsNotAPlainNumber) {
    for (const char* text : {"", ".", "1.2.3", "1,2.3", "12a", "-5", "+5", " 5", "5 ", "1e3"}) {
        EXPECT_FALSE(ParseDistanceEntry(text).has_value()) << '"' << text << '"';
    }
}

} // namespace
} // namespace tramela::network
