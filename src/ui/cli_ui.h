#pragma once

#include "ui/answers.h"
#include "ui/ui.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::ui {

// The command line's front end. Each question is answered by its key from the command's
// arguments and flags; a question no argument answers is asked on a terminal; in batch a
// confirmation takes the global --yes / --no (Cancel when neither is given), an offer is
// declined, and a missing input is a usage error. In batch, every question whose answer the
// user did not write for it on the command line is printed on standard error with the answer
// taken, so that a log shows what was asked and why a command stopped.
class CliUi : public Ui {
public:
    // The global --yes / --no flags: how every confirmation is answered.
    enum class Answer { Ask, Yes, No };

    // What the process is attached to (the caller passes isatty's results).
    struct Terminals {
        bool interactive = false; // stdin and stdout: questions can be asked and answered
        bool progress = false;    // stderr: progress captions and bars are drawn
    };

    // Streams are borrowed and must outlive the object.
    CliUi(Answer answer, Terminals terminals);
    CliUi(
        Answer answer, Terminals terminals, std::ostream& out, std::ostream& err, std::istream& in);
    ~CliUi() override;
    CliUi(const CliUi&) = delete;
    CliUi& operator=(const CliUi&) = delete;

    // The answers of the command about to run.
    void setAnswers(Answers answers) { m_answers = std::move(answers); }

    Answers& answers() { return m_answers; }

    // A form's answers were refused and not corrected (the refusal was shown).
    bool refused() const { return m_refused; }

    // A question that needed an answer got none (no argument, no terminal): a usage error.
    bool usageError() const { return m_usageError; }

    void Message(std::string_view text, Icon icon, std::string_view caption = {}) override;
    bool Confirm(const Question& question, std::string_view text, Icon icon) override;
    std::optional<std::filesystem::path> OpenFile(const FileDialog& dialog) override;
    std::optional<std::filesystem::path> SaveFile(const FileDialog& dialog) override;
    std::optional<FormValues> Form(const FormSpec& spec) override;
    void ProgressCaption(std::string_view text) override;
    void Progress(int percent) override;
    void BeginBusy(bool showWaitWindow) override;

private:
    void show(std::string_view text, Icon icon);
    // A question and the answer taken without asking, for the log.
    void echo(std::string_view question, std::string_view answer);
    void clearBar();
    std::optional<std::string> readLine(std::string_view prompt);
    bool askYesNo(std::string_view text, std::string_view caption);
    std::optional<std::filesystem::path> takeFile(const FileDialog& dialog, bool opening);
    std::optional<std::filesystem::path> typeFile(const FileDialog& dialog, bool opening);
    std::optional<FormValues> unansweredForm(const FormSpec& spec);
    bool askFields(const FormSpec& spec, FormValues& values);

    bool batch() const { return !m_terminals.interactive; }

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream& m_in;
    Answer m_answer;
    Terminals m_terminals;
    Answers m_answers;
    bool m_refused = false;
    bool m_usageError = false;
    std::string m_caption;
    int m_shownPercent = -1; // the bar on stderr; -1: not drawn
};

} // namespace tramela::ui
