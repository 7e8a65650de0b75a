#pragma once

#include "ui/ui.h"

#include <cstddef>
#include <deque>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::ui {

// A front end for tests: each question is answered by its key from what the test gave for that
// key, whatever the order in which the command asks; everything shown is recorded.
class ScriptedUi : public Ui {
public:
    struct ShownMessage {
        std::string text;
        Icon icon = Icon::None;
        std::string caption;

        bool operator==(const ShownMessage&) const = default;
    };

    // Answers by key, each used once, in the order given for that key; a question whose key has
    // no answer left is answered Cancel.
    void answerConfirm(std::string key, bool ok);
    void answerFile(std::string key, std::optional<std::filesystem::path> path);
    // One attempt at a form: merged over its initial values and validated; a refusal is
    // recorded among the messages and the form's next answer is tried. nullopt: the user
    // cancels.
    void answerForm(std::string formId, std::optional<FormValues> values);
    // Answers not yet used: a test that expects every answer to be asked checks for 0.
    std::size_t pendingAnswers() const;

    // The key of every question asked (confirmation, file dialog, form), in order.
    const std::vector<std::string>& askedKeys() const { return m_askedKeys; }

    // Messages and form refusals, in the order shown.
    const std::vector<ShownMessage>& messages() const { return m_messages; }

    const std::vector<ShownMessage>& confirmations() const { return m_confirmations; }

    // Titles of the file dialogs and forms, in the order shown.
    const std::vector<std::string>& dialogs() const { return m_dialogs; }

    const std::vector<FileDialog>& fileDialogs() const { return m_fileDialogs; }

    const std::vector<FormSpec>& forms() const { return m_forms; }

    const std::vector<std::string>& progressCaptions() const { return m_progressCaptions; }

    const std::vector<int>& progressValues() const { return m_progressValues; }

    // The showWaitWindow argument of each BeginBusy call.
    const std::vector<bool>& busyCalls() const { return m_busyCalls; }

    std::optional<ShownMessage> lastMessage() const;
    // The texts of the messages, in order, for comparing all of them at once.
    std::vector<std::string> messageTexts() const;
    bool hasMessage(std::string_view text, Icon icon) const;
    // Forgets what was recorded; queued answers stay.
    void clear();

    void Message(std::string_view text, Icon icon, std::string_view caption = {}) override;
    bool Confirm(const Question& question, std::string_view text, Icon icon) override;
    std::optional<std::filesystem::path> OpenFile(const FileDialog& dialog) override;
    std::optional<std::filesystem::path> SaveFile(const FileDialog& dialog) override;
    std::optional<FormValues> Form(const FormSpec& spec) override;
    void ProgressCaption(std::string_view text) override;
    void Progress(int percent) override;
    void BeginBusy(bool showWaitWindow) override;

private:
    std::optional<std::filesystem::path> takeFile(const FileDialog& dialog);

    std::map<std::string, std::deque<bool>, std::less<>> m_confirmAnswers;
    std::map<std::string, std::deque<std::optional<std::filesystem::path>>, std::less<>>
        m_fileAnswers;
    std::map<std::string, std::deque<std::optional<FormValues>>, std::less<>> m_formAnswers;
    std::vector<std::string> m_askedKeys;

    std::vector<ShownMessage> m_messages;
    std::vector<ShownMessage> m_confirmations;
    std::vector<std::string> m_dialogs;
    std::vector<FileDialog> m_fileDialogs;
    std::vector<FormSpec> m_forms;
    std::vector<std::string> m_progressCaptions;
    std::vector<int> m_progressValues;
    std::vector<bool> m_busyCalls;
};

// For GoogleTest's failure output.
std::ostream& operator<<(std::ostream& out, Icon icon);
std::ostream& operator<<(std::ostream& out, const ScriptedUi::ShownMessage& message);

} // namespace tramela::ui
