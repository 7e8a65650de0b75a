#include "support/sample_workspace.h"
#include "utilities/code_assignment.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::utilities {
namespace {

using ui::Icon;
using ui::Outcome;

// A trip of standard trip 1 with the given line, direction, departure (hhmm) and route.
std::string trip(int id,
                 std::string_view line,
                 std::string_view direction,
                 int departure,
                 int route,
                 int authority = 3) {
    return fmt::format("INSERT INTO corse VALUES ({0}, 'C{0}', '{1}', '{2}', {3}, {4}, 1000, 10, "
                       "1000, 10, {5}, 1, 'U', NULL, NULL);",
                       id,
                       line,
                       direction,
                       departure,
                       authority,
                       route);
}

std::string route(int id) {
    return fmt::format("INSERT INTO itiner VALUES ({0}, 'R{0}', 'Percorso {0}', 0, 0);", id);
}

// Every update of the trip is refused, as a table of the sibling products may refuse one.
std::string refuseUpdatesOf(std::string_view table, int id) {
    return fmt::format("CREATE TRIGGER refuse_{0} BEFORE UPDATE ON {0} WHEN OLD.id = {1} "
                       "BEGIN SELECT RAISE(ABORT, 'riga bloccata'); END;",
                       table,
                       id);
}

// A line code that would end the condition and start another statement if it were spliced.
constexpr std::string_view kQuotedLine = "7\"; DELETE";

class CodeAssignment : public test::SampleWorkspace {
protected:
    void expectOneMessage(const std::string& text, Icon icon = Icon::Information) {
        ASSERT_EQ(ui.messages().size(), 1u) << ui.messages().front().text;
        EXPECT_EQ(ui.messages()[0].text, text);
        EXPECT_EQ(ui.messages()[0].icon, icon);
        EXPECT_EQ(connection().transactionDepth(), 0);
        ui.clear();
    }
};

// Line 12 sorts before line 3 and both before L1; within a line and direction the route comes
// before the departure, and the ID decides between two trips leaving together.
TEST_F(CodeAssignment, TripCodesFollowLineAsTextDirectionRouteDepartureAndId) {
    open(trip(10, "12", "A", 900, 1) + trip(11, "12", "A", 700, 1) + trip(12, "12", "A", 800, 1) +
         trip(14, "12", "A", 800, 1) + trip(15, "12", "A", 600, 2) + trip(13, "3", "A", 600, 1));
    const std::string before = rows("SELECT id, codcorsa FROM corse ORDER BY id");
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(AssignTripCodes(window()), Outcome::Cancelled);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(rows("SELECT id, codcorsa FROM corse ORDER BY id"), before);

    ui.answerConfirm("proceed", true);
    EXPECT_EQ(AssignTripCodes(window()), Outcome::Done);
    EXPECT_EQ(ui.busyCalls(), std::vector<bool>{true});
    EXPECT_EQ(ui.progressValues().back(), -1);
    expectOneMessage("Risultati dell'elaborazione:\n\nLette 8 corse; Assegnati 8 codici corsa.");
    EXPECT_EQ(rows("SELECT codcorsa, id FROM corse ORDER BY codcorsa"),
              "000001|11\n000002|12\n000003|14\n000004|10\n000005|15\n000006|13\n000007|1\n"
              "000008|2\n");
}

// A row the table refuses is shown, left as it was and not counted; the others are written.
TEST_F(CodeAssignment, BlankingTripCodesSkipsARefusedRow) {
    open(refuseUpdatesOf("corse", 2));
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(BlankTripCodes(window()), Outcome::Cancelled);
    EXPECT_EQ(rows("SELECT id, codcorsa FROM corse ORDER BY id"), "1|C001\n2|C002\n");

    ui.answerConfirm("proceed", true);
    EXPECT_EQ(BlankTripCodes(window()), Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_NE(ui.messages()[0].text.find("riga bloccata"), std::string::npos);
    EXPECT_EQ(ui.messages()[1].text,
              "Risultati dell'elaborazione:\n\nLette 2 corse; Azzerati 1 codici corsa.");
    EXPECT_EQ(rows("SELECT id, '[' || codcorsa || ']' FROM corse ORDER BY id"),
              "1|[ ]\n2|[C002]\n");
}

// The line is data: a code holding a quote and a semicolon selects its own trips, written with
// or without trailing blanks, and nothing else.
TEST_F(CodeAssignment, ContractsGoToTheChosenLineOrToEveryTrip) {
    open(trip(10, kQuotedLine, "A", 700, 1) +
         trip(11, std::string(kQuotedLine) + " ", "A", 800, 1) + trip(12, "7", "A", 900, 1));
    const auto authorities = [this] { return rows("SELECT id, ente FROM corse ORDER BY id"); };

    // No line and "Qualsiasi linea" clear: refused, and leaving the dialog changes nothing.
    ui.answerForm("assign-contracts", ui::FormValues{{"authority", "5"}});
    EXPECT_EQ(AssignContracts(window()), Outcome::Cancelled);
    ASSERT_EQ(ui.forms().size(), 1u);
    EXPECT_EQ(ui.forms()[0].field("line")->entries,
              (std::vector<std::string>{"7", std::string(kQuotedLine), "L1"}));
    expectOneMessage("ATTENZIONE: non è stata selezionata nessuna linea.\n\n"
                     "Occorre selezionare un Codice Aziendale Linea nella lista\n"
                     "oppure indicare \"Qualsiasi linea\".\n\n",
                     Icon::Exclamation);
    EXPECT_EQ(authorities(), "1|3\n2|3\n10|3\n11|3\n12|3\n");

    ui.answerForm("assign-contracts", ui::FormValues{{"line", "L1"}, {"authority", "999"}});
    EXPECT_EQ(AssignContracts(window()), Outcome::Cancelled);
    expectOneMessage("ATTENZIONE: Il Codice Ente Gestore non è valido.\n\n"
                     "Occorre selezionare un codice presente nella lista.\n\n",
                     Icon::Exclamation);

    ui.answerForm("assign-contracts",
                  ui::FormValues{{"line", std::string(kQuotedLine)}, {"authority", "5"}});
    EXPECT_EQ(AssignContracts(window()), Outcome::Done);
    expectOneMessage(
        "Risultati dell'elaborazione:\n\nLette 2 corse; Assegnati 2 codici contratto.");
    EXPECT_EQ(authorities(), "1|3\n2|3\n10|5\n11|5\n12|3\n");

    // The box wins over a line left in the list.
    ui.answerForm("assign-contracts",
                  ui::FormValues{{"any_line", "1"}, {"line", "nessuna"}, {"authority", "0009"}});
    EXPECT_EQ(AssignContracts(window()), Outcome::Done);
    expectOneMessage(
        "Risultati dell'elaborazione:\n\nLette 5 corse; Assegnati 5 codici contratto.");
    EXPECT_EQ(authorities(), "1|9\n2|9\n10|9\n11|9\n12|9\n");
}

TEST_F(CodeAssignment, ExtendedCodesAreWrittenAndCreatedWhereMissing) {
    open(trip(10, "12", "A", 700, 1));
    const auto codes = [this] { return rows("SELECT * FROM extcod ORDER BY id"); };
    ui.answerForm(
        "assign-extcodes",
        ui::FormValues{{"line", "12"}, {"lot", "3"}, {"company", "500"}, {"subcontractor", "0"}});
    EXPECT_EQ(AssignExtendedCodes(window()), Outcome::Cancelled);
    expectOneMessage("ATTENZIONE: Il Codice Azienda Gestione non è valido.\n\n"
                     "Occorre selezionare un codice presente nella lista.\n\n",
                     Icon::Exclamation);
    EXPECT_EQ(codes(), "1|1|42|42\n2|1|42|42\n");

    ui.answerForm(
        "assign-extcodes",
        ui::FormValues{{"line", "12"}, {"lot", "3"}, {"company", "7"}, {"subcontractor", "0"}});
    EXPECT_EQ(AssignExtendedCodes(window()), Outcome::Done);
    expectOneMessage("Risultati dell'assegnazione delle codifiche estese:\n\n"
                     "Aggiornate 1 corse su 1\n");
    EXPECT_EQ(codes(), "1|1|42|42\n2|1|42|42\n10|3|7|0\n");

    ui.answerForm(
        "assign-extcodes",
        ui::FormValues{{"any_line", "1"}, {"lot", "2"}, {"company", "8"}, {"subcontractor", "9"}});
    EXPECT_EQ(AssignExtendedCodes(window()), Outcome::Done);
    expectOneMessage("Risultati dell'assegnazione delle codifiche estese:\n\n"
                     "Aggiornate 3 corse su 3\n");
    EXPECT_EQ(codes(), "1|2|8|9\n2|2|8|9\n10|2|8|9\n");
}

// Row 3, damaged by another program, has an operating company that is not a code: it is refused
// and not counted, rather than taken for company 0.
TEST_F(CodeAssignment, SubcontractsOfZeroTakeTheOperatingCompany) {
    open(trip(3, "L1", "A", 700, 1) +
         "UPDATE extcod SET aziges = 7, azisub = 0 WHERE id = 1;"
         "UPDATE extcod SET aziges = 8, azisub = 5 WHERE id = 2;"
         "DROP TRIGGER rel_extcod_azi1_ins; INSERT INTO extcod VALUES (3, 1, 'zz', 0);");
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(FixSubcontracts(window()), Outcome::Cancelled);
    EXPECT_EQ(rows("SELECT id, aziges, azisub FROM extcod ORDER BY id"), "1|7|0\n2|8|5\n3|zz|0\n");

    ui.answerConfirm("proceed", true);
    EXPECT_EQ(FixSubcontracts(window()), Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_NE(ui.messages()[0].icon, Icon::Information);
    EXPECT_EQ(ui.messages()[1].text, "Elaborazione terminata\n\nAggiornate 1 corse su 2");
    EXPECT_EQ(rows("SELECT id, aziges, azisub FROM extcod ORDER BY id"), "1|7|7\n2|8|5\n3|zz|0\n");
}

// Routes 4 and 5 carry line 12 outward, 6 line 12 back, 7 line 3 without a direction; route 8
// carries lines 12 and 3; routes 3 and 9 to 13 carry nothing. The first run lists five of the
// seven faulty routes and changes nothing; once they are put right every route gets its code.
TEST_F(CodeAssignment, RouteCodesNumberEachLineAndDirectionOrStopOnIncoherentRoutes) {
    std::string routes;
    for (int id = 4; id <= 13; ++id) {
        routes += route(id);
    }
    open(routes + trip(20, "12", "A", 700, 5) + trip(21, "12", "A", 800, 4) +
         trip(22, "12", "R", 700, 6) + trip(23, "3", " ", 700, 7) + trip(24, "12", "A", 700, 8) +
         trip(25, "3", "A", 700, 8));
    const auto codes = [this] { return rows("SELECT id, codperc FROM itiner ORDER BY id"); };
    const std::string before = codes();
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(AssignRouteCodes(window()), Outcome::Failed);
    expectOneMessage("ATTENZIONE: sono presenti problemi nella codifica delle corse e/o delle "
                     "linee\n\npercorso ID=3\npercorso ID=8\npercorso ID=9\npercorso ID=10\n"
                     "percorso ID=11\n... (altri omessi) ...\n\n\nNon è possibile procedere oltre",
                     Icon::Stop);
    EXPECT_EQ(codes(), before);

    sql("DELETE FROM fermitin WHERE id = 3; DELETE FROM itiner WHERE id = 3 OR id >= 9;"
        "UPDATE corse SET codlinea = '12' WHERE id = 25;");
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(AssignRouteCodes(window()), Outcome::Done);
    expectOneMessage("Risultati dell'assegnazione dei codici percorso in base al codice linea:\n\n"
                     "Modificati 7 percorsi su 7\n");
    EXPECT_EQ(codes(),
              "1|L1_A_01\n2|L1_R_01\n4|12_A_01\n5|12_A_02\n6|12_R_01\n7|3_01\n8|12_A_03\n");
}

} // namespace
} // namespace tramela::utilities
