#include "fuzz_support.h"

#include "app/demo_database.h"
#include "comm/txt/txt_export.h"
#include "store/database_connection.h"
#include "store/transaction.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace tramela::fuzz {

namespace {

// Stops the process when the scratch set-up fails: a target must never go on writing elsewhere.
[[noreturn]] void fail(std::string_view what) {
    std::fprintf(stderr, "fuzz set-up: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "tramela-fuzz-XXXXXX");
        if (error || ::mkdtemp(pattern.data()) == nullptr) {
            fail("no temporary folder");
        }
        m_path = pattern;
    }

    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace

const std::filesystem::path& scratchFolder() {
    static const ScratchFolder folder;
    return folder.path();
}

std::filesystem::path writeInput(std::string_view name, std::string_view input) {
    const std::filesystem::path path = scratchFolder() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
    out.close();
    if (!out) {
        fail("the input cannot be written");
    }
    return path;
}

void FuzzUi::setFile(std::string key, std::filesystem::path path) {
    m_files.insert_or_assign(std::move(key), std::move(path));
}

void FuzzUi::Message(std::string_view, ui::Icon, std::string_view) {}

bool FuzzUi::Confirm(const ui::Question& question, std::string_view, ui::Icon) {
    return question.kind != ui::QuestionKind::Offer;
}

std::optional<std::filesystem::path> FuzzUi::OpenFile(const ui::FileDialog& dialog) {
    const auto found = m_files.find(dialog.key);
    if (found == m_files.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::filesystem::path> FuzzUi::SaveFile(const ui::FileDialog& dialog) {
    return OpenFile(dialog);
}

std::optional<ui::FormValues> FuzzUi::Form(const ui::FormSpec&) {
    return std::nullopt;
}

void FuzzUi::ProgressCaption(std::string_view) {}

void FuzzUi::Progress(int) {}

void FuzzUi::BeginBusy(bool) {}

DemoWorkspace& DemoWorkspace::instance() {
    static DemoWorkspace demo;
    return demo;
}

DemoWorkspace::DemoWorkspace() {
    const std::filesystem::path& folder = scratchFolder();
    const std::filesystem::path database = folder / "demo.sqlite";
    if (!app::BuildDemoDatabase(m_ui, database)) {
        fail("the demonstration database cannot be built");
    }
    m_settings = std::make_unique<workspace::Settings>(folder / "settings.toml");
    m_window = std::make_unique<workspace::Workspace>(m_ui, *m_settings);
    if (!m_window->Startup(database)) {
        fail("the demonstration database cannot be opened");
    }
    // The export is chosen through a file of the folder it writes into.
    m_communication = folder / "communication";
    std::filesystem::create_directory(m_communication);
    m_ui.setFile(std::string(comm::kFolderKey), m_communication / "RT_PROTO.TXT");
    if (comm::ExportTxt(*m_window) != ui::Outcome::Done) {
        fail("the demonstration database cannot be exported");
    }
}

DemoWorkspace::~DemoWorkspace() = default;

void DemoWorkspace::runRolledBack(const std::function<void(workspace::Workspace&)>& command) {
    store::Transaction transaction(*m_window->connection());
    if (!transaction.active()) {
        fail("no transaction");
    }
    command(*m_window);
    transaction.rollback();
}

void importInput(std::string_view key,
                 std::string_view input,
                 const std::function<void(workspace::Workspace&)>& importer) {
    DemoWorkspace& demo = DemoWorkspace::instance();
    demo.ui().setFile(std::string(key), writeInput("input.txt", input));
    demo.runRolledBack(importer);
}

} // namespace tramela::fuzz
