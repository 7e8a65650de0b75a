#include "pdf/pdf_writer.h"

#include "ui/ui.h"
#include "workspace/text_output.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <memory>
#include <pango/pangocairo.h>

namespace tramela::pdf {

namespace {

using reports::Align;
using reports::ReportDocument;
using reports::Row;
using reports::Shading;

constexpr double kCellPadding = 2;

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

struct FontDeleter {
    void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};

using Font = std::unique_ptr<PangoFontDescription, FontDeleter>;

Font arial(double size, bool bold) {
    Font font(pango_font_description_from_string("Arial"));
    pango_font_description_set_absolute_size(font.get(), size * PANGO_SCALE);
    pango_font_description_set_weight(font.get(), bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    return font;
}

// Draws the pages of one document on one cairo context.
class PageDrawer {
public:
    PageDrawer(cairo_t* cairo, const ReportDocument& document)
        : m_cairo(cairo)
        , m_document(document)
        , m_layout(pango_cairo_create_layout(cairo))
        , m_regular(arial(document.geometry.fontSize, false))
        , m_bold(arial(document.geometry.fontSize, true))
        , m_heading(arial(document.geometry.headingFontSize, true))
        , m_widths(document.columnWidths()) {
        pango_layout_set_ellipsize(m_layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_single_paragraph_mode(m_layout, TRUE);
    }

    ~PageDrawer() { g_object_unref(m_layout); }

    PageDrawer(const PageDrawer&) = delete;
    PageDrawer& operator=(const PageDrawer&) = delete;

    void draw(const reports::Page& page, int pages) {
        const reports::PageGeometry& geometry = m_document.geometry;
        const double left = geometry.margin;
        const double width = m_document.printableWidth();
        double y = geometry.margin;
        // The heading: the system's title and the page number, the register's title and the
        // time of printing, then the lines under them.
        text(m_document.heading, m_heading.get(), left, y, width, Align::Left);
        text(reports::pageNumberText(page.number, pages),
             m_heading.get(),
             left,
             y,
             width,
             Align::Right);
        y += geometry.headingLineHeight;
        text(m_document.title, m_bold.get(), left, y, width, Align::Left);
        text(reports::printedAtText(m_document.printedAt),
             m_regular.get(),
             left,
             y,
             width,
             Align::Right);
        y += geometry.headingLineHeight;
        for (const std::string& line : m_document.subheading) {
            text(line, m_regular.get(), left, y, width, Align::Left);
            y += geometry.headingLineHeight;
        }
        // The column captions on a light ground, between rules.
        fill(left, y, width, geometry.rowHeight * 1.5, 0.85);
        double x = left;
        for (std::size_t i = 0; i < m_document.columns.size(); ++i) {
            const reports::Column& column = m_document.columns[i];
            text(column.caption,
                 m_bold.get(),
                 x + kCellPadding,
                 y + geometry.rowHeight * 0.25,
                 m_widths[i] - 2 * kCellPadding,
                 column.align);
            x += m_widths[i];
        }
        rule(left, y, width);
        y += geometry.rowHeight * 1.5;
        rule(left, y, width);
        for (std::size_t r = page.first; r < page.end; ++r) {
            drawRow(m_document.rows[r], left, y);
            y += geometry.rowHeight;
        }
    }

private:
    void drawRow(const Row& row, double left, double y) {
        const double height = m_document.geometry.rowHeight;
        switch (row.shading) {
        case Shading::LightGrey:
            fill(left, y, m_document.printableWidth(), height, 192.0 / 255);
            break;
        case Shading::Grey:
            fill(left, y, m_document.printableWidth(), height, 128.0 / 255);
            break;
        case Shading::White:
            break;
        }
        if (row.total) {
            rule(left, y, m_document.printableWidth());
        }
        if (row.spans && !row.cells.empty()) {
            text(row.cells[0],
                 m_bold.get(),
                 left + kCellPadding,
                 y + 1,
                 m_document.printableWidth() - 2 * kCellPadding,
                 Align::Left);
            return;
        }
        double x = left;
        for (std::size_t i = 0; i < m_document.columns.size(); ++i) {
            if (i < row.cells.size() && !row.cells[i].empty()) {
                text(printedCell(m_document, row, i),
                     row.total ? m_bold.get() : m_regular.get(),
                     x + kCellPadding,
                     y + 1,
                     m_widths[i] - 2 * kCellPadding,
                     m_document.columns[i].align);
            }
            x += m_widths[i];
        }
    }

    void text(const std::string& value,
              const PangoFontDescription* font,
              double x,
              double y,
              double width,
              Align align) {
        pango_layout_set_font_description(m_layout, font);
        pango_layout_set_width(m_layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_alignment(m_layout,
                                   align == Align::Right    ? PANGO_ALIGN_RIGHT
                                   : align == Align::Center ? PANGO_ALIGN_CENTER
                                                            : PANGO_ALIGN_LEFT);
        pango_layout_set_text(m_layout, value.data(), static_cast<int>(value.size()));
        cairo_set_source_rgb(m_cairo, 0, 0, 0);
        cairo_move_to(m_cairo, x, y);
        pango_cairo_show_layout(m_cairo, m_layout);
    }

    void fill(double x, double y, double width, double height, double grey) {
        cairo_set_source_rgb(m_cairo, grey, grey, grey);
        cairo_rectangle(m_cairo, x, y, width, height);
        cairo_fill(m_cairo);
    }

    void rule(double x, double y, double width) {
        cairo_set_source_rgb(m_cairo, 0, 0, 0);
        cairo_set_line_width(m_cairo, 0.5);
        cairo_move_to(m_cairo, x, y);
        cairo_line_to(m_cairo, x + width, y);
        cairo_stroke(m_cairo);
    }

    cairo_t* m_cairo;
    const ReportDocument& m_document;
    PangoLayout* m_layout;
    Font m_regular;
    Font m_bold;
    Font m_heading;
    std::vector<double> m_widths;
};

} // namespace

std::optional<std::string> renderPdf(const ReportDocument& document) {
    std::string bytes;
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
        appendBytes, &bytes, document.geometry.width, document.geometry.height);
    cairo_t* cairo = cairo_create(surface);
    {
        const std::vector<reports::Page> pages = reports::paginate(document);
        PageDrawer drawer(cairo, document);
        for (const reports::Page& page : pages) {
            drawer.draw(page, static_cast<int>(pages.size()));
            cairo_show_page(cairo);
        }
    }
    const bool drawn = cairo_status(cairo) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cairo);
    cairo_surface_finish(surface);
    const bool finished = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!drawn || !finished) {
        return std::nullopt;
    }
    return bytes;
}

bool writePdf(const ReportDocument& document, const std::filesystem::path& path, ui::Ui& ui) {
    const std::optional<std::string> bytes = renderPdf(document);
    if (!bytes) {
        ui.Message("Errore durante la scrittura del file\n\n" + path.string(),
                   ui::Icon::Exclamation);
        return false;
    }
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, path, ui)) {
        return false;
    }
    writer.write(*bytes);
    return workspace::closeOrReport(writer, path, ui);
}

} // namespace tramela::pdf
