#include "store/database_file.h"

#include "store/engine_error.h"

#include <memory>
#include <sqlite3.h>
#include <vector>

namespace tramela::store {

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

using DatabasePtr = std::unique_ptr<sqlite3, DatabaseCloser>;

// Opens an existing file and reads its header, so that a file that is not a database fails here.
std::optional<std::string>
openExisting(const std::filesystem::path& path, int flags, DatabasePtr& db) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    db.reset(raw);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(raw, "PRAGMA schema_version", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        return engineDescription(raw, rc);
    }
    sqlite3_busy_timeout(raw, 5000);
    return std::nullopt;
}

// The problems PRAGMA integrity_check finds; empty when the file is sound.
std::vector<std::string> integrityProblems(sqlite3* db) {
    std::vector<std::string> problems;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check(20)", -1, &stmt, nullptr) != SQLITE_OK) {
        problems.emplace_back(sqlite3_errmsg(db));
        return problems;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const std::string line = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        if (line != "ok") {
            problems.push_back(line);
        }
    }
    if (rc != SQLITE_DONE) {
        problems.emplace_back(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return problems;
}

} // namespace

std::optional<std::string> repairDatabase(const std::filesystem::path& path) {
    DatabasePtr db;
    if (auto failure = openExisting(path, SQLITE_OPEN_READWRITE, db)) {
        return failure;
    }
    if (sqlite3_db_readonly(db.get(), "main") == 1) {
        return std::string("Il file del database è in sola lettura");
    }
    // Damaged indexes are rebuilt from their tables; damage to the tables themselves remains and
    // is reported as it is.
    if (!integrityProblems(db.get()).empty()) {
        const int rc = sqlite3_exec(db.get(), "REINDEX", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            return engineDescription(db.get(), rc);
        }
        const std::vector<std::string> problems = integrityProblems(db.get());
        if (!problems.empty()) {
            std::string text = "Il database è danneggiato e non può essere riparato:";
            for (const std::string& problem : problems) {
                text += "\n" + problem;
            }
            return text;
        }
    }
    const int rc = sqlite3_exec(db.get(), "VACUUM", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        return engineDescription(db.get(), rc);
    }
    return std::nullopt;
}

std::optional<std::string> duplicateDatabase(const std::filesystem::path& origin,
                                             const std::filesystem::path& destination) {
    DatabasePtr db;
    if (auto failure = openExisting(origin, SQLITE_OPEN_READONLY, db)) {
        return failure;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), "VACUUM INTO ?1", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        const std::string target = destination.string();
        sqlite3_bind_text(
            stmt, 1, target.c_str(), static_cast<int>(target.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
        }
    }
    std::optional<std::string> failure;
    if (rc != SQLITE_OK) {
        failure = engineDescription(db.get(), rc);
    }
    sqlite3_finalize(stmt);
    return failure;
}

} // namespace tramela::store
