#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace tramela::ui {
class ScriptedUi;
} // namespace tramela::ui

namespace tramela::test {

// Byte-exact expectations kept as small files under tests/data/golden: a whole report, a whole
// message list, a whole written file.
//
// Succeeds when `actual` is byte for byte the golden file `name`; otherwise names the first line
// that differs. With TRAMELA_GOLDEN_OUT set to a folder (a temporary one), a differing `actual` is
// also written there under the same name, for review before it replaces the golden file by hand.
::testing::AssertionResult matchesGolden(std::string_view actual, std::string_view name);

// The bytes of the golden file `name`, for an expectation that fills in what varies ("<port>").
std::string golden(std::string_view name);

#define EXPECT_GOLDEN(actual, name) EXPECT_TRUE(::tramela::test::matchesGolden((actual), (name)))

// Everything a ScriptedUi showed, as text to compare whole: the confirmations, the messages,
// then the file dialogs and forms, each entry with its icon or details, each text ended by a
// line end. The folder `dir` is written "<dir>" wherever it appears.
std::string transcript(const ui::ScriptedUi& ui, const std::filesystem::path& dir = {});

// A written report as its golden file holds it: the time of writing at the start of its second
// line as "GG/MM/AAAA hh.mm", the ISO-8859-1 text in UTF-8; line ends are kept.
std::string maskedReport(const std::filesystem::path& path);

// What a test server wrote to its report folder: "name: content" a line in the order of the
// names, the file `document` by its size ("<size> bytes"), the server's `port` written "<port>".
std::string reportedItems(const std::filesystem::path& folder, std::string_view document, int port);

// `text` with every occurrence of `from` replaced by `to`.
std::string replaceAll(std::string text, std::string_view from, std::string_view to);

// What a test's steps showed, step after step, for one golden file.
class Transcript {
public:
    Transcript(ui::ScriptedUi& ui, std::filesystem::path dir)
        : m_ui(ui)
        , m_dir(std::move(dir)) {}

    // Ends a step: "## title", then what the front end showed since the last step, which it
    // then forgets (answers not yet used stay queued).
    void step(std::string_view title);
    // Adds a block of text under its title: a report read back, the rows of a table.
    void add(std::string_view title, std::string_view text);

    const std::string& text() const { return m_text; }

private:
    ui::ScriptedUi& m_ui;
    std::filesystem::path m_dir;
    std::string m_text;
};

} // namespace tramela::test
