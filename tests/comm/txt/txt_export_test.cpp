#include "comm/txt/txt_export.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tramela::comm {
namespace {

using ui::Icon;
using ui::ScriptedUi;

constexpr std::string_view kSummary = "Risultati generazione Comunicazione VKZ-TXT v1:\n\n"
                                      "Esportate 4 Fermate in RT_NODI.SHP\n"
                                      "Esportati 2 Percorsi in RT_ITIN.SHP\n"
                                      "Esportate 1 righe in RT_PROTO.TXT\n"
                                      "Esportate 2 righe in RT_CADEN.TXT\n"
                                      "Esportate 3 righe in RT_CALEN.TXT\n"
                                      "Esportate 2 righe in RT_HDORA.TXT\n"
                                      "Esportate 6 righe in RT_DTORA.TXT\n"
                                      "Esportate 4 righe in RT_PERIOD.TXT\n"
                                      "Esportate 2 righe in RT_EXTCOD.TXT\n"
                                      "Esportate 3 righe in FERMATE_NORMALIZZATE.TXT\n"
                                      "Esportate 4 righe in FERMATE_NUVO.TXT\n"
                                      "Esportate 10 righe in PERCORSI_NUVO.TXT\n";

class TxtExportTest : public ::testing::Test {
protected:
    TxtExportTest() {
        test::createSampleNetwork(database());
        // The sample's second VAL01 stop and its stop without a location would stop the export.
        test::runSql(database(),
                     "DELETE FROM fermate WHERE ID = 5;"
                     "UPDATE fermate SET ubicaz = 'Strada Vecchia' WHERE ID = 4;");
        std::filesystem::create_directory(dir / "out");
    }

    std::filesystem::path database() const { return dir / "rete.sqlite"; }

    // Runs the export as the menu does, on a window connected to the sample database.
    void exportTo(const std::filesystem::path& chosen) {
        workspace::Settings settings(dir / "settings.toml");
        workspace::Workspace window(ui, settings);
        window.Startup(database());
        ui.clear();
        ui.answerFile("folder", chosen);
        ExportTxt(window);
    }

    test::TempDir dir;
    ScriptedUi ui;
};

TEST_F(TxtExportTest, WritesEveryFileIntoTheChosenFolderAndSumsThemUp) {
    test::writeFile(dir / "out" / "RT_CADEN.TXT", "vecchio contenuto");
    exportTo(dir / "out" / "nome-scelto.txt");
    ASSERT_EQ(ui.messages().size(), 1u) << ui.messageTexts()[0];
    EXPECT_EQ(ui.messages()[0],
              (ScriptedUi::ShownMessage{std::string(kSummary), Icon::Information, ""}));
    EXPECT_EQ(ui.fileDialogs()[0].title,
              "Selezione Cartella per Esportazione Comunicazione VKZ-TXT v1");
    EXPECT_EQ(ui.fileDialogs()[0].initialName, "RT_PROTO");
    EXPECT_EQ(ui.progressCaptions().front(), "Verifica Formale dei dati");
    EXPECT_EQ(ui.progressCaptions().back(), "Generazione PERCORSI_NUVO.TXT");
    // The detail file moves the bar trip by trip: half way after the first of two.
    const auto& bar = ui.progressValues();
    EXPECT_NE(std::find(bar.begin(), bar.end(), 50), bar.end());
    EXPECT_EQ(bar.back(), -1);

    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "nome-scelto.txt"));
    for (const char* file : {"RT_NODI.SHP",
                             "RT_NODI.SHX",
                             "RT_NODI.DBF",
                             "RT_ITIN.SHP",
                             "RT_ITIN.SHX",
                             "RT_ITIN.DBF",
                             "RT_PROTO.TXT",
                             "RT_CADEN.TXT",
                             "RT_CALEN.TXT",
                             "RT_HDORA.TXT",
                             "RT_DTORA.TXT",
                             "RT_PERIOD.TXT",
                             "RT_EXTCOD.TXT",
                             "FERMATE_NORMALIZZATE.TXT",
                             "FERMATE_NUVO.TXT",
                             "PERCORSI_NUVO.TXT"}) {
        EXPECT_TRUE(std::filesystem::exists(dir / "out" / file)) << file;
    }
    // The record files are those of the writers' own golden files.
    for (const char* file : {"RT_CADEN.TXT", "RT_DTORA.TXT", "RT_HDORA.TXT"}) {
        EXPECT_EQ(
            test::readFile(dir / "out" / file),
            test::readFile(std::filesystem::path(TRAMELA_TEST_DATA) / "txt" / "sample" / file))
            << file;
    }
}

TEST_F(TxtExportTest, StopsBeforeWritingOnAnIncompleteHeaderOrABlockingError) {
    test::runSql(database(), "UPDATE master SET protoc = 0;");
    exportTo(dir / "out" / "RT_PROTO.TXT");
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_TRUE(ui.messages()[0].text.ends_with("prima di procedere alla generazione della "
                                                "comunicazione"));
    EXPECT_TRUE(ui.fileDialogs().empty());

    test::runSql(database(), "UPDATE master SET protoc = 7; UPDATE fermate SET fermata = 'VAL01';");
    exportTo(dir / "out" / "RT_PROTO.TXT");
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    EXPECT_TRUE(ui.messages()[0].text.ends_with("esportare la comunicazione VKZ-TXT v1"));
    // The only dialog was the report's, left unanswered: the folder's answer is not taken for
    // it, and no export file exists.
    EXPECT_EQ(ui.dialogs(), std::vector<std::string>{"Report Errori Riscontrati"});
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "RT_CADEN.TXT"));
}

TEST_F(TxtExportTest, NamesTheTripsItCouldNotPairInOneWarning) {
    test::runSql(
        database(),
        "DROP TRIGGER rel_corse_standard_del; DELETE FROM detstd WHERE id = 2 AND sub = 3;");
    exportTo(dir / "out" / "RT_PROTO.TXT");
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_NE(ui.messages()[0].text.find("Esportate 3 righe in RT_DTORA.TXT\n"), std::string::npos);
    EXPECT_EQ(ui.messages()[1],
              (ScriptedUi::ShownMessage{
                  "ATTENZIONE: 1 corse non sono state esportate in RT_DTORA.TXT perché il loro "
                  "percorso o la loro corsa standard manca, oppure i due elenchi di fermate hanno "
                  "lunghezze diverse:\n\nCorsa 000002 (C002)\n",
                  Icon::Exclamation,
                  ""}));
}

TEST(TxtExportCommandLine, ExportsWithYesIntoAFolder) {
    test::TempDir dir;
    test::createSampleNetwork(dir / "d.sqlite");
    test::runSql(dir / "d.sqlite",
                 "DELETE FROM fermate WHERE ID = 5; UPDATE fermate SET ubicaz = 'X' WHERE ID = 4;");
    std::filesystem::create_directory(dir / "out");
    const auto result = test::runProcess(
        TRAMELA_CLI,
        {"--settings", (dir / "s.toml").string(), "--yes", "--db", "d.sqlite", "export-txt", "out"},
        dir.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.ends_with(kSummary)) << result.out;

    // With a blocking error the report goes where --report says and the exit status says so.
    test::runSql(dir / "d.sqlite", "UPDATE fermate SET fermata = NULL WHERE ID = 4;");
    const auto refused = test::runProcess(TRAMELA_CLI,
                                          {"--settings",
                                           (dir / "s.toml").string(),
                                           "--db",
                                           "d.sqlite",
                                           "verify",
                                           "--report",
                                           "errori.txt"},
                                          dir.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(test::readFile(dir / "errori.txt").find("ID=4 Casa isolata"), std::string::npos);
}

} // namespace
} // namespace tramela::comm
