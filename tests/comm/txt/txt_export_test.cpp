#include "comm/txt/txt_export.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace tramela::comm {
namespace {

// The sample's second VAL01 stop and its stop without a location would stop the export.
const std::string kExportable =
    "DELETE FROM fermate WHERE ID = 5; UPDATE fermate SET ubicaz = 'Strada Vecchia' WHERE ID = 4;";

class TxtExportTest : public test::SampleWorkspace {
protected:
    TxtExportTest() {
        open(kExportable);
        std::filesystem::create_directory(dir / "out");
    }

    // Runs the export as the menu does, the folder's dialog answered with `chosen`.
    void exportTo(const std::filesystem::path& chosen, std::string_view title) {
        ui.answerFile("folder", chosen);
        ExportTxt(window());
        steps.step(title);
    }

    test::Transcript steps{ui, dir.path()};
};

// Any file of the chosen folder names it; the old files are replaced. The detail file moves
// the bar trip by trip: half way after the first of two.
TEST_F(TxtExportTest, WritesEveryFileIntoTheChosenFolderAndSumsThemUp) {
    test::writeFile(dir / "out" / "RT_CADEN.TXT", "vecchio contenuto");
    ui.answerFile("folder", dir / "out" / "nome-scelto.txt");
    ExportTxt(window());
    EXPECT_EQ(ui.progressCaptions().front(), "Verifica Formale dei dati");
    EXPECT_EQ(ui.progressCaptions().back(), "Generazione PERCORSI_NUVO.TXT");
    const auto& bar = ui.progressValues();
    EXPECT_NE(std::find(bar.begin(), bar.end(), 50), bar.end());
    EXPECT_EQ(bar.back(), -1);
    steps.step("export");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        names.insert(entry.path().filename().string());
    }
    std::string listing;
    for (const std::string& name : names) {
        listing += name + "\n";
    }
    steps.add("folder", listing);
    EXPECT_GOLDEN(steps.text(), "txt_export/export.txt");
    // The record files are those of the writers' own golden files.
    for (const char* file : {"RT_CADEN.TXT", "RT_DTORA.TXT", "RT_HDORA.TXT"}) {
        EXPECT_EQ(
            test::readFile(dir / "out" / file),
            test::readFile(std::filesystem::path(TRAMELA_TEST_DATA) / "txt" / "sample" / file))
            << file;
    }
}

// With a blocking error the only dialog is the report's, left unanswered: the folder's answer is
// not taken for it, and no export file exists.
TEST_F(TxtExportTest, StopsBeforeWritingOnAnIncompleteHeaderOrABlockingError) {
    sql("UPDATE master SET protoc = 0;");
    exportTo(dir / "out" / "RT_PROTO.TXT", "incomplete header");
    sql("UPDATE master SET protoc = 7; UPDATE fermate SET fermata = 'VAL01';");
    exportTo(dir / "out" / "RT_PROTO.TXT", "blocking error");
    EXPECT_GOLDEN(steps.text(), "txt_export/refused.txt");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

TEST_F(TxtExportTest, NamesTheTripsItCouldNotPairInOneWarning) {
    sql("DROP TRIGGER rel_corse_standard_del; DELETE FROM detstd WHERE id = 2 AND sub = 3;");
    exportTo(dir / "out" / "RT_PROTO.TXT", "trip 2 not paired");
    EXPECT_GOLDEN(steps.text(), "txt_export/unpaired.txt");
}

// With --yes into a folder; with a blocking error the report goes where --report says and the
// exit status says so.
TEST(TxtExportCommandLine, ExportsWithYesIntoAFolder) {
    test::TempDir dir;
    test::createSampleNetwork(dir / "d.sqlite");
    test::runSql(dir / "d.sqlite", kExportable);
    std::filesystem::create_directory(dir / "out");
    const auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--settings", (dir / "s.toml").string(), "--db", "d.sqlite"});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    };
    const auto result = run({"--yes", "export-txt", "out"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_GOLDEN(result.out, "txt_export/command_line.txt");

    test::runSql(dir / "d.sqlite", "UPDATE fermate SET fermata = NULL WHERE ID = 4;");
    EXPECT_EQ(run({"verify", "--report", "errori.txt"}).exitCode, 1);
    EXPECT_NE(test::readFile(dir / "errori.txt").find("ID=4 Casa isolata"), std::string::npos);
}

} // namespace
} // namespace tramela::comm
