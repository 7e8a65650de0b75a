#pragma once

#include "workspace/report_header.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::reports {

// A printed report as data: what every page shows and the rows it lists, with no drawing in it.
// The desktop application previews and prints it, the command line writes it as PDF or as text;
// each front end draws the same pages from the same geometry.

enum class Align { Left, Right, Center };

// The ground of a row: white, light grey (192,192,192) or grey (128,128,128).
enum class Shading { White, LightGrey, Grey };

struct Column {
    std::string caption;
    double width = 1; // a share of the printable width, relative to the other columns
    Align align = Align::Left;
    // Written after each figure of the column on paper and not in a register window: "%" after
    // a deviation printed as "+2.5%" and shown as "+2.5".
    std::string printedUnit = {};
};

struct Row {
    std::vector<std::string> cells; // one per column; missing cells are empty
    Shading shading = Shading::White;
    bool total = false; // a totals row: drawn in bold under a rule
    // A caption row (the heading of a group of rows): its first cell runs across every column.
    bool spans = false;
};

// The sheet and the sizes of its parts, in points (1/72 inch).
struct PageGeometry {
    double width = 595.28; // A4 portrait
    double height = 841.89;
    double margin = 28.35; // 10 mm all round
    double fontSize = 8;
    double headingFontSize = 10;
    double rowHeight = 12;
    double headingLineHeight = 15;

    // A4 turned on its side, for the registers with many columns.
    static PageGeometry landscape();
};

struct ReportDocument {
    std::string title;                   // the register's title, above the heading
    std::string heading;                 // the line every page opens with
    std::vector<std::string> subheading; // the lines under it (the company, the basis of a sum)
    workspace::ReportTime printedAt;     // shown on every page as "%02d/%02d/%04d %02d:%02d"
    std::vector<Column> columns;
    std::vector<Row> rows;
    PageGeometry geometry;

    // Lines of heading drawn above the column captions on every page.
    std::size_t headingLines() const { return 2 + subheading.size(); }

    // The height of the block above the rows: the heading lines and the captions' row.
    double headerHeight() const;
    // Rows that fit under the header of one page (at least one).
    std::size_t rowsPerPage() const;

    // The printable width and each column's width on it.
    double printableWidth() const { return geometry.width - 2 * geometry.margin; }

    std::vector<double> columnWidths() const;
};

// One page: the rows [first, end) of the document.
struct Page {
    int number = 1;
    std::size_t first = 0;
    std::size_t end = 0;
};

// The pages of the document; one empty page when it has no rows.
std::vector<Page> paginate(const ReportDocument& document);

// A cell as it is printed: with its column's unit after it when it is a figure.
std::string printedCell(const ReportDocument& document, const Row& row, std::size_t column);

// "Pag. 3 di 7".
std::string pageNumberText(int page, int pages);
// "07/12/2026 14:05".
std::string printedAtText(const workspace::ReportTime& time);

// The document as plain text for a terminal: the title, the heading, one line of captions and
// the rows in columns as wide as their widest cell, totals under a rule; no pages.
std::string documentText(const ReportDocument& document);

} // namespace tramela::reports
