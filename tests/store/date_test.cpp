#include "store/date.h"

#include <gtest/gtest.h>

namespace tramela {
namespace {

TEST(Date, CompactDaysAreEightDigitsOfARealDay) {
    struct Case {
        std::string_view digits;
        std::optional<Date> day;
    };

    const Case cases[] = {
        {"20240301", Date{2024, 3, 1}},
        {"20241231", Date{2024, 12, 31}},
        {"20240229", Date{2024, 2, 29}},  // leap year
        {"20000229", Date{2000, 2, 29}},  // every 400 years
        {"20230229", std::nullopt},       // common year
        {"19000229", std::nullopt},       // a century is not a leap year
        {"20241301", std::nullopt},       // month 13
        {"20240001", std::nullopt},       // month 0
        {"20240400", std::nullopt},       // day 0
        {"20240431", std::nullopt},       // April has 30 days
        {"00000101", std::nullopt},       // year 0
        {"00000000", Date{1600, 1, 1}},   // the lowest day
        {"99999999", Date{2400, 12, 31}}, // the highest day
        {"99991231", Date{9999, 12, 31}},
        {"2024031", std::nullopt},   // seven digits
        {"202403011", std::nullopt}, // nine
        {"", std::nullopt},
        {"        ", std::nullopt}, // a day the writer left blank
        {"2024 301", std::nullopt},
        {"2024-3-1", std::nullopt},
        {"+2024031", std::nullopt},
        {"2024030X", std::nullopt}, // seven digits and a letter
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseCompactDate(c.digits), c.day) << '"' << c.digits << '"';
    }
}

} // namespace
} // namespace tramela
