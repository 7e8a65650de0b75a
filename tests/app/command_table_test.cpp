#include "app/registry.h"
#include "store/cartography.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace tramela::app {
namespace {

using ui::Icon;
using ui::Outcome;
using ui::ScriptedUi;

void collectIds(const std::vector<MenuItem>& items, std::multiset<int>& ids) {
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Kind::Command) {
            ids.insert(item.id);
        }
        collectIds(item.children, ids);
    }
}

// What the menu and the command line rely on: every item of the bar is one command of the
// table and every command of the menu has one item; a command line name leads to one command,
// or to variants that their flags tell apart; each parameter answers a question.
TEST(CommandTable, TheMenuAndTheCommandLineReadOneConsistentTable) {
    std::multiset<int> placed;
    collectIds(menuBar(), placed);
    std::set<int> declared;
    std::map<std::string_view, std::vector<const Command*>> byName;
    for (const Command& command : commandTable()) {
        if (command.menuId != 0) {
            EXPECT_TRUE(declared.insert(command.menuId).second) << command.menuId;
            EXPECT_EQ(placed.count(command.menuId), 1u) << command.menuId;
            EXPECT_FALSE(command.label.empty()) << command.menuId;
        } else {
            EXPECT_FALSE(command.cli.empty()) << "a command of neither the menu nor the line";
            EXPECT_NE(command.entry, nullptr) << command.cli;
        }
        if (!command.cli.empty()) {
            byName[command.cli].push_back(&command);
        }
        std::set<std::string> names;
        for (const Parameter& parameter : command.parameters) {
            EXPECT_TRUE(names.insert(parameter.name).second) << command.cli << parameter.name;
            EXPECT_TRUE(parameter.answer) << command.cli << parameter.name;
            EXPECT_TRUE(parameter.name != command.cliVariant || parameter.answers.empty());
        }
    }
    EXPECT_EQ(std::set<int>(placed.begin(), placed.end()), declared);
    for (const auto& [name, commands] : byName) {
        std::set<std::string_view> variants;
        for (const Command* command : commands) {
            EXPECT_TRUE(variants.insert(command->cliVariant).second) << name;
        }
        EXPECT_TRUE(variants.contains("")) << name << ": no command runs without a flag";
    }
    EXPECT_EQ(plainLabel("Importazione &Configurazione Sirventa"),
              "Importazione Configurazione Sirventa");
    EXPECT_EQ(plainLabel("A && B"), "A & B");
}

TEST(CommandTable, WithoutADatabaseOnlyTheFileCommandsAreEnabled) {
    test::TempDir dir;
    ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    std::set<int> enabled;
    for (const Command& command : commandTable()) {
        if (command.menuId != 0 && isEnabled(command, window)) {
            enabled.insert(command.menuId);
        }
    }
    EXPECT_EQ(enabled, (std::set<int>{5101, 5102, 5104, 5105, 5106, 5107}));

    EXPECT_EQ(Route(window, 5109), Outcome::Failed);
    EXPECT_EQ(
        ui.lastMessage(),
        (ScriptedUi::ShownMessage{
            "Il comando \"Crea Tavole Tramela\" richiede un database connesso.", Icon::Stop, ""}));
    // A command not built yet says so before it asks for a database (while one is left).
    const std::vector<Command>& table = commandTable();
    const auto unbuilt = std::find_if(table.begin(), table.end(), [](const Command& command) {
        return command.menuId != 0 && !command.built();
    });
    if (unbuilt != table.end()) {
        EXPECT_EQ(Route(window, unbuilt->menuId), Outcome::Failed);
        EXPECT_EQ(ui.lastMessage()->text,
                  "Il comando \"" + plainLabel(unbuilt->label) +
                      "\" non è ancora disponibile in questa versione di Tramela.");
    }

    ScriptedUi quiet;
    ASSERT_TRUE(store::createCartographyDatabase(quiet, dir / "d.sqlite"));
    ui.answerFile("database", dir / "d.sqlite");
    ASSERT_EQ(Route(window, 5104), Outcome::Done);
    EXPECT_TRUE(isEnabled(5109, window));
    ui.clear();
    ASSERT_EQ(Route(window, 5109), Outcome::Done);
    EXPECT_EQ(ui.lastMessage()->text, "I descrittori del DataBase sono stati aggiornati");
    const std::string tree = menuTree(window);
    EXPECT_NE(tree.find("&Database\n    5109 &Crea Tavole Tramela [abilitato]\n"
                        "    5158 Upgrade x &Xml Level 1 [abilitato]\n    ----\n"),
              std::string::npos);
    EXPECT_NE(tree.find("    &Pulizie\n        5127 Pulizia Corse &Standard inutilizzate "
                        "[abilitato]\n"),
              std::string::npos);
    EXPECT_TRUE(tree.ends_with("5101 &Fine [abilitato]\n5102 &? [abilitato]\n"));
}

} // namespace
} // namespace tramela::app
