#include "support/sample_workspace.h"
#include "utilities/clean_ups.h"

#include <gtest/gtest.h>

namespace tramela::utilities {
namespace {

using ui::Icon;
using ui::Outcome;

class CleanUps : public test::SampleWorkspace {
protected:
    void expectOneMessage(const std::string& text, Icon icon = Icon::Information) {
        ASSERT_EQ(ui.messages().size(), 1u) << ui.messages().front().text;
        EXPECT_EQ(ui.messages()[0].text, text);
        EXPECT_EQ(ui.messages()[0].icon, icon);
        EXPECT_EQ(connection().transactionDepth(), 0);
        ui.clear();
    }
};

// The sample's trips use standard trips 1 and 2; 3 (route 1, two stop rows) and 4 (no rows)
// are used by none. Nothing is asked first.
TEST_F(CleanUps, UnusedStandardTripsGoWithTheirStopRows) {
    open("INSERT INTO tesstd VALUES (3, 1), (4, 3);"
         "INSERT INTO detstd VALUES (3, 1, 1, 0, 0, 0, 0), (3, 2, 3, 9, 9, 0, 0);");
    EXPECT_EQ(CleanStandardTrips(window()), Outcome::Done);
    EXPECT_TRUE(ui.askedKeys().empty());
    expectOneMessage("Risultati dell'eliminazione corse standard non utilizzate:\n\n"
                     "Eliminate 2 corse standard");
    EXPECT_EQ(rows("SELECT id FROM tesstd ORDER BY id"), "1\n2\n");
    EXPECT_EQ(rows("SELECT DISTINCT id FROM detstd ORDER BY id"), "1\n2\n");
}

// Stop 4 is only along route 3 and stop 6 only in a standard trip: both stay. Stops 5 and 7 are
// used by nothing.
TEST_F(CleanUps, StopsStayWhileARouteOrAStandardTripPassesThem) {
    open("INSERT INTO fermate VALUES (6, 'S6', 'Sei', NULL, 0, 0, 1), (7, 'S7', 'Sette', NULL, 0, "
         "0, 1); INSERT INTO detstd VALUES (2, 4, 6, 25, 25, 0, 0);");
    const std::string before = rows("SELECT id FROM fermate ORDER BY id");
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(CleanStops(window()), Outcome::Cancelled);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(rows("SELECT id FROM fermate ORDER BY id"), before);

    ui.answerConfirm("proceed", true);
    EXPECT_EQ(CleanStops(window()), Outcome::Done);
    expectOneMessage("Risultati dell'eliminazione fermate non utilizzate:\n\nEliminate 2 fermate");
    EXPECT_EQ(rows("SELECT id FROM fermate ORDER BY id"), "1\n2\n3\n4\n6\n");
}

// Route 4 is used only by standard trip 3 and stays; route 3 (a stop, no geometry) and route 5
// (stops and geometry) are used by nothing and go with all their rows.
TEST_F(CleanUps, UnusedRoutesGoWithTheirStopsAndGeometry) {
    open("INSERT INTO itiner VALUES (4, 'R4', 'Quattro', 0, 0), (5, 'R5', 'Cinque', 0, 0);"
         "INSERT INTO tesstd VALUES (3, 4);"
         "INSERT INTO fermitin VALUES (5, 1, 1, 0, 0, 1, 0), (5, 2, 3, 10, 10, 1, 0);"
         "INSERT INTO geoitin SELECT 5, punti, coord, minx, miny, maxx, maxy FROM geoitin "
         "WHERE id = 1;");
    const auto tables = [this] {
        return rows("SELECT id FROM itiner ORDER BY id") + "/" +
               rows("SELECT DISTINCT id FROM fermitin ORDER BY id") + "/" +
               rows("SELECT id FROM geoitin ORDER BY id");
    };
    const std::string before = tables();
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(CleanRoutes(window()), Outcome::Cancelled);
    EXPECT_EQ(tables(), before);

    ui.answerConfirm("proceed", true);
    EXPECT_EQ(CleanRoutes(window()), Outcome::Done);
    expectOneMessage(
        "Risultati dell'eliminazione percorsi non utilizzati:\n\nEliminati 2 percorsi");
    EXPECT_EQ(tables(), "1\n2\n4\n/1\n2\n/1\n2\n");
}

// Trip 1 has a period from 01/01/2024 to 30/06/2024: it goes with its other period and its
// extended codes. Trip 2 does not have that period and stays whole.
TEST_F(CleanUps, PeriodRemovesItsTripsWithAllTheirPeriodsAndCodes) {
    open();
    const auto tables = [this] {
        return rows("SELECT id FROM corse ORDER BY id") + "/" +
               rows("SELECT id, inizio, fine FROM period ORDER BY id, inizio") + "/" +
               rows("SELECT id FROM extcod ORDER BY id");
    };
    const std::string before = tables();
    const char* const badStart =
        "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
        "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
    const char* const badEnd =
        "ATTENZIONE: la data di fine periodo è espressa in un formato illegale.\n\n"
        "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
    ui.answerForm("clean-period", ui::FormValues{{"start", "31/02/2010"}, {"end", "31/12/2024"}});
    ui.answerForm("clean-period", ui::FormValues{{"start", "01/01/2024"}, {"end", "31/02/2010"}});
    ui.answerForm("clean-period", ui::FormValues{{"start", "01/01/2020"}, {"end", "31/12/2020"}});
    EXPECT_EQ(CleanPeriod(window()), Outcome::Done);
    EXPECT_EQ(
        ui.messageTexts(),
        (std::vector<std::string>{
            badStart, badEnd, "Non esiste nessuna corsa con le caratteristiche richieste !!!"}));
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    EXPECT_EQ(ui.messages()[1].icon, Icon::Stop);
    ui.clear();

    // Both days in the other forms the dialogs accept.
    const ui::FormValues period{{"start", "01-01-24"}, {"end", "30.06.2024"}};
    ui.answerForm("clean-period", period);
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(CleanPeriod(window()), Outcome::Cancelled);
    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(ui.confirmations()[0].text,
              "Sono state identificate 1 corse da eliminare\n\nConfermi eliminazione corse ?");
    EXPECT_EQ(tables(), before);
    ui.clear();

    ui.answerForm("clean-period", period);
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(CleanPeriod(window()), Outcome::Done);
    expectOneMessage("Sono state eliminate 1 corse\n\n");
    EXPECT_EQ(tables(), "2\n/2|2024-01-01|2024-12-31\n2|2024-12-24|2024-12-31\n/2\n");
}

} // namespace
} // namespace tramela::utilities
