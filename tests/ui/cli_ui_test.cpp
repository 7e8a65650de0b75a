#include "support/golden.h"
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

    // What the console wrote, under a title: its standard output, then its standard error.
    std::string shown(std::string_view title) const {
        return "## " + std::string(title) + "\nout:\n" + out.str() + "err:\n" + err.str();
    }

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

Answers withReport(std::filesystem::path report) {
    Answers answers;
    answers.files["report"] = std::move(report);
    answers.spelling["report"] = "--report";
    answers.spelling["folder"] = "DIR";
    return answers;
}

TEST(CliUi, MessagesGoToOutputOrErrorByIconWithOneNewline) {
    Console console;
    console.ui.Message("Operazione completata", Icon::Information, "Tramela");
    console.ui.Message("Riga\n", Icon::None);
    console.ui.Message("Domanda?", Icon::Question);
    console.ui.Message("Attenzione: città", Icon::Exclamation);
    console.ui.Message("Errore\n", Icon::Stop, "Tramela");

    EXPECT_EQ(console.out.str(), "Operazione completata\nRiga\n");
    EXPECT_EQ(console.err.str(), "Domanda?\nAttenzione: città\nErrore\n");
}

TEST(CliUi, BatchConfirmationsFollowYesOrNoAndSayWhatWasAsked) {
    Console yes(CliUi::Answer::Yes);
    EXPECT_TRUE(yes.ui.Confirm({"proceed"}, "Svuotare le tavole?", Icon::Question));
    Console no(CliUi::Answer::No);
    EXPECT_FALSE(no.ui.Confirm({"proceed"}, "Svuotare le tavole?", Icon::Question));
    // Without a terminal nobody can answer: Cancel, even when the input holds a yes.
    Console batch(CliUi::Answer::Ask, {}, "s\n");
    EXPECT_FALSE(batch.ui.Confirm({"proceed"}, "Svuotare le tavole?", Icon::Question));

    // A confirmation answered on its own wins over the global answer.
    Console own(CliUi::Answer::No);
    Answers answers;
    answers.confirmations["proceed"] = true;
    answers.spelling["proceed"] = "--force";
    own.ui.setAnswers(answers);
    EXPECT_TRUE(own.ui.Confirm({"proceed"}, "Procedere?", Icon::Question));
    EXPECT_GOLDEN(yes.shown("--yes") + no.shown("--no") + batch.shown("no terminal") +
                      own.shown("--no, and --force for this question"),
                  "cli_ui/batch_confirmations.txt");
}

TEST(CliUi, AnOfferIsTakenOnlyWhenItsAnswerWasGiven) {
    const Question offer{"report", QuestionKind::Offer};
    FileDialog report;
    report.key = "report";
    report.kind = QuestionKind::Offer;
    report.title = "Report Errori Riscontrati";

    // --yes answers confirmations, never offers: it names no file to write.
    Console declined(CliUi::Answer::Yes);
    declined.ui.setAnswers(withReport("r.txt"));
    declined.ui.answers().files.clear();
    EXPECT_FALSE(declined.ui.Confirm(offer, "ERRORI BLOCCANTI. Salvare il report?", Icon::Stop));
    EXPECT_EQ(declined.ui.SaveFile(report), std::nullopt);
    EXPECT_FALSE(declined.ui.usageError()) << "a declined offer is no missing answer";

    Console taken(CliUi::Answer::No);
    taken.ui.setAnswers(withReport("r.txt"));
    EXPECT_TRUE(taken.ui.Confirm(offer, "ERRORI BLOCCANTI. Salvare il report?", Icon::Stop));
    EXPECT_EQ(taken.ui.SaveFile(report), std::filesystem::path("r.txt"));
    EXPECT_GOLDEN(declined.shown("declined") + taken.shown("taken"), "cli_ui/offers.txt");
    EXPECT_EQ(taken.ui.SaveFile(report), std::nullopt) << "an answer is used once";
}

TEST(CliUi, ConfirmOnATerminalReadsTheAnswer) {
    Console console(CliUi::Answer::Ask, {true, false}, "SÌ\n yes \nsi\nno\n");
    EXPECT_TRUE(console.ui.Confirm(
        {"proceed", QuestionKind::Confirmation, "Svuota"}, "Svuotare?", Icon::Question));
    EXPECT_TRUE(console.ui.Confirm({"proceed"}, "Svuotare?", Icon::Question));
    EXPECT_TRUE(console.ui.Confirm({"proceed"}, "Svuotare?", Icon::Question));
    EXPECT_FALSE(console.ui.Confirm({"proceed"}, "Svuotare?", Icon::Question));
    EXPECT_FALSE(console.ui.Confirm({"proceed"}, "Svuotare?", Icon::Question)) << "end of input";
    // What the user typed needs no log.
    EXPECT_GOLDEN(console.shown("terminal"), "cli_ui/terminal_confirmations.txt");
}

TEST(CliUi, FilesAreAnsweredByKeyAndCheckedOnlyWhereTheDialogRequiresIt) {
    test::TempDir dir;
    test::writeFile(dir / "orari.txt", "");
    FileDialog open;
    open.key = "rt_hdora";
    open.title = "Apri";
    open.mustExist = true;
    FileDialog folder;
    folder.key = "folder";
    folder.title = "Cartella";
    folder.confirmOverwrite = true;

    Console console;
    Answers answers = withReport(dir / "report.txt");
    answers.files["folder"] = dir / "orari.txt";
    answers.files["rt_hdora"] = dir / "assente.txt";
    console.ui.setAnswers(answers);
    // The folder is asked before the report: each still gets its own answer.
    EXPECT_EQ(console.ui.SaveFile(folder), dir / "orari.txt") << "no overwrite question";
    EXPECT_EQ(console.ui.OpenFile(open), std::nullopt);
    EXPECT_TRUE(console.ui.refused()) << "the argument names no file";
    EXPECT_FALSE(console.ui.usageError());

    // An input that no argument answers, with nobody to ask: a usage error, said in the log.
    EXPECT_EQ(console.ui.SaveFile(folder), std::nullopt);
    EXPECT_TRUE(console.ui.usageError());
    EXPECT_GOLDEN(test::replaceAll(console.shown("files"), dir.path().string(), "<dir>"),
                  "cli_ui/files.txt");
}

TEST(CliUi, FileTypedOnATerminalIsAskedAgainUntilAcceptable) {
    test::TempDir dir;
    test::writeFile(dir / "orari.txt", "");
    const std::string missing = (dir / "assente.txt").string();
    const std::string existing = (dir / "orari.txt").string();
    FileDialog open;
    open.key = "file";
    open.title = "Apri";
    open.mustExist = true;
    FileDialog save;
    save.key = "file";
    save.title = "Salva";
    save.confirmOverwrite = true;

    Console console(CliUi::Answer::Ask,
                    {true, false},
                    missing + "\n" + existing + "\n" + existing + "\nn\n" + missing + "\n\n");
    EXPECT_EQ(console.ui.OpenFile(open), dir / "orari.txt");
    EXPECT_EQ(console.ui.SaveFile(save), dir / "assente.txt") << "overwrite declined, asked again";
    EXPECT_EQ(console.err.str(), "Il file indicato non esiste:\n" + missing + "\n");
    EXPECT_EQ(console.ui.OpenFile(open), std::nullopt) << "empty line";
    EXPECT_FALSE(console.ui.usageError());
}

TEST(CliUi, FormAnswersAreMergedValidatedUsedOnceAndTheProposedValuesLogged) {
    Console console;
    Answers answers;
    answers.forms["periodo"] = {{"fine", "30/06/2024"}, {"linea", "L1"}};
    console.ui.setAnswers(answers);
    EXPECT_EQ(
        console.ui.Form(periodForm()),
        (FormValues{
            {"fine", "30/06/2024"}, {"inizio", "01/01/2024"}, {"linea", "L1"}, {"tutte", "1"}}));
    EXPECT_FALSE(console.ui.usageError());
    EXPECT_GOLDEN(console.shown("the values proposed, the unanswered ones logged"),
                  "cli_ui/form_answers.txt");

    EXPECT_EQ(console.ui.Form(periodForm()), std::nullopt) << "answers are used once";
    EXPECT_TRUE(console.ui.usageError());
}

TEST(CliUi, RefusedFormAnswersFailWithoutATerminal) {
    Console console;
    Answers answers;
    answers.forms["periodo"] = {
        {"fine", "01/01/2000"}, {"inizio", "01/01/2024"}, {"tutte", "1"}, {"linea", ""}};
    console.ui.setAnswers(answers);
    EXPECT_EQ(console.ui.Form(periodForm()), std::nullopt);
    EXPECT_TRUE(console.ui.refused());

    // Values a window would not let the user type are refused before the validator.
    Console limits;
    answers.forms["periodo"] = {{"linea", "12345"}};
    limits.ui.setAnswers(answers);
    EXPECT_EQ(limits.ui.Form(periodForm()), std::nullopt);
    answers.forms["periodo"] = {{"tutte", "si"}};
    limits.ui.setAnswers(answers);
    EXPECT_EQ(limits.ui.Form(periodForm()), std::nullopt);
    EXPECT_TRUE(limits.ui.refused());
    EXPECT_GOLDEN(console.shown("refused by the validator") + limits.shown("refused by the fields"),
                  "cli_ui/refused_forms.txt");
}

TEST(CliUi, RefusedFormIsAskedAgainOnATerminal) {
    // inizio kept, fine corrected, tutte kept, linea typed too long and then right.
    Console console(CliUi::Answer::Ask, {true, false}, "\n31/01/2024\n\n12345\nL1\n");
    Answers answers;
    answers.forms["periodo"] = {{"fine", "01/01/2000"}};
    console.ui.setAnswers(answers);
    EXPECT_EQ(
        console.ui.Form(periodForm()),
        (FormValues{
            {"fine", "31/01/2024"}, {"inizio", "01/01/2024"}, {"linea", "L1"}, {"tutte", "1"}}));
    EXPECT_FALSE(console.ui.refused());
    EXPECT_EQ(console.err.str(),
              "Data finale errata\nIl campo \"Linea\" accetta al massimo 4 caratteri.\n");
    EXPECT_NE(console.out.str().find("  Fine [01/01/2000]: "), std::string::npos);

    Console kept(CliUi::Answer::Ask, {true, false}, "\n\n\n\nL2\n");
    answers.forms["periodo"] = {{"linea", "12345"}};
    kept.ui.setAnswers(answers);
    EXPECT_EQ(kept.ui.Form(periodForm()).value().at("linea"), "L2")
        << "a refused answer is not kept";

    Console unanswered(CliUi::Answer::Ask, {true, false}, "\n");
    EXPECT_EQ(unanswered.ui.Form(periodForm()), std::nullopt) << "end of input";
    EXPECT_FALSE(unanswered.ui.usageError());
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
    EXPECT_GOLDEN(console.shown("terminal"), "cli_ui/progress.txt");
}

} // namespace
} // namespace tramela::ui
