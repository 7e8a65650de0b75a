#pragma once

#include "ui/ui.h"

#include <deque>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::ui {

// The command line's front end: dialogs are answered from the command's arguments and flags,
// asked on a terminal, and cancelled otherwise.
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

    // The answer to the next file dialog (open or save), taken from the command's arguments.
    void queueFile(std::filesystem::path path);
    // The answer to the next file dialog with this title only (a report a command may or may not
    // offer); such answers are looked at before the queue above.
    void answerFile(std::string dialogTitle, std::filesystem::path path);
    // Answers to the form with this id, merged over its initial values; used by one Form call.
    // No values at all means "accept the initial values".
    void answerForm(std::string formId, FormValues values);

    // A failure was shown: a message with the Stop icon (refused data, failures) or the
    // Exclamation icon (structure and SQL errors).
    bool failureShown() const { return m_failureShown; }

    // A form's answers were refused and not corrected (the refusal was shown).
    bool refused() const { return m_refused; }

    // A confirmation was answered Cancel or a dialog was left without an answer.
    bool cancelled() const { return m_cancelled; }

    void Message(std::string_view text, Icon icon, std::string_view caption = {}) override;
    bool Confirm(std::string_view text, Icon icon, std::string_view caption = {}) override;
    std::optional<std::filesystem::path> OpenFile(const FileDialog& dialog) override;
    std::optional<std::filesystem::path> SaveFile(const FileDialog& dialog) override;
    std::optional<FormValues> Form(const FormSpec& spec) override;
    void ProgressCaption(std::string_view text) override;
    void Progress(int percent) override;
    void BeginBusy(bool showWaitWindow) override;

private:
    void show(std::string_view text, Icon icon);
    void clearBar();
    std::optional<std::string> readLine(std::string_view prompt);
    bool askYesNo(std::string_view text, std::string_view caption);
    std::optional<std::filesystem::path> takeFile(const FileDialog& dialog, bool opening);
    bool askFields(const FormSpec& spec, FormValues& values);

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream& m_in;
    Answer m_answer;
    Terminals m_terminals;
    std::deque<std::filesystem::path> m_files;
    std::map<std::string, std::deque<std::filesystem::path>, std::less<>> m_titledFiles;
    std::map<std::string, FormValues, std::less<>> m_formAnswers;
    bool m_failureShown = false;
    bool m_refused = false;
    bool m_cancelled = false;
    std::string m_caption;
    int m_shownPercent = -1; // the bar on stderr; -1: not drawn
};

} // namespace tramela::ui
