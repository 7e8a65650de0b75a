#pragma once

#include "ui/ui.h"

#include <string>
#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::app {

// The keys of the shell commands' file questions.
inline constexpr std::string_view kDatabaseKey = "database";
inline constexpr std::string_view kOriginKey = "origin";
inline constexpr std::string_view kDestinationKey = "destination";

// The commands on the database file itself and on the session: connect (choose and bind a
// database), disconnect (after confirmation), repair and duplicate a database file, the about
// box, and exit (after confirmation; Done means the session is over).
ui::Outcome Connect(workspace::Workspace& workspace);
ui::Outcome Disconnect(workspace::Workspace& workspace);
ui::Outcome Repair(workspace::Workspace& workspace);
ui::Outcome Duplicate(workspace::Workspace& workspace);
ui::Outcome About(workspace::Workspace& workspace);
ui::Outcome Exit(workspace::Workspace& workspace);

// The command line's own: the session's title and the menu tree told as text, a new empty
// database of the cartography's kind, and the demonstration database, each asked as
// kDatabaseKey.
ui::Outcome ShowTitle(workspace::Workspace& workspace);
ui::Outcome ShowMenu(workspace::Workspace& workspace);
ui::Outcome NewDatabase(workspace::Workspace& workspace);
ui::Outcome BuildDemo(workspace::Workspace& workspace);
// The session's title, for showing it after a command that may change it: a binding the
// command left unopened is opened for it.
std::string titleOf(workspace::Workspace& workspace);

} // namespace tramela::app
