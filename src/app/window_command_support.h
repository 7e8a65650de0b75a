#pragma once

// What the command line's operations on the editing windows share: their own small forms, the
// identifiers typed in them, the lists they print and the way they are declared.

#include "app/registry.h"
#include "ui/ui.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tramela::views {
class EditWindow;
}

namespace tramela::app {

// One dialog of the command line: the fields given, with the values proposed.
std::optional<ui::FormValues>
askForm(workspace::Workspace& workspace,
        std::string_view id,
        std::string_view title,
        const std::vector<std::pair<std::string_view, std::string>>& fieldsProposed);

// An identifier as typed; refused (said so) unless a whole number. `what` names it in the
// message: "del percorso", "della corsa".
std::optional<std::int32_t>
identifier(workspace::Workspace& workspace, std::string_view typed, std::string_view what);

// Whether standard output is a terminal, where lists are drawn with their columns aligned.
bool onTerminal();

// The window's list, as the command line prints it.
void printList(workspace::Workspace& workspace, views::EditWindow& window);

// A subcommand of a window's command: one operation with its parameters.
Command operation(std::string_view name,
                  std::string_view help,
                  Entry entry,
                  std::vector<Parameter> parameters = {});

} // namespace tramela::app
