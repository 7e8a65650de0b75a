#include "gui/form_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace tramela::gui {
namespace {

using ui::FieldKind;

// The options of an export as a command would describe them: every kind of field.
ui::FormSpec exportForm() {
    ui::FormSpec spec;
    spec.id = "export";
    spec.title = "Esportazione comunicazione VkzXml";
    spec.groups.push_back({"Periodo",
                           {{"from", "Data Inizio", FieldKind::Date, "01/03/2024", {}, 0},
                            {"lot", "Lotto", FieldKind::Integer, "12", {}, 3}}});
    spec.groups.push_back(
        {"",
         {{"kind", "Tipo", FieldKind::Radio, "PLANNING", {"BUDGET", "PLANNING", "TEST"}, 0},
          {"line", "Linea", FieldKind::Choice, "L1", {"L1", "L10"}, 0},
          {"compress", "Compressione", FieldKind::Check, "1", {}, 0},
          {"password", "Password", FieldKind::Text, "segreta", {}, 0, true}}});
    return spec;
}

TEST(FormDialogTest, RendersEveryKindOfFieldAndReadsItBack) {
    const ui::FormSpec spec = exportForm();
    FormDialog dialog(spec);
    EXPECT_EQ(dialog.windowTitle(), "Esportazione comunicazione VkzXml");
    EXPECT_EQ(dialog.okButton()->text(), "OK");
    EXPECT_EQ(dialog.cancelButton()->text(), "Annulla");
    const auto frames = dialog.findChildren<QGroupBox*>();
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames.front()->title(), "Periodo");

    auto* from = dialog.findChild<QLineEdit*>("from");
    auto* lot = dialog.findChild<QLineEdit*>("lot");
    auto* password = dialog.findChild<QLineEdit*>("password");
    auto* line = dialog.findChild<QComboBox*>("line");
    auto* compress = dialog.findChild<QCheckBox*>("compress");
    ASSERT_TRUE(from && lot && password && line && compress);
    EXPECT_EQ(from->text(), "01/03/2024");
    EXPECT_EQ(lot->maxLength(), 3);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("kind/1")->isChecked());
    // Unchanged inputs give back exactly what the dialog was opened with.
    EXPECT_EQ(dialog.values(), spec.initialValues());

    lot->clear();
    lot->insert("12345");
    dialog.findChild<QRadioButton*>("kind/2")->click();
    compress->click();
    line->setEditText("L7");
    const ui::FormValues values = dialog.values();
    EXPECT_EQ(values.at("lot"), "123");
    EXPECT_EQ(values.at("kind"), "TEST");
    EXPECT_EQ(values.at("compress"), "0");
    EXPECT_EQ(values.at("line"), "L7");

    // A value that names no radio entry leaves none chosen.
    dialog.setValues({{"kind", "ALTRO"}});
    EXPECT_EQ(dialog.values().at("kind"), "");
}

TEST(FormDialogTest, ListEditPartTakesFewCharactersButShowsAPickedEntryWhole) {
    ui::FormSpec spec;
    spec.groups.push_back({"Codice Regionale Azienda",
                           {{"code",
                             "",
                             FieldKind::Choice,
                             "0042",
                             {"0100 - Autobus Nord", "0042 - Autolinee Sud"},
                             4}}});
    FormDialog dialog(spec);
    auto* list = dialog.findChild<QComboBox*>("code");
    ASSERT_NE(list, nullptr);
    // The entry that begins with the code is the one selected.
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(list->currentText(), "0042 - Autolinee Sud");

    QLineEdit* edit = list->lineEdit();
    edit->backspace();
    EXPECT_EQ(edit->text(), "0042 - Autolinee Su");
    edit->insert("x");
    EXPECT_EQ(edit->text(), "0042 - Autolinee Su");
    edit->clear();
    for (const char* typed : {"1", "2", "3", "4", "5"}) {
        edit->insert(typed);
    }
    EXPECT_EQ(edit->text(), "1234");

    // A code that no entry begins with selects none and stays as it was.
    dialog.setValues({{"code", "0000"}});
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(dialog.values().at("code"), "0000");
}

TEST(FormDialogTest, ActionsRewriteValuesAndTheEditableRuleFollowsEveryChange) {
    ui::FormSpec spec;
    spec.groups.push_back({"Destinazione",
                           {{"local", "File locale", FieldKind::Check, "0", {}, 0},
                            {"file", "File", FieldKind::Text, "", {}, 0}}});
    spec.actions.push_back({"restore", "Ripristina", [](const ui::FormValues&) {
                                return ui::FormValues{{"local", "1"}, {"file", "salvato.xml"}};
                            }});
    spec.editable = [](std::string_view id, const ui::FormValues& values) {
        return id != "file" || values.at("local") == "1";
    };
    FormDialog dialog(spec);
    auto* local = dialog.findChild<QCheckBox*>("local");
    auto* file = dialog.findChild<QLineEdit*>("file");
    auto* restore = dialog.findChild<QPushButton*>("restore");
    ASSERT_TRUE(local && file && restore);
    EXPECT_EQ(restore->text(), "Ripristina");
    EXPECT_FALSE(file->isEnabled());
    local->click();
    EXPECT_TRUE(file->isEnabled());
    local->click();
    EXPECT_FALSE(file->isEnabled());

    restore->click();
    EXPECT_TRUE(local->isChecked());
    EXPECT_EQ(file->text(), "salvato.xml");
    EXPECT_TRUE(file->isEnabled());
    EXPECT_FALSE(dialog.acceptedValues());
}

} // namespace
} // namespace tramela::gui
