#include "store/database_connection.h"

#include "store/engine_error.h"
#include "store/value_text.h"

#include <algorithm>
#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace tramela::store {

namespace {

constexpr std::string_view kOpenFailure = "Errore in fase di apertura del database\n\n";
constexpr std::string_view kCloseFailure = "Errore in fase di sconnessione del data base\n\n";

} // namespace

DatabaseConnection::DatabaseConnection(ui::Ui& ui, std::filesystem::path path)
    : m_ui(ui)
    , m_path(std::move(path)) {
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::string description;

    // A file nobody may write is read-only even for a user whom the system lets write anyway.
    struct stat status {};

    const bool writable = ::stat(m_path.c_str(), &status) != 0 || (status.st_mode & 0222) != 0;
    if (rc == SQLITE_OK && (!writable || sqlite3_db_readonly(db, "main") == 1)) {
        description = "Il file del database è in sola lettura";
    } else if (rc == SQLITE_OK && status.st_size == 0 && S_ISREG(status.st_mode)) {
        // The engine would take an empty file for a new database and write one into it: a file
        // given by mistake would be turned into a database.
        description = "Il file non è un database (il file è vuoto)";
    } else if (rc == SQLITE_OK) {
        // Opening reads nothing; the first statement shows whether the file is a database.
        rc = sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            // WAL needs a writable folder for its side files; without it the default journal
            // still works, so that refusal is not an open failure.
            sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            rc = sqlite3_exec(db,
                              "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF",
                              nullptr,
                              nullptr,
                              nullptr);
        }
    }
    if (rc != SQLITE_OK && description.empty()) {
        description = engineDescription(db, rc);
    }
    if (!description.empty()) {
        sqlite3_close_v2(db);
        m_ui.Message(std::string(kOpenFailure) + description, ui::Icon::Stop);
        return;
    }
    m_db = db;
}

DatabaseConnection::~DatabaseConnection() {
    Close();
}

void DatabaseConnection::Close() {
    if (m_db == nullptr) {
        return;
    }
    for (ConnectionClient* client : std::vector<ConnectionClient*>(m_clients)) {
        client->connectionClosing();
    }
    m_clients.clear();
    if (m_transactionDepth > 0) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_transactionDepth = 0;
    }
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK) {
        m_ui.Message(std::string(kCloseFailure) + engineDescription(m_db, rc), ui::Icon::Stop);
        sqlite3_close_v2(m_db);
    }
    m_db = nullptr;
}

bool DatabaseConnection::transactionStep(std::string_view sql, std::string_view failureText) {
    std::string description;
    if (execute(sql, &description)) {
        return true;
    }
    m_ui.Message(std::string(failureText) + description, ui::Icon::Stop);
    return false;
}

bool DatabaseConnection::BeginTrans() {
    if (!IsOpen()) {
        return false;
    }
    // The outermost transaction takes the write lock at once: a database another program is
    // writing is refused here, once, rather than row by row after each row's wait.
    const std::string sql = m_transactionDepth == 0
                                ? "BEGIN IMMEDIATE"
                                : fmt::format("SAVEPOINT t{}", m_transactionDepth);
    if (!transactionStep(sql, "Errore in fase di avvio della transazione\n\n")) {
        return false;
    }
    ++m_transactionDepth;
    return true;
}

bool DatabaseConnection::CommitTrans() {
    if (!IsOpen()) {
        return false;
    }
    const std::string sql = m_transactionDepth <= 1
                                ? std::string("COMMIT")
                                : fmt::format("RELEASE t{}", m_transactionDepth - 1);
    if (!transactionStep(sql, "Errore in fase di convalida della transazione\n\n")) {
        return false;
    }
    if (m_transactionDepth > 0) {
        --m_transactionDepth;
    }
    return true;
}

bool DatabaseConnection::Rollback() {
    if (!IsOpen()) {
        return false;
    }
    // Rolling back changes data under any query still walking its rows.
    notifyWrite();
    if (m_transactionDepth <= 1 && sqlite3_get_autocommit(m_db) != 0) {
        // The engine has already rolled the transaction back itself (a full disk, an I/O
        // error): there is nothing left to undo, and nothing to complain about.
        m_transactionDepth = 0;
        return true;
    }
    const std::string sql = m_transactionDepth <= 1 ? std::string("ROLLBACK")
                                                    : fmt::format("ROLLBACK TO t{0}; RELEASE t{0}",
                                                                  m_transactionDepth - 1);
    if (!transactionStep(sql, "Errore in fase di ripristino della transazione\n\n")) {
        return false;
    }
    if (m_transactionDepth > 0) {
        --m_transactionDepth;
    }
    return true;
}

bool DatabaseConnection::execute(std::string_view sql, std::string* description) {
    if (m_db == nullptr) {
        if (description != nullptr) {
            *description = "Nessun database aperto";
        }
        return false;
    }
    notifyWrite();
    const int rc = sqlite3_exec(m_db, std::string(sql).c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (description != nullptr) {
            *description = engineDescription(m_db, rc);
        }
        return false;
    }
    return true;
}

bool DatabaseConnection::tableExists(std::string_view table) {
    if (m_db == nullptr) {
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(m_db,
                       "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                       "COLLATE NOCASE",
                       -1,
                       &stmt,
                       nullptr);
    sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    const bool found = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return found;
}

void DatabaseConnection::notifyWrite() {
    for (ConnectionClient* client : m_clients) {
        client->beforeWrite();
    }
}

void DatabaseConnection::attach(ConnectionClient* client) {
    m_clients.push_back(client);
}

void DatabaseConnection::detach(ConnectionClient* client) {
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}

} // namespace tramela::store
