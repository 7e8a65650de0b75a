#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm {

// The menu's "&Esportazione dati (VKZ-TXT)": checks the master record, runs the formal
// verification, asks for the folder, writes the two shapefiles, the seven record files and the
// three side files into it, and tells how many records went into each. The folder is chosen
// through a file in it (the question kFolderKey), the verification report is offered as
// ui::keys::kReport.
inline constexpr std::string_view kFolderKey = "folder";
ui::Outcome ExportTxt(workspace::Workspace& window);

} // namespace tramela::comm
