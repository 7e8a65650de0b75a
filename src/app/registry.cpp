#include "app/registry.h"

#include "workspace/workspace.h"

#include <fmt/format.h>

namespace tramela::app {

namespace {

void describe(const std::vector<MenuItem>& items,
              const workspace::Workspace& workspace,
              int depth,
              std::string& text) {
    const std::string indent(static_cast<size_t>(depth) * 4, ' ');
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::Kind::Separator:
            text += indent + "----\n";
            break;
        case MenuItem::Kind::Submenu:
            text += indent + std::string(item.label) + "\n";
            describe(item.children, workspace, depth + 1, text);
            break;
        case MenuItem::Kind::Command: {
            const Command& command = *findCommand(item.id);
            text += fmt::format("{}{} {} [{}{}]\n",
                                indent,
                                item.id,
                                command.label,
                                isEnabled(command, workspace) ? "abilitato" : "disabilitato",
                                command.entry != nullptr ? "" : ", non ancora disponibile");
            break;
        }
        }
    }
}

} // namespace

const Command* findCommand(int menuId) {
    for (const Command& command : commandTable()) {
        if (command.menuId == menuId && menuId != 0) {
            return &command;
        }
    }
    return nullptr;
}

std::vector<const Command*> findCommandsByCli(std::string_view name) {
    std::vector<const Command*> found;
    for (const Command& command : commandTable()) {
        if (!name.empty() && command.cli == name) {
            found.push_back(&command);
        }
    }
    return found;
}

std::string plainLabel(std::string_view label) {
    std::string plain;
    for (size_t i = 0; i < label.size(); ++i) {
        // "&&" stands for an ampersand shown as such.
        if (label[i] == '&' && i + 1 < label.size() && label[i + 1] != '&') {
            continue;
        }
        plain += label[i];
        if (label[i] == '&') {
            ++i;
        }
    }
    return plain;
}

std::string commandName(const Command& command) {
    return command.label.empty() ? std::string(command.cli) : plainLabel(command.label);
}

bool isEnabled(const Command& command, const workspace::Workspace& workspace) {
    return command.needs != Needs::Database || workspace.isConnected();
}

bool isEnabled(int menuId, const workspace::Workspace& workspace) {
    const Command* command = findCommand(menuId);
    return command != nullptr && isEnabled(*command, workspace);
}

ui::Outcome Run(workspace::Workspace& workspace, const Command& command, Entry entry) {
    if (entry == nullptr) {
        entry = command.entry;
    }
    if (entry == nullptr) {
        workspace.ui().Message(
            fmt::format("Il comando \"{}\" non è ancora disponibile in questa versione di Tramela.",
                        commandName(command)),
            ui::Icon::Exclamation);
        return ui::Outcome::Failed;
    }
    if (!isEnabled(command, workspace)) {
        workspace.ui().Message(
            fmt::format("Il comando \"{}\" richiede un database connesso.", commandName(command)),
            ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    return entry(workspace);
}

ui::Outcome Route(workspace::Workspace& workspace, int menuId) {
    const Command* command = findCommand(menuId);
    return command != nullptr ? Run(workspace, *command) : ui::Outcome::Failed;
}

std::string menuTree(const workspace::Workspace& workspace) {
    std::string text;
    describe(menuBar(), workspace, 0, text);
    return text;
}

} // namespace tramela::app
