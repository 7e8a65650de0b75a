#pragma once

#include "reports/boards/board_model.h"
#include "reports/report_document.h"
#include "ui/ui.h"

#include <cstddef>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// The printed boards: one route after another on A4 turned on its side, a few trips at a time.
// Each block opens with the route's title and the rows "ID Corsa", "Nota Cadenza" and "Linea",
// then one row per stop (code, name, the trips' times) shaded by the kind of stop, the five
// totals and the legend of the block's notes. A block starts on a new page when it does not fit
// on what is left of the current one, and repeats its opening rows on every page it runs on.
inline constexpr std::size_t kPrintedTripsPerBlock = 5;

ReportDocument boardDocument(ReportDocument document, const BoardSet& set);

// "Quadri Orari (&Carta)": the boards to print, how to print them, then the pages previewed or
// printed.
ui::Outcome PrintBoards(workspace::Workspace& workspace);

} // namespace tramela::reports
