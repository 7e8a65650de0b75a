#include "ui/scripted_ui.h"

#include <algorithm>
#include <ostream>
#include <utility>

namespace tramela::ui {

namespace fs = std::filesystem;

namespace {

template <typename T> std::optional<T> take(std::deque<std::optional<T>>& queue) {
    if (queue.empty()) {
        return std::nullopt;
    }
    std::optional<T> answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

} // namespace

void ScriptedUi::queueConfirm(bool ok) {
    m_confirmAnswers.push_back(ok);
}

void ScriptedUi::queueOpenFile(std::optional<fs::path> path) {
    m_openAnswers.push_back(std::move(path));
}

void ScriptedUi::queueSaveFile(std::optional<fs::path> path) {
    m_saveAnswers.push_back(std::move(path));
}

void ScriptedUi::queueForm(std::optional<FormValues> values) {
    m_formAnswers.push_back(std::move(values));
}

std::size_t ScriptedUi::pendingAnswers() const {
    return m_confirmAnswers.size() + m_openAnswers.size() + m_saveAnswers.size() +
           m_formAnswers.size();
}

std::optional<ScriptedUi::ShownMessage> ScriptedUi::lastMessage() const {
    if (m_messages.empty()) {
        return std::nullopt;
    }
    return m_messages.back();
}

std::vector<std::string> ScriptedUi::messageTexts() const {
    std::vector<std::string> texts;
    texts.reserve(m_messages.size());
    for (const ShownMessage& message : m_messages) {
        texts.push_back(message.text);
    }
    return texts;
}

bool ScriptedUi::hasMessage(std::string_view text, Icon icon) const {
    return std::any_of(m_messages.begin(), m_messages.end(), [&](const ShownMessage& message) {
        return message.text == text && message.icon == icon;
    });
}

void ScriptedUi::clear() {
    m_messages.clear();
    m_confirmations.clear();
    m_dialogs.clear();
    m_fileDialogs.clear();
    m_forms.clear();
    m_progressCaptions.clear();
    m_progressValues.clear();
    m_busyCalls.clear();
}

void ScriptedUi::Message(std::string_view text, Icon icon, std::string_view caption) {
    m_messages.push_back({std::string(text), icon, std::string(caption)});
}

bool ScriptedUi::Confirm(std::string_view text, Icon icon, std::string_view caption) {
    m_confirmations.push_back({std::string(text), icon, std::string(caption)});
    if (m_confirmAnswers.empty()) {
        return false;
    }
    const bool ok = m_confirmAnswers.front();
    m_confirmAnswers.pop_front();
    return ok;
}

std::optional<fs::path> ScriptedUi::OpenFile(const FileDialog& dialog) {
    m_dialogs.push_back(dialog.title);
    m_fileDialogs.push_back(dialog);
    return take(m_openAnswers);
}

std::optional<fs::path> ScriptedUi::SaveFile(const FileDialog& dialog) {
    m_dialogs.push_back(dialog.title);
    m_fileDialogs.push_back(dialog);
    return take(m_saveAnswers);
}

std::optional<FormValues> ScriptedUi::Form(const FormSpec& spec) {
    m_dialogs.push_back(spec.title);
    m_forms.push_back(spec);
    while (std::optional<FormValues> answer = take(m_formAnswers)) {
        FormValues values = spec.initialValues();
        for (auto& [id, value] : *answer) {
            values.insert_or_assign(id, std::move(value));
        }
        const std::optional<Refusal> refusal =
            spec.validate ? spec.validate(values) : std::optional<Refusal>();
        if (!refusal) {
            return values;
        }
        m_messages.push_back({refusal->text, refusal->icon, refusal->caption});
    }
    return std::nullopt;
}

void ScriptedUi::ProgressCaption(std::string_view text) {
    m_progressCaptions.emplace_back(text);
}

void ScriptedUi::Progress(int percent) {
    m_progressValues.push_back(percent);
}

void ScriptedUi::BeginBusy(bool showWaitWindow) {
    m_busyCalls.push_back(showWaitWindow);
}

std::ostream& operator<<(std::ostream& out, Icon icon) {
    switch (icon) {
    case Icon::None:
        return out << "None";
    case Icon::Stop:
        return out << "Stop";
    case Icon::Exclamation:
        return out << "Exclamation";
    case Icon::Information:
        return out << "Information";
    case Icon::Question:
        return out << "Question";
    }
    return out << static_cast<int>(icon);
}

std::ostream& operator<<(std::ostream& out, const ScriptedUi::ShownMessage& message) {
    return out << '{' << message.icon << ", \"" << message.text << "\", \"" << message.caption
               << "\"}";
}

} // namespace tramela::ui
