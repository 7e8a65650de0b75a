// The command table's printed reports: the lists of cadences and calendar, the timetable boards,
// the contract totals and the distance registers. A printed one builds its report document and
// hands it to the front end, which previews, prints or writes it.

#include "app/analysis_commands.h"
#include "app/board_commands.h"
#include "app/command_sections.h"
#include "app/parameters.h"
#include "reports/boards/board_files.h"
#include "reports/boards/board_print.h"
#include "reports/pdf_option.h"
#include "reports/registers/distance_registers.h"
#include "reports/registers/printed_lists.h"

namespace tramela::app {

namespace {

Parameter pdfOption() {
    return parameters::fileOption(
        "--pdf", reports::kPdfKey, "Scrive le pagine in questo file PDF (senza: testo su stdout)");
}

Parameter printFlag() {
    return parameters::fieldFlag("--print",
                                 reports::kPrintTypeFormId,
                                 reports::kPrintModeField,
                                 "Stampa",
                                 "Tipo stampa \"Stampa\" invece di \"Anteprima di stampa\"");
}

// A command whose report is also a document: its pages as PDF, or printed without preview.
Command withDocumentOptions(Command command) {
    command.parameters.push_back(pdfOption());
    command.parameters.push_back(printFlag());
    return command;
}

} // namespace

std::vector<Command> reportCommands() {
    return {
        {.menuId = 5113,
         .label = "rubrica Ca&denze",
         .cli = "print-cadences",
         .help = "Stampa la rubrica delle cadenze",
         .parameters = {pdfOption()},
         .entry = reports::PrintCadences},
        {.menuId = 5114,
         .label = "rubrica Ca&lendario",
         .cli = "print-calendar",
         .help = "Stampa il calendario del periodo di comunicazione, giorno per giorno",
         .parameters = {pdfOption()},
         .entry = reports::PrintCalendar},
        {.menuId = 5141,
         .label = "Quadri Orari (&Carta)",
         .cli = "boards-print",
         .help = "Stampa i quadri orari, un percorso dopo l'altro",
         .parameters = printedBoardParameters(pdfOption(), printFlag()),
         .entry = reports::PrintBoards},
        {.menuId = 5142,
         .label = "Quadri Orari (&Txt/Tab)",
         .cli = "boards-txt",
         .help = "Scrive un quadro orario per percorso (Q#####.TXT), testo separato da "
                 "tabulazioni",
         .parameters = boardParameters("QuadriOrari.txt"),
         .entry = reports::ExportTextBoards},
        {.menuId = 5143,
         .label = "Quadri Orari (&Html)",
         .cli = "boards-html",
         .help = "Scrive una pagina per percorso (Q#####.HTM) e l'indice INDEX.HTM",
         .parameters = boardParameters("QuadriOrari.htm"),
         .entry = reports::ExportHtmlBoards},
        withDocumentOptions(contractsCommand()),
        {.menuId = 5132,
         .label = "verifica congruenza &Distanze",
         .cli = "distance-register",
         .help = "Stampa il confronto tra lunghezza convenzionale e cartografica dei percorsi",
         .parameters = {pdfOption(), printFlag()},
         .entry = reports::DistanceRegister},
        {.menuId = 5145,
         .label = "verifica &Errori Progressive",
         .cli = "progressive-errors",
         .help = "Stampa le fermate dei percorsi con progressive errate",
         .parameters = {pdfOption(), printFlag()},
         .entry = reports::ProgressiveErrors},
    };
}

} // namespace tramela::app
