#pragma once

#include "reports/report_document.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tramela::ui {
class Ui;
}

namespace tramela::pdf {

// The pages of a report document as a PDF, drawn with cairo and pango in "Arial" (Liberation
// Sans where Arial is not installed: the same metrics). Nothing when cairo failed.
std::optional<std::string> renderPdf(const reports::ReportDocument& document);

// Writes the PDF through the workspace's safe file writing (a temporary name, renamed when
// complete); false when it could not be drawn or written, said through the Ui.
bool writePdf(const reports::ReportDocument& document,
              const std::filesystem::path& path,
              ui::Ui& ui);

} // namespace tramela::pdf
