#include "support/sample_network.h"

#include "network/geometry_codec.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::test {

namespace {

std::string hexBlob(const std::vector<network::Point>& points) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex = "x'";
    for (const unsigned char byte : network::encodeCoord(points)) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex + "'";
}

} // namespace

void runSql(const std::filesystem::path& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error != nullptr ? error : "") << "\n"
        << sql;
    sqlite3_free(error);
    sqlite3_close(db);
}

void createSampleNetwork(const std::filesystem::path& path) {
    ui::ScriptedUi quiet;
    ASSERT_TRUE(store::createCartographyDatabase(quiet, path));
    {
        store::DatabaseConnection connection(quiet, path);
        ASSERT_TRUE(store::RefreshDescriptors(connection));
    }
    const std::string route1 = hexBlob({{1000, 2000}, {1300, 2400}, {2300, 3400}});
    const std::string route2 = hexBlob({{2300, 3400}, {1000, 2000}});
    runSql(path,
           "BEGIN;"
           "INSERT INTO master VALUES (0, 42, '2024-03-01', 7, 'Mario Rossi', '2024-01-01', "
           "'2024-12-31');"
           "INSERT INTO comuni VALUES ('099001', 'Valmora'), ('099002', 'Borgo Alto');"
           "INSERT INTO local VALUES (1, 'Valmora', '099001'), (2, 'Borgo Alto', '099002');"
           "INSERT INTO fermate VALUES"
           " (1, 'VAL01', 'Stazione Centrale', 'Piazza Garibaldi', 1000, 2000, 1),"
           " (2, 'VAL02', 'Università', 'Via Roma 12', 1300, 2400, 1),"
           " (3, 'BOR01', 'Borgo Alto Chiesa', 'Piazza Duomo', 2300, 3400, 2),"
           " (4, 'ISO01', 'Casa isolata', NULL, 5000, 5000, 0),"
           " (5, 'VAL01', 'Stazione Centrale', 'Piazza Garibaldi', 1001, 2001, 1);"
           "INSERT INTO itiner VALUES"
           " (1, 'L1A', 'Stazione Centrale - Borgo Alto Chiesa', 1914.21, 1914.21),"
           " (2, 'L1R', 'Borgo Alto Chiesa - Stazione Centrale', 1914.21, 1640.12),"
           " (3, 'X9', 'Casa isolata', 0, 0);"
           "INSERT INTO fermitin VALUES"
           " (1, 1, 1, 0, 0, 1, 0), (1, 2, 2, 500, 500, 0, 1), (1, 3, 3, 1914.21, 1914.21, 1, 0),"
           " (2, 1, 3, 0, 0, 1, 0), (2, 2, 2, 1414.21, 1414.21, 0, 0),"
           " (2, 3, 1, 1914.21, 1914.21, 1, 0),"
           " (3, 1, 4, 0, 0, 1, 0);"
           "INSERT INTO geoitin VALUES"
           " (1, 3, " +
               route1 +
               ", 1000, 2000, 2300, 3400),"
               " (2, 2, " +
               route2 +
               ", 1000, 2000, 2300, 3400);"
               "INSERT INTO cadenz VALUES ('FER', 'Feriale'), ('FES', 'Festivo');"
               "INSERT INTO calend VALUES ('2024-03-01', 'FER', '5', ' '),"
               " ('2024-03-02', 'FER', '6', ' '), ('2024-03-03', 'FES', '7', 'Domenica');"
               "INSERT INTO tesstd VALUES (1, 1), (2, 2);"
               "INSERT INTO detstd VALUES (1, 1, 1, 0, 0, 0, 0), (1, 2, 2, 5, 6, 0, 0),"
               " (1, 3, 3, 20, 20, 0, 0), (2, 1, 3, 0, 0, 0, 0), (2, 2, 2, 14, 15, 0, 0),"
               " (2, 3, 1, 20, 20, 0, 0);"
               "INSERT INTO corse VALUES"
               " (1, 'C001', 'L1', 'A', 2350, 3, 12345.67, 20, 12345.67, 20, 1, 1, 'U', NULL, "
               "NULL),"
               " (2, 'C002', 'L1', 'R', 735, 3, 1914.21, 20, 1914.21, 20, 2, 2, 'U', NULL, NULL);"
               "INSERT INTO period VALUES (1, 'FER', '2024-01-01', '2024-06-30', 0),"
               " (1, 'FES', '2024-01-01', '2024-12-31', 0),"
               " (2, 'FER', '2024-01-01', '2024-12-31', 0),"
               " (2, 'FER', '2024-12-24', '2024-12-31', 1);"
               "INSERT INTO extcod VALUES (1, 1, 42, 42), (2, 1, 42, 42);"
               "INSERT INTO reglinee VALUES (1, 1, 3, 'L1', 'Linea 1', 'Stazione - Borgo Alto');"
               "INSERT INTO reglklin VALUES ('L1', 1, 1);"
               "COMMIT;");
}

} // namespace tramela::test
