#include "store/date.h"
#include "store/value_text.h"

#include <gtest/gtest.h>

namespace tramela::store {
namespace {

TEST(ValueText, DoublesReadAsTwentyCharactersWithDecimalComma) {
    EXPECT_EQ(formatDouble(-3.25), "-00000000000003,2500");
    EXPECT_EQ(formatDouble(12.5), "000000000000012,5000");
    EXPECT_EQ(formatDouble(12345.67), "000000000012345,6700");
    EXPECT_EQ(fieldText(std::int64_t{7}, FieldType::Double), "000000000000007,0000");
}

TEST(ValueText, CurrencyReadsWithSignFifteenDigitsAndFourDecimals) {
    EXPECT_EQ(formatCurrency(1234.5), "+000000000001234,5000");
    EXPECT_EQ(formatCurrency(-0.25), "-000000000000000,2500");
    EXPECT_EQ(formatCurrency(0), "+000000000000000,0000");
}

TEST(ValueText, DatesReadWithTheLowestAndHighestMarks) {
    EXPECT_EQ(fieldText(std::string("2024-03-31"), FieldType::Date), "31/03/2024");
    EXPECT_EQ(fieldText(std::string("1600-01-01"), FieldType::Date), "00/00/0000");
    EXPECT_EQ(fieldText(std::string("1600-12-31"), FieldType::Date), "00/00/0000");
    EXPECT_EQ(fieldText(std::string("1601-01-01"), FieldType::Date), "01/01/1601");
    EXPECT_EQ(fieldText(std::string("2399-12-31"), FieldType::Date), "31/12/2399");
    EXPECT_EQ(fieldText(std::string("2400-12-31"), FieldType::Date), "99/99/9999");
    EXPECT_EQ(fieldText(std::string("2024-03-31 00:00:00"), FieldType::Date), "31/03/2024");
    EXPECT_EQ(fieldText(std::string("garbage"), FieldType::Date), "00/00/0000");
    EXPECT_EQ(fieldText(Value{}, FieldType::Date), "");
}

TEST(ValueText, TypedDatesAreStoredInIsoForm) {
    EXPECT_EQ(storeDateToIso("00/00/0000"), "1600-01-01");
    EXPECT_EQ(storeDateToIso("99/99/9999"), "2400-12-31");
    EXPECT_EQ(storeDateToIso("29/02/2008"), "2008-02-29");
    EXPECT_EQ(storeDateToIso("1/3/2009"), "2009-03-01");
    EXPECT_EQ(storeDateToIso("01-03-2009"), "2009-03-01");
    EXPECT_EQ(storeDateToIso("2009-03-01"), "2009-03-01");
    EXPECT_FALSE(storeDateToIso("31/02/2009"));
    EXPECT_FALSE(storeDateToIso("29/02/2009"));
    EXPECT_FALSE(storeDateToIso("01/03/09"));
    EXPECT_FALSE(storeDateToIso("01/13/2009"));
    EXPECT_FALSE(storeDateToIso("01/03/2009/"));
    EXPECT_FALSE(storeDateToIso("001/03/2009"));
}

TEST(ValueText, BooleansAndBlobsHaveTheirFixedTexts) {
    EXPECT_EQ(fieldText(std::int64_t{1}, FieldType::Boolean), "1");
    EXPECT_EQ(fieldText(std::int64_t{-1}, FieldType::Boolean), "1");
    EXPECT_EQ(fieldText(std::int64_t{0}, FieldType::Boolean), "0");
    const Value blob = Blob(1600, 0x41);
    EXPECT_EQ(fieldText(blob, FieldType::Blob), "");
    EXPECT_EQ(fieldDisplayText(blob, FieldType::Blob), "BLOB [1600 bytes]");
    EXPECT_EQ(fieldDisplayText(Value{}, FieldType::Blob), "");
}

TEST(ValueText, WriteConversionRefusesWhatTheColumnCannotHold) {
    const ColumnInfo shortColumn{"n", FieldType::Short, 0, false};
    const ColumnInfo longColumn{"n", FieldType::Long, 0, false};
    const ColumnInfo text10{"t", FieldType::Text, 10, false};
    const ColumnInfo boolean{"b", FieldType::Boolean, 0, false};

    EXPECT_EQ(convertForWrite("abc", shortColumn).refusal,
              "Tipo di dati non corrispondente: il testo non è un numero");
    EXPECT_EQ(convertForWrite("12a", longColumn).refusal,
              "Tipo di dati non corrispondente: il testo non è un numero");
    EXPECT_EQ(convertForWrite("32768", shortColumn).refusal,
              "Valore fuori dall'intervallo di un intero a 16 bit (da -32768 a 32767)");
    EXPECT_TRUE(convertForWrite("-32768", shortColumn).accepted());
    EXPECT_EQ(convertForWrite("2147483648", longColumn).refusal,
              "Valore fuori dall'intervallo di un intero a 32 bit (da -2147483648 a 2147483647)");
    EXPECT_EQ(convertForWrite("Universitàs", text10).refusal,
              "Il testo di 11 caratteri supera la dimensione del campo (10 caratteri)");
    EXPECT_TRUE(convertForWrite("Università", text10).accepted());
    EXPECT_EQ(convertForWrite("\xff\xfe", text10).refusal,
              "Il testo contiene caratteri non codificati in UTF-8");
    EXPECT_EQ(convertForWrite("forse", boolean).refusal,
              "Tipo di dati non corrispondente: il testo non è un valore logico (1/0, vero/falso, "
              "sì/no)");
}

TEST(ValueText, WriteConversionReadsNumbersAsPeopleTypeThem) {
    const ColumnInfo real{"x", FieldType::Double, 0, false};
    const ColumnInfo shortColumn{"n", FieldType::Short, 0, false};
    const ColumnInfo boolean{"b", FieldType::Boolean, 0, false};
    EXPECT_EQ(std::get<double>(convertForWrite("-3,25", real).value), -3.25);
    EXPECT_EQ(std::get<double>(convertForWrite(" 12.5 ", real).value), 12.5);
    EXPECT_EQ(std::get<double>(convertForWrite("000000000000012,5000", real).value), 12.5);
    EXPECT_FALSE(convertForWrite("1,2,3", real).accepted());
    EXPECT_FALSE(convertForWrite("inf", real).accepted());
    EXPECT_EQ(std::get<std::int64_t>(convertForWrite("2,5", shortColumn).value), 2);
    EXPECT_EQ(std::get<std::int64_t>(convertForWrite("3,5", shortColumn).value), 4);
    EXPECT_EQ(std::get<std::int64_t>(convertForWrite("Vero", boolean).value), 1);
    EXPECT_EQ(std::get<std::int64_t>(convertForWrite("-1", boolean).value), 1);
    EXPECT_EQ(std::get<std::int64_t>(convertForWrite("0", boolean).value), 0);
    EXPECT_TRUE(isNull(convertForWrite("", shortColumn).value));
}

TEST(ValueText, DeclaredTypesCarryTheFieldTypes) {
    for (const auto& [type, size] : std::vector<std::pair<FieldType, int>>{{FieldType::Text, 10},
                                                                           {FieldType::Boolean, 0},
                                                                           {FieldType::Date, 0},
                                                                           {FieldType::Double, 0},
                                                                           {FieldType::Short, 0},
                                                                           {FieldType::Long, 0},
                                                                           {FieldType::Memo, 0},
                                                                           {FieldType::Currency, 0},
                                                                           {FieldType::Blob, 0}}) {
        EXPECT_EQ(parseDeclaredType(declaredType(type, size)), std::pair(type, size));
    }
    EXPECT_EQ(parseDeclaredType("varchar(30)"), std::pair(FieldType::Text, 30));
    EXPECT_EQ(parseDeclaredType("MEMO"), std::pair(FieldType::Memo, 0));
    EXPECT_EQ(parseDeclaredType("BIGINT"), std::pair(FieldType::Long, 0));
}

TEST(ValueText, TrailingBlanksAndQuotes) {
    std::string text = "Rossi   ";
    TrimTrailingBlanks(text);
    EXPECT_EQ(text, "Rossi");
    text = "   ";
    TrimTrailingBlanks(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(sqlQuote("dell'Orso"), "'dell''Orso'");
    EXPECT_EQ(sqlIdentifier("a\"b"), "\"a\"\"b\"");
}

TEST(Date, SerialsWeekdaysAndIsoForms) {
    EXPECT_EQ((Date{1970, 1, 1}.serial()), 0);
    EXPECT_EQ((Date{2024, 3, 31}.weekday()), 7);
    EXPECT_EQ((Date{2024, 4, 1}.weekday()), 1);
    EXPECT_EQ((Date{2024, 2, 28}.addDays(1)), (Date{2024, 2, 29}));
    EXPECT_EQ((Date{1600, 1, 1}.addDays(-1)), (Date{1599, 12, 31}));
    EXPECT_EQ(Date::fromSerial(Date{2400, 12, 31}.serial()), (Date{2400, 12, 31}));
    EXPECT_EQ((Date{2009, 3, 1}.display()), "01/03/2009");
    EXPECT_FALSE(parseIsoDate("2009-02-29"));
    EXPECT_TRUE(parseIsoDate("2000-02-29"));
    EXPECT_FALSE(parseIsoDate("1900-02-29"));
}

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
} // namespace tramela::store
