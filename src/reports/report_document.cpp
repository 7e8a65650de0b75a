#include "reports/report_document.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <numeric>

namespace tramela::reports {

PageGeometry PageGeometry::landscape() {
    PageGeometry geometry;
    std::swap(geometry.width, geometry.height);
    return geometry;
}

double ReportDocument::headerHeight() const {
    return static_cast<double>(headingLines()) * geometry.headingLineHeight +
           geometry.rowHeight * 1.5;
}

std::size_t ReportDocument::rowsPerPage() const {
    const double room = geometry.height - 2 * geometry.margin - headerHeight();
    const double fitting = std::floor(room / geometry.rowHeight);
    return fitting < 1 ? 1 : static_cast<std::size_t>(fitting);
}

std::vector<double> ReportDocument::columnWidths() const {
    const double total =
        std::accumulate(columns.begin(), columns.end(), 0.0, [](double sum, const Column& column) {
            return sum + std::max(column.width, 0.0);
        });
    std::vector<double> widths;
    widths.reserve(columns.size());
    for (const Column& column : columns) {
        widths.push_back(total > 0 ? printableWidth() * std::max(column.width, 0.0) / total
                                   : printableWidth() / static_cast<double>(columns.size()));
    }
    return widths;
}

std::vector<Page> paginate(const ReportDocument& document) {
    const std::size_t perPage = document.rowsPerPage();
    std::vector<Page> pages;
    for (std::size_t first = 0; first < document.rows.size(); first += perPage) {
        pages.push_back({static_cast<int>(pages.size()) + 1,
                         first,
                         std::min(first + perPage, document.rows.size())});
    }
    if (pages.empty()) {
        pages.push_back({});
    }
    return pages;
}

std::string printedCell(const ReportDocument& document, const Row& row, std::size_t column) {
    std::string text = column < row.cells.size() ? row.cells[column] : std::string();
    if (column >= document.columns.size() || document.columns[column].printedUnit.empty() ||
        text.empty()) {
        return text;
    }
    // A figure starts with its sign or a digit; words ("non calcolabile") take no unit.
    const char first = text.front();
    if (first == '+' || first == '-' || (first >= '0' && first <= '9')) {
        text += document.columns[column].printedUnit;
    }
    return text;
}

std::string pageNumberText(int page, int pages) {
    return fmt::format("Pag. {} di {}", page, pages);
}

std::string printedAtText(const workspace::ReportTime& time) {
    return fmt::format(
        "{:02}/{:02}/{:04} {:02}:{:02}", time.day, time.month, time.year, time.hour, time.minute);
}

namespace {

// Characters shown, not bytes: the texts are UTF-8.
std::size_t displayWidth(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string padded(std::string_view text, std::size_t width, Align align) {
    const std::size_t shown = displayWidth(text);
    const std::size_t fill = width > shown ? width - shown : 0;
    switch (align) {
    case Align::Right:
        return std::string(fill, ' ') + std::string(text);
    case Align::Center:
        return std::string(fill / 2, ' ') + std::string(text) + std::string(fill - fill / 2, ' ');
    case Align::Left:
        break;
    }
    return std::string(text) + std::string(fill, ' ');
}

std::vector<std::string> printedCells(const ReportDocument& document, const Row& row) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < document.columns.size(); ++i) {
        cells.push_back(printedCell(document, row, i));
    }
    return cells;
}

std::string textLine(const std::vector<std::string>& cells,
                     const std::vector<std::size_t>& widths,
                     const std::vector<Column>& columns) {
    std::string line;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            line += "  ";
        }
        line += padded(i < cells.size() ? cells[i] : std::string(), widths[i], columns[i].align);
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

} // namespace

std::string documentText(const ReportDocument& document) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(document.rows.size());
    for (const Row& row : document.rows) {
        rows.push_back(printedCells(document, row));
    }
    std::vector<std::size_t> widths;
    for (std::size_t i = 0; i < document.columns.size(); ++i) {
        std::size_t width = displayWidth(document.columns[i].caption);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (!document.rows[r].spans) {
                width = std::max(width, displayWidth(rows[r][i]));
            }
        }
        widths.push_back(width);
    }
    std::string text;
    if (!document.title.empty()) {
        text += document.title + '\n';
    }
    text += document.heading + "  " + printedAtText(document.printedAt) + '\n';
    for (const std::string& line : document.subheading) {
        text += line + '\n';
    }
    text += '\n';
    std::vector<std::string> captions;
    for (const Column& column : document.columns) {
        captions.push_back(column.caption);
    }
    const std::string captionLine = textLine(captions, widths, document.columns);
    text += captionLine + '\n' + std::string(displayWidth(captionLine), '-') + '\n';
    for (std::size_t r = 0; r < document.rows.size(); ++r) {
        if (document.rows[r].total) {
            text += std::string(displayWidth(captionLine), '-') + '\n';
        }
        const Row& row = document.rows[r];
        if (row.spans) {
            text += (row.cells.empty() ? std::string() : row.cells[0]) + '\n';
        } else {
            text += textLine(rows[r], widths, document.columns) + '\n';
        }
    }
    return text;
}

} // namespace tramela::reports
