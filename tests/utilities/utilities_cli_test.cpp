#include "support/demo_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

namespace tramela::utilities {
namespace {

using test::ProcessResult;

// The code utilities and clean-ups on the demonstration database, as a user runs them.
class UtilitiesCli : public test::DemoCli {
protected:
    // Every value of the tables the utilities write, read without the product's own layers.
    std::string state() {
        sqlite3* db = nullptr;
        std::string text;
        if (sqlite3_open_v2((dir / "demo.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
            for (const char* table : {"corse",
                                      "extcod",
                                      "period",
                                      "itiner",
                                      "fermitin",
                                      "geoitin",
                                      "fermate",
                                      "tesstd",
                                      "detstd"}) {
                sqlite3_stmt* stmt = nullptr;
                const std::string select = std::string("SELECT * FROM ") + table + " ORDER BY 1";
                sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr);
                while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
                    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                        const auto* value = sqlite3_column_text(stmt, c);
                        text += value != nullptr ? reinterpret_cast<const char*>(value) : "";
                        text += '|';
                    }
                    text += '\n';
                }
                sqlite3_finalize(stmt);
            }
        }
        sqlite3_close(db);
        return text;
    }
};

TEST_F(UtilitiesCli, CommandsEndOnTheirResultsAndTheMenuEnablesThem) {
    const std::pair<std::string_view, std::string_view> commands[] = {
        {"assign-trip-codes", "Risultati dell'elaborazione:\n\nLette "},
        {"assign-route-codes", "Risultati dell'assegnazione dei codici percorso"},
        {"assign-vehicle --type X",
         "Risultati dell'assegnazione del mezzo di trasporto.\nTutte le corse dell'azienda."},
        {"assign-vehicle --type U --line 1", "Corse della Linea selezionata (1)."},
        {"assign-vehicle --type T --authority 3", "Corse dell'Ente Contrattuale selezionato."},
        {"assign-contracts --any-line --authority 3", "Assegnati "},
        {"assign-extcodes --line 1 --lot 1 --company 42 --subcontractor 0",
         "Risultati dell'assegnazione delle codifiche estese:"},
        {"fix-subcontracts", "Elaborazione terminata\n\nAggiornate "},
        {"clean-standard-trips", "Risultati dell'eliminazione corse standard non utilizzate:"},
        // The demonstration trips have no period of exactly that year; 16 run 01/01 - 28/12.
        {"clean-period --start 01/01/2025 --end 31/12/2025",
         "Non esiste nessuna corsa con le caratteristiche richieste !!!"},
        {"clean-period --start 01/01/2025 --end 28/12/2025", "Sono state eliminate 16 corse"},
        {"clean-routes", "Risultati dell'eliminazione percorsi non utilizzati:"},
        {"clean-stops", "Risultati dell'eliminazione fermate non utilizzate:"},
        {"blank-trip-codes", "Lette "},
    };
    for (const auto& [command, result] : commands) {
        const ProcessResult ran = run("--yes --db demo.sqlite " + std::string(command));
        EXPECT_EQ(ran.exitCode, 0) << command << "\n" << ran.out << ran.err;
        EXPECT_NE(ran.out.find(result), std::string::npos) << command << "\n" << ran.out;
    }
    const ProcessResult menu = run("--db demo.sqlite menu");
    for (int id : {5135, 5136, 5154, 5165, 5149, 5138, 5139, 5140, 5127, 5129, 5128, 5137, 5148}) {
        const auto at = menu.out.find(" " + std::to_string(id) + " ");
        ASSERT_NE(at, std::string::npos) << id;
        const std::string item = menu.out.substr(at, menu.out.find('\n', at) - at);
        EXPECT_TRUE(item.ends_with("[abilitato]")) << item;
    }
}

// Refusals, usage errors and a Cancel leave every row as it was.
TEST_F(UtilitiesCli, RefusedOrCancelledRunsChangeNoRow) {
    const std::string before = state();
    const std::pair<std::string_view, int> lines[] = {
        {"assign-trip-codes", 3},
        {"--no clean-stops", 3},
        {"--no clean-period --start 01/01/2025 --end 28/12/2025", 3},
        {"assign-contracts --authority 3", 1},
        {"assign-contracts --line 1 --any-line --authority 3", 2},
        {"assign-extcodes --any-line --lot 1 --company 9999 --subcontractor 0", 1},
        {"assign-vehicle --type X --line '1\"; DELETE FROM corse; --'", 1},
        {"assign-vehicle --type X --authority 9999", 1},
        {"assign-vehicle --type Q", 2},
        {"assign-vehicle --type X --line 1 --authority 3", 2},
        {"clean-period --start 31/02/2010 --end 31/12/2010", 1},
        {"clean-period --start 01/01/2010", 2},
    };
    for (const auto& [line, status] : lines) {
        const ProcessResult ran = run("--db demo.sqlite " + std::string(line));
        EXPECT_EQ(ran.exitCode, status) << line << "\n" << ran.out << ran.err;
    }
    EXPECT_EQ(state(), before);
    const ProcessResult noLine = run("--db demo.sqlite assign-contracts --authority 3");
    EXPECT_NE(noLine.err.find("ATTENZIONE: non è stata selezionata nessuna linea."),
              std::string::npos)
        << noLine.err;
}

} // namespace
} // namespace tramela::utilities
