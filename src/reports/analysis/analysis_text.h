#pragma once

#include <filesystem>
#include <string_view>

namespace tramela::ui {
class Ui;
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

} // namespace tramela::reports
