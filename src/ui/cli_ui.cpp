#include "ui/cli_ui.h"

#include <algorithm>
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <iostream>
#include <system_error>

namespace tramela::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kBarCells = 20;
// What the bar covers on its line: "[" + cells + "] 100%".
constexpr std::size_t kBarWidth = kBarCells + 7;

bool goesToOutput(Icon icon) {
    return icon == Icon::Information || icon == Icon::None;
}

std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "s", "si", "sì" (any case) and the English "y", "yes" say yes; anything else no.
bool isYes(std::string_view reply) {
    std::string word(trimmed(reply));
    for (char& c : word) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (const auto grave = word.find("\xC3\x8C"); grave != std::string::npos) {
        word.replace(grave, 2, "\xC3\xAC"); // Ì → ì
    }
    return word == "s" || word == "si" || word == "s\xC3\xAC" || word == "y" || word == "yes";
}

// A field as a line of the terminal or of the log names it: within its group's frame ("Ente
// Contrattuale - Tutto"), by the frame alone when it has no caption of its own.
std::string fieldLabel(const FormGroup& group, const FormField& field) {
    if (field.caption.empty()) {
        return group.caption.empty() ? field.id : group.caption;
    }
    return group.caption.empty() ? field.caption : group.caption + " - " + field.caption;
}

std::string fieldName(const FormField& field) {
    return field.caption.empty() ? field.id : field.caption;
}

// What a window would not let the user enter at all: more characters than the field takes, a
// radio entry that does not exist, a check box neither ticked nor clear. Command validators
// count on these, so answers from flags are held to the same limits.
std::optional<std::string> fieldRefusal(const FormField& field, std::string_view value) {
    if (field.maxLength > 0 && characters(value) > static_cast<std::size_t>(field.maxLength)) {
        return fmt::format(
            "Il campo \"{}\" accetta al massimo {} caratteri.", fieldName(field), field.maxLength);
    }
    if (field.kind == FieldKind::Radio && !field.entries.empty() &&
        std::find(field.entries.begin(), field.entries.end(), value) == field.entries.end()) {
        return fmt::format("Il campo \"{}\" accetta soltanto: {}.",
                           fieldName(field),
                           fmt::join(field.entries, ", "));
    }
    if (field.kind == FieldKind::Check && value != "1" && value != "0") {
        return fmt::format("Il campo \"{}\" accetta soltanto 1 o 0.", fieldName(field));
    }
    return std::nullopt;
}

std::optional<Refusal> answersRefusal(const FormSpec& spec, const FormValues& answers) {
    for (const auto& [id, value] : answers) {
        if (const FormField* field = spec.field(id)) {
            if (auto text = fieldRefusal(*field, value)) {
                return Refusal{std::move(*text), Icon::Stop, spec.title};
            }
        }
    }
    return std::nullopt;
}

// For the log: the fields the command line did not give, with the values the dialog proposed.
std::string proposedValues(const FormSpec& spec, const FormValues& given) {
    std::string text;
    for (const FormGroup& group : spec.groups) {
        for (const FormField& field : group.fields) {
            if (!given.contains(field.id)) {
                text += fmt::format("\n  {}: {}",
                                    fieldLabel(group, field),
                                    field.masked && !field.value.empty() ? "****" : field.value);
            }
        }
    }
    return text;
}

} // namespace

CliUi::CliUi(Answer answer, Terminals terminals)
    : CliUi(answer, terminals, std::cout, std::cerr, std::cin) {}

CliUi::CliUi(
    Answer answer, Terminals terminals, std::ostream& out, std::ostream& err, std::istream& in)
    : m_out(out)
    , m_err(err)
    , m_in(in)
    , m_answer(answer)
    , m_terminals(terminals) {}

CliUi::~CliUi() {
    if (m_shownPercent >= 0) {
        m_err << '\n' << std::flush;
    }
}

void CliUi::show(std::string_view text, Icon icon) {
    clearBar();
    std::ostream& stream = goesToOutput(icon) ? m_out : m_err;
    stream << text;
    if (text.empty() || text.back() != '\n') {
        stream << '\n';
    }
    stream << std::flush;
}

void CliUi::echo(std::string_view question, std::string_view answer) {
    clearBar();
    m_err << question;
    if (!question.empty() && question.back() != '\n') {
        m_err << '\n';
    }
    m_err << "-> " << answer << '\n' << std::flush;
}

void CliUi::Message(std::string_view text, Icon icon, std::string_view /*caption*/) {
    show(text, icon);
}

std::optional<std::string> CliUi::readLine(std::string_view prompt) {
    clearBar();
    m_out << prompt << std::flush;
    std::string line;
    if (!std::getline(m_in, line)) {
        m_out << '\n' << std::flush;
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

bool CliUi::askYesNo(std::string_view text, std::string_view caption) {
    if (!caption.empty()) {
        show(caption, Icon::None);
    }
    show(text, Icon::None);
    const std::optional<std::string> reply = readLine("[s/n] ");
    return reply && isYes(*reply);
}

bool CliUi::Confirm(const Question& question, std::string_view text, Icon /*icon*/) {
    const std::string_view spelling = m_answers.spelled(question.key);
    if (const auto given = m_answers.confirmations.find(question.key);
        given != m_answers.confirmations.end()) {
        echo(text, fmt::format("{} ({})", given->second ? "OK" : "Annulla", spelling));
        return given->second;
    }
    if (question.kind == QuestionKind::Offer) {
        // An offer is taken when its answer was given (the report's file), declined otherwise;
        // the global --yes does not make up a file to write.
        if (m_answers.files.contains(question.key)) {
            echo(text, fmt::format("OK ({})", spelling));
            return true;
        }
        if (m_terminals.interactive) {
            return askYesNo(text, question.caption);
        }
        echo(text,
             spelling.empty() ? std::string("Annulla")
                              : fmt::format("Annulla (senza {})", spelling));
        return false;
    }
    switch (m_answer) {
    case Answer::Yes:
        echo(text, "OK (--yes)");
        return true;
    case Answer::No:
        echo(text, "Annulla (--no)");
        return false;
    case Answer::Ask:
        break;
    }
    if (m_terminals.interactive) {
        return askYesNo(text, question.caption);
    }
    echo(text, "Annulla (nessuna risposta: --yes per confermare)");
    return false;
}

std::optional<fs::path> CliUi::OpenFile(const FileDialog& dialog) {
    return takeFile(dialog, true);
}

std::optional<fs::path> CliUi::SaveFile(const FileDialog& dialog) {
    return takeFile(dialog, false);
}

std::optional<fs::path> CliUi::takeFile(const FileDialog& dialog, bool opening) {
    std::error_code ignored;
    const auto given = m_answers.files.find(dialog.key);
    if (given != m_answers.files.end()) {
        // An argument is an explicit answer: it is not questioned about overwriting, only
        // checked for existence where the dialog requires it. It answers its question once.
        fs::path path = std::move(given->second);
        m_answers.files.erase(given);
        if (opening && dialog.mustExist && !fs::exists(path, ignored)) {
            Message("Il file indicato non esiste:\n" + path.string(), Icon::Stop);
            m_refused = true;
            return std::nullopt;
        }
        if (dialog.kind == QuestionKind::Offer) {
            echo(dialog.title,
                 fmt::format("{} ({})", path.string(), m_answers.spelled(dialog.key)));
        }
        return path;
    }
    if (m_terminals.interactive) {
        return typeFile(dialog, opening);
    }
    const std::string_view spelling = m_answers.spelled(dialog.key);
    if (dialog.kind == QuestionKind::Offer) {
        echo(dialog.title,
             spelling.empty() ? std::string("non salvato")
                              : fmt::format("non salvato (senza {})", spelling));
        return std::nullopt;
    }
    echo(dialog.title,
         spelling.empty() ? std::string("nessuna risposta")
                          : fmt::format("nessuna risposta ({} mancante)", spelling));
    m_usageError = true;
    return std::nullopt;
}

// On a terminal the dialog stays open as a window would: a missing file or a refused overwrite
// asks again; an empty line or the end of input cancels.
std::optional<fs::path> CliUi::typeFile(const FileDialog& dialog, bool opening) {
    std::error_code ignored;
    const std::string prompt = (dialog.title.empty() ? std::string("File") : dialog.title) + ": ";
    while (true) {
        const std::optional<std::string> line = readLine(prompt);
        if (!line || trimmed(*line).empty()) {
            return std::nullopt;
        }
        fs::path path(*line);
        if (opening && dialog.mustExist && !fs::exists(path, ignored)) {
            show("Il file indicato non esiste:\n" + path.string(), Icon::Stop);
            continue;
        }
        if (!opening && dialog.confirmOverwrite && fs::exists(path, ignored) &&
            !askYesNo(path.string() + " esiste gi\xC3\xA0.\nSostituirlo?", dialog.title)) {
            continue;
        }
        return path;
    }
}

// Field by field: caption and current value; an empty line keeps the value, the end of input
// cancels the form.
bool CliUi::askFields(const FormSpec& spec, FormValues& values) {
    if (!spec.title.empty()) {
        show(spec.title, Icon::None);
    }
    for (const FormGroup& group : spec.groups) {
        if (!group.caption.empty()) {
            show(group.caption, Icon::None);
        }
        for (const FormField& field : group.fields) {
            std::string hint;
            if (field.kind == FieldKind::Check) {
                hint = " (1/0)";
            } else if (!field.entries.empty()) {
                hint = fmt::format(" ({})", fmt::join(field.entries, " / "));
            }
            std::string& value = values[field.id];
            while (true) {
                const std::optional<std::string> line = readLine(
                    fmt::format("  {}{} [{}]: ",
                                field.caption.empty() && !group.caption.empty() ? group.caption
                                                                                : fieldName(field),
                                hint,
                                value));
                if (!line) {
                    return false;
                }
                // A kept value is checked too unless it is the form's own: a refused flag
                // answer must not get through by pressing Enter.
                const std::string& typed = line->empty() ? value : *line;
                std::optional<std::string> refusal;
                if (!line->empty() || value != field.value) {
                    refusal = fieldRefusal(field, typed);
                }
                if (refusal) {
                    show(*refusal, Icon::Stop);
                    continue;
                }
                value = typed;
                break;
            }
        }
    }
    return true;
}

std::optional<FormValues> CliUi::unansweredForm(const FormSpec& spec) {
    if (m_terminals.interactive) {
        FormValues values = spec.initialValues();
        if (!askFields(spec, values)) {
            return std::nullopt;
        }
        return values;
    }
    if (spec.kind == QuestionKind::Offer) {
        echo(spec.title, "Annulla");
        return std::nullopt;
    }
    echo(spec.title, "nessuna risposta");
    m_usageError = true;
    return std::nullopt;
}

std::optional<FormValues> CliUi::Form(const FormSpec& spec) {
    std::optional<Refusal> refusal;
    FormValues values = spec.initialValues();
    if (const auto answer = m_answers.forms.find(spec.id); answer != m_answers.forms.end()) {
        refusal = answersRefusal(spec, answer->second);
        if (const std::string proposed = proposedValues(spec, answer->second);
            batch() && !proposed.empty()) {
            echo(spec.title + proposed, "valori proposti");
        }
        for (const auto& [id, value] : answer->second) {
            values.insert_or_assign(id, value);
        }
        m_answers.forms.erase(answer);
    } else {
        std::optional<FormValues> typed = unansweredForm(spec);
        if (!typed) {
            return std::nullopt;
        }
        values = std::move(*typed);
    }
    while (true) {
        if (!refusal && spec.validate) {
            refusal = spec.validate(values);
        }
        if (!refusal) {
            return values;
        }
        if (!m_terminals.interactive) {
            Message(refusal->text, refusal->icon, refusal->caption);
            m_refused = true;
            return std::nullopt;
        }
        show(refusal->text, refusal->icon);
        refusal.reset();
        if (!askFields(spec, values)) {
            return std::nullopt;
        }
    }
}

void CliUi::clearBar() {
    if (m_shownPercent >= 0) {
        m_err << '\r' << std::string(kBarWidth, ' ') << '\r' << std::flush;
        m_shownPercent = -1;
    }
}

void CliUi::ProgressCaption(std::string_view text) {
    if (!m_terminals.progress || text == m_caption) {
        return;
    }
    m_caption = text;
    if (!text.empty()) {
        const int percent = m_shownPercent;
        clearBar();
        m_err << text << '\n' << std::flush;
        if (percent >= 0) {
            Progress(percent);
        }
    }
}

void CliUi::Progress(int percent) {
    if (!m_terminals.progress) {
        return;
    }
    if (percent < 0) {
        // The operation is over: the next one shows its caption even when it is the same.
        clearBar();
        m_caption.clear();
        return;
    }
    percent = std::min(percent, 100);
    if (percent == m_shownPercent) {
        return;
    }
    const int filled = percent * kBarCells / 100;
    m_err << fmt::format("\r[{}{}]{:>4}%",
                         std::string(static_cast<std::size_t>(filled), '#'),
                         std::string(static_cast<std::size_t>(kBarCells - filled), ' '),
                         percent)
          << std::flush;
    m_shownPercent = percent;
}

void CliUi::BeginBusy(bool showWaitWindow) {
    if (m_terminals.progress && showWaitWindow) {
        const int percent = m_shownPercent;
        clearBar();
        m_err << "Attendere prego...\n" << std::flush;
        if (percent >= 0) {
            Progress(percent);
        }
    }
}

} // namespace tramela::ui
