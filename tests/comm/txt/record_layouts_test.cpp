#include "comm/txt/record_layouts.h"
#include "comm/txt/rt_writers.h"
#include "store/database_connection.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tramela::comm {
namespace {

TEST(RecordLayouts, FieldsFollowOneAnotherToTheLineLength) {
    for (const RecordLayout* layout : allLayouts()) {
        int offset = 0;
        for (const LayoutField& field : layout->fields) {
            EXPECT_EQ(field.offset, offset) << layout->file << " " << field.content;
            offset += field.width;
        }
        EXPECT_EQ(offset, layout->length) << layout->file;
    }
}

TEST(RecordLayouts, BuilderFillsReservedFieldsAndNeverCuts) {
    RecordBuilder detail(tripDetailLayout());
    detail.start().number(42).number(7).number(1).text("F1").text("Nome").text("").number(12345);
    detail.time(9999).time(hhmmFromMinutes(minutesFromHhmm(2350) + 20));
    detail.flag(true).flag(false).flag(true);
    EXPECT_EQ(detail.line(),
              "00420000070001F1        000000          Nome" + std::string(36, ' ') +
                  std::string(40, ' ') + "0001234599990010101");

    RecordBuilder cadence(cadenceLayout());
    const std::string longName(61, 'x');
    EXPECT_EQ(cadence.start().number(42).text("FER").text(longName).line().size(), 75u);
    // A name with a line feed or a tab (a quoted field of a feed may hold one) stays on its line.
    EXPECT_EQ(cadence.start().number(42).text("F\tR").text("Feriale\r\nscolastico").line(),
              "0042F R       Feriale  scolastico" + std::string(41, ' '));
    RecordBuilder p(protocolLayout());
    p.start().number(42).date("").number(0).date("00/00/0000").date("99/99/9999").text("");
    EXPECT_EQ(p.line(), "0042        0000000000000099999999" + std::string(40, ' '));
    EXPECT_EQ(hhmmFromMinutes(-10), 2350);
    EXPECT_EQ(hhmmFromMinutes(1440 + 75), 115);
}

class RecordWritersTest : public ::testing::Test {
protected:
    RecordWritersTest() {
        test::createSampleNetwork(dir / "rete.sqlite");
        connection = std::make_unique<store::DatabaseConnection>(ui, dir / "rete.sqlite");
    }

    std::vector<std::optional<long>> writeAll(RecordExport& run) {
        return {writeProtocolFile(run),
                writeCadenceFile(run),
                writeCalendarFile(run),
                writeTripHeaderFile(run),
                writeTripDetailFile(run),
                writePeriodFile(run),
                writeExtendedCodeFile(run)};
    }

    test::TempDir dir;
    ui::ScriptedUi ui;
    std::unique_ptr<store::DatabaseConnection> connection;
};

TEST_F(RecordWritersTest, WriteTheSampleNetworkByteForByte) {
    RecordExport run{*connection, dir.path(), masterCompanyCode(*connection), {}, {}};
    EXPECT_EQ(run.company, 42);
    EXPECT_EQ(writeAll(run), (std::vector<std::optional<long>>{1, 2, 3, 2, 6, 4, 2}));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(run.skippedTrips.empty());
    EXPECT_EQ(run.encoder.changed(), 0);

    for (const RecordLayout* layout : allLayouts()) {
        const std::string written = test::readFile(dir / layout->file);
        EXPECT_EQ(written,
                  test::readFile(std::filesystem::path(TRAMELA_TEST_DATA) / "txt" / "sample" /
                                 layout->file))
            << layout->file;
        std::istringstream lines(written);
        for (std::string line; std::getline(lines, line);) {
            ASSERT_TRUE(line.ends_with('\r')) << layout->file;
            EXPECT_EQ(line.size() - 1, static_cast<size_t>(layout->length)) << layout->file;
        }
    }
}

TEST_F(RecordWritersTest, TripsThatCannotBePairedAreNamedNotWritten) {
    // Trip 2's standard trip loses a row; trip 3 has no standard trip; trip 4 no route (and is
    // missing from the trip headers too). Such data come from databases whose relations were
    // not enforced.
    test::runSql(dir / "rete.sqlite",
                 "DROP TRIGGER rel_corse_standard_del; DROP TRIGGER rel_corse_itiner_del;"
                 "DELETE FROM detstd WHERE id = 2 AND sub = 3;"
                 "INSERT INTO tesstd VALUES (3, 1);"
                 "INSERT INTO corse VALUES (3, 'C003', 'L1', 'A', 800, 3, 1, 1, 1, 1, 1, 3, 'U',"
                 " NULL, NULL);"
                 "DELETE FROM tesstd WHERE id = 3;"
                 "INSERT INTO itiner VALUES (9, 'TMP', 'Temporaneo', 0, 0);"
                 "INSERT INTO corse VALUES (4, 'Łódź', 'L1', 'A', 800, 3, 1, 1, 1, 1, 9, 1, 'U',"
                 " NULL, NULL);"
                 "DELETE FROM itiner WHERE ID = 9;");
    RecordExport run{*connection, dir.path(), 42, {}, {}};
    EXPECT_EQ(writeTripDetailFile(run), 3);
    EXPECT_EQ(run.skippedTrips,
              (std::vector<std::string>{"000002 (C002)", "000003 (C003)", "000004 (Łódź)"}));
    EXPECT_EQ(writeTripHeaderFile(run), 3);

    const auto missing = dir / "manca";
    RecordExport nowhere{*connection, missing, 42, {}, {}};
    EXPECT_EQ(writeCadenceFile(nowhere), std::nullopt);
    EXPECT_EQ(ui.lastMessage()->text,
              "Impossibile creare\n\n" + (missing / "RT_CADEN.TXT").string());
}

} // namespace
} // namespace tramela::comm
