#pragma once

#include "reports/document_viewer.h"
#include "ui/cli_ui.h"

#include <filesystem>
#include <iosfwd>
#include <vector>

namespace tramela::cli {

// The command line's Ui, which also shows printed reports: as PDF in the file --pdf names, as
// text on standard output without it. The PDF never takes the place of one of the run's inputs.
class DocumentCliUi : public ui::CliUi, public reports::DocumentViewer {
public:
    DocumentCliUi(Answer answer, Terminals terminals);
    DocumentCliUi(
        Answer answer, Terminals terminals, std::ostream& out, std::ostream& err, std::istream& in);

    // Files the run reads (the database): a PDF is never written over them.
    void setInputs(std::vector<std::filesystem::path> inputs) { m_inputs = std::move(inputs); }

    ui::Outcome ShowDocument(const reports::ReportDocument& document,
                             reports::PrintMode mode) override;

private:
    std::ostream& m_documentOut;
    std::vector<std::filesystem::path> m_inputs;
};

} // namespace tramela::cli
