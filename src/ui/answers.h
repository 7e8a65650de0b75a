#pragma once

#include "ui/ui.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace tramela::ui {

// Answers given before a command runs, by the key of the question each answers: the command
// line's arguments and flags. How each was given ("--report", "FILE") is kept with it, so that a
// log can say where an answer came from.
struct Answers {
    // File dialogs; each answer is used once.
    std::map<std::string, std::filesystem::path, std::less<>> files;
    // Forms: field values laid over the form's initial values; used once.
    std::map<std::string, FormValues, std::less<>> forms;
    // Confirmations and offers answered on their own (not by the global --yes / --no).
    std::map<std::string, bool, std::less<>> confirmations;
    // How the answer of a key ("report") or of a form field ("export-xml.from") is spelled on
    // the command line: "--report", "FILE".
    std::map<std::string, std::string, std::less<>> spelling;

    static std::string fieldKey(std::string_view form, std::string_view field) {
        return std::string(form) + "." + std::string(field);
    }

    // The spelling of a key, or empty.
    std::string_view spelled(std::string_view key) const {
        const auto found = spelling.find(key);
        return found != spelling.end() ? std::string_view(found->second) : std::string_view();
    }
};

} // namespace tramela::ui
