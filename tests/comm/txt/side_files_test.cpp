#include "comm/txt/side_files.h"
#include "store/database_connection.h"
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
    EXPECT_EQ(test::readFile(dir / "FERMATE_NORMALIZZATE.TXT"),
              "Azienda\tFermata\tDenominazione\tUbicazione\tIstat\tLocalita\r\n"
              "42\tBOR01\tBorgo Alto Chiesa\tPiazza Duomo\t099002\tBorgo Alto\r\n"
              "42\tVAL01\tStazione Centrale\tPiazza Garibaldi\t099001\tValmora\r\n"
              "42\tVAL01\tStazione Centrale\tPiazza Garibaldi\t099001\tValmora\r\n"
              "42\tVAL02\tUniversit\xE0\tVia Roma 12\t099001\tValmora\r\n");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SideFilesTest, NuvoStopsWriteEachCodeNameAndLocationOnce) {
    EXPECT_EQ(writeNuvoStopsFile(*connection, dir.path(), 42), 4);
    EXPECT_EQ(test::readFile(dir / "FERMATE_NUVO.TXT"),
              "Azienda\tFermata\tDenominazione\tUbicazione\r\n"
              "42\tBOR01\tBorgo Alto Chiesa\tPiazza Duomo\r\n"
              "42\tISO01\tCasa isolata\t\r\n"
              "42\tVAL01\tStazione Centrale\tPiazza Garibaldi\r\n"
              "42\tVAL02\tUniversit\xE0\tVia Roma 12\r\n");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SideFilesTest, NuvoRoutesListEachRouteFollowedByItsStopsInOrder) {
    // Three "<T>" and seven "<D>" lines; the markers are not counted.
    EXPECT_EQ(writeNuvoRoutesFile(*connection, dir.path(), 42), 10);
    EXPECT_EQ(test::readFile(dir / "PERCORSI_NUVO.TXT"),
              "PeRcOrSiVkZnUvO\r\n"
              "<T>\t42\tL1A\tStazione Centrale - Borgo Alto Chiesa\t1914\t</T>\r\n"
              "<D>\t1\t0\tVAL01\tStazione Centrale\tPiazza Garibaldi\t</D>\r\n"
              "<D>\t2\t500\tVAL02\tUniversit\xE0\tVia Roma 12\t</D>\r\n"
              "<D>\t3\t1914\tBOR01\tBorgo Alto Chiesa\tPiazza Duomo\t</D>\r\n"
              "<T>\t42\tL1R\tBorgo Alto Chiesa - Stazione Centrale\t1914\t</T>\r\n"
              "<D>\t1\t0\tBOR01\tBorgo Alto Chiesa\tPiazza Duomo\t</D>\r\n"
              "<D>\t2\t1414\tVAL02\tUniversit\xE0\tVia Roma 12\t</D>\r\n"
              "<D>\t3\t1914\tVAL01\tStazione Centrale\tPiazza Garibaldi\t</D>\r\n"
              "<T>\t42\tX9\tCasa isolata\t0\t</T>\r\n"
              "<D>\t1\t0\tISO01\tCasa isolata\t\t</D>\r\n"
              "pErCoRsIvKzNuVo\r\n");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SideFilesTest, TextsKeepTheirFieldsAndTheEncoderCountsWhatLatin1CannotHold) {
    // A tab or a line break in a name would split the record; trailing blanks are dropped.
    ASSERT_TRUE(connection->execute("UPDATE fermate SET denom = 'Borgo\tAlto' || char(10) || "
                                    "'Chiesa   ', ubicaz = 'Piazza Łódź' WHERE ID = 3"));
    Latin1Encoder encoder;
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
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "Impossibile creare\n\n" + (missing / "FERMATE_NORMALIZZATE.TXT").string(),
                  "Impossibile creare\n\n" + (missing / "FERMATE_NUVO.TXT").string(),
                  "Impossibile creare\n\n" + (missing / "PERCORSI_NUVO.TXT").string()}));
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Exclamation);
}

} // namespace
} // namespace tramela::comm
