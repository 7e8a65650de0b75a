#include "workspace/typed_date.h"

#include <gtest/gtest.h>

namespace tramela::workspace {
namespace {

TEST(TypedDate, AcceptedFormsAreNormalisedToDayMonthYear) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"01/03/2009", "01/03/2009"},
        {"01-03-2009", "01/03/2009"},
        {"01.03.09", "01/03/2009"},
        {"01/03-2009", "01/03/2009"}, // each separator is free on its own
        {"05/03/09", "05/03/2009"},
        {"31/12/99", "31/12/2099"}, // two digits never mean 19xx
        {"29/02/2008", "29/02/2008"},
        {"29/02/2000", "29/02/2000"}, // divisible by 400
    };
    for (const auto& [typed, normal] : cases) {
        EXPECT_EQ(normaliseTypedDate(typed), std::optional<std::string>(normal)) << typed;
    }
    EXPECT_EQ(parseTypedDate("05/03/09"), (Date{2009, 3, 5}));
}

TEST(TypedDate, WrongShapesAndDaysOutsideTheCalendarAreRefused) {
    const std::string_view cases[] = {
        "",
        "1/3/2009",    // 8 characters, separators at the wrong places
        "01/3/2009",   // 9 characters
        "01/03/20090", // 11 characters
        "01:03:2009",
        "01/03/2O09", // a letter O
        " 1/03/2009",
        "+1/03/2009",
        "01/03/-009",
        "01/03/2\xC3\xA8"
        "9", // 9 characters in 10 bytes
        "31/02/2009",
        "29/02/2009",
        "29/02/2100", // divisible by 100, not by 400
        "31/04/09",
        "00/03/2009",
        "01/13/2009",
        "01/01/0000",
    };
    for (const std::string_view typed : cases) {
        EXPECT_EQ(parseTypedDate(typed), std::nullopt) << typed;
        EXPECT_EQ(normaliseTypedDate(typed), std::nullopt) << typed;
    }
}

} // namespace
} // namespace tramela::workspace
