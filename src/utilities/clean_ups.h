#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::utilities {

// The clean-ups of what no timetable uses any more, and of the trips of one validity period.
// Each writes in one transaction and ends with a message box; a deletion the tables refuse (a
// row still referenced elsewhere) is shown by the table layer, skipped and not counted, and a
// failure or a cancel deletes nothing.

// "Pulizia Corse Standard inutilizzate": the standard trips no trip uses, with their stop rows.
ui::Outcome CleanStandardTrips(workspace::Workspace& window);

// "Pulizia Fermate inutilizzate", after a confirmation (ui::keys::kProceed): the stops that no
// standard trip and no route passes.
ui::Outcome CleanStops(workspace::Workspace& window);

// "Pulizia Percorsi inutilizzati", after a confirmation (ui::keys::kProceed): the routes that no
// trip and no standard trip uses, with their stops along the route and their geometry.
ui::Outcome CleanRoutes(workspace::Workspace& window);

// "Pulizia Corse x Periodo": the dialog kPeriodFormId asks for the two days (typed dates in
// kPeriodStartField and kPeriodEndField); the trips having a validity period from exactly the
// one to exactly the other are deleted, after a confirmation (ui::keys::kProceed) that counts
// them, with all their periods and their extended codes.
inline constexpr std::string_view kPeriodFormId = "clean-period";
inline constexpr std::string_view kPeriodStartField = "start";
inline constexpr std::string_view kPeriodEndField = "end";
ui::Outcome CleanPeriod(workspace::Workspace& window);

} // namespace tramela::utilities
