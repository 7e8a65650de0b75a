#include "support/temp_dir.h"
#include "ui/cli_ui.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tramela::ui {
namespace {

namespace fs = std::filesystem;

// A CliUi on string streams; not attached to a terminal unless asked.
struct Console {
    explicit Console(CliUi::Answer answer = CliUi::Answer::Ask,
                     CliUi::Terminals terminals = {},
                     std::string input = {})
        : in(std::move(input))
        , ui(answer, terminals, out, err, in) {}

    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    CliUi ui;
};

FormField field(std::string id, std::string caption, FieldKind kind, std::string value) {
    FormField result;
    result.id = std::move(id);
    result.caption = std::move(caption);
    result.kind = kind;
    result.value = std::move(value);
    return result;
}

FormSpec periodForm() {
    FormSpec spec;
    spec.id = "periodo";
    spec.title = "Periodo";
    FormGroup group;
    group.fields = {field("inizio", "Inizio", FieldKind::Date, "01/01/2024"),
                    field("fine", "Fine", FieldKind::Date, "31/12/2024"),
                    field("tutte", "Tutte le linee", FieldKind::Check, "1"),
                    field("linea", "Linea", FieldKind::Text, "")};
    group.fields.back().maxLength = 4;
    spec.groups = {group};
    spec.validate = [](const FormValues& values) -> std::optional<Refusal> {
        if (values.at("fine") < values.at("inizio")) {
            return Refusal{"Data finale errata", Icon::Exclamation, "Periodo"};
        }
        return std::nullopt;
    };
    return spec;
}

TEST(CliUi, MessagesGoToOutputOrErrorByIconWithOneNewline) {
    Console console;
    console.ui.Message("Operazione completata", Icon::Information, "Tramela");
    console.ui.Message("Riga\n", Icon::None);
    console.ui.Message("Domanda?", Icon::Question);
    EXPECT_FALSE(console.ui.failureShown());
    console.ui.Message("Attenzione: città", Icon::Exclamation);
    EXPECT_TRUE(console.ui.failureShown());
    console.ui.Message("Errore\n", Icon::Stop, "Tramela");

    EXPECT_EQ(console.out.str(), "Operazione completata\nRiga\n");
    EXPECT_EQ(console.err.str(), "Domanda?\nAttenzione: città\nErrore\n");
    EXPECT_TRUE(console.ui.failureShown());
    EXPECT_FALSE(console.ui.cancelled());
}

TEST(CliUi, ConfirmFollowsTheGlobalAnswerAndCancelsWithoutATerminal) {
    Console yes(CliUi::Answer::Yes);
    EXPECT_TRUE(yes.ui.Confirm("Svuotare le tavole?", Icon::Question));
    EXPECT_FALSE(yes.ui.cancelled());

    Console no(CliUi::Answer::No);
    EXPECT_FALSE(no.ui.Confirm("Svuotare le tavole?", Icon::Question));
    EXPECT_TRUE(no.ui.cancelled());

    Console batch(CliUi::Answer::Ask, {}, "s\n");
    EXPECT_FALSE(batch.ui.Confirm("Svuotare le tavole?", Icon::Question));
    EXPECT_TRUE(batch.ui.cancelled());
    EXPECT_EQ(batch.out.str() + batch.err.str() + yes.out.str() + no.err.str(), "");
}

TEST(CliUi, ConfirmOnATerminalReadsTheAnswer) {
    Console console(CliUi::Answer::Ask, {true, false}, "SÌ\n yes \nsi\nno\n");
    EXPECT_TRUE(console.ui.Confirm("Svuotare?", Icon::Question, "Svuota"));
    EXPECT_TRUE(console.ui.Confirm("Svuotare?", Icon::Question));
    EXPECT_TRUE(console.ui.Confirm("Svuotare?", Icon::Question));
    EXPECT_FALSE(console.ui.cancelled());
    EXPECT_FALSE(console.ui.Confirm("Svuotare?", Icon::Question));
    EXPECT_TRUE(console.ui.cancelled());
    EXPECT_FALSE(console.ui.Confirm("Svuotare?", Icon::Question)) << "end of input";
    EXPECT_EQ(console.out.str(),
              "Svuota\nSvuotare?\n[s/n] "
              "Svuotare?\n[s/n] Svuotare?\n[s/n] Svuotare?\n[s/n] Svuotare?\n[s/n] \n");
}

TEST(CliUi, FileQueueChecksExistenceOnlyWhereTheDialogRequiresIt) {
    test::TempDir dir;
    test::writeFile(dir / "orari.txt", "");
    FileDialog open;
    open.title = "Apri";
    open.mustExist = true;
    FileDialog save;
    save.title = "Salva";
    save.confirmOverwrite = true;

    Console console;
    console.ui.queueFile(dir / "orari.txt");
    console.ui.queueFile(dir / "assente.txt");
    console.ui.queueFile(dir / "assente.txt");
    console.ui.queueFile(dir / "orari.txt");
    EXPECT_EQ(console.ui.OpenFile(open), dir / "orari.txt");
    EXPECT_EQ(console.ui.OpenFile(open), std::nullopt);
    EXPECT_EQ(console.err.str(),
              "Il file indicato non esiste:\n" + (dir / "assente.txt").string() + "\n");
    EXPECT_TRUE(console.ui.failureShown());
    EXPECT_EQ(console.ui.SaveFile(save), dir / "assente.txt");
    EXPECT_EQ(console.ui.SaveFile(save), dir / "orari.txt") << "no overwrite question";
    EXPECT_FALSE(console.ui.cancelled());

    EXPECT_EQ(console.ui.OpenFile(open), std::nullopt);
    EXPECT_TRUE(console.ui.cancelled());
    EXPECT_EQ(console.out.str(), "");
}

TEST(CliUi, FileTypedOnATerminalIsAskedAgainUntilAcceptable) {
    test::TempDir dir;
    test::writeFile(dir / "orari.txt", "");
    const std::string missing = (dir / "assente.txt").string();
    const std::string existing = (dir / "orari.txt").string();
    FileDialog open;
    open.title = "Apri";
    open.mustExist = true;
    FileDialog save;
    save.title = "Salva";
    save.confirmOverwrite = true;

    Console console(CliUi::Answer::Ask,
                    {true, false},
                    missing + "\n" + existing + "\n" + existing + "\nn\n" + missing + "\n\n");
    EXPECT_EQ(console.ui.OpenFile(open), dir / "orari.txt");
    EXPECT_EQ(console.ui.SaveFile(save), dir / "assente.txt") << "overwrite declined, asked again";
    EXPECT_FALSE(console.ui.failureShown()) << "a corrected answer is no failure";
    EXPECT_EQ(console.err.str(), "Il file indicato non esiste:\n" + missing + "\n");
    EXPECT_EQ(console.ui.OpenFile(open), std::nullopt) << "empty line";
    EXPECT_TRUE(console.ui.cancelled());
}

TEST(CliUi, FormAnswersAreMergedValidatedAndUsedOnce) {
    Console console;
    console.ui.answerForm("periodo", {{"fine", "30/06/2024"}});
    EXPECT_EQ(
        console.ui.Form(periodForm()),
        (FormValues{
            {"fine", "30/06/2024"}, {"inizio", "01/01/2024"}, {"linea", ""}, {"tutte", "1"}}));
    EXPECT_FALSE(console.ui.cancelled());

    EXPECT_EQ(console.ui.Form(periodForm()), std::nullopt) << "answers are used once";
    EXPECT_TRUE(console.ui.cancelled());

    Console accept;
    accept.ui.answerForm("periodo", {});
    EXPECT_EQ(accept.ui.Form(periodForm()), periodForm().initialValues());
    EXPECT_EQ(accept.out.str() + accept.err.str(), "");
}

TEST(CliUi, RefusedFormAnswersFailWithoutATerminal) {
    Console console;
    console.ui.answerForm("periodo", {{"fine", "01/01/2000"}});
    EXPECT_EQ(console.ui.Form(periodForm()), std::nullopt);
    EXPECT_EQ(console.err.str(), "Data finale errata\n");
    EXPECT_TRUE(console.ui.refused());
    EXPECT_TRUE(console.ui.failureShown());
    EXPECT_FALSE(console.ui.cancelled());

    // Values a window would not let the user type are refused before the validator.
    Console limits;
    limits.ui.answerForm("periodo", {{"linea", "12345"}});
    EXPECT_EQ(limits.ui.Form(periodForm()), std::nullopt);
    limits.ui.answerForm("periodo", {{"tutte", "si"}});
    EXPECT_EQ(limits.ui.Form(periodForm()), std::nullopt);
    EXPECT_EQ(limits.err.str(),
              "Il campo \"Linea\" accetta al massimo 4 caratteri.\n"
              "Il campo \"Tutte le linee\" accetta soltanto 1 o 0.\n");
    EXPECT_TRUE(limits.ui.failureShown());
}

TEST(CliUi, RefusedFormIsAskedAgainOnATerminal) {
    // inizio kept, fine corrected, tutte kept, linea typed too long and then right.
    Console console(CliUi::Answer::Ask, {true, false}, "\n31/01/2024\n\n12345\nL1\n");
    console.ui.answerForm("periodo", {{"fine", "01/01/2000"}});
    EXPECT_EQ(
        console.ui.Form(periodForm()),
        (FormValues{
            {"fine", "31/01/2024"}, {"inizio", "01/01/2024"}, {"linea", "L1"}, {"tutte", "1"}}));
    EXPECT_FALSE(console.ui.refused());
    EXPECT_FALSE(console.ui.failureShown());
    EXPECT_EQ(console.err.str(),
              "Data finale errata\nIl campo \"Linea\" accetta al massimo 4 caratteri.\n");
    EXPECT_NE(console.out.str().find("  Fine [01/01/2000]: "), std::string::npos);

    Console kept(CliUi::Answer::Ask, {true, false}, "\n\n\n\nL2\n");
    kept.ui.answerForm("periodo", {{"linea", "12345"}});
    EXPECT_EQ(kept.ui.Form(periodForm()).value().at("linea"), "L2")
        << "a refused answer is not kept";

    Console unanswered(CliUi::Answer::Ask, {true, false}, "\n");
    EXPECT_EQ(unanswered.ui.Form(periodForm()), std::nullopt) << "end of input";
    EXPECT_TRUE(unanswered.ui.cancelled());
}

TEST(CliUi, ProgressIsDrawnOnlyOnATerminalAndOnlyWhenItChanges) {
    Console batch;
    batch.ui.ProgressCaption("Esportazione");
    batch.ui.BeginBusy(true);
    batch.ui.Progress(50);
    batch.ui.Progress(-1);
    EXPECT_EQ(batch.err.str(), "");

    Console console(CliUi::Answer::Ask, {false, true});
    console.ui.ProgressCaption("Esportazione");
    console.ui.Progress(50);
    console.ui.Progress(50);
    console.ui.Progress(100);
    console.ui.Progress(-1);
    const std::string blank(27, ' ');
    EXPECT_EQ(console.err.str(),
              "Esportazione\n"
              "\r[##########          ]  50%"
              "\r[####################] 100%"
              "\r" +
                  blank + "\r");
}

} // namespace
} // namespace tramela::ui
