#pragma once

#include "ui/ui.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tramela::store {
class QueryCursor;
}

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// Writes UTF-8 text whose lines end with "\n" as an ISO-8859-1 file with CR LF line ends,
// through the workspace's text output (complete or not there). Failures are shown.
bool writeTextFile(const std::filesystem::path& path, std::string_view text, ui::Ui& ui);

// Whether `path` is the database the workspace reads, which a report never replaces; says so
// ("Impossibile creare") when it is.
bool refusedAsDatabase(workspace::Workspace& workspace, const std::filesystem::path& path);

// The value of a dialog's field; empty when the dialog has no such field.
std::string valueOf(const ui::FormValues& values, std::string_view id);

// The columns of a row as the analyses read them: an integer, whether stored as a short or a
// long integer, a real number (0 when null) and a text.
std::int32_t integerAt(store::QueryCursor& cursor, int position);
double doubleAt(store::QueryCursor& cursor, int position);
std::string textOf(store::QueryCursor& cursor, std::string_view column);

} // namespace tramela::reports
