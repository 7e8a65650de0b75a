#include "reports/analysis/contracts.h"
#include "reports/registers/distance_registers.h"
#include "reports/report_fixture.h"
#include "support/golden.h"
#include "workspace/text_output.h"

#include <gtest/gtest.h>

namespace tramela::reports {
namespace {

using ui::Icon;
using ui::Outcome;

// Beside the sample's trips 1 (L1 A) and 2 (L1 R) of authority 3: trip 3 of line L2, 12 km and
// 45 minutes on 250 days of cadence ANN, of an unknown vehicle kind; trip 4 of an authority the
// register lacks (a damaged database: the relation that would refuse the trip is gone), in lot 2.
constexpr const char* kContracts = R"SQL(
DROP TRIGGER rel_corse_enti_ins;
INSERT INTO cadenz VALUES ('ANN', 'Annuale');
WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 249)
    INSERT INTO calend SELECT date('2025-01-01', '+' || n || ' days'), 'ANN', '1', '' FROM d;
INSERT INTO corse VALUES
    (3, 'C003', 'L2', 'A', 615, 3, 11990, 44, 12000, 45, 1, 1, 'Z', NULL, NULL),
    (4, '', 'L9', 'A', 1205, 999, 500, 5, 500, 5, 2, 2, 'T', NULL, NULL);
INSERT INTO period VALUES (3, 'ANN', '2025-01-01', '2025-12-31', 0),
    (4, 'FER', '2024-03-01', '2024-03-01', 0);
INSERT INTO extcod VALUES (3, 1, 42, 42), (4, 2, 42, 42);
)SQL";

const workspace::ReportTime kTime{7, 12, 2026, 9, 5};

class ContractTotalsTest : public test::ReportWorkspace {
protected:
    std::string textOf(const ContractSelection& selection) {
        const std::optional<ContractReport> report = buildContractReport(connection(), selection);
        return report ? contractText(*report, kTime) : "(fallito)";
    }
};

// Two lines of one agency (L1 in both directions, L2), then an agency the register lacks.
TEST_F(ContractTotalsTest, TwoLinesOfOneAgencyThenAnUnknownAgency) {
    open(kContracts);
    EXPECT_GOLDEN(textOf({}), "contracts/all.txt");
    ContractSelection cartographic;
    cartographic.cartographic = true;
    cartographic.line = "L2";
    EXPECT_GOLDEN(textOf(cartographic), "contracts/cartographic_L2.txt");
}

// The lot, company and subcontractor filters name their companies and keep only their trips.
TEST_F(ContractTotalsTest, FiltersKeepTheirTripsAndNameTheirCompanies) {
    open(kContracts);
    ContractSelection lot2;
    lot2.lot = 2;
    lot2.company = 42;
    lot2.subcontractor = 42;
    const std::string text = textOf(lot2);
    EXPECT_NE(text.find("Ente Gestore: 999 - *** INESISTENTE ***\nAzienda Gestione: 42 - "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nAzienda Subappalto: 42 - "), std::string::npos);
    EXPECT_EQ(text.find("Ente Gestore: 3 "), std::string::npos);
    EXPECT_NE(text.find("\tL9 A\t4\tTreno\t\t12:05\t0,50\t0,50\t5m\t5m\t1\t0,50\t0h 5m\tFER\t"
                        "01/03/2024\t01/03/2024\n"),
              std::string::npos)
        << text;
}

// A trip whose periods withdraw more days than they grant runs on none: it adds nothing to the
// contract, rather than taking kilometres off it.
TEST_F(ContractTotalsTest, WithdrawnDaysNeverCountBelowNone) {
    open(std::string(kContracts) +
         "INSERT INTO corse VALUES (5, 'C005', 'L3', 'A', 700, 3, 1000, 10, 1000, 10, 1, 1, 'U', "
         "NULL, NULL);"
         "INSERT INTO period VALUES (5, 'ANN', '2025-01-01', '2025-01-10', 1);");
    ContractSelection line;
    line.line = "L3";
    const std::string text = textOf(line);
    EXPECT_NE(text.find("\tL3 A\t5\tBus Urbano\tC005\t7:00\t1,00\t1,00\t10m\t10m\t0\t0,00\t0h "
                        "0m\tANN\t01/01/2025\t10/01/2025\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("TOTALI CONTRATTO\t\t\t\t\t\t\t\t\t\t\t0,00\t0h 0m\n"), std::string::npos);
}

// The command: a bad code keeps the dialog open; the text goes to the file given, and the same
// rows to the printed report; a selection without trips says so and writes nothing.
TEST_F(ContractTotalsTest, TheCommandWritesTheFileAndPrintsTheReport) {
    open(kContracts);
    ui.answerForm(std::string(kContractsFormId), {{{std::string(kContractLotField), "tre"}}});
    ui.answerForm(std::string(kContractsFormId), {{{std::string(kContractLineField), "L2"}}});
    ui.answerForm(std::string(kPrintTypeFormId), {{{std::string(kPrintModeField), "Stampa"}}});
    ui.answerFile(std::string(kContractsTextKey), dir / "c.txt");
    ASSERT_EQ(ContractTotals(window()), Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    const std::string written = test::readFile(dir / "c.txt");
    EXPECT_NE(written.find("TOTALI L2 A\t\t\t\t\t\t\t\t\t\t\t3000,00\t187h 30m\r\n\r\n"),
              std::string::npos)
        << written;
    ASSERT_EQ(ui.documents.size(), 1u);
    EXPECT_EQ(ui.modes[0], PrintMode::Print);
    const ReportDocument& document = ui.documents[0];
    EXPECT_EQ(document.title, "Rubrica Verifica Contratti");
    EXPECT_EQ(document.subheading.back(), "Distanze calcolate su base convenzionale");
    // The agency's row, the trip, the line's and the contract's totals under the same figures
    // as the text.
    ASSERT_EQ(document.rows.size(), 4u);
    EXPECT_EQ(document.rows[0].cells,
              std::vector<std::string>{"Ente Gestore: 3 - Provincia di Corvasca"});
    EXPECT_EQ(document.rows[1].cells,
              (std::vector<std::string>{"L2 A",
                                        "3",
                                        "???",
                                        "C003",
                                        "6:15",
                                        "11,99",
                                        "12,00",
                                        "44m",
                                        "45m",
                                        "250",
                                        "3000,00",
                                        "187h 30m",
                                        "ANN"}));
    for (const std::size_t totals : {2u, 3u}) {
        const Row& row = document.rows[totals];
        EXPECT_TRUE(row.total);
        ASSERT_EQ(row.cells.size(), 12u);
        EXPECT_EQ(row.cells[10], "3000,00");
        EXPECT_EQ(row.cells[11], "187h 30m");
    }
    EXPECT_TRUE(document.rows[0].spans);
    // As text the agency's caption stands alone and leaves the first column as wide as its
    // widest cell, "TOTALI CONTRATTO".
    const std::string text = documentText(document);
    EXPECT_NE(text.find("\nEnte Gestore: 3 - Provincia di Corvasca\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCodice Linea      ID Corsa  Mezzo"), std::string::npos) << text;
    EXPECT_EQ(document.rows[2].cells[0], "TOTALI L2 A");
    EXPECT_EQ(document.rows[3].cells[0], "TOTALI CONTRATTO");
    ui.clear();
    ui.documents.clear();
    ui.modes.clear();

    // Without a text file the report is only previewed; leaving the print dialog does nothing.
    ui.answerForm(std::string(kContractsFormId), {{{std::string(kContractLineField), "L2"}}});
    ui.answerForm(std::string(kPrintTypeFormId), ui::FormValues{});
    ui.answerFile(std::string(kContractsTextKey), std::nullopt);
    ASSERT_EQ(ContractTotals(window()), Outcome::Done);
    EXPECT_TRUE(ui.messages().empty());
    ASSERT_EQ(ui.documents.size(), 1u);
    EXPECT_EQ(ui.modes[0], PrintMode::Preview);
    ui.clear();
    ui.documents.clear();
    ui.modes.clear();
    ui.answerForm(std::string(kContractsFormId), {{{std::string(kContractLineField), "L2"}}});
    ui.answerForm(std::string(kPrintTypeFormId), std::nullopt);
    ui.answerFile(std::string(kContractsTextKey), dir / "annullato.txt");
    EXPECT_EQ(ContractTotals(window()), Outcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(dir / "annullato.txt"));
    EXPECT_TRUE(ui.documents.empty());
    ui.clear();

    ui.answerForm(std::string(kContractsFormId), {{{std::string(kContractLineField), "ZZ"}}});
    ui.answerForm(std::string(kPrintTypeFormId), ui::FormValues{});
    ui.answerFile(std::string(kContractsTextKey), dir / "vuoto.txt");
    ASSERT_EQ(ContractTotals(window()), Outcome::Done);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Non ci sono dati da generare !!!");
    EXPECT_FALSE(std::filesystem::exists(dir / "vuoto.txt"));
    EXPECT_TRUE(ui.documents.empty());
}

} // namespace
} // namespace tramela::reports
