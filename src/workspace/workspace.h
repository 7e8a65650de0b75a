#pragma once

#include "store/database_connection.h"
#include "ui/ui.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::workspace {

class Settings;

// The session every command works in, whatever front end shows it: the settings and the bound
// database with its connection, the company context in the title, and the progress facilities
// of long commands.
class Workspace {
public:
    static constexpr std::string_view kInitialCaption = "TRAMELA";
    static constexpr std::string_view kDefaultTitle =
        "Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"";

    Workspace(ui::Ui& ui, Settings& settings);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Reads the bound database from the settings; the anomaly message when they cannot be read.
    void LoadSettings();
    // The start-up sequence after the window exists: the default title, the settings, then the
    // bound database (or `database`, used for this run only, without changing the binding).
    // False when the settings could not be read or the database could not be opened (said so).
    bool Startup(std::optional<std::filesystem::path> database = std::nullopt);

    bool ConnectDatabase();
    const std::string& RefreshTitle();

    const std::string& title() const { return m_title; }

    // Binds the database chosen by the user and opens it (the binding is written back at the
    // end of the session, even when the file cannot be opened: it is then unbound).
    void Bind(const std::filesystem::path& database);
    // Closes the connection and leaves the session without a bound database.
    void Unbind();
    // Closes the connection and writes the binding back. A binding connect or disconnect changed
    // that cannot be written is said, and gives false; other failures of that write are ignored.
    bool Shutdown();

    store::DatabaseConnection* connection() { return m_connection.get(); }

    bool isConnected() const { return m_connection != nullptr && m_connection->IsOpen(); }

    const std::string& databasePath() const { return m_databasePath; }

    ui::Ui& ui() { return m_ui; }

    Settings& settings() { return m_settings; }

    void ShowProgressCaption(std::string_view text);
    void ShowProgressBar();
    // Moves the bar to done × 100 ÷ total; the front end is told only when the percentage changes.
    void SetProgress(std::int64_t done, std::int64_t total);
    void HideProgressBar();
    void BeginBusy(bool showWaitWindow);

private:
    void closeConnection();

    ui::Ui& m_ui;
    Settings& m_settings;
    std::unique_ptr<store::DatabaseConnection> m_connection;
    std::string m_databasePath;
    std::string m_title{kInitialCaption};
    bool m_settingsRead = false;
    bool m_bindingChanged = false; // connect or disconnect happened in this session
    bool m_temporaryDatabase = false;
    int m_progress = -1;
};

// The dialog that chooses a database file, asking the question `key`.
ui::FileDialog databaseFileDialog(std::string key, std::string title, bool save = false);

} // namespace tramela::workspace
