#include "app/command_table.h"
#include "store/cartography.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <set>

namespace tramela::app {
namespace {

using ui::Icon;
using ui::ScriptedUi;

TEST(CommandTable, HoldsEveryCommandOnceInTheMenuOrder) {
    std::set<int> ids;
    for (const MenuItem* item : allCommands()) {
        EXPECT_TRUE(ids.insert(item->id).second) << item->id;
        EXPECT_GE(item->id, 5101);
        EXPECT_LE(item->id, 5167);
    }
    EXPECT_EQ(ids.size(), 61u);
    std::vector<std::string_view> bar;
    for (const MenuItem& item : menuBar()) {
        bar.push_back(item.label);
    }
    EXPECT_EQ(bar,
              (std::vector<std::string_view>{
                  "&Database", "&Archivi", "&Stampe", "&Utilità", "&Fine", "&?"}));
    EXPECT_EQ(plainLabel("Importazione &Configurazione Sirventa"),
              "Importazione Configurazione Sirventa");
    EXPECT_EQ(plainLabel("A && B"), "A & B");
    EXPECT_EQ(findCommandByCli("create-tables")->id, 5109);
}

TEST(CommandTable, WithoutADatabaseOnlyTheFileCommandsAreEnabled) {
    test::TempDir dir;
    ScriptedUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    std::set<int> enabled;
    for (const MenuItem* item : allCommands()) {
        if (isEnabled(item->id, window)) {
            enabled.insert(item->id);
        }
    }
    EXPECT_EQ(enabled, (std::set<int>{5101, 5102, 5104, 5105, 5106, 5107}));

    EXPECT_FALSE(Route(window, 5109));
    EXPECT_EQ(
        ui.lastMessage(),
        (ScriptedUi::ShownMessage{
            "Il comando \"Crea Tavole Tramela\" richiede un database connesso.", Icon::Stop, ""}));
    EXPECT_FALSE(Route(window, 5163));
    EXPECT_EQ(ui.lastMessage()->text,
              "Il comando \"Analisi Differenziale Periodi Esercizio\" non "
              "è ancora disponibile in questa versione di Tramela.");

    ScriptedUi quiet;
    ASSERT_TRUE(store::createCartographyDatabase(quiet, dir / "d.sqlite"));
    ui.queueOpenFile(dir / "d.sqlite");
    ASSERT_TRUE(Route(window, 5104));
    EXPECT_TRUE(isEnabled(5109, window));
    ui.clear();
    ASSERT_TRUE(Route(window, 5109));
    EXPECT_EQ(ui.lastMessage()->text, "I descrittori del DataBase sono stati aggiornati");
    const std::string tree = menuTree(window);
    EXPECT_NE(tree.find("&Database\n    5109 &Crea Tavole Tramela [abilitato]\n"
                        "    5158 Upgrade x &Xml Level 1 [abilitato]\n    ----\n"),
              std::string::npos);
    EXPECT_NE(tree.find("    &Pulizie\n        5127 Pulizia Corse &Standard inutilizzate "
                        "[abilitato, non ancora disponibile]\n"),
              std::string::npos);
    EXPECT_TRUE(tree.ends_with("5101 &Fine [abilitato]\n5102 &? [abilitato]\n"));
}

} // namespace
} // namespace tramela::app
