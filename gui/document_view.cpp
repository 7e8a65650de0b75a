// The desktop application's view of printed reports: the print preview and the print, both
// drawn by the document painter from the document the command built.

#include "gui/document_painter.h"
#include "gui/qt_ui.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace tramela::gui {

ui::Outcome QtUi::ShowDocument(const reports::ReportDocument& document, reports::PrintMode mode) {
    if (m_mode == Mode::Unattended) {
        Message(reports::kCannotAttach, ui::Icon::Information);
        return ui::Outcome::Failed;
    }
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, document);
    if (mode == reports::PrintMode::Preview) {
        QPrintPreviewDialog preview(&printer, dialogOwner());
        preview.setWindowTitle(QString::fromStdString(document.title));
        QObject::connect(&preview,
                         &QPrintPreviewDialog::paintRequested,
                         [&document](QPrinter* target) { paintDocument(*target, document); });
        runModal(preview);
        return ui::Outcome::Done;
    }
    QPrintDialog dialog(&printer, dialogOwner());
    dialog.setWindowTitle(QString::fromStdString(document.title));
    if (runModal(dialog) != QDialog::Accepted) {
        return ui::Outcome::Cancelled;
    }
    if (!printer.isValid()) {
        Message(reports::kPrinterUnavailable, ui::Icon::Exclamation);
        return ui::Outcome::Failed;
    }
    paintDocument(printer, document);
    return ui::Outcome::Done;
}

} // namespace tramela::gui
