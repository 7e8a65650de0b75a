#include "workspace/workspace.h"

#include "store/table_cursor.h"
#include "store/value_text.h"
#include "workspace/settings.h"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>

namespace tramela::workspace {

namespace {

constexpr std::string_view kSettingsAnomaly =
    "ATTENZIONE: è stata riscontrata una anomalia grave\n"
    "che rende impossibile il corretto funzionamento di\n"
    "questo programma.\n\n"
    "Ipotesi A) Il prodotto non è stato installato nella\n"
    "           maniera corretta, utilizzando Setup.\n\n"
    "Ipotesi B) Il registro di configurazione di Windows\n"
    "           si è corrotto e deve essere ripristinato.\n\n";

constexpr std::string_view kNotBound =
    "L'applicazione Tramela non è associata ad un database.\n\n"
    "Prima di iniziare ad operare con Tramela è necessario\n"
    "associare un database già esistente di Cartovia e VkzNuvo.\n\n";

constexpr std::string_view kNoCompany = "Non è ancora stata definita l'Azienda di lavoro !!!\n\n"
                                        "Prima di procedere a qualunque altra operazione\n"
                                        "è necessario definire l'Azienda";

long leadingNumber(std::string_view text) {
    long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

ui::FileDialog databaseFileDialog(std::string key, std::string title, bool save) {
    ui::FileDialog dialog;
    dialog.key = std::move(key);
    dialog.title = std::move(title);
    dialog.defaultExtension = "sqlite";
    dialog.initialName = "*.sqlite";
    dialog.filters = {{"Database SQLite (*.sqlite)", "*.sqlite"}, {"Tutti i files (*.*)", "*"}};
    dialog.mustExist = !save;
    dialog.confirmOverwrite = save;
    return dialog;
}

Workspace::Workspace(ui::Ui& ui, Settings& settings)
    : m_ui(ui)
    , m_settings(settings) {}

Workspace::~Workspace() {
    closeConnection();
}

void Workspace::closeConnection() {
    if (m_connection) {
        m_connection->Close();
        m_connection.reset();
    }
}

void Workspace::LoadSettings() {
    if (m_settings.load() == Settings::LoadResult::Invalid) {
        m_ui.Message(kSettingsAnomaly, ui::Icon::Stop);
        m_databasePath.clear();
        m_settingsRead = false;
        return;
    }
    m_settingsRead = true;
    m_databasePath = m_settings.databasePath();
}

bool Workspace::Startup(std::optional<std::filesystem::path> database) {
    m_title = kDefaultTitle;
    LoadSettings();
    bool clean = m_settingsRead;
    if (database) {
        m_databasePath = database->string();
        m_temporaryDatabase = true;
    }
    if (!m_databasePath.empty()) {
        clean = ConnectDatabase() && clean;
        RefreshTitle();
        return clean;
    }
    m_ui.Message(kNotBound, ui::Icon::Information);
    return clean;
}

bool Workspace::ConnectDatabase() {
    if (m_databasePath.empty()) {
        return false;
    }
    closeConnection();
    m_connection = std::make_unique<store::DatabaseConnection>(m_ui, m_databasePath);
    if (!m_connection->IsOpen()) {
        // The open failure has been shown; an unopenable file is no longer bound.
        m_connection.reset();
        m_databasePath.clear();
        return false;
    }
    // A database whose system tables are not created yet simply has no company: that is what
    // the user needs to hear, not that a table is missing.
    bool company = false;
    if (m_connection->tableExists("master")) {
        store::TableCursor master(m_connection.get(), "master");
        company = master.SelectIndex("codice") && master.Seek({"0"});
    }
    if (!company) {
        m_ui.Message(kNoCompany, ui::Icon::Information);
    }
    return true;
}

const std::string& Workspace::RefreshTitle() {
    m_title = kDefaultTitle;
    // A database without the company tables simply keeps the default title: the connection has
    // already said what it found missing.
    if (!isConnected() || !m_connection->tableExists("master")) {
        return m_title;
    }
    store::TableCursor master(m_connection.get(), "master");
    if (!master.SelectIndex("codice") || !master.Seek({"0"})) {
        return m_title;
    }
    std::string company;
    std::string first;
    std::string last;
    master.GetFieldText("azienda", company);
    master.GetFieldText("datini", first);
    master.GetFieldText("datfin", last);

    std::string name = "Azienda non definita";
    if (m_connection->tableExists("regazi")) {
        store::TableCursor companies(m_connection.get(), "regazi");
        if (companies.SelectIndex("codice") && companies.Seek({company})) {
            companies.GetFieldText("denom", name);
        }
    }
    store::TrimTrailingBlanks(name);
    m_title = fmt::format("Tramela - Azienda {} - {} [periodo dal {} al {}]",
                          leadingNumber(company),
                          name,
                          first,
                          last);
    return m_title;
}

void Workspace::Bind(const std::filesystem::path& database) {
    closeConnection();
    m_databasePath = database.string();
    m_temporaryDatabase = false;
    m_bindingChanged = true;
    ConnectDatabase();
    RefreshTitle();
}

void Workspace::Unbind() {
    closeConnection();
    m_databasePath.clear();
    m_temporaryDatabase = false;
    m_bindingChanged = true;
    RefreshTitle();
}

bool Workspace::Shutdown() {
    closeConnection();
    // A database used for one run only leaves the binding as it was, unless the user changed
    // the binding meanwhile; settings that could not be read are never overwritten.
    if (!m_settingsRead || (m_temporaryDatabase && !m_bindingChanged)) {
        return true;
    }
    m_settings.setDatabasePath(m_databasePath);
    if (m_settings.save() || !m_bindingChanged) {
        return true;
    }
    // The binding written back unchanged may fail quietly; a binding the user changed may not,
    // or the next session would open what the user left.
    m_ui.Message(m_settings.saveError(), ui::Icon::Exclamation);
    return false;
}

void Workspace::ShowProgressCaption(std::string_view text) {
    m_ui.ProgressCaption(text);
}

void Workspace::ShowProgressBar() {
    m_progress = 0;
    m_ui.Progress(0);
}

void Workspace::SetProgress(std::int64_t done, std::int64_t total) {
    const int percent =
        total > 0 ? static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100)) : 0;
    if (percent != m_progress) {
        m_progress = percent;
        m_ui.Progress(percent);
    }
}

void Workspace::HideProgressBar() {
    m_progress = -1;
    m_ui.Progress(-1);
}

void Workspace::BeginBusy(bool showWaitWindow) {
    m_ui.BeginBusy(showWaitWindow);
}

} // namespace tramela::workspace
