// The differential analysis and the contract totals end to end on the demonstration database.

#include "reports/analysis/differential.h"
#include "support/demo_cli.h"
#include "support/temp_dir.h"
#include "workspace/text_output.h"

#include <gtest/gtest.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class AnalysisCli : public test::DemoCli {};

// The demonstration's school trips change cadence in July: the analysis links them.
TEST_F(AnalysisCli, DifferentialWritesTheFiveFiles) {
    std::filesystem::create_directory(dir / "analisi");
    const ProcessResult result = run("--yes --db demo.sqlite differential analisi --first "
                                     "01/01/2025 30/06/2025 --second 01/07/2025 31/12/2025");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Analisi Differenziale Periodi terminata\n");
    for (std::string_view name : {reports::kCeasedTripsFile,
                                  reports::kNewTripsFile,
                                  reports::kReplacedTripsFile,
                                  reports::kStopsFile,
                                  reports::kRoutesFile}) {
        const std::string text = test::readFile(dir / "analisi" / name);
        EXPECT_EQ(text.rfind("Analisi Differenziale dell'Esercizio Pianificato\r\n"
                             "Primo periodo: dal 01/01/2025 al 30/06/2025\r\n"
                             "Secondo periodo: dal 01/07/2025 al 31/12/2025\r\n\r\n\r\n",
                             0),
                  0u)
            << name;
    }
    const std::string replaced =
        workspace::latin1ToUtf8(test::readFile(dir / "analisi" / reports::kReplacedTripsFile));
    EXPECT_NE(replaced.find("\tVariazione cadenza\r\n"), std::string::npos) << replaced;
    EXPECT_EQ(std::filesystem::directory_iterator(dir / "analisi")->path().parent_path(),
              dir / "analisi");
    EXPECT_FALSE(std::filesystem::exists(dir / "analisi" / "AnalisiDifferenziale.TXT"));
}

// Overlapping periods are refused before anything is written; a missing "--second" is a usage
// error.
TEST_F(AnalysisCli, DifferentialRefusesOverlappingPeriods) {
    std::filesystem::create_directory(dir / "analisi");
    const ProcessResult overlap = run("--yes --db demo.sqlite differential analisi --first "
                                      "01/01/2025 30/06/2025 --second 30/06/2025 31/12/2025");
    EXPECT_NE(overlap.exitCode, 0);
    EXPECT_NE(overlap.err.find("i due periodi sono sovrapposti"), std::string::npos) << overlap.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "analisi"));
    EXPECT_EQ(
        run("--yes --db demo.sqlite differential analisi --first 01/01/2025 30/06/2025").exitCode,
        2);
}

TEST_F(AnalysisCli, ContractsWriteTheTextOrPrintIt) {
    const ProcessResult written = run("--yes --db demo.sqlite contracts --txt c.txt");
    ASSERT_EQ(written.exitCode, 0) << written.err;
    const std::string text = workspace::latin1ToUtf8(test::readFile(dir / "c.txt"));
    EXPECT_EQ(text.rfind("Azienda: ", 0), 0u);
    EXPECT_NE(text.find("\r\nDistanze calcolate su base convenzionale\r\n\r\nEnte Gestore: "),
              std::string::npos)
        << text.substr(0, 300);
    EXPECT_NE(text.find("\r\nTOTALI CONTRATTO\t"), std::string::npos);

    const ProcessResult shown = run("--yes --db demo.sqlite contracts --line 4 --cartographic");
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("Distanze calcolate su base cartografica"), std::string::npos);
    EXPECT_NE(shown.out.find("TOTALI 4 A"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("TOTALI 1 "), std::string::npos);

    const ProcessResult none = run("--yes --db demo.sqlite contracts --line NESSUNA --txt n.txt");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "Non ci sono dati da generare !!!\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "n.txt"));
}

// Both outputs at once: the text export and the same report's pages, each page with its heading
// and number; neither is ever written over the database.
TEST_F(AnalysisCli, ContractsWriteTheTextAndThePdf) {
    const ProcessResult both = run("--db demo.sqlite contracts --txt c.txt --pdf c.pdf");
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_NE(test::readFile(dir / "c.txt").find("TOTALI CONTRATTO\t"), std::string::npos);
    const std::string pages = test::pdfText(dir / "c.pdf");
    for (const char* expected : {"Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"",
                                 "Rubrica Verifica Contratti",
                                 "Pag. 1 di ",
                                 "Distanze calcolate su base convenzionale",
                                 "Ente Gestore: 1 - Regione Valmora",
                                 "Tempo Contratto Periodo",
                                 "TOTALI CONTRATTO"}) {
        EXPECT_NE(pages.find(expected), std::string::npos) << expected << " in\n" << pages;
    }
    // Every page says which of how many it is.
    const std::size_t last = pages.rfind("Pag. ");
    ASSERT_NE(last, std::string::npos);
    const std::string count = pages.substr(last + 5, pages.find('\n', last) - last - 5);
    const std::string total = count.substr(count.find(" di ") + 4);
    EXPECT_EQ(count.substr(0, count.find(' ')), total) << count;

    const std::string before = test::readFile(dir / "demo.sqlite");
    const ProcessResult refused = run("--db demo.sqlite contracts --pdf demo.sqlite");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(test::readFile(dir / "demo.sqlite"), before);
    const ProcessResult text = run("--db demo.sqlite contracts --txt demo.sqlite --pdf p.pdf");
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.err.find("non viene sovrascritto"), std::string::npos) << text.err;
    EXPECT_EQ(test::readFile(dir / "demo.sqlite"), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "p.pdf"));
}

} // namespace
} // namespace tramela::cli
