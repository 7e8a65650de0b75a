#include "reports/analysis/analysis_text.h"

#include "store/query_cursor.h"
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

std::string valueOf(const ui::FormValues& values, std::string_view id) {
    const auto found = values.find(id);
    return found == values.end() ? std::string() : found->second;
}

std::int32_t integerAt(store::QueryCursor& cursor, int position) {
    std::int32_t value = 0;
    if (cursor.GetLong(position, value)) {
        return value;
    }
    std::int16_t small = 0;
    cursor.GetShort(position, small);
    return small;
}

double doubleAt(store::QueryCursor& cursor, int position) {
    double value = 0;
    cursor.GetDouble(position, value);
    return value;
}

std::string textOf(store::QueryCursor& cursor, std::string_view column) {
    std::string text;
    cursor.GetText(column, text);
    return text;
}

} // namespace tramela::reports
