// The paged document model: pagination by the page's height, the page texts, the text form.

#include "reports/report_document.h"

#include <gtest/gtest.h>

namespace tramela::reports {
namespace {

ReportDocument numbered(std::size_t rows) {
    ReportDocument document;
    document.title = "Rubrica";
    document.heading = "Tramela";
    document.columns = {{"N", 1, Align::Right}, {"Testo", 3, Align::Left}};
    for (std::size_t i = 0; i < rows; ++i) {
        document.rows.push_back({{std::to_string(i + 1), "riga"}});
    }
    return document;
}

TEST(ReportDocument, PagesHoldWhatFitsUnderTheHeading) {
    ReportDocument document = numbered(0);
    // A4 portrait, 10 mm margins: 785.19 pt; heading 2 lines of 15 pt and captions of 18 pt
    // leave 737.19 pt, 61 rows of 12 pt.
    EXPECT_EQ(document.rowsPerPage(), 61u);
    document.subheading = {"Azienda", "Base"};
    EXPECT_EQ(document.rowsPerPage(), 58u) << "each line under the heading costs a row and more";
    document.geometry = PageGeometry::landscape();
    EXPECT_EQ(document.rowsPerPage(), 38u);

    const std::vector<Page> empty = paginate(numbered(0));
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].first, empty[0].end);

    const std::vector<Page> pages = paginate(numbered(123));
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[1].number, 2);
    EXPECT_EQ(pages[1].first, 61u);
    EXPECT_EQ(pages[1].end, 122u);
    EXPECT_EQ(pages[2].end - pages[2].first, 1u);

    // A page too short for one row still holds one: no endless run of empty pages.
    ReportDocument tiny = numbered(2);
    tiny.geometry.height = 10;
    EXPECT_EQ(paginate(tiny).size(), 2u);
}

TEST(ReportDocument, PageTextsAndTheTextForm) {
    EXPECT_EQ(pageNumberText(1, 2), "Pag. 1 di 2");
    EXPECT_EQ(printedAtText({7, 3, 2026, 9, 5}), "07/03/2026 09:05");

    ReportDocument document = numbered(0);
    document.printedAt = {7, 3, 2026, 9, 5};
    document.subheading = {"Azienda Non Definita"};
    document.rows = {
        {{"9", "Università"}}, {{"10", "b"}}, {{"19", "Totale"}, Shading::White, true}};
    // Widths count characters, not bytes: "Università" is ten wide.
    EXPECT_EQ(documentText(document),
              "Rubrica\n"
              "Tramela  07/03/2026 09:05\n"
              "Azienda Non Definita\n"
              "\n"
              " N  Testo\n"
              "---------\n"
              " 9  Università\n"
              "10  b\n"
              "---------\n"
              "19  Totale\n");
    const std::vector<double> widths = numbered(0).columnWidths();
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_DOUBLE_EQ(widths[0], (595.28 - 2 * 28.35) / 4);
    EXPECT_DOUBLE_EQ(widths[1], (595.28 - 2 * 28.35) * 3 / 4);
}

} // namespace
} // namespace tramela::reports
