#pragma once

#include "store/database_connection.h"
#include "store/table_definition.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <memory>
#include <string>
#include <vector>

namespace tramela::test {

// A database in a temporary folder holding the tables a test asks for, opened on a ScriptedUi.
class StoreFixture {
public:
    explicit StoreFixture(const std::vector<store::TableDefinition>& tables);

    store::DatabaseConnection& connection() { return *m_connection; }

    ui::ScriptedUi& ui() { return m_ui; }

    const TempDir& dir() const { return m_dir; }

    std::filesystem::path path() const { return m_dir / "prova.sqlite"; }

    // Runs SQL directly (fails the test on error).
    void sql(const std::string& statement);
    // The number of rows of a table, read directly.
    long count(const std::string& table);
    // The first column of the first row of a query, as text ("" for null).
    std::string scalar(const std::string& query);

private:
    TempDir m_dir;
    ui::ScriptedUi m_ui;
    std::unique_ptr<store::DatabaseConnection> m_connection;
};

// A table with a column of every type: codice SMALLINT (primary), lungo INTEGER, nome TEXT(10),
// data DATE, valore DOUBLE, importo CURRENCY, attivo BOOLEAN, dati BLOB, nota memo; the index
// "nomedata" on (nome, data), not unique.
store::TableDefinition allTypesTable(const std::string& name = "prova");

// A cartography database with a company header table (master: codice, azienda, datini,
// datfin), then `sql` run on it.
std::filesystem::path
databaseWithMaster(const TempDir& dir, std::string_view name, std::string sql);

} // namespace tramela::test
