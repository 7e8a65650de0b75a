#pragma once

#include "ui/ui.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tramela::store {

// A cursor that lives on a connection: told before the connection writes (so that a query can
// keep its snapshot) and before the connection closes (so that it lets go of its statements).
class ConnectionClient {
public:
    virtual void beforeWrite() = 0;
    virtual void connectionClosing() = 0;

protected:
    ~ConnectionClient() = default;
};

// The one open database: a SQLite file in WAL mode. Failures are shown through the Ui with the
// system's texts and leave the connection closed.
class DatabaseConnection {
public:
    // Opens an existing database file read-write; IsOpen() tells whether it worked.
    DatabaseConnection(ui::Ui& ui, std::filesystem::path path);
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    bool IsOpen() const { return m_db != nullptr; }

    void Close();

    // Transactions nest: the outermost is BEGIN/COMMIT/ROLLBACK, inner ones are savepoints.
    // Each gives false when the engine refuses it (the failure shown). Commands use the scoped
    // store::Transaction rather than these.
    bool BeginTrans();
    bool CommitTrans();
    bool Rollback();

    int transactionDepth() const { return m_transactionDepth; }

    const std::filesystem::path& path() const { return m_path; }

    ui::Ui& ui() const { return m_ui; }

    sqlite3* handle() const { return m_db; }

    // Runs statements that return no rows (DDL, bulk changes). Shows nothing: on failure gives
    // false and the engine's description in *description.
    bool execute(std::string_view sql, std::string* description = nullptr);
    bool tableExists(std::string_view table);

    // Every statement that changes data calls this first.
    void notifyWrite();
    void attach(ConnectionClient* client);
    void detach(ConnectionClient* client);

private:
    bool transactionStep(std::string_view sql, std::string_view failureText);

    ui::Ui& m_ui;
    std::filesystem::path m_path;
    sqlite3* m_db = nullptr;
    int m_transactionDepth = 0;
    std::vector<ConnectionClient*> m_clients;
};

} // namespace tramela::store
