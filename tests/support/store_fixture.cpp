#include "support/store_fixture.h"

#include "store/cartography.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::test {

StoreFixture::StoreFixture(const std::vector<store::TableDefinition>& tables) {
    sqlite3* db = nullptr;
    sqlite3_open(path().c_str(), &db);
    for (const auto& table : tables) {
        const std::string script = store::createTableScript(table);
        EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    m_connection = std::make_unique<store::DatabaseConnection>(m_ui, path());
    EXPECT_TRUE(m_connection->IsOpen());
}

void StoreFixture::sql(const std::string& statement) {
    std::string description;
    ASSERT_TRUE(m_connection->execute(statement, &description)) << statement << ": " << description;
}

long StoreFixture::count(const std::string& table) {
    return std::stol(scalar("SELECT COUNT(*) FROM " + table));
}

std::string StoreFixture::scalar(const std::string& query) {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(m_connection->handle(), query.c_str(), -1, &stmt, nullptr),
              SQLITE_OK);
    std::string result;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
        result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return result;
}

store::TableDefinition allTypesTable(const std::string& name) {
    using enum store::FieldType;
    return {name,
            {{"codice", Short, 0, true},
             {"lungo", Long, 0, false},
             {"nome", Text, 10, false},
             {"data", Date, 0, false},
             {"valore", Double, 0, false},
             {"importo", Currency, 0, false},
             {"attivo", Boolean, 0, false},
             {"dati", Blob, 0, false},
             {"nota", Memo, 0, false}},
            {{"codice", true, {"codice"}}, {"nomedata", false, {"nome", "data"}}}};
}

std::filesystem::path
databaseWithMaster(const TempDir& dir, std::string_view name, std::string sql) {
    const auto path = dir / name;
    ui::ScriptedUi ui;
    EXPECT_TRUE(store::createCartographyDatabase(ui, path));
    using enum store::FieldType;
    const store::TableDefinition master{"master",
                                        {{"codice", Short, 0, true},
                                         {"azienda", Short, 0, true},
                                         {"datini", Date, 0, true},
                                         {"datfin", Date, 0, true}},
                                        {{"codice", true, {"codice"}}}};
    sql = store::createTableScript(master) + sql;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
    return path;
}

} // namespace tramela::test
