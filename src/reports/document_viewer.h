#pragma once

#include "reports/report_document.h"
#include "ui/ui.h"

#include <string>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// How the user asked for a printed report: shown in a print preview, or printed at once.
enum class PrintMode { Preview, Print };

// What a front end that can show printed reports adds to its Ui: the desktop application
// previews and prints the pages, the command line writes them as PDF or as text. A command
// builds its document and hands it over with presentDocument(); it never draws.
class DocumentViewer {
public:
    virtual ~DocumentViewer() = default;
    // Shows or prints the document; says itself what went wrong.
    virtual ui::Outcome ShowDocument(const ReportDocument& document, PrintMode mode) = 0;
};

// Hands a finished document to the front end: a document without rows shows "Non ci sono dati
// da stampare !!!" and prints nothing; a front end that cannot show documents gets "E'
// impossibile associare la stampa !!!\n".
ui::Outcome
presentDocument(workspace::Workspace& workspace, const ReportDocument& document, PrintMode mode);

// The line that names the company under a register's heading: "Azienda %ld - %s [periodo dal %s
// al %s]", or "Azienda Non Definita" when no company is set.
std::string companyCaption(workspace::Workspace& workspace);

// A document with the heading every printed page of the system carries and the company line,
// printed now.
ReportDocument newDocument(workspace::Workspace& workspace, std::string title);

inline constexpr std::string_view kNothingToPrint = "Non ci sono dati da stampare !!!";
inline constexpr std::string_view kCannotAttach = "E' impossibile associare la stampa !!!\n";
inline constexpr std::string_view kPrinterUnavailable =
    "Non è possibile aprire la stampante.\n\n"
    "Verificare l'impostazione della stampante associata\n"
    "all'applicazione e riprovare successivamente.\n";

} // namespace tramela::reports
