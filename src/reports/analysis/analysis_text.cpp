#include "reports/analysis/analysis_text.h"

#include "ui/ui.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

namespace tramela::reports {

bool writeTextFile(const std::filesystem::path& path, std::string_view text, ui::Ui& ui) {
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, path, ui)) {
        return false;
    }
    workspace::Latin1Encoder latin1;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        writer.writeLine(latin1.encode(text.substr(0, end)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return workspace::closeOrReport(writer, path, ui);
}

bool refusedAsDatabase(workspace::Workspace& workspace, const std::filesystem::path& path) {
    std::error_code error;
    if (workspace.databasePath().empty() ||
        !std::filesystem::equivalent(path, workspace.databasePath(), error)) {
        return false;
    }
    workspace.ui().Message("Impossibile creare\n\n" + path.string() +
                               "\n\nIl file è il database aperto e non viene sovrascritto.",
                           ui::Icon::Stop);
    return true;
}

} // namespace tramela::reports
