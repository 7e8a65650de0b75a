#pragma once

#include "reports/boards/board_model.h"
#include "ui/ui.h"
#include "workspace/report_header.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// The questions of the board exports: the folder (a file named in it) and the boards to write.
inline constexpr std::string_view kBoardsFolderKey = "folder";
inline constexpr std::string_view kBoardsSelectionFormId = "boards";
inline constexpr std::string_view kBoardsRouteField = "route";
inline constexpr std::string_view kBoardsLineField = "line";

// The form that narrows the boards to one route code or one line; nothing when it was left.
std::optional<BoardSelection> askBoardSelection(ui::Ui& ui);

// The lines of the files, UTF-8 and without line ends; the writer encodes and ends them.
std::vector<std::string>
htmlBoardPage(const BoardSet& set, const Board& board, const workspace::ReportTime& time);
std::vector<std::string> htmlBoardIndex(const BoardSet& set,
                                        const std::vector<const Board*>& boards,
                                        const workspace::ReportTime& time);
std::vector<std::string>
textBoard(const BoardSet& set, const Board& board, const workspace::ReportTime& time);

// The file names in a folder: "Q%05ld.HTM", "INDEX.HTM", "Q%05ld.TXT".
std::string boardFileName(const Board& board, std::string_view extension);

// "Quadri Orari (&Html)" and "Quadri Orari (&Txt/Tab)": asks for the boards and the folder,
// writes one file per route (and the index), a file that cannot be written skipped and said.
ui::Outcome ExportHtmlBoards(workspace::Workspace& workspace);
ui::Outcome ExportTextBoards(workspace::Workspace& workspace);

} // namespace tramela::reports
