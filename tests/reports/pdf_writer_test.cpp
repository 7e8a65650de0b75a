// The PDF of a report document, read back by an independent reader (poppler's pdftotext).

#include "pdf/pdf_writer.h"
#include "support/demo_cli.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tramela::pdf {
namespace {

using reports::Align;
using reports::ReportDocument;

ReportDocument register70() {
    ReportDocument document;
    document.title = "Rubrica Verifica Distanze";
    document.heading = "Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"";
    document.subheading = {"Azienda 42 - Autolinee Corvasca Sud S.r.l."};
    document.printedAt = {7, 12, 2026, 14, 5};
    document.columns = {
        {"Codice", 1}, {"Denominazione Percorso", 3}, {"Km Cartografici", 1, Align::Right}};
    for (int i = 1; i <= 70; ++i) {
        document.rows.push_back(
            {{"P" + std::to_string(i),
              "Università - Borgo Alto Chiesa",
              std::to_string(i) + ".250"},
             i % 2 == 0 ? reports::Shading::LightGrey : reports::Shading::White});
    }
    return document;
}

TEST(PdfWriter, PagesReadBackWithTheirHeadingsAndNumbers) {
    test::TempDir dir;
    const ReportDocument document = register70();
    ASSERT_EQ(reports::paginate(document).size(), 2u);
    ui::ScriptedUi ui;
    ASSERT_TRUE(writePdf(document, dir / "r.pdf", ui)) << ::testing::PrintToString(ui.messages());
    EXPECT_TRUE(ui.messages().empty());

    const std::string first = test::pdfText(dir / "r.pdf", 1);
    for (const char* expected : {"Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"",
                                 "Pag. 1 di 2",
                                 "07/12/2026 14:05",
                                 "Rubrica Verifica Distanze",
                                 "Azienda 42 - Autolinee Corvasca Sud S.r.l.",
                                 "Denominazione Percorso",
                                 "Università - Borgo Alto Chiesa",
                                 "P60"}) {
        EXPECT_NE(first.find(expected), std::string::npos) << expected << " in\n" << first;
    }
    EXPECT_EQ(first.find("P61 "), std::string::npos) << "60 rows fit a page";
    const std::string second = test::pdfText(dir / "r.pdf", 2);
    EXPECT_NE(second.find("Pag. 2 di 2"), std::string::npos) << second;
    EXPECT_NE(second.find("Km Cartografici"), std::string::npos) << "captions on every page";
    EXPECT_NE(second.find("70.250"), std::string::npos) << second;
    EXPECT_TRUE(test::pdfText(dir / "r.pdf", 3).empty());
}

// A folder that does not exist: said, and no file; an existing file is replaced only by a
// complete one.
TEST(PdfWriter, AFileThatCannotBeWrittenIsSaidAndLeavesNothing) {
    test::TempDir dir;
    ui::ScriptedUi ui;
    EXPECT_FALSE(writePdf(register70(), dir / "manca" / "r.pdf", ui));
    EXPECT_TRUE(ui.hasMessage("Impossibile creare\n\n" + (dir / "manca" / "r.pdf").string(),
                              ui::Icon::Exclamation));
    EXPECT_FALSE(std::filesystem::exists(dir / "manca"));

    std::ofstream(dir / "r.pdf") << "vecchio";
    ASSERT_TRUE(writePdf(register70(), dir / "r.pdf", ui));
    std::ifstream written(dir / "r.pdf", std::ios::binary);
    std::string start(5, '\0');
    written.read(start.data(), 5);
    EXPECT_EQ(start, "%PDF-");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left beside it";
}

} // namespace
} // namespace tramela::pdf
