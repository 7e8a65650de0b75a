#include "app/demo_database.h"

#include "comm/gtfs/gtfs_import.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "store/table_cursor.h"
#include "utilities/standard_lines.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <unistd.h>

namespace tramela::app {

namespace demo {
extern const std::string_view k_agency;
extern const std::string_view k_calendar;
extern const std::string_view k_calendar_dates;
extern const std::string_view k_feed_info;
extern const std::string_view k_routes;
extern const std::string_view k_shapes;
extern const std::string_view k_stop_times;
extern const std::string_view k_stops;
extern const std::string_view k_trips;
} // namespace demo

namespace {

// The demonstration company: code 42 of the regional register, its lot and its authority.
constexpr int kCompany = 42;
constexpr int kLot = 1;
constexpr int kAuthority = 1;

// The builder answers its own questions: the standard lines are identified without asking, and
// their report is not written. Everything else reaches the user's front end.
class DemoUi : public ui::Ui {
public:
    explicit DemoUi(ui::Ui& user)
        : m_user(user) {}

    void Message(std::string_view text, ui::Icon icon, std::string_view caption) override {
        m_user.Message(text, icon, caption);
    }

    bool Confirm(const ui::Question&, std::string_view, ui::Icon) override { return true; }

    std::optional<std::filesystem::path> OpenFile(const ui::FileDialog&) override {
        return std::nullopt;
    }

    std::optional<std::filesystem::path> SaveFile(const ui::FileDialog&) override {
        return std::nullopt;
    }

    std::optional<ui::FormValues> Form(const ui::FormSpec& spec) override {
        return spec.initialValues();
    }

    void ProgressCaption(std::string_view text) override { m_user.ProgressCaption(text); }

    void Progress(int percent) override { m_user.Progress(percent); }

    void BeginBusy(bool showWaitWindow) override { m_user.BeginBusy(showWaitWindow); }

private:
    ui::Ui& m_user;
};

// Writes the feed the binary carries into a fresh folder; removed with the object.
class FeedFolder {
public:
    FeedFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tramela-demo-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        m_path = pattern;
        const std::pair<const char*, std::string_view> files[] = {
            {"agency.txt", demo::k_agency},
            {"calendar.txt", demo::k_calendar},
            {"calendar_dates.txt", demo::k_calendar_dates},
            {"feed_info.txt", demo::k_feed_info},
            {"routes.txt", demo::k_routes},
            {"shapes.txt", demo::k_shapes},
            {"stop_times.txt", demo::k_stop_times},
            {"stops.txt", demo::k_stops},
            {"trips.txt", demo::k_trips},
        };
        for (const auto& [name, text] : files) {
            std::ofstream out(m_path / name, std::ios::binary);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            m_written = m_written && out.good();
        }
    }

    ~FeedFolder() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }

    FeedFolder(const FeedFolder&) = delete;
    FeedFolder& operator=(const FeedFolder&) = delete;

    bool ready() const { return !m_path.empty() && m_written; }

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    bool m_written = true;
};

bool writeCompanyHeader(store::DatabaseConnection& connection) {
    store::TableCursor master(&connection, "master");
    master.AddNew();
    master.SetField("codice", "0");
    master.SetField("azienda", std::to_string(kCompany));
    master.SetField("p_data", "15/01/2025");
    master.SetField("protoc", "1");
    master.SetField("resple", "Ufficio Esercizio");
    master.SetField("datini", "01/01/2025");
    master.SetField("datfin", "31/12/2025");
    return master.Update();
}

} // namespace

bool BuildDemoDatabase(ui::Ui& ui, const std::filesystem::path& path) {
    if (!store::createCartographyDatabase(ui, path)) {
        return false;
    }
    {
        store::DatabaseConnection connection(ui, path);
        if (!connection.IsOpen() || !store::RefreshDescriptors(connection) ||
            !writeCompanyHeader(connection)) {
            return false;
        }
    }
    FeedFolder feed;
    if (!feed.ready()) {
        ui.Message("Impossibile preparare la rete dimostrativa in una cartella temporanea.",
                   ui::Icon::Stop);
        return false;
    }
    DemoUi answering(ui);
    // A settings file of its own: building the demonstration never touches the user's binding.
    workspace::Settings settings(feed.path() / "settings.toml");
    workspace::Workspace window(answering, settings);
    window.Startup(path);
    comm::gtfs::ImportOptions options;
    options.feed = feed.path();
    options.authority = kAuthority;
    options.lot = kLot;
    options.company = kCompany;
    options.subcontractor = kCompany;
    if (!comm::gtfs::ImportGtfs(window, options)) {
        return false;
    }
    utilities::IdentifyStandardLines(window);
    window.Shutdown();
    return true;
}

} // namespace tramela::app
