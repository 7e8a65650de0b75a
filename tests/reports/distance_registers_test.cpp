// The distance registers and the printed lists on the sample network: what each list holds, how
// the page is laid out, and the empty and failure cases.

#include "reports/registers/distance_registers.h"
#include "reports/registers/printed_lists.h"
#include "reports/report_fixture.h"

#include <gtest/gtest.h>

namespace tramela::reports {
namespace {

using test::ReportWorkspace;

// The rows as printed.
std::vector<std::vector<std::string>> cells(const ReportDocument& document) {
    std::vector<std::vector<std::string>> rows;
    for (const Row& row : document.rows) {
        std::vector<std::string> printed;
        for (std::size_t i = 0; i < document.columns.size(); ++i) {
            printed.push_back(printedCell(document, row, i));
        }
        rows.push_back(std::move(printed));
    }
    return rows;
}

std::vector<std::string> captions(const ReportDocument& document) {
    std::vector<std::string> texts;
    for (const Column& column : document.columns) {
        texts.push_back(column.caption);
    }
    return texts;
}

class DistanceRegisters : public ReportWorkspace {};

// Route 1 deviates by +2.5%, route 2 by -50%, route 3 has no conventional length: it is said so
// and comes last, whatever its cartographic length.
TEST_F(DistanceRegisters, CongruenceListSortsByDeviationWithTheUncomputableLast) {
    open("UPDATE itiner SET conlung = 10000, geolung = 10250 WHERE ID = 1;"
         "UPDATE itiner SET conlung = 2000, geolung = 1000 WHERE ID = 2;"
         "UPDATE itiner SET conlung = 0, geolung = 300, codperc = 'X9   ' WHERE ID = 3;");
    ui.answerForm(std::string(kPrintTypeFormId), ui::FormValues{{"mode", "Stampa"}});
    EXPECT_EQ(DistanceRegister(window()), ui::Outcome::Done);
    ASSERT_EQ(ui.documents.size(), 1u);
    EXPECT_EQ(ui.modes[0], PrintMode::Print);
    const ReportDocument& document = ui.documents[0];
    EXPECT_EQ(document.title, "Rubrica Verifica Distanze");
    EXPECT_EQ(document.heading, "Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"");
    EXPECT_EQ(
        document.subheading,
        std::vector<std::string>{
            "Azienda 42 - Autolinee Corvasca Sud S.r.l. [periodo dal 01/01/2024 al 31/12/2024]"});
    EXPECT_EQ(captions(document),
              (std::vector<std::string>{"Codice",
                                        "Denominazione Percorso",
                                        "Km Convenzionali",
                                        "Km Cartografici",
                                        "Differenza Km",
                                        "Scostamento"}));
    EXPECT_EQ(
        cells(document),
        (std::vector<std::vector<std::string>>{
            {"L1R", "Borgo Alto Chiesa - Stazione Centrale", "2.000", "1.000", "-1.000", "-50.0%"},
            {"L1A", "Stazione Centrale - Borgo Alto Chiesa", "10.000", "10.250", "+0.250", "+2.5%"},
            {"X9", "Casa isolata", "0.000", "0.300", "+0.300", "non calcolabile"}}));
    // The register window shows the deviation without its unit.
    EXPECT_EQ(document.rows[1].cells[5], "+2.5");
}

// Route 1 at 0, 350, 350 (the third stop wrong, and without its cartographic progressive, so
// two lines for it) and 1.5 m short of its length; route 2 starting at 15 m and 2.5 m short;
// route 4 without stops gives no line. The ends' entries come after the stops', route by route.
TEST_F(DistanceRegisters, ProgressiveErrorsWalkEachRouteAndCheckItsEnds) {
    open("UPDATE itiner SET conlung = 351.5 WHERE ID = 1;"
         "UPDATE fermitin SET condist = 350 WHERE ID = 1 AND sub IN (2, 3);"
         "UPDATE fermitin SET geodist = 0 WHERE ID = 1 AND sub = 3;"
         "UPDATE fermitin SET condist = 15 WHERE ID = 2 AND sub = 1;"
         "UPDATE itiner SET conlung = 1916.71 WHERE ID = 2;"
         "INSERT INTO itiner VALUES (4, 'VUOTO', 'Senza fermate', 500, 500);");
    const ProgressiveRegister reg = progressiveRegister(connection());
    ASSERT_EQ(reg.routes.size(), 3u);
    EXPECT_DOUBLE_EQ(reg.routes[0].lastProgressive, 350);
    const ReportDocument document =
        progressiveErrorsDocument(newDocument(window(), "Rubrica"), reg);
    EXPECT_EQ(captions(document),
              (std::vector<std::string>{"Percorso",
                                        "Km Convenzionali",
                                        "Km Cartografici",
                                        "IDFerma",
                                        "Codice",
                                        "Denominazione Fermata",
                                        "Errore"}));
    EXPECT_EQ(
        cells(document),
        (std::vector<std::vector<std::string>>{
            {"L1A", "0.352", "1.914", "3", "BOR01", "Borgo Alto Chiesa", "Progressiva Errata"},
            {"L1A", "0.352", "1.914", "3", "BOR01", "Borgo Alto Chiesa", "Manca Cartografica"},
            {"L1R", "1.917", "1.640", "", "", "Capolinea Iniziale", "Partenza > 0 Km"},
            {"L1R",
             "1.917",
             "1.640",
             "",
             "",
             "Capolinea Finale",
             "Non quadra lunghezza percorso"}}));
    // Landscape: the seven columns need the width.
    EXPECT_GT(document.geometry.width, document.geometry.height);
    ui.clear();
    ui.answerForm(std::string(kPrintTypeFormId), ui::FormValues{{"mode", "Anteprima di stampa"}});
    EXPECT_EQ(ProgressiveErrors(window()), ui::Outcome::Done);
    ASSERT_EQ(ui.documents.size(), 1u);
    EXPECT_EQ(ui.modes[0], PrintMode::Preview) << "the dialog proposes the preview";
    EXPECT_EQ(ui.documents[0].title, "Rubrica Verifica Errori Progressive");
    EXPECT_EQ(ui.documents[0].rows.size(), 4u);
}

// Nothing to print, a dialog left, a front end that cannot print, no company set.
TEST_F(DistanceRegisters, EmptyCancelledAndUnattachedRegistersPrintNothing) {
    open("DELETE FROM fermitin; DELETE FROM master;");
    ui.answerForm(std::string(kPrintTypeFormId), ui::FormValues{{"mode", "Stampa"}});
    EXPECT_EQ(ProgressiveErrors(window()), ui::Outcome::Done);
    EXPECT_TRUE(ui.documents.empty());
    EXPECT_TRUE(ui.hasMessage("Non ci sono dati da stampare !!!", ui::Icon::Information))
        << ::testing::PrintToString(ui.messages());
    EXPECT_EQ(companyCaption(window()), "Azienda Non Definita");

    ui.clear();
    ui.answerForm(std::string(kPrintTypeFormId), std::nullopt);
    EXPECT_EQ(DistanceRegister(window()), ui::Outcome::Cancelled);
    EXPECT_TRUE(ui.documents.empty());
    EXPECT_TRUE(ui.messages().empty());

    // A Ui that shows no documents: the register cannot be attached to a print.
    ui::ScriptedUi plain;
    workspace::Workspace other(plain, settings);
    other.Startup(dir / "rete.sqlite");
    plain.clear();
    plain.answerForm(std::string(kPrintTypeFormId), ui::FormValues{{"mode", "Stampa"}});
    EXPECT_EQ(DistanceRegister(other), ui::Outcome::Failed);
    EXPECT_TRUE(plain.hasMessage("E' impossibile associare la stampa !!!\n", ui::Icon::Information))
        << ::testing::PrintToString(plain.messages());
}

class PrintedLists : public ReportWorkspace {};

// The calendar lists every day of the communication period: a day of service on white, a
// Sunday or a holiday on light grey, a day without service on grey. Without a period only the
// days of the calendar are listed.
TEST_F(PrintedLists, CadencesAndCalendarListTheirRows) {
    open("INSERT INTO calend VALUES ('2024-03-01', 'FES', '5', 'Fiera');");
    const ReportDocument cadences = cadencesDocument({}, connection());
    EXPECT_EQ(cells(cadences),
              (std::vector<std::vector<std::string>>{{"FER", "Feriale"}, {"FES", "Festivo"}}));

    const ReportDocument calendar = calendarDocument({}, connection());
    ASSERT_EQ(calendar.rows.size(), 366u + 1u) << "2024 has 366 days, one with two cadences";
    EXPECT_EQ(calendar.rows[0].cells,
              (std::vector<std::string>{"01/01/2024", "Lunedi", "Capodanno"}));
    EXPECT_EQ(calendar.rows[0].shading, Shading::Grey);
    const auto march = [&calendar](std::size_t i) { return calendar.rows[60 + i]; };
    EXPECT_EQ(march(0).cells, (std::vector<std::string>{"01/03/2024", "Venerdi", "", "FER", ""}));
    EXPECT_EQ(march(0).shading, Shading::White);
    EXPECT_EQ(march(1).cells,
              (std::vector<std::string>{"01/03/2024", "Venerdi", "", "FES", "Fiera"}));
    EXPECT_EQ(march(3).cells,
              (std::vector<std::string>{"03/03/2024", "Domenica", "", "FES", "Domenica"}));
    EXPECT_EQ(march(3).shading, Shading::LightGrey);
    EXPECT_EQ(march(4).shading, Shading::Grey);

    open("DELETE FROM master;");
    EXPECT_EQ(calendarDocument({}, connection()).rows.size(), 3u);
    EXPECT_EQ(PrintCadences(window()), ui::Outcome::Done);
    ASSERT_EQ(ui.documents.size(), 1u);
    EXPECT_EQ(ui.documents[0].title, "Rubrica Cadenze");
    EXPECT_EQ(ui.documents[0].subheading, std::vector<std::string>{"Azienda Non Definita"});
}

} // namespace
} // namespace tramela::reports
