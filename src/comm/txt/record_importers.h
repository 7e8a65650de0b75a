#pragma once

#include "ui/ui.h"

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm {

// The importers of the record files of the text communication. Each checks the whole file
// first and writes only when nothing blocks it (and the user goes on past remediable problems),
// inside one transaction; it ends with its closing message, which the combined import
// (`completeImport`) shows only on failure. Done when every line read was written; Cancelled when
// the file was not chosen or the user did not go on past remediable problems.
//
// Alone, each asks for its file. In the combined import the protocol and the cadences still ask
// and remember the folder of the chosen file; the calendar, the periods and the extended codes
// take their fixed name in that folder.
ui::Outcome ImportProtocol(workspace::Workspace& window,
                           bool completeImport); // RT_PROTO.TXT -> master
ui::Outcome ImportCadences(workspace::Workspace& window,
                           bool completeImport); // RT_CADEN.TXT -> cadenz
ui::Outcome ImportCalendar(workspace::Workspace& window,
                           bool completeImport); // RT_CALEN.TXT -> calend
ui::Outcome ImportPeriods(workspace::Workspace& window,
                          bool completeImport); // RT_PERIOD.TXT -> period
ui::Outcome ImportExtendedCodes(workspace::Workspace& window,
                                bool completeImport); // RT_EXTCOD.TXT -> extcod

} // namespace tramela::comm
