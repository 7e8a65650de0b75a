#include "ui/scripted_ui.h"

#include <algorithm>
#include <ostream>
#include <utility>

namespace tramela::ui {

namespace fs = std::filesystem;

namespace {

// The next answer given for a key; nothing when none is left.
template <typename Map>
auto take(Map& answers, std::string_view key)
    -> std::optional<typename Map::mapped_type::value_type> {
    const auto found = answers.find(key);
    if (found == answers.end() || found->second.empty()) {
        return std::nullopt;
    }
    auto answer = std::move(found->second.front());
    found->second.pop_front();
    return answer;
}

} // namespace

void ScriptedUi::answerConfirm(std::string key, bool ok) {
    m_confirmAnswers[std::move(key)].push_back(ok);
}

void ScriptedUi::answerFile(std::string key, std::optional<fs::path> path) {
    m_fileAnswers[std::move(key)].push_back(std::move(path));
}

void ScriptedUi::answerForm(std::string formId, std::optional<FormValues> values) {
    m_formAnswers[std::move(formId)].push_back(std::move(values));
}

std::size_t ScriptedUi::pendingAnswers() const {
    std::size_t pending = 0;
    for (const auto& [key, answers] : m_confirmAnswers) {
        pending += answers.size();
    }
    for (const auto& [key, answers] : m_fileAnswers) {
        pending += answers.size();
    }
    for (const auto& [key, answers] : m_formAnswers) {
        pending += answers.size();
    }
    return pending;
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
    m_askedKeys.clear();
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

bool ScriptedUi::Confirm(const Question& question, std::string_view text, Icon icon) {
    m_askedKeys.push_back(question.key);
    m_confirmations.push_back({std::string(text), icon, question.caption});
    return take(m_confirmAnswers, question.key).value_or(false);
}

std::optional<fs::path> ScriptedUi::takeFile(const FileDialog& dialog) {
    m_askedKeys.push_back(dialog.key);
    m_dialogs.push_back(dialog.title);
    m_fileDialogs.push_back(dialog);
    return take(m_fileAnswers, dialog.key).value_or(std::nullopt);
}

std::optional<fs::path> ScriptedUi::OpenFile(const FileDialog& dialog) {
    return takeFile(dialog);
}

std::optional<fs::path> ScriptedUi::SaveFile(const FileDialog& dialog) {
    return takeFile(dialog);
}

std::optional<FormValues> ScriptedUi::Form(const FormSpec& spec) {
    m_askedKeys.push_back(spec.id);
    m_dialogs.push_back(spec.title);
    m_forms.push_back(spec);
    while (std::optional<FormValues> answer = take(m_formAnswers, spec.id).value_or(std::nullopt)) {
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
