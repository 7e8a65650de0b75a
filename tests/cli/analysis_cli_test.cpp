// The differential analysis and the contract totals end to end on the demonstration database.

#include "reports/analysis/differential.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "workspace/text_output.h"

#include <gtest/gtest.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class AnalysisCli : public ::testing::Test {
protected:
    void SetUp() override {
        const ProcessResult built = run("demo demo.sqlite");
        ASSERT_EQ(built.exitCode, 0) << built.err;
    }

    ProcessResult run(std::string_view line) {
        std::vector<std::string> arguments = test::words(line);
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    test::TempDir dir;
};

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

} // namespace
} // namespace tramela::cli
