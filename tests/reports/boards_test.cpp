#include "reports/boards/board_files.h"
#include "reports/boards/board_model.h"
#include "reports/boards/board_print.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
#include "workspace/text_output.h"

#include <fmt/format.h>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace tramela::reports {
namespace {

using ui::Outcome;

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The day and minute of writing, which every file states, masked as "GG/MM/AAAA hh:mm".
std::string masked(std::string bytes) {
    static const std::regex stamp(R"(\d\d/\d\d/\d{4}( alle ore |\s)\d\d:\d\d)");
    return std::regex_replace(bytes, stamp, "GG/MM/AAAA$1hh:mm");
}

// A third trip on the first route: the same periods as trip 1 (so the same note), passing the
// middle stop without stopping, arriving and leaving it at different times; names with the
// characters a page must escape.
const std::string kThirdTrip =
    "INSERT INTO tesstd VALUES (3, 1);"
    "INSERT INTO detstd VALUES (3, 1, 1, 0, 0, 0, 0), (3, 2, 2, 5, 7, 1, 0),"
    " (3, 3, 3, 20, 20, 0, 0);"
    "INSERT INTO corse VALUES (3, 'C<3>', 'L1', 'A', 730, 3, 12000, 135, 12000, 135, 1, 3, 'U',"
    " NULL, NULL);"
    "INSERT INTO period VALUES (3, 'FER', '2024-01-01', '2024-06-30', 0),"
    " (3, 'FES', '2024-01-01', '2024-12-31', 0);"
    "UPDATE fermate SET denom = 'Borgo Alto & Chiesa' WHERE ID = 3;";

BoardSelection selection(std::string route, std::string line) {
    BoardSelection chosen;
    chosen.routeCode = std::move(route);
    chosen.line = std::move(line);
    return chosen;
}

class BoardsTest : public test::SampleWorkspace {
protected:
    Outcome exportHtml(const std::string& route = {}, const std::string& line = {}) {
        ui.answerForm(std::string(kBoardsSelectionFormId),
                      ui::FormValues{{std::string(kBoardsRouteField), route},
                                     {std::string(kBoardsLineField), line}});
        ui.answerFile(std::string(kBoardsFolderKey), dir / "out" / "QuadriOrari.htm");
        return ExportHtmlBoards(window());
    }

    BoardSet build(const BoardSelection& selection = {}) {
        std::optional<BoardSet> set = buildBoardSet(connection(), selection);
        EXPECT_TRUE(set.has_value());
        return set.value_or(BoardSet{});
    }

    void SetUp() override { std::filesystem::create_directory(dir / "out"); }
};

TEST_F(BoardsTest, PageAndIndexOfTheSampleNetworkByteForByte) {
    open(kThirdTrip);
    ASSERT_EQ(exportHtml(), Outcome::Done);
    EXPECT_GOLDEN(masked(readBytes(dir / "out" / "Q00001.HTM")), "boards/Q00001.HTM");
    EXPECT_GOLDEN(masked(readBytes(dir / "out" / "INDEX.HTM")), "boards/INDEX.HTM");
    // Route 3 has no trip and so no page; the name typed in the dialog is never created.
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "Q00002.HTM"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "Q00003.HTM"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "QuadriOrari.htm"));
    ASSERT_FALSE(ui.messages().empty());
    EXPECT_EQ(ui.messages().back().text, "Sono stati generati 2 Quadri Orari");
}

TEST_F(BoardsTest, TextBoardHoldsTheSameTableTabSeparated) {
    open(kThirdTrip);
    ui.answerForm(std::string(kBoardsSelectionFormId), ui::FormValues{{"route", "L1A"}});
    ui.answerFile(std::string(kBoardsFolderKey), dir / "out" / "x.txt");
    ASSERT_EQ(ExportTextBoards(window()), Outcome::Done);
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "Q00002.TXT")); // another route
    const std::string text = workspace::latin1ToUtf8(masked(readBytes(dir / "out" / "Q00001.TXT")));
    EXPECT_EQ(
        text,
        "Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"\r\n"
        "Generazione: GG/MM/AAAA hh:mm\r\n"
        "Azienda 42 - Autolinee Corvasca Sud S.r.l. [periodo dal 01/01/2024 al 31/12/2024]\r\n"
        "Itinerario: 1 [L1A] Stazione Centrale - Borgo Alto Chiesa\r\n"
        "\r\n"
        "\t\t\tProgressivo\t1\t2\r\n"
        "\t\t\tId Corsa\t3\t1\r\n"
        "\t\t\tNota Cadenza\t A\t A\r\n"
        "\t\t\tLinea\tL1A\tL1A\r\n"
        "Sub\tCodice\tDenominazione\tKm\tC<3>\tC001\r\n"
        "1\tVAL01\tStazione Centrale\t0,000\t7:30\t23:50\r\n"
        "2\tVAL02\tUniversità\t0,500\tA: 7:35 / P: 7:37\tA: 23:55 / P: 23:56\r\n"
        "3\tBOR01\tBorgo Alto & Chiesa\t1,914\t7:50\t24:10\r\n"
        "\t\t\tLunghezza contabile corsa Km\t12,000\t12,346\r\n"
        "\t\t\tDurata contabile corsa\t02:15\t00:20\r\n"
        "\t\t\tGiorni effettuazione\t3\t3\r\n"
        "\t\t\tTotale Contabile Periodo Km\t36,0\t37,0\r\n"
        "\t\t\tDurata Contabile Totale Periodo\t6:45\t1:00\r\n"
        " A\tSi effettua dal 01/01/2024 al 30/06/2024 [FER] Feriale; Si effettua dal "
        "01/01/2024 al 31/12/2024 [FES] Festivo\r\n");
}

TEST_F(BoardsTest, CellsTotalsAndNoteCodes) {
    EXPECT_EQ(clockText(23 * 60 + 50 + 20), "24:10");
    EXPECT_EQ(cellText({.arrival = 455, .departure = 457}), "A: 7:35 / P: 7:37");
    EXPECT_EQ(cellText({.arrival = 455, .departure = 455}), "7:35");
    EXPECT_EQ(cellText({}), "");
    EXPECT_EQ(cellText({.arrival = -5, .departure = -5}), "?");

    const auto& totals = boardTotals();
    const auto column =
        [](std::optional<double> length, std::optional<std::int32_t> time, int days) {
            BoardColumn c;
            c.contractLength = length;
            c.contractTime = time;
            c.runningDays = days;
            return c;
        };
    const auto values = [&](const BoardColumn& board) {
        std::string text;
        for (const BoardTotal& total : totals) {
            text += total.value(board) + "|";
        }
        return text;
    };
    EXPECT_EQ(values(column(12345, 45, 250)), "12,345|00:45|250|3086,2|187:30|");
    EXPECT_EQ(values(column(12000, 135, 250)), "12,000|02:15|250|3000,0|562:30|");
    EXPECT_EQ(values(column(std::nullopt, std::nullopt, 0)), "?|?|0|?|?|");
    EXPECT_EQ(values(column(1000, 59, 1)), "1,000|00:59|1|1,0|00:59|");

    const auto code = [](int ordinal) {
        const auto chars = noteCode(ordinal);
        return std::string(chars.data(), 2);
    };
    EXPECT_EQ(code(0), " A");
    EXPECT_EQ(code(25), " Z");
    EXPECT_EQ(code(26), " a");
    EXPECT_EQ(code(51), " z");
    EXPECT_EQ(code(52), "AA"); // the 53rd pattern
    EXPECT_EQ(code(78), "Aa");
    EXPECT_EQ(code(104), "BA");
    EXPECT_EQ(code(53 * 52 - 1), "zz");
    EXPECT_EQ(code(53 * 52), "**");
}

TEST_F(BoardsTest, NotesAreSharedAcrossTheSetAndTheLegendStopsAtSixtyFour) {
    // Seventy trips on route 1, each with a period of its own, then one that repeats the first.
    std::string sql = "DELETE FROM period WHERE ID = 2;";
    for (int trip = 10; trip < 80; ++trip) {
        sql += fmt::format("INSERT INTO corse VALUES ({0}, 'T{0}', 'L1', 'A', {1}, 3, 1000, 10,"
                           " 1000, 10, 1, 1, 'U', NULL, NULL);"
                           "INSERT INTO period VALUES ({0}, 'FER', '2024-01-01',"
                           " date('2024-03-01', '+{2} days'), 0);",
                           trip,
                           600 + trip,
                           trip - 10);
    }
    sql += "INSERT INTO period VALUES (2, 'FER', '2024-01-01', '2024-03-01', 0);";
    open(sql);
    const BoardSet set = build();
    ASSERT_EQ(set.boards.size(), 2u);
    const Board& first = set.boards[0];
    ASSERT_EQ(first.columns.size(), 71u);
    // Columns by start: trips 10..79, then trip 1 at 23:50.
    EXPECT_EQ(first.columns[0].id, 10);
    EXPECT_EQ(first.columns[52].id, 62);
    EXPECT_EQ(noteCode(first.columns[52].note)[0], 'A');
    EXPECT_EQ(noteCode(first.columns[52].note)[1], 'A');
    EXPECT_EQ(first.legend.size(), BoardSet::kLegendLimit);
    EXPECT_EQ(first.legend.front(), 0);
    EXPECT_EQ(first.legend.back(), 63);
    // Trip 2, on the other route, has trip 10's single period: the same note.
    ASSERT_EQ(set.boards[1].columns.size(), 1u);
    EXPECT_EQ(set.boards[1].columns[0].note, first.columns[0].note);
    EXPECT_EQ(set.boards[1].legend, std::vector<int>{0});
    EXPECT_EQ(set.notes[0], "Si effettua dal 01/01/2024 al 01/03/2024 [FER] Feriale");
    EXPECT_EQ(first.columns[1].runningDays, 2); // FER on 1 and 2 March
}

TEST_F(BoardsTest, LineSelectionKeepsEachRouteOnItsOwnBoardAndUnknownRoutesAreNamed) {
    // Line L1 runs both routes with starts that interleave; route 7 is not in itiner.
    open("DROP TRIGGER rel_corse_itiner_ins; DROP TRIGGER rel_period_caden_ins;"
         "INSERT INTO corse VALUES (3, 'C003', 'L1', 'A', 800, 3, 1, 1, 1, 1, 1, 1, 'U', NULL,"
         " NULL), (4, 'C004', 'L2', 'A', 900, 3, 1, 1, 1, 1, 7, 1, 'U', NULL, NULL);"
         "INSERT INTO period VALUES (3, 'FER', '2024-01-01', '2024-12-31', 0),"
         " (4, 'XXX', '2024-01-01', '2024-12-31', 0);"
         "UPDATE corse SET parte = 1000 WHERE ID = 1;");
    const BoardSet line = build(selection("", "L1"));
    ASSERT_EQ(line.boards.size(), 2u);
    EXPECT_EQ(line.boards[0].route, 1);
    ASSERT_EQ(line.boards[0].columns.size(), 2u);
    EXPECT_EQ(line.boards[0].columns[0].id, 3);
    EXPECT_EQ(line.boards[0].columns[1].id, 1);
    EXPECT_EQ(line.boards[1].route, 2);

    const BoardSet other = build(selection("", "L2"));
    ASSERT_EQ(other.boards.size(), 1u);
    EXPECT_EQ(routeTitle(other.boards[0]), "Itinerario: 7 [??????] SCONOSCIUTO");
    EXPECT_TRUE(other.boards[0].stops.empty());
    // A cadence missing from the register keeps the period, without a name.
    EXPECT_EQ(other.notes[0], "Si effettua dal 01/01/2024 al 31/12/2024 [XXX] ");

    EXPECT_EQ(build(selection("L1R", "")).boards.size(), 1u);
    EXPECT_EQ(build(selection("L1' OR '1'='1", "")).columnCount(), 0u);
}

// A standard trip without a row for a stop of its route: an empty cell there, the rest as usual.
TEST_F(BoardsTest, AStopMissingFromTheStandardTripLeavesItsCellEmpty) {
    open("DELETE FROM detstd WHERE ID = 1 AND sub = 2;");
    const BoardSet set = build();
    ASSERT_EQ(set.boards.size(), 2u);
    const Board& board = set.boards[0];
    ASSERT_EQ(board.columns.size(), 1u);
    ASSERT_EQ(board.stops.size(), 3u);
    EXPECT_EQ(cellText(board.cell(0, 0)), "23:50");
    EXPECT_EQ(cellText(board.cell(1, 0)), "");
    EXPECT_EQ(cellText(board.cell(2, 0)), "24:10");
}

TEST_F(BoardsTest, CompanyLineWithoutNameOrHeader) {
    open("UPDATE master SET azienda = 9999;");
    EXPECT_EQ(build().companyLine,
              "Azienda 9999 - Azienda non definita [periodo dal 01/01/2024 al 31/12/2024]");
    sql("DELETE FROM master;");
    ui.clear();
    const BoardSet set = build();
    EXPECT_EQ(set.companyLine, "Azienda Non Definita");
    // Without the company's period every calendar day counts.
    EXPECT_EQ(set.boards[0].columns[0].runningDays, 3);
}

TEST_F(BoardsTest, NothingToWriteAsksForNoFolder) {
    open("DELETE FROM period;");
    ui.answerForm(std::string(kBoardsSelectionFormId), ui::FormValues{});
    EXPECT_EQ(ExportHtmlBoards(window()), Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Non ci sono dati da generare !!!");
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Information);
    EXPECT_TRUE(ui.fileDialogs().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

TEST_F(BoardsTest, AFileThatCannotBeCreatedIsSkippedAndTheOthersWritten) {
    open();
    std::filesystem::create_directory(dir / "out" / "Q00001.HTM"); // a folder in the way
    EXPECT_EQ(exportHtml(), Outcome::Failed);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "out" / "Q00001.HTM"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "Q00002.HTM"));
    const std::string index = readBytes(dir / "out" / "INDEX.HTM");
    EXPECT_EQ(index.find("Q00001.HTM"), std::string::npos);
    EXPECT_NE(index.find("Q00002.HTM"), std::string::npos);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[0].text,
              "Impossibile creare\n\n" + (dir / "out" / "Q00001.HTM").string());
    EXPECT_EQ(ui.messages()[1].text, "Sono stati generati 1 Quadri Orari");

    // A folder that does not exist: one message, nothing written.
    ui.clear();
    ui.answerForm(std::string(kBoardsSelectionFormId), ui::FormValues{});
    ui.answerFile(std::string(kBoardsFolderKey), dir / "missing" / "QuadriOrari.htm");
    EXPECT_EQ(ExportTextBoards(window()), Outcome::Failed);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Stop);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// A board of 8 trips and 50 stops printed: a block of five trips, then one of three; a block longer
// than a page repeats its opening rows on the next, a block that does not fit starts a new page.
TEST(BoardPrint, BlocksOfTripsLaidOnPages) {
    BoardSet set;
    set.title = "Titolo";
    set.companyLine = "Azienda";
    set.notes = {"Si effettua dal 01/01/2024 al 30/06/2024 [FER] Feriale; Esclusa dal "
                 "24/12/2024 al 31/12/2024 [FER] Feriale",
                 "Si effettua dal 01/01/2024 al 31/12/2024 [FES] Festivo"};
    Board& board = set.boards.emplace_back();
    board.route = 5;
    board.routeCode = "R5";
    board.routeName = "Centro - Stazione";
    for (int c = 0; c < 8; ++c) {
        BoardColumn& column = board.columns.emplace_back();
        column.id = 100 + c;
        column.line = "L5";
        column.direction = 'A';
        column.note = c == 7 ? 1 : 0;
    }
    for (int s = 0; s < 50; ++s) {
        board.stops.push_back({.sub = s + 1,
                               .code = fmt::format("F{:02d}", s),
                               .name = "Fermata",
                               .progressive = std::nullopt,
                               .primary = s == 0,
                               .optional = s == 1});
    }
    board.cells.assign(board.stops.size() * board.columns.size(), BoardCell{});
    board.cells[0] = {.arrival = 455, .departure = 457};
    board.cells[7] = {.arrival = 1450, .departure = 1450};

    ReportDocument shell;
    const ReportDocument document = boardDocument(shell, set);
    const size_t perPage = document.rowsPerPage();
    ASSERT_LT(perPage, 50u); // the first block runs on two pages
    ASSERT_EQ(document.columns.size(), 2 + kPrintedTripsPerBlock);
    EXPECT_EQ(document.heading, "Titolo");
    EXPECT_EQ(document.subheading, std::vector<std::string>{"Azienda"});
    const auto& rows = document.rows;
    const auto cells = [&](size_t row) { return rows.at(row).cells; };

    // The first block: the route's title in bold, the trips' ids, notes and lines, then stops.
    EXPECT_EQ(cells(0), (std::vector<std::string>{"Itinerario: 5", "[R5] Centro - Stazione"}));
    EXPECT_TRUE(rows[0].total);
    EXPECT_EQ(cells(1),
              (std::vector<std::string>{"", "ID Corsa", "100", "101", "102", "103", "104"}));
    EXPECT_EQ(cells(2)[2], " A");
    EXPECT_EQ(cells(3)[2], "L5A");
    EXPECT_EQ(cells(4)[0], "F00");
    EXPECT_EQ(cells(4)[2], "A: 7:35 / P: 7:37");
    EXPECT_EQ(rows[4].shading, Shading::LightGrey);
    EXPECT_EQ(rows[5].shading, Shading::Grey);
    EXPECT_EQ(rows[6].shading, Shading::White);
    // The second page opens with the same four rows, then the stops go on.
    for (size_t r = 0; r < 4; ++r) {
        EXPECT_EQ(cells(perPage + r), cells(r)) << r;
    }
    EXPECT_EQ(cells(perPage + 4)[0], fmt::format("F{:02d}", perPage - 4));
    // After the totals, the legend of the block's one note, a period a line.
    const auto legend = std::find_if(rows.begin(), rows.end(), [](const Row& row) {
        return row.cells.size() == 2 && row.cells[0] == " A";
    });
    ASSERT_NE(legend, rows.end());
    EXPECT_EQ((legend - 1)->cells[1], "Durata Contabile Totale Periodo");
    EXPECT_EQ(legend->cells[1], "Si effettua dal 01/01/2024 al 30/06/2024 [FER] Feriale");
    EXPECT_EQ((legend + 1)->cells,
              (std::vector<std::string>{"", "Esclusa dal 24/12/2024 al 31/12/2024 [FER] Feriale"}));

    // The second block (trips 105 to 107) starts on a page of its own.
    const auto second = std::find_if(rows.begin() + 1, rows.end(), [](const Row& row) {
        return row.cells.size() > 2 && row.cells[1] == "ID Corsa" && row.cells[2] == "105";
    });
    ASSERT_NE(second, rows.end());
    EXPECT_EQ(static_cast<size_t>(second - rows.begin() - 1) % perPage, 0u);
    EXPECT_EQ(second->cells, (std::vector<std::string>{"", "ID Corsa", "105", "106", "107"}));
    EXPECT_EQ((second + 3)->cells[4], "24:10");
    EXPECT_EQ(rows.back().cells, (std::vector<std::string>{" B", set.notes[1]}));
    EXPECT_EQ(paginate(document).size(), 4u);
}

} // namespace
} // namespace tramela::reports
