#include "comm/gtfs/text_fitting.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unordered_set>

namespace tramela::comm::gtfs {
namespace {

TEST(TextFitting, TextsAreMadeLatin1AndCutWithEveryChangeTold) {
    Adaptations adaptations;
    EXPECT_EQ(fitText("Città", 10, "denominazioni fermata", adaptations), "Città");
    EXPECT_EQ(fitText("Piazzale della Stazione", 10, "denominazioni fermata", adaptations),
              "Piazzale d");
    // One replacement per character, whatever its length in bytes; a stray byte is one too.
    EXPECT_EQ(fitText("Aeroporto ✈ €\xFF", 40, "denominazioni fermata", adaptations),
              "Aeroporto ? ??");
    EXPECT_EQ(adaptations.text(),
              "Adattamenti effettuati:\n"
              "- denominazioni fermata troncati a 10 caratteri: 1\n"
              "    \"Piazzale della Stazione\" -> \"Piazzale d\"\n"
              "- caratteri non rappresentabili in Latin-1 sostituiti con '?': 1\n"
              "    denominazioni fermata \"Aeroporto ✈ €\xFF\"\n");
    EXPECT_EQ(Adaptations().text(), "Nessun adattamento dei dati è stato necessario.\n");
}

// A quoted field may hold a line feed or a tab; stored as it is, it would break the lines and
// widths of the fixed-width files.
TEST(TextFitting, ControlCharactersBecomeBlanks) {
    Adaptations adaptations;
    EXPECT_EQ(
        fitText(
            "Piazza\nDuomo\t(lato\x7F\xC2\x85nord)\r\n", 40, "denominazioni fermata", adaptations),
        "Piazza Duomo (lato  nord)");
    EXPECT_EQ(adaptations.text(),
              "Adattamenti effettuati:\n"
              "- caratteri di controllo (a capo, tabulazioni) sostituiti da uno spazio: 1\n"
              "    denominazioni fermata \"Piazza Duomo (lato  nord)\"\n");
    CodeSet codes;
    EXPECT_EQ(codes.uniqueCode("F\t1", 10, "codici fermata", adaptations), "F?1~1");
}

TEST(TextFitting, AdaptationsListTenExamplesOfEachKind) {
    Adaptations adaptations;
    for (int i = 0; i < 12; ++i) {
        adaptations.add("codici", std::to_string(i));
    }
    const std::string text = adaptations.text();
    EXPECT_NE(text.find("- codici: 12\n"), std::string::npos);
    EXPECT_NE(text.find("    9\n    ... e altri 2\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("    10\n"), std::string::npos);
}

TEST(TextFitting, CodesThatDoNotFitOrRepeatGetANumberedSuffix) {
    Adaptations adaptations;
    CodeSet codes;
    const auto code = [&](std::string_view text) {
        return codes.uniqueCode(text, 10, "codici corsa", adaptations);
    };
    EXPECT_EQ(code("C1"), "C1");
    EXPECT_EQ(code("C1"), "C1~1");
    EXPECT_EQ(code("C1"), "C1~2");
    EXPECT_EQ(code("una-corsa-molto-lunga"), "una-cors~1");
    EXPECT_EQ(code("una-corsa-molto-lunga"), "una-cors~2");
    EXPECT_EQ(code("una-corsa-diversa"), "una-cors~3");
    EXPECT_EQ(code("Fermata✈"), "Fermata?~1");
    EXPECT_EQ(code(""), "~1");
    // A code the feed gives as it is takes its place among the generated ones.
    EXPECT_EQ(code("una-cors~4"), "una-cors~4");
    for (int n = 5; n <= 9; ++n) {
        EXPECT_EQ(code("una-corsa-molto-lunga"), "una-cors~" + std::to_string(n));
    }
    // Two digits leave room for one character less.
    EXPECT_EQ(code("una-corsa-molto-lunga"), "una-cor~10");
    EXPECT_EQ(code("una-corsa-molto-lunga"), "una-cor~11");
    const std::string text = adaptations.text();
    EXPECT_NE(text.find("- codici corsa sostituiti da un codice generato (lunghi più di 10 "
                        "caratteri, duplicati o non rappresentabili): 14\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("    \"Fermata✈\" -> \"Fermata?~1\"\n"), std::string::npos) << text;
}

// A trip running every second for two days gives 172,800 departures whose codes all begin alike
// once cut to 20 characters: each must still be found at once, not after trying every number
// already given.
TEST(TextFitting, ManyCodesThatBeginAlikeAreGivenAtOnce) {
    Adaptations adaptations;
    CodeSet codes;
    std::unordered_set<std::string> given;
    std::string last;
    for (int n = 1; n <= 100000; ++n) {
        last = codes.uniqueCode("corsa-frequente-lunga@0600", 20, "codici corsa", adaptations);
        given.insert(last);
    }
    EXPECT_EQ(last, "corsa-frequen~100000");
    // Other texts of the same beginning go on after them.
    for (int n = 1; n <= 100000; ++n) {
        last = codes.uniqueCode(
            fmt::format("corsa-frequente-lunga-{}", n), 20, "codici corsa", adaptations);
        given.insert(last);
    }
    EXPECT_EQ(last, "corsa-frequen~200000");
    EXPECT_EQ(given.size(), 200000u);
    EXPECT_NE(adaptations.text().find("): 200000\n"), std::string::npos);
}

} // namespace
} // namespace tramela::comm::gtfs
