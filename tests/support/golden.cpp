#include "support/golden.h"

#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/text_output.h"

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>

namespace tramela::test {

namespace fs = std::filesystem;

namespace {

// Line `index` (from 0) of `text`, without its LF.
std::string_view lineOf(std::string_view text, std::size_t index) {
    for (; index > 0; --index) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return {};
        }
        text.remove_prefix(end + 1);
    }
    return text.substr(0, text.find('\n'));
}

} // namespace

std::string golden(std::string_view name) {
    const fs::path path = fs::path(TRAMELA_TEST_DATA) / "golden" / name;
    EXPECT_TRUE(fs::exists(path)) << path;
    return readFile(path);
}

::testing::AssertionResult matchesGolden(std::string_view actual, std::string_view name) {
    const fs::path path = fs::path(TRAMELA_TEST_DATA) / "golden" / name;
    const std::string expected = fs::exists(path) ? readFile(path) : std::string();
    if (fs::exists(path) && actual == expected) {
        return ::testing::AssertionSuccess();
    }
    if (const char* out = std::getenv("TRAMELA_GOLDEN_OUT"); out != nullptr && *out != '\0') {
        fs::create_directories((fs::path(out) / name).parent_path());
        writeFile(fs::path(out) / name, actual);
    }
    if (!fs::exists(path)) {
        return ::testing::AssertionFailure() << "no golden file " << path;
    }
    std::size_t line = 0;
    const std::size_t mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
        actual.begin();
    for (std::size_t i = 0; i < mismatch; ++i) {
        line += actual[i] == '\n' ? 1 : 0;
    }
    return ::testing::AssertionFailure()
           << "differs from " << path << " at line " << line + 1
           << "\n  actual:   " << ::testing::PrintToString(std::string(lineOf(actual, line)))
           << "\n  expected: " << ::testing::PrintToString(std::string(lineOf(expected, line)));
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return text;
    }
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string reportedItems(const fs::path& folder, std::string_view document, int port) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    std::string text;
    for (const std::string& name : names) {
        const std::string content = readFile(folder / name);
        text += name + ": " +
                (name == document ? std::to_string(content.size()) + " bytes" : content) + "\n";
    }
    return replaceAll(text, ":" + std::to_string(port), ":<port>");
}

std::string maskedReport(const fs::path& path) {
    std::string report = readFile(path);
    const std::size_t second = report.find("\r\n");
    static const std::regex time(R"(\d\d/\d\d/\d{4} \d\d\.\d\d )");
    if (second != std::string::npos && std::regex_match(report.substr(second + 2, 17), time)) {
        report.replace(second + 2, 16, "GG/MM/AAAA hh.mm");
    }
    return workspace::latin1ToUtf8(report);
}

std::string transcript(const ui::ScriptedUi& ui, const fs::path& dir) {
    std::ostringstream out;
    for (const auto& shown : ui.confirmations()) {
        out << "confirm " << shown.icon << (shown.caption.empty() ? "" : " " + shown.caption)
            << ":\n"
            << shown.text << "\n";
    }
    for (const auto& shown : ui.messages()) {
        out << "message " << shown.icon << (shown.caption.empty() ? "" : " " + shown.caption)
            << ":\n"
            << shown.text << "\n";
    }
    for (const ui::FileDialog& dialog : ui.fileDialogs()) {
        out << "file [" << dialog.key << "] " << dialog.title << " | " << dialog.initialName << " ."
            << dialog.defaultExtension;
        for (const ui::FileFilter& filter : dialog.filters) {
            out << " | " << filter.caption << " = " << filter.pattern;
        }
        out << (dialog.mustExist ? " | must exist" : "")
            << (dialog.confirmOverwrite ? " | confirm overwrite" : "") << "\n";
    }
    for (const ui::FormSpec& form : ui.forms()) {
        out << "form [" << form.id << "] " << form.title << "\n";
    }
    return dir.empty() ? out.str() : replaceAll(out.str(), dir.string(), "<dir>");
}

void Transcript::step(std::string_view title) {
    m_text += "## " + std::string(title) + "\n" + transcript(m_ui, m_dir);
    m_ui.clear();
}

void Transcript::add(std::string_view title, std::string_view text) {
    m_text += "## " + std::string(title) + "\n" +
              (m_dir.empty() ? std::string(text)
                             : replaceAll(std::string(text), m_dir.string(), "<dir>"));
}

} // namespace tramela::test
