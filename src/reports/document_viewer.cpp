#include "reports/document_viewer.h"

#include "workspace/company_header.h"
#include "workspace/workspace.h"

#include <charconv>
#include <fmt/format.h>

namespace tramela::reports {

ui::Outcome
presentDocument(workspace::Workspace& workspace, const ReportDocument& document, PrintMode mode) {
    if (document.rows.empty()) {
        workspace.ui().Message(kNothingToPrint, ui::Icon::Information);
        return ui::Outcome::Done;
    }
    auto* viewer = dynamic_cast<DocumentViewer*>(&workspace.ui());
    if (viewer == nullptr) {
        workspace.ui().Message(kCannotAttach, ui::Icon::Information);
        return ui::Outcome::Failed;
    }
    return viewer->ShowDocument(document, mode);
}

std::string companyCaption(workspace::Workspace& workspace) {
    store::DatabaseConnection* connection = workspace.connection();
    if (connection == nullptr) {
        return "Azienda Non Definita";
    }
    const std::optional<workspace::CompanyHeader> header =
        workspace::ReadCompanyHeader(*connection);
    long code = 0;
    if (header) {
        const std::string& text = header->company;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
        if (error != std::errc() || end != text.data() + text.size()) {
            code = 0;
        }
    }
    if (code == 0) {
        return "Azienda Non Definita";
    }
    return fmt::format("Azienda {} - {} [periodo dal {} al {}]",
                       code,
                       header->companyName,
                       header->start,
                       header->end);
}

ReportDocument newDocument(workspace::Workspace& workspace, std::string title) {
    ReportDocument document;
    document.title = std::move(title);
    document.heading = std::string(workspace::Workspace::kDefaultTitle);
    document.subheading.push_back(companyCaption(workspace));
    document.printedAt = workspace::ReportTime::now();
    return document;
}

} // namespace tramela::reports
