#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::utilities {

// The three bulk commands on the standard lines (reglinee) and on the links of company line codes
// to them (reglklin). Each writes in one transaction and ends with a message box; a row the
// tables refuse is shown by the table layer, skipped and not counted.

// "Identificazione automatica Codifiche Linee Ufficiali": one standard line per (tender lot,
// company line) met in the trips with extended codes, numbered 1, 2, 3... within each lot, with
// the authority of most of its trips, each linked to its company line. Refused when the tables
// already hold standard lines, and when a company line has trips in more than one lot: then the
// save dialog "Report Errori Riscontrati" (the offer ui::keys::kReport) asks where to write the
// report of those trips.
ui::Outcome IdentifyStandardLines(workspace::Workspace& window);

// The railway variant, after a warning to confirm: one standard line "REL_0001", "REL_0002"...
// per distinct route name in name order, all in lot 1 under authority 1, and the line code of
// every trip rewritten to the one of its route's name.
ui::Outcome IdentifyRailwayStandardLines(workspace::Workspace& window);

// "Eliminazione Codifiche Linee Ufficiali": after two confirmations (ui::keys::kProceed, then
// kLastWarningKey), deletes every link and then every standard line; ends on the rows deleted of
// the rows read.
inline constexpr std::string_view kLastWarningKey = "last-warning";
ui::Outcome RemoveStandardLines(workspace::Workspace& window);

} // namespace tramela::utilities
