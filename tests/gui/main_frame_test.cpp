#include "app/registry.h"
#include "gui/form_dialog.h"
#include "gui/main_frame.h"
#include "gui/qt_ui.h"
#include "modal_driver.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "workspace/company_header.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>
#include <set>

namespace tramela::gui {
namespace {

using test::ModalDriver;
using test::ShownBox;

constexpr std::string_view kSampleTitle = "Tramela - Azienda 42 - Autolinee Corvasca Sud S.r.l. "
                                          "[periodo dal 01/01/2024 al 31/12/2024]";

class MainFrameTest : public ::testing::Test {
protected:
    MainFrameTest() { test::createSampleNetwork(database()); }

    std::filesystem::path database() const { return dir / "rete.sqlite"; }

    std::string title() const { return frame.windowTitle().toStdString(); }

    // The ids of the enabled command items, as the menus show them when opened.
    std::set<int> enabledCommands() {
        for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>()) {
            emit menu->aboutToShow();
        }
        std::set<int> enabled;
        for (QAction* action : frame.findChildren<QAction*>()) {
            if (action->data().isValid() && action->isEnabled()) {
                enabled.insert(action->data().toInt());
            }
        }
        return enabled;
    }

    // Opens the menu of a command's item, which applies the enabling rule, and chooses the item.
    void choose(int id) {
        QAction* action = frame.commandAction(id);
        ASSERT_NE(action, nullptr);
        if (auto* menu = qobject_cast<QMenu*>(action->parent())) {
            emit menu->aboutToShow();
        }
        ASSERT_TRUE(action->isEnabled()) << id;
        action->trigger();
    }

    test::TempDir dir;
    workspace::Settings settings{dir / "settings.toml"};
    QtUi ui;
    workspace::Workspace core{ui, settings};
    MainFrame frame{core, ui};
    ModalDriver driver;
};

// Compares the items of a menu with the table's, in order.
void expectSameTree(const QList<QAction*>& actions,
                    const std::vector<app::MenuItem>& items,
                    const std::string& where) {
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size())) << where;
    for (size_t i = 0; i < items.size(); ++i) {
        const app::MenuItem& item = items[i];
        QAction* action = actions[static_cast<qsizetype>(i)];
        const std::string at = where + " #" + std::to_string(i);
        switch (item.kind) {
        case app::MenuItem::Kind::Separator:
            EXPECT_TRUE(action->isSeparator()) << at;
            break;
        case app::MenuItem::Kind::Submenu:
            ASSERT_NE(action->menu(), nullptr) << at;
            EXPECT_EQ(action->text().toStdString(), item.label) << at;
            expectSameTree(action->menu()->actions(), item.children, at);
            break;
        case app::MenuItem::Kind::Command:
            EXPECT_EQ(action->menu(), nullptr) << at;
            EXPECT_FALSE(action->isSeparator()) << at;
            EXPECT_EQ(action->text().toStdString(), app::findCommand(item.id)->label) << at;
            EXPECT_EQ(action->data().toInt(), item.id) << at;
            break;
        }
    }
}

TEST_F(MainFrameTest, MenuBarIsTheCommandTable) {
    EXPECT_EQ(frame.windowTitle(), "TRAMELA");
    expectSameTree(frame.menuBar()->actions(), app::menuBar(), "bar");
    for (const app::Command& command : app::commandTable()) {
        if (command.menuId != 0) {
            ASSERT_NE(frame.commandAction(command.menuId), nullptr) << command.menuId;
        }
    }
}

TEST_F(MainFrameTest, EnablingRuleIsAppliedEachTimeAMenuOpens) {
    const std::set<int> fileCommands{5101, 5102, 5104, 5105, 5106, 5107};
    EXPECT_EQ(enabledCommands(), fileCommands);

    core.Startup(database());
    std::set<int> all;
    for (const app::Command& command : app::commandTable()) {
        if (command.menuId != 0) {
            all.insert(command.menuId);
        }
    }
    EXPECT_EQ(enabledCommands(), all);

    ShownBox question;
    driver.then(test::answerBox(question));
    frame.runCommand(5105);
    EXPECT_EQ(question.text, "Confermi sconnessione database ?");
    EXPECT_EQ(enabledCommands(), fileCommands);
    EXPECT_TRUE(driver.done());
}

TEST_F(MainFrameTest, TitleFollowsConnectAndDisconnect) {
    ShownBox unbound;
    driver.then(test::answerBox(unbound));
    frame.setWindowTitle(QString::fromUtf8(workspace::Workspace::kDefaultTitle.data()));
    core.Startup();
    frame.syncTitle();
    EXPECT_EQ(unbound.icon, QMessageBox::Information);
    EXPECT_EQ(title(), workspace::Workspace::kDefaultTitle);

    QStringList filters;
    driver.then([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Selezione del Database");
        filters = dialog->nameFilters();
        test::chooseFile(modal, database());
    });
    choose(5104);
    EXPECT_EQ(filters, (QStringList{"Database SQLite (*.sqlite)", "Tutti i files (*)"}));
    EXPECT_EQ(title(), kSampleTitle);

    ShownBox question;
    driver.then(test::answerBox(question, QStringLiteral("Annulla")));
    choose(5105);
    EXPECT_EQ(question.title, "Sconnessione Database");
    EXPECT_EQ(question.icon, QMessageBox::Question);
    EXPECT_EQ(question.buttons, (QStringList{"OK", "Annulla"}));
    EXPECT_EQ(title(), kSampleTitle);

    driver.then(test::answerBox(question));
    choose(5105);
    EXPECT_EQ(title(), workspace::Workspace::kDefaultTitle);
    EXPECT_TRUE(driver.done());
}

TEST_F(MainFrameTest, CompanyHeaderDialogStaysOpenWithTheTypedValuesOnARefusal) {
    core.Startup(database());
    const size_t companies = workspace::companyListEntries(*core.connection()).size();

    FormDialog* shown = nullptr;
    ShownBox companyRefusal;
    ShownBox dateRefusal;
    driver
        .then([&](QWidget* modal) {
            shown = qobject_cast<FormDialog*>(modal);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->windowTitle(), "Intestazione Azienda e Comunicazione");
            QStringList frames;
            for (const QGroupBox* group : shown->findChildren<QGroupBox*>()) {
                frames << group->title();
            }
            EXPECT_EQ(
                frames,
                (QStringList{"Codice Regionale Azienda", "Estremi Comunicazione", "Periodo"}));
            auto* code = shown->findChild<QComboBox*>("code");
            EXPECT_EQ(static_cast<size_t>(code->count()), companies);
            EXPECT_EQ(code->currentText(), "0042 - Autolinee Corvasca Sud S.r.l.");
            code->setEditText("9999");
            shown->findChild<QLineEdit*>("date")->setText("31/02/2009");
            shown->okButton()->click();
        })
        .then(test::answerBox(companyRefusal))
        .then([&](QWidget* modal) {
            // Still the same dialog, with everything as typed; the date is refused next.
            ASSERT_EQ(modal, shown);
            EXPECT_EQ(shown->findChild<QComboBox*>("code")->currentText(), "9999");
            EXPECT_EQ(shown->findChild<QLineEdit*>("date")->text(), "31/02/2009");
            shown->findChild<QComboBox*>("code")->setEditText("42");
            shown->okButton()->click();
        })
        .then(test::answerBox(dateRefusal))
        .then([&](QWidget* modal) {
            ASSERT_EQ(modal, shown);
            shown->findChild<QLineEdit*>("date")->setText("01.03.09");
            shown->findChild<QLineEdit*>("start")->setText("01-01-2009");
            shown->okButton()->click();
        });
    choose(5108);

    // The refusals' whole texts are the core's; the boxes show them, the company first.
    EXPECT_TRUE(companyRefusal.text.starts_with("ATTENZIONE: Il Codice Regionale Azienda"));
    EXPECT_EQ(companyRefusal.icon, QMessageBox::Critical);
    EXPECT_TRUE(dateRefusal.text.starts_with("ATTENZIONE: la data di invio della comunicazione"));
    EXPECT_TRUE(driver.done());
    const auto header = workspace::ReadCompanyHeader(*core.connection());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->date + " " + header->start, "01/03/2009 01/01/2009");
    EXPECT_EQ(title(),
              "Tramela - Azienda 42 - Autolinee Corvasca Sud S.r.l. "
              "[periodo dal 01/01/2009 al 31/12/2024]");
}

TEST_F(MainFrameTest, MenuItemsRunTheirCommands) {
    core.Startup(database());
    ShownBox created;
    driver.then(test::answerBox(created));
    choose(5109);
    EXPECT_EQ(created.text, "I descrittori del DataBase sono stati aggiornati");
    EXPECT_EQ(created.icon, QMessageBox::Information);

    // An item whose command is not built yet says so.
    for (const app::Command& command : app::commandTable()) {
        if (command.menuId != 0 && command.entry == nullptr) {
            ShownBox missing;
            driver.then(test::answerBox(missing));
            choose(command.menuId);
            EXPECT_EQ(missing.text,
                      "Il comando \"" + app::plainLabel(command.label) +
                          "\" non è ancora disponibile in questa versione di Tramela.");
            EXPECT_EQ(missing.icon, QMessageBox::Warning);
            break;
        }
    }
    EXPECT_TRUE(driver.done());
}

TEST_F(MainFrameTest, ExitAsksFirstAndWritesTheBindingBack) {
    test::writeFile(dir / "settings.toml", "[tramela]\nDatabase = \"\"\n");
    driver.then([](QWidget* modal) { test::press(modal, QStringLiteral("OK")); });
    core.Startup();
    frame.show();
    driver.then([&](QWidget* modal) { test::chooseFile(modal, database()); });
    frame.runCommand(5104);
    ASSERT_TRUE(core.isConnected());

    ShownBox question;
    driver.then(test::answerBox(question, QStringLiteral("Annulla")));
    frame.close();
    EXPECT_EQ(question.text,
              "E' stata richiesta l'uscita da Tramela.\n\n"
              "Intendi veramente uscire dal programma ?");
    EXPECT_EQ(question.icon, QMessageBox::Question);
    EXPECT_TRUE(frame.isVisible());
    EXPECT_TRUE(core.isConnected());

    driver.then(test::answerBox(question));
    frame.runCommand(5101);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(core.isConnected());
    workspace::Settings written(dir / "settings.toml");
    written.load();
    EXPECT_EQ(written.databasePath(), database().string());
    EXPECT_TRUE(driver.done());
}

} // namespace
} // namespace tramela::gui
