#include "comm/gtfs/feed_reader.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::comm::gtfs {
namespace {

// The records of a CSV text as "line:a|b|c" each on a line, the columns asked for being "a",
// "b" and "c"; or the fault as "!line: text".
std::string records(std::string_view text) {
    std::string out;
    FeedError error;
    const bool read = readCsv(
        CsvInput("prova.txt", text),
        {"a", "b", "c"},
        1,
        [&](const CsvRecord& r, FeedError&) {
            out += fmt::format("{}:{}|{}|{}\n", r.line(), r[0], r[1], r[2]);
            return true;
        },
        error);
    if (!read) {
        out += fmt::format("!{}: {}\n", error.line, error.text);
    }
    return out;
}

TEST(FeedReader, QuotedFieldsHoldCommasQuotesAndLineEnds) {
    EXPECT_EQ(records("\xEF\xBB\xBF"
                      "c, a ,b\r\n"
                      "3,  uno due  ,\"x, \"\"y\"\"\"\r\n"
                      "\"a\nb\" ,\"\",2\n"),
              "2:uno due|x, \"y\"|3\n"
              "3:|2|a\nb\n");
    // Blank lines are skipped; lines are counted as an editor counts them, whatever ends them.
    EXPECT_EQ(records("a,b\n\n1,2\r\n   \r\n3,4\r5,6"), "3:1|2|\n5:3|4|\n6:5|6|\n");
    EXPECT_EQ(records("a\n\"x\"\"\""), "2:x\"||\n");
    EXPECT_EQ(records("b\n1\n"), "!1: manca la colonna obbligatoria \"a\"\n");
    EXPECT_EQ(records("\n  \n"), "!0: il file è vuoto (manca la riga di intestazione)\n");
}

// A stray quote used to swallow the lines after it into one field, and the fault was reported
// as whatever the shortened record then lacked.
TEST(FeedReader, QuotesThatDoNotCloseAreRefusedWhereTheFieldBegins) {
    EXPECT_EQ(records("a,b,c\n1,2,3\n4,\"cinque,6\n7,8,9\n"),
              "2:1|2|3\n"
              "!3: virgolette non chiuse nel campo \"b\": il campo prosegue fino alla fine del "
              "file\n");
    EXPECT_EQ(records("a,b,c\n1,\"Piazza \"Duomo\"\",3\n"),
              "!2: virgolette non chiuse nel campo \"b\" (le virgolette dentro un campo tra "
              "virgolette vanno raddoppiate)\n");
    EXPECT_EQ(records("a,b,c\n1,\"Piazza\" \"Duomo\",3\n"),
              "!2: virgolette non chiuse nel campo \"b\" (le virgolette dentro un campo tra "
              "virgolette vanno raddoppiate)\n");
    // Blanks after the closing quote are no fault.
    EXPECT_EQ(records("a,b,c\n1,\"Duomo\"  ,3\n"), "2:1|Duomo|3\n");
}

// A zip of a megabyte can hold a gigabyte of one field: what is held while reading is bounded.
TEST(FeedReader, FieldsAndLinesBeyondTheirLimitAreRefused) {
    const std::string longField(std::size_t{1} << 20, 'x');
    EXPECT_EQ(records("a,b\n1," + longField + "\n"), "2:1|" + longField + "|\n");
    EXPECT_EQ(records("a,b\n1,\"" + longField + "x"),
              "!2: il campo \"b\" è più lungo di 1 MB (virgolette non chiuse?)\n");
    EXPECT_EQ(records("a,b,c\n1,2,3\n" + longField + "y,2\n"),
              "2:1|2|3\n!3: il campo \"a\" è più lungo di 1 MB\n");
    std::string longLine = "a\n";
    for (int i = 0; i < 5; ++i) {
        longLine += std::string(std::size_t{1} << 19, 'z') + ",";
        longLine += std::string(std::size_t{1} << 19, 'z') + ",";
    }
    EXPECT_EQ(records(longLine), "!2: la riga è più lunga di 4 MB: il file non è un CSV valido\n");
}

} // namespace
} // namespace tramela::comm::gtfs
