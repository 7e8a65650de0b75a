#pragma once

#include "ui/ui.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace tramela::workspace {
class Workspace;
class Settings;
} // namespace tramela::workspace

// What the fuzz targets share: a scratch folder of their own, and the demonstration database
// opened in a workspace whose front end answers like a user who always goes on.
namespace tramela::fuzz {

// The input as bytes.
inline std::string_view bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder made under the system's temporary folder for this process, removed with everything in
// it when the process ends normally. Nothing a target does is written anywhere else.
const std::filesystem::path& scratchFolder();

// Writes the input to `name` in the scratch folder, replacing what an earlier input left there;
// gives its path.
std::filesystem::path writeInput(std::string_view name, std::string_view input);

// A front end that answers every question without showing anything: a file dialog with the file
// given for its key (Cancel for any other key), a confirmation OK, an offer (of a report) declined,
// a form cancelled.
class FuzzUi : public ui::Ui {
public:
    void setFile(std::string key, std::filesystem::path path);

    void Message(std::string_view text, ui::Icon icon, std::string_view caption = {}) override;
    bool Confirm(const ui::Question& question, std::string_view text, ui::Icon icon) override;
    std::optional<std::filesystem::path> OpenFile(const ui::FileDialog& dialog) override;
    std::optional<std::filesystem::path> SaveFile(const ui::FileDialog& dialog) override;
    std::optional<ui::FormValues> Form(const ui::FormSpec& spec) override;
    void ProgressCaption(std::string_view text) override;
    void Progress(int percent) override;
    void BeginBusy(bool showWaitWindow) override;

private:
    std::map<std::string, std::filesystem::path, std::less<>> m_files;
};

// The demonstration database, built once per process in the scratch folder and opened in a
// workspace on a FuzzUi, with its own text communication exported beside it (the folder
// communication()), so that a target can pair the file it fuzzes with the database's own
// version of another file.
class DemoWorkspace {
public:
    // The one of the process; built at the first call (a failure aborts the process).
    static DemoWorkspace& instance();

    workspace::Workspace& window() { return *m_window; }

    FuzzUi& ui() { return m_ui; }

    const std::filesystem::path& communication() const { return m_communication; }

    // Runs `command` inside a transaction that is rolled back afterwards, so that every input
    // starts from the same database. The commands' own transactions nest in it.
    void runRolledBack(const std::function<void(workspace::Workspace&)>& command);

    ~DemoWorkspace();

private:
    DemoWorkspace();

    FuzzUi m_ui;
    std::unique_ptr<workspace::Settings> m_settings;
    std::unique_ptr<workspace::Workspace> m_window;
    std::filesystem::path m_communication;
};

// Runs an importer of the demonstration workspace on the input, given as the answer to the file
// question `key`, inside a rolled-back transaction.
void importInput(std::string_view key,
                 std::string_view input,
                 const std::function<void(workspace::Workspace&)>& importer);

} // namespace tramela::fuzz
