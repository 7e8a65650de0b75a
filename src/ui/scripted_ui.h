#pragma once

#include "ui/ui.h"

#include <cstddef>
#include <deque>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::ui {

// A front end for tests: dialogs are answered from queues, everything shown is recorded.
class ScriptedUi : public Ui {
public:
    struct ShownMessage {
        std::string text;
        Icon icon = Icon::None;
        std::string caption;

        bool operator==(const ShownMessage&) const = default;
    };

    // One answer per call; an empty queue answers Cancel.
    void queueConfirm(bool ok);
    void queueOpenFile(std::optional<std::filesystem::path> path);
    void queueSaveFile(std::optional<std::filesystem::path> path);
    // One attempt at a form: merged over its initial values and validated; a refusal is
    // recorded among the messages and the next attempt is tried. nullopt: the user cancels.
    void queueForm(std::optional<FormValues> values);
    // Queued answers not yet used: a test that expects every answer to be asked checks for 0.
    std::size_t pendingAnswers() const;

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
    bool Confirm(std::string_view text, Icon icon, std::string_view caption = {}) override;
    std::optional<std::filesystem::path> OpenFile(const FileDialog& dialog) override;
    std::optional<std::filesystem::path> SaveFile(const FileDialog& dialog) override;
    std::optional<FormValues> Form(const FormSpec& spec) override;
    void ProgressCaption(std::string_view text) override;
    void Progress(int percent) override;
    void BeginBusy(bool showWaitWindow) override;

private:
    std::deque<bool> m_confirmAnswers;
    std::deque<std::optional<std::filesystem::path>> m_openAnswers;
    std::deque<std::optional<std::filesystem::path>> m_saveAnswers;
    std::deque<std::optional<FormValues>> m_formAnswers;

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
