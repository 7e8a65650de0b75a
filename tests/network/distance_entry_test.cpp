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

TEST(DistanceEntryTest, RefusalNamesWhatWasTypedAndKeepsTheDialogOpen) {
    EXPECT_FALSE(CheckDistanceEntry("1,5", DistanceEntryKind::Progressive).has_value());
    const auto progressive = CheckDistanceEntry("1.5.0", DistanceEntryKind::Progressive);
    ASSERT_TRUE(progressive.has_value());
    EXPECT_EQ(progressive->text,
              "ATTENZIONE: distanza progressiva inaccettabile\n\n"
              "Il numero è espresso in formato illegale");
    EXPECT_EQ(progressive->icon, ui::Icon::Stop);
    const auto length = CheckDistanceEntry("12a", DistanceEntryKind::RouteLength);
    ASSERT_TRUE(length.has_value());
    EXPECT_EQ(length->text,
              "ATTENZIONE: lunghezza percorso inaccettabile\n\n"
              "Il numero è espresso in formato illegale");
}

} // namespace
} // namespace tramela::network
