#pragma once

#include "ui/ui.h"

#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm {

// One standard line of a standard lines file with the company line codes linked to it; texts in
// UTF-8 without trailing blanks.
struct StandardLineRecord {
    int lot = 0;
    int id = 0;
    int authority = 0;
    std::string abbreviation;
    std::string name;
    std::string route;
    std::vector<std::string> companyLines;
};

// What a standard lines file holds for one company: its standard lines in file order, and one
// text per line that could not be taken ("riga 4: Identificativo Lotto <1x> non è un numero
// intero").
struct StandardLinesContent {
    std::vector<StandardLineRecord> lines;
    std::vector<std::string> problems;
};

// Reads the bytes of a standard lines file (ISO-8859-1, lines ending in CR LF or LF). A "<T>"
// line of the company opens a standard line; each "<D>" line belongs to the nearest "<T>" line
// above it and is dropped with it when that line is another company's or was refused. Markers
// and other lines are ignored.
StandardLinesContent parseStandardLines(std::string_view bytes, long company);

// The key of both commands' file question.
inline constexpr std::string_view kStandardLinesFileKey = "file";

// "Esportazione Codifiche Linee Ufficiali": writes the standard lines that have company lines
// linked, each followed by its links, to the file the user chooses; ends on the count of lines.
ui::Outcome ExportStandardLines(workspace::Workspace& window);

// "Importazione Codifiche Linee Ufficiali": reads the company's standard lines and links from the
// file the user chooses into reglinee and reglklin, in one transaction; a row already there is
// modified, a code linked elsewhere is moved. Ends on the counts read, modified and inserted.
ui::Outcome ImportStandardLines(workspace::Workspace& window);

} // namespace tramela::comm
