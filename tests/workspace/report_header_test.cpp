#include "support/golden.h"
#include "support/temp_dir.h"
#include "workspace/report_header.h"

#include <gtest/gtest.h>

namespace tramela::workspace {
namespace {

TEST(ReportHeader, WritesRuleTitleLineRuleAndEmptyLineInLatin1) {
    test::TempDir dir;
    TextFileWriter writer;
    ASSERT_TRUE(writer.open(dir / "report.txt"));
    writeReportHeader(writer, "verifica comunicazione VkzTxt", ReportTime{5, 3, 2024, 7, 9});
    writeReportHeader(writer, "associazione Fermate/Percorso Università", {31, 12, 1999, 23, 59});
    ASSERT_TRUE(writer.close());

    EXPECT_GOLDEN(test::readFile(dir / "report.txt"), "report_header/two_headers.txt");
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

    EXPECT_GOLDEN(test::readFile(dir / "report.txt"), "report_header/extra_lines.txt");
}

} // namespace
} // namespace tramela::workspace
