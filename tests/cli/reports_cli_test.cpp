// The printed lists and the registers from the command line on the demonstration database: as
// PDF with --pdf, as text on standard output without it.

#include "support/demo_cli.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class ReportsCli : public test::DemoCli {};

// Two progressives of route 1 spoilt: the register lists them, in the PDF and as text.
TEST_F(ReportsCli, ProgressiveErrorsAsPdfAndAsText) {
    test::runSql(dir / "demo.sqlite",
                 "UPDATE fermitin SET condist = 0 WHERE ID = 1 AND sub = 3;"
                 "UPDATE fermitin SET condist = 7 WHERE ID = 2 AND sub = 1;");
    const ProcessResult pdf = run("--db demo.sqlite progressive-errors --pdf e.pdf");
    ASSERT_EQ(pdf.exitCode, 0) << pdf.err;
    const std::string text = test::pdfText(dir / "e.pdf");
    for (const char* expected : {"Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"",
                                 "Pag. 1 di 1",
                                 "Rubrica Verifica Errori Progressive",
                                 "Denominazione Fermata",
                                 "Progressiva Errata",
                                 "Partenza > 0 Km"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    }
    const ProcessResult stdoutText = run("--db demo.sqlite progressive-errors");
    ASSERT_EQ(stdoutText.exitCode, 0) << stdoutText.err;
    EXPECT_NE(stdoutText.out.find("Rubrica Verifica Errori Progressive\n"), std::string::npos);
    EXPECT_NE(stdoutText.out.find("Progressiva Errata"), std::string::npos) << stdoutText.out;
    EXPECT_EQ(stdoutText.out.find("Pag."), std::string::npos) << "the text form has no pages";
}

// The PDF is never written over the database it is read from; the other lists print.
TEST_F(ReportsCli, PdfNeverTakesTheDatabasesPlace) {
    const std::string before = test::readFile(dir / "demo.sqlite");
    const ProcessResult refused = run("--db demo.sqlite distance-register --pdf demo.sqlite");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("non viene sovrascritto"), std::string::npos) << refused.err;
    EXPECT_EQ(test::readFile(dir / "demo.sqlite"), before);

    const ProcessResult cadences = run("--db demo.sqlite print-cadences");
    EXPECT_EQ(cadences.exitCode, 0) << cadences.err;
    EXPECT_NE(cadences.out.find("Rubrica Cadenze"), std::string::npos) << cadences.out;
    const ProcessResult calendar = run("--db demo.sqlite print-calendar --pdf c.pdf");
    EXPECT_EQ(calendar.exitCode, 0) << calendar.err;
    EXPECT_NE(test::pdfText(dir / "c.pdf").find("Rubrica Calendario"), std::string::npos);
}

} // namespace
} // namespace tramela::cli
