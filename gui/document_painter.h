#pragma once

#include "reports/report_document.h"

class QPagedPaintDevice;
class QPrinter;

namespace tramela::gui {

// Sets the printer's sheet as the document's geometry wants it (A4, its orientation, no margins
// of the printer's own: the document keeps its own).
void preparePrinter(QPrinter& printer, const reports::ReportDocument& document);

// Draws every page of the document on a paged device (a printer, a preview), in "Arial", with
// the same geometry as the PDF of the command line.
void paintDocument(QPagedPaintDevice& device, const reports::ReportDocument& document);

} // namespace tramela::gui
