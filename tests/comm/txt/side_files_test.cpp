#include "comm/txt/side_files.h"
#include "store/database_connection.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <memory>

namespace tramela::comm {
namespace {

class SideFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::createSampleNetwork(dir / "rete.sqlite");
        connection = std::make_unique<store::DatabaseConnection>(ui, dir / "rete.sqlite");
        ASSERT_TRUE(connection->IsOpen());
    }

    test::TempDir dir;
    ui::ScriptedUi ui;
    std::unique_ptr<store::DatabaseConnection> connection;
};

TEST_F(SideFilesTest, NormalizedStopsCarryTheirMunicipalityAndLeaveOutStopsWithoutOne) {
    EXPECT_EQ(writeNormalizedStopsFile(*connection, dir.path(), 42), 4);
    // Stop ISO01 (locality 0) is missing; the two VAL01 stops both appear.
    EXPECT_GOLDEN(test::readFile(dir / "FERMATE_NORMALIZZATE.TXT"),
                  "side_files/FERMATE_NORMALIZZATE.TXT");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SideFilesTest, NuvoStopsWriteEachCodeNameAndLocationOnce) {
    EXPECT_EQ(writeNuvoStopsFile(*connection, dir.path(), 42), 4);
    EXPECT_GOLDEN(test::readFile(dir / "FERMATE_NUVO.TXT"), "side_files/FERMATE_NUVO.TXT");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SideFilesTest, NuvoRoutesListEachRouteFollowedByItsStopsInOrder) {
    // Three "<T>" and seven "<D>" lines; the markers are not counted.
    EXPECT_EQ(writeNuvoRoutesFile(*connection, dir.path(), 42), 10);
    EXPECT_GOLDEN(test::readFile(dir / "PERCORSI_NUVO.TXT"), "side_files/PERCORSI_NUVO.TXT");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SideFilesTest, TextsKeepTheirFieldsAndTheEncoderCountsWhatLatin1CannotHold) {
    // A tab or a line break in a name would split the record; trailing blanks are dropped.
    ASSERT_TRUE(connection->execute("UPDATE fermate SET denom = 'Borgo\tAlto' || char(10) || "
                                    "'Chiesa   ', ubicaz = 'Piazza Łódź' WHERE ID = 3"));
    workspace::Latin1Encoder encoder;
    EXPECT_EQ(writeNuvoStopsFile(*connection, dir.path(), 7, &encoder), 4);
    const std::string file = test::readFile(dir / "FERMATE_NUVO.TXT");
    EXPECT_NE(file.find("\r\n7\tBOR01\tBorgo Alto Chiesa\tPiazza L\xF3"
                        "dz\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(encoder.changed(), 1);
}

TEST_F(SideFilesTest, AFolderThatCannotTakeTheFileIsReportedAndCountsNothing) {
    const auto missing = dir / "assente";
    EXPECT_EQ(writeNormalizedStopsFile(*connection, missing, 42), std::nullopt);
    EXPECT_EQ(writeNuvoStopsFile(*connection, missing, 42), std::nullopt);
    EXPECT_EQ(writeNuvoRoutesFile(*connection, missing, 42), std::nullopt);
    EXPECT_EQ(test::transcript(ui, dir.path()),
              "message Exclamation:\nImpossibile creare\n\n<dir>/assente/FERMATE_NORMALIZZATE.TXT\n"
              "message Exclamation:\nImpossibile creare\n\n<dir>/assente/FERMATE_NUVO.TXT\n"
              "message Exclamation:\nImpossibile creare\n\n<dir>/assente/PERCORSI_NUVO.TXT\n");
}

} // namespace
} // namespace tramela::comm
