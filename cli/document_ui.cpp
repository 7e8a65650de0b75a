#include "document_ui.h"

#include "pdf/pdf_writer.h"
#include "reports/pdf_option.h"

#include <iostream>

namespace tramela::cli {

DocumentCliUi::DocumentCliUi(Answer answer, Terminals terminals)
    : DocumentCliUi(answer, terminals, std::cout, std::cerr, std::cin) {}

DocumentCliUi::DocumentCliUi(
    Answer answer, Terminals terminals, std::ostream& out, std::ostream& err, std::istream& in)
    : CliUi(answer, terminals, out, err, in)
    , m_documentOut(out) {}

ui::Outcome DocumentCliUi::ShowDocument(const reports::ReportDocument& document,
                                        reports::PrintMode /*mode*/) {
    ui::FileDialog dialog;
    dialog.key = reports::kPdfKey;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.title = document.title;
    dialog.defaultExtension = "pdf";
    dialog.filters = {{"PDF (*.pdf)", "*.pdf"}};
    const std::optional<std::filesystem::path> pdf = SaveFile(dialog);
    if (!pdf) {
        m_documentOut << reports::documentText(document) << std::flush;
        return ui::Outcome::Done;
    }
    for (const std::filesystem::path& input : m_inputs) {
        std::error_code error;
        if (!input.empty() && std::filesystem::equivalent(*pdf, input, error)) {
            Message("Impossibile creare\n\n" + pdf->string() +
                        "\n\nIl file è uno dei dati letti e non viene sovrascritto.",
                    ui::Icon::Stop);
            return ui::Outcome::Failed;
        }
    }
    return pdf::writePdf(document, *pdf, *this) ? ui::Outcome::Done : ui::Outcome::Failed;
}

} // namespace tramela::cli
