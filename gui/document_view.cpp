// The desktop application's view of printed reports: the register's window, from which the
// print preview and the print are drawn by the document painter from the document the command
// built.

#include "gui/document_painter.h"
#include "gui/qt_ui.h"
#include "gui/register_window.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>

namespace tramela::gui {

void QtUi::previewDocument(const reports::ReportDocument& document) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, document);
    QPrintPreviewDialog preview(&printer, dialogOwner());
    preview.setWindowTitle(QString::fromStdString(document.title));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, [&document](QPrinter* target) {
        paintDocument(*target, document);
    });
    runModal(preview);
}

ui::Outcome QtUi::printDocument(const reports::ReportDocument& document) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, document);
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

ui::Outcome QtUi::ShowDocument(const reports::ReportDocument& document, reports::PrintMode mode) {
    if (m_mode == Mode::Unattended) {
        Message(reports::kCannotAttach, ui::Icon::Information);
        return ui::Outcome::Failed;
    }
    // The register opens in its window and the way the user chose runs over it at once; the
    // window then stays for another look or another print until it is closed. The command's
    // outcome is the last print's, or done when the pages were only seen.
    ui::Outcome outcome = ui::Outcome::Done;
    const auto preview = [this, &document] { previewDocument(document); };
    const auto print = [this, &document, &outcome] { outcome = printDocument(document); };
    RegisterWindow window(document, preview, print, dialogOwner());
    if (mode == reports::PrintMode::Preview) {
        QTimer::singleShot(0, &window, preview);
    } else {
        QTimer::singleShot(0, &window, print);
    }
    runModal(window);
    return outcome;
}

} // namespace tramela::gui
