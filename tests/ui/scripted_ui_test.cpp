#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::ui {
namespace {

using Shown = ScriptedUi::ShownMessage;

FormSpec codeForm() {
    FormSpec spec;
    spec.id = "codice";
    spec.title = "Codice Corsa";
    FormField code;
    code.id = "codice";
    code.value = "A1";
    FormField note;
    note.id = "note";
    FormGroup group;
    group.fields = {code, note};
    spec.groups = {group};
    spec.validate = [](const FormValues& values) -> std::optional<Refusal> {
        if (values.at("codice").empty()) {
            return Refusal{"Codice mancante", Icon::Stop, "Codice Corsa"};
        }
        return std::nullopt;
    };
    return spec;
}

TEST(ScriptedUi, FormTriesItsAttemptsUntilOneIsAccepted) {
    ScriptedUi ui;
    ui.answerForm("codice", FormValues{{"codice", ""}});
    ui.answerForm("codice", FormValues{{"note", "prova"}});
    ui.answerForm("altro", FormValues{{"codice", "B2"}});
    ui.Message("prima", Icon::Information);

    EXPECT_EQ(ui.Form(codeForm()), (FormValues{{"codice", "A1"}, {"note", "prova"}}));
    EXPECT_EQ(ui.messages(),
              (std::vector<Shown>{{"prima", Icon::Information, ""},
                                  {"Codice mancante", Icon::Stop, "Codice Corsa"}}));
    EXPECT_EQ(ui.dialogs(), std::vector<std::string>{"Codice Corsa"});
    ASSERT_EQ(ui.forms().size(), 1u);
    EXPECT_EQ(ui.forms()[0].field("codice")->value, "A1");
    EXPECT_EQ(ui.pendingAnswers(), 1u) << "another form's answer is not taken";

    ui.answerForm("codice", FormValues{{"codice", ""}});
    EXPECT_EQ(ui.Form(codeForm()), std::nullopt) << "refused and nothing more given";
    ui.answerForm("codice", std::nullopt);
    ui.answerForm("codice", FormValues{});
    EXPECT_EQ(ui.Form(codeForm()), std::nullopt) << "cancelled";
    EXPECT_EQ(ui.pendingAnswers(), 2u);
}

TEST(ScriptedUi, AnswersGoByKeyWhateverTheOrderAndUnansweredIsCancel) {
    ScriptedUi ui;
    ui.answerFile("report", "/tmp/report.txt");
    ui.answerFile("folder", "/tmp/uscita/RT_PROTO.TXT");
    ui.answerConfirm("proceed", true);
    EXPECT_TRUE(ui.Confirm(
        {"proceed", QuestionKind::Confirmation, "Esporta"}, "Procedere?", Icon::Question));
    EXPECT_FALSE(ui.Confirm({"proceed"}, "Ancora?", Icon::Question)) << "answers are used once";
    EXPECT_EQ(ui.confirmations(),
              (std::vector<Shown>{{"Procedere?", Icon::Question, "Esporta"},
                                  {"Ancora?", Icon::Question, ""}}));
    FileDialog dialog;
    dialog.key = "folder";
    dialog.title = "Cartella";
    EXPECT_EQ(ui.SaveFile(dialog), std::filesystem::path("/tmp/uscita/RT_PROTO.TXT"))
        << "the folder asked first gets the folder, not the report given first";
    dialog.key = "report";
    dialog.title = "Report";
    EXPECT_EQ(ui.SaveFile(dialog), std::filesystem::path("/tmp/report.txt"));
    dialog.key = "other";
    dialog.title = "Apri";
    EXPECT_EQ(ui.OpenFile(dialog), std::nullopt);
    EXPECT_EQ(ui.dialogs(), (std::vector<std::string>{"Cartella", "Report", "Apri"}));
    EXPECT_EQ(ui.askedKeys(),
              (std::vector<std::string>{"proceed", "proceed", "folder", "report", "other"}));
    EXPECT_EQ(ui.pendingAnswers(), 0u);

    ui.ProgressCaption("Esportazione");
    ui.Progress(10);
    ui.Progress(-1);
    ui.BeginBusy(false);
    EXPECT_EQ(ui.progressCaptions(), std::vector<std::string>{"Esportazione"});
    EXPECT_EQ(ui.progressValues(), (std::vector<int>{10, -1}));
    EXPECT_EQ(ui.busyCalls(), std::vector<bool>{false});
    ui.Message("Fatto", Icon::Information);
    EXPECT_EQ(ui.lastMessage(), (Shown{"Fatto", Icon::Information, ""}));

    ui.clear();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(ui.dialogs().empty());
    EXPECT_EQ(ui.lastMessage(), std::nullopt);
}

} // namespace
} // namespace tramela::ui
