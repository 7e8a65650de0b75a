#pragma once

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm {

// The importers of the record files of the text communication. Each checks the whole file
// first and writes only when nothing blocks it (and the user goes on past remediable problems),
// inside one transaction; it ends with its closing message, which the combined import
// (`completeImport`) shows only on failure. True when every line read was written.
//
// Alone, each asks for its file. In the combined import the protocol and the cadences still ask
// and remember the folder of the chosen file; the calendar, the periods and the extended codes
// take their fixed name in that folder.
bool ImportProtocol(workspace::Workspace& window, bool completeImport); // RT_PROTO.TXT -> master
bool ImportCadences(workspace::Workspace& window, bool completeImport); // RT_CADEN.TXT -> cadenz
bool ImportCalendar(workspace::Workspace& window, bool completeImport); // RT_CALEN.TXT -> calend
bool ImportPeriods(workspace::Workspace& window, bool completeImport);  // RT_PERIOD.TXT -> period
bool ImportExtendedCodes(workspace::Workspace& window,
                         bool completeImport); // RT_EXTCOD.TXT -> extcod

} // namespace tramela::comm
