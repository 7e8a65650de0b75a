#include "gui/document_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

namespace tramela::gui {

namespace {

using reports::Align;
using reports::ReportDocument;

constexpr double kCellPadding = 2;

QFont arial(double points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Draws in points: the document's geometry, scaled to the device's resolution.
class Painter {
public:
    Painter(QPagedPaintDevice& device, const ReportDocument& document)
        : m_painter(&device)
        , m_document(document)
        , m_scale(device.logicalDpiX() / 72.0)
        , m_widths(document.columnWidths()) {}

    bool isActive() const { return m_painter.isActive(); }

    void page(const reports::Page& page, int pages) {
        const reports::PageGeometry& geometry = m_document.geometry;
        const double left = geometry.margin;
        const double width = m_document.printableWidth();
        const QFont heading = arial(geometry.headingFontSize, true);
        const QFont regular = arial(geometry.fontSize, false);
        const QFont bold = arial(geometry.fontSize, true);
        double y = geometry.margin;
        text(m_document.heading, heading, left, y, width, geometry.headingLineHeight, Align::Left);
        text(reports::pageNumberText(page.number, pages),
             heading,
             left,
             y,
             width,
             geometry.headingLineHeight,
             Align::Right);
        y += geometry.headingLineHeight;
        text(m_document.title, bold, left, y, width, geometry.headingLineHeight, Align::Left);
        text(reports::printedAtText(m_document.printedAt),
             regular,
             left,
             y,
             width,
             geometry.headingLineHeight,
             Align::Right);
        y += geometry.headingLineHeight;
        for (const std::string& line : m_document.subheading) {
            text(line, regular, left, y, width, geometry.headingLineHeight, Align::Left);
            y += geometry.headingLineHeight;
        }
        const double captionHeight = geometry.rowHeight * 1.5;
        fill(left, y, width, captionHeight, QColor(217, 217, 217));
        double x = left;
        for (std::size_t i = 0; i < m_document.columns.size(); ++i) {
            text(m_document.columns[i].caption,
                 bold,
                 x + kCellPadding,
                 y,
                 m_widths[i] - 2 * kCellPadding,
                 captionHeight,
                 m_document.columns[i].align);
            x += m_widths[i];
        }
        rule(left, y, width);
        y += captionHeight;
        rule(left, y, width);
        for (std::size_t r = page.first; r < page.end; ++r) {
            row(m_document.rows[r], left, y, regular, bold);
            y += geometry.rowHeight;
        }
    }

private:
    void
    row(const reports::Row& row, double left, double y, const QFont& regular, const QFont& bold) {
        const double height = m_document.geometry.rowHeight;
        if (row.shading == reports::Shading::LightGrey) {
            fill(left, y, m_document.printableWidth(), height, QColor(192, 192, 192));
        } else if (row.shading == reports::Shading::Grey) {
            fill(left, y, m_document.printableWidth(), height, QColor(128, 128, 128));
        }
        if (row.total) {
            rule(left, y, m_document.printableWidth());
        }
        if (row.spans && !row.cells.empty()) {
            text(row.cells[0],
                 bold,
                 left + kCellPadding,
                 y,
                 m_document.printableWidth() - 2 * kCellPadding,
                 height,
                 reports::Align::Left);
            return;
        }
        double x = left;
        for (std::size_t i = 0; i < m_document.columns.size(); ++i) {
            if (i < row.cells.size()) {
                text(reports::printedCell(m_document, row, i),
                     row.total ? bold : regular,
                     x + kCellPadding,
                     y,
                     m_widths[i] - 2 * kCellPadding,
                     height,
                     m_document.columns[i].align);
            }
            x += m_widths[i];
        }
    }

    QRectF box(double x, double y, double width, double height) const {
        return {x * m_scale, y * m_scale, width * m_scale, height * m_scale};
    }

    void text(const std::string& value,
              const QFont& font,
              double x,
              double y,
              double width,
              double height,
              Align align) {
        m_painter.setFont(font);
        m_painter.setPen(Qt::black);
        const QRectF rect = box(x, y, width, height);
        const QString shown =
            QFontMetricsF(font, m_painter.device())
                .elidedText(QString::fromStdString(value), Qt::ElideRight, rect.width());
        const Qt::Alignment horizontal = align == Align::Right    ? Qt::AlignRight
                                         : align == Align::Center ? Qt::AlignHCenter
                                                                  : Qt::AlignLeft;
        m_painter.drawText(rect, horizontal | Qt::AlignVCenter, shown);
    }

    void fill(double x, double y, double width, double height, const QColor& colour) {
        m_painter.fillRect(box(x, y, width, height), colour);
    }

    void rule(double x, double y, double width) {
        m_painter.setPen(QPen(Qt::black, 0.5 * m_scale));
        m_painter.drawLine(QPointF(x * m_scale, y * m_scale),
                           QPointF((x + width) * m_scale, y * m_scale));
    }

    QPainter m_painter;
    const ReportDocument& m_document;
    double m_scale;
    std::vector<double> m_widths;
};

} // namespace

void preparePrinter(QPrinter& printer, const reports::ReportDocument& document) {
    const bool landscape = document.geometry.width > document.geometry.height;
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(QString::fromStdString(document.title));
}

void paintDocument(QPagedPaintDevice& device, const reports::ReportDocument& document) {
    const std::vector<reports::Page> pages = reports::paginate(document);
    Painter painter(device, document);
    if (!painter.isActive()) {
        return;
    }
    for (const reports::Page& page : pages) {
        if (page.number > 1) {
            device.newPage();
        }
        painter.page(page, static_cast<int>(pages.size()));
    }
}

} // namespace tramela::gui
