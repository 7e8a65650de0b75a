#pragma once

#include "ui/ui.h"

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm {

// The trip import: RT_HDORA.TXT (one header per trip) and RT_DTORA.TXT (the clock times of every
// trip at every stop), each checked line by line before anything is read into the image. Every
// trip is then matched with the route its code names; the trips that agree with their route get
// a standard trip (shared with an earlier trip of the same route and the same relative times),
// and the standard trips, the primary and optional flags of the route stops and the trips are
// written in one transaction. It ends with its counts, shown also in the combined import.
//
// Alone it asks for the header file, reads it, then asks for the detail file; in the combined
// import (`completeImport`) both files are taken from the remembered folder. Done when the trips
// that agree with their routes were all written; Cancelled when a file was not chosen or the user
// did not go on past its remediable problems; Failed when a file was refused, no trip agrees with
// its route, or the database refused a row. The congruence report is offered as
// network::kCongruenceReportKey, apart from the files' error report (ui::keys::kReport).
ui::Outcome ImportTrips(workspace::Workspace& window, bool completeImport);

// The combined import: protocol, cadences, calendar, trips, periods and extended codes in this
// order, each as a step of the combined import, stopping at the first that fails (what was
// imported before stays). The protocol and the cadences ask for their files; the others are
// taken from the folder of the cadence file. Done when all six succeeded; otherwise the outcome
// of the step that stopped it.
ui::Outcome ImportAll(workspace::Workspace& window);

} // namespace tramela::comm
