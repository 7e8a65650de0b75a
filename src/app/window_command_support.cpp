#include "app/window_command_support.h"

#include "views/edit_window.h"
#include "views/window_support.h"
#include "workspace/workspace.h"

#include <fmt/format.h>
#include <unistd.h>

namespace tramela::app {

std::optional<ui::FormValues>
askForm(workspace::Workspace& workspace,
        std::string_view id,
        std::string_view title,
        const std::vector<std::pair<std::string_view, std::string>>& fieldsProposed) {
    ui::FormSpec spec;
    spec.id = id;
    spec.title = title;
    ui::FormGroup group;
    for (const auto& [field, value] : fieldsProposed) {
        ui::FormField formField;
        formField.id = field;
        formField.caption = field;
        formField.value = value;
        group.fields.push_back(std::move(formField));
    }
    spec.groups.push_back(std::move(group));
    return workspace.ui().Form(spec);
}

std::optional<std::int32_t>
identifier(workspace::Workspace& workspace, std::string_view typed, std::string_view what) {
    const auto number = views::support::wholeNumber(typed);
    if (!number) {
        workspace.ui().Message(fmt::format("ATTENZIONE: l'identificativo {} non è valido.\n\n"
                                           "L'identificativo è un numero intero.\n\n"
                                           "I dati immessi non saranno registrati !!!",
                                           what),
                               ui::Icon::Stop);
    }
    return number;
}

bool onTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

void printList(workspace::Workspace& workspace, views::EditWindow& window) {
    const std::string text =
        views::formatRows(window.source().headers(), window.entries(), onTerminal());
    if (!text.empty()) {
        workspace.ui().Message(text, ui::Icon::None);
    }
}

Command operation(std::string_view name,
                  std::string_view help,
                  Entry entry,
                  std::vector<Parameter> parameters) {
    Command command;
    command.cli = name;
    command.help = help;
    command.entry = entry;
    command.parameters = std::move(parameters);
    return command;
}

} // namespace tramela::app
