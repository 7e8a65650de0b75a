#include "comm/report_header.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tramela::comm {
namespace {

const std::string kRule(72, '=');

TEST(ReportHeader, WritesRuleTitleLineRuleAndEmptyLineInLatin1) {
    test::TempDir dir;
    TextFileWriter writer;
    ASSERT_TRUE(writer.open(dir / "report.txt"));
    writeReportHeader(writer, "verifica comunicazione VkzTxt", ReportTime{5, 3, 2024, 7, 9});
    writeReportHeader(writer, "associazione Fermate/Percorso Università", {31, 12, 1999, 23, 59});
    ASSERT_TRUE(writer.close());

    EXPECT_EQ(test::readFile(dir / "report.txt"),
              kRule + "\r\n" +
                  "05/03/2024 07.09 Report verifica comunicazione VkzTxt (Tramela)\r\n" + kRule +
                  "\r\n\r\n" + kRule + "\r\n" +
                  "31/12/1999 23.59 Report associazione Fermate/Percorso Universit\xe0 "
                  "(Tramela)\r\n" +
                  kRule + "\r\n\r\n");
}

TEST(ReportHeader, ExtraLinesStandBetweenTheTitleLineAndTheClosingRule) {
    test::TempDir dir;
    TextFileWriter writer;
    ASSERT_TRUE(writer.open(dir / "report.txt"));
    writeReportHeader(writer,
                      "Errori VkzTxt V1",
                      {"Database: /dati/città.sqlite", "File: /dati/RT_CALEN.TXT"},
                      ReportTime{6, 3, 2024, 9, 5});
    ASSERT_TRUE(writer.close());

    EXPECT_EQ(test::readFile(dir / "report.txt"),
              kRule + "\r\n06/03/2024 09.05 Report Errori VkzTxt V1 (Tramela)\r\n" +
                  "Database: /dati/citt\xe0.sqlite\r\nFile: /dati/RT_CALEN.TXT\r\n" + kRule +
                  "\r\n\r\n");
}

} // namespace
} // namespace tramela::comm
