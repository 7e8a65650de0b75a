#pragma once

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm {

// The menu's "&Esportazione dati (VKZ-TXT)": checks the master record, runs the formal
// verification, asks for the folder, writes the two shapefiles, the seven record files and the
// three side files into it, and tells how many records went into each.
void ExportTxt(workspace::Workspace& window);

} // namespace tramela::comm
