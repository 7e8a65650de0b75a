#include "support/demo_cli.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sqlite3.h>
#include <string>

namespace tramela::reports {
namespace {

using test::ProcessResult;

// The boards of the demonstration database, written as a user writes them.
class BoardsCli : public test::DemoCli {
protected:
    // The routes that have a trip with a period, read without the product's own layers.
    std::set<std::string> routesWithTrips() {
        sqlite3* db = nullptr;
        std::set<std::string> routes;
        EXPECT_EQ(
            sqlite3_open_v2((dir / "demo.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT DISTINCT printf('Q%05d.HTM', id_perc) FROM corse"
                           " JOIN period ON period.id = corse.id",
                           -1,
                           &stmt,
                           nullptr);
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
            routes.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return routes;
    }

    std::set<std::string> written(const std::filesystem::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
};

TEST_F(BoardsCli, HtmlWritesOnePagePerRouteAndTheIndex) {
    std::filesystem::create_directory(dir / "html");
    const test::ProcessResult result = run("--db demo.sqlite boards-html html");
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    std::set<std::string> expected = routesWithTrips();
    ASSERT_GT(expected.size(), 1u);
    EXPECT_NE(
        result.out.find("Sono stati generati " + std::to_string(expected.size()) + " Quadri Orari"),
        std::string::npos)
        << result.out;
    expected.insert("INDEX.HTM");
    EXPECT_EQ(written(dir / "html"), expected);
}

TEST_F(BoardsCli, TextOfOneRouteAndNothingForAnUnknownLine) {
    std::filesystem::create_directory(dir / "txt");
    test::ProcessResult result = run("--db demo.sqlite boards-txt txt --line NESSUNA");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Non ci sono dati da generare !!!"), std::string::npos);
    EXPECT_TRUE(written(dir / "txt").empty());

    const std::string first = *routesWithTrips().begin(); // "Q%05d.HTM"
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2((dir / "demo.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    const std::string select = "SELECT RTRIM(codperc) FROM itiner WHERE ID = " +
                               std::to_string(std::stoi(first.substr(1, 5)));
    sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const std::string code = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    result = run("--db demo.sqlite boards-txt txt --route " + code);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::set<std::string> files = written(dir / "txt");
    ASSERT_GE(files.size(), 1u);
    EXPECT_TRUE(files.contains(first.substr(0, 7) + "TXT"));
}

TEST_F(BoardsCli, PrintedBoardsAsPdfAndNothingToPrint) {
    ProcessResult result = run("--db demo.sqlite boards-print --line NESSUNA --pdf none.pdf");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Non ci sono dati da stampare !!!"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.pdf"));

    result = run("--db demo.sqlite boards-print --print --pdf b.pdf");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string text = test::pdfText(dir / "b.pdf");
    // Every page carries the heading, its number among all and the date; the boards run one
    // route after another.
    const size_t pages = static_cast<size_t>(std::count(text.begin(), text.end(), '\f'));
    ASSERT_GT(pages, 1u);
    for (const std::string& expected :
         {std::string("Tramela - \"Acquisizione DataBase Corse - Regione Valmora\""),
          std::string("Quadri Orari"),
          "Pag. 1 di " + std::to_string(pages),
          "Pag. " + std::to_string(pages) + " di " + std::to_string(pages),
          std::string("Itinerario: 1"),
          std::string("ID Corsa"),
          std::string("Nota Cadenza"),
          std::string("Linea"),
          std::string("Codice"),
          std::string("Denominazione"),
          std::string("Durata Contabile Totale Periodo"),
          std::string("Si effettua dal")}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    }
    EXPECT_LT(text.find("Itinerario: 1 "), text.find("Itinerario: 2 "));
}

} // namespace
} // namespace tramela::reports
