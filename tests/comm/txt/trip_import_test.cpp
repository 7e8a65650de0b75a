#include "comm/txt/import_frame.h"
#include "comm/txt/record_layouts.h"
#include "comm/txt/rt_writers.h"
#include "comm/txt/trip_import.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/sample_workspace.h"
#include "workspace/text_output.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::comm {
namespace {

using ui::Outcome;

std::string headerLine(long trip, std::string_view route) {
    RecordBuilder r(tripHeaderLayout());
    r.start().number(42).number(trip).text("C" + std::to_string(trip)).number(3).number(0);
    r.number(1914).number(20).number(1914).number(20).text("L1").letter('A').text(route);
    return r.text("").line();
}

// A stop of route L1A with its clock times and its primary and optional flags.
std::string
detailLine(long trip, int sub, int arrival, int departure, bool primary, bool optional) {
    static const char* const stops[][3] = {{"VAL01", "Stazione Centrale", "Piazza Garibaldi"},
                                           {"VAL02", "Universit\xE0", "Via Roma 12"},
                                           {"BOR01", "Borgo Alto Chiesa", "Piazza Duomo"}};
    static const long distances[] = {0, 500, 1914};
    const auto& stop = stops[sub - 1];
    RecordBuilder r(tripDetailLayout());
    r.start().number(42).number(trip).number(sub).text(stop[0]).text(stop[1]).text(stop[2]);
    r.number(distances[sub - 1]).time(arrival).time(departure);
    return r.flag(primary).flag(optional).flag(false).line();
}

// A line whose field at `offset` holds `value` in place of what the writer wrote.
std::string with(std::string line, size_t offset, std::string_view value) {
    return line.replace(offset, value.size(), value);
}

class TripImportTest : public test::SampleWorkspace {
protected:
    // Every stop code once and every stop with a location, as a communication requires; the
    // same cartography and registers without any timetable unless the test exports it first.
    TripImportTest() {
        open("DELETE FROM fermate WHERE ID = 5;"
             "UPDATE fermate SET ubicaz = 'Strada Vecchia' WHERE ID = 4;");
    }

    void clearTimetable() {
        sql("DELETE FROM period; DELETE FROM extcod; DELETE FROM corse; DELETE FROM detstd;"
            "DELETE FROM tesstd; DELETE FROM calend; DELETE FROM cadenz;"
            "UPDATE fermitin SET primaria = 0, facolt = 0;"
            "UPDATE master SET p_data = NULL, protoc = NULL, resple = NULL");
    }

    void exportAll(const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        RecordExport run{connection(), folder, 42, {}, {}};
        writeProtocolFile(run);
        writeCadenceFile(run);
        writeCalendarFile(run);
        writeTripHeaderFile(run);
        writeTripDetailFile(run);
        writePeriodFile(run);
        writeExtendedCodeFile(run);
        ASSERT_TRUE(run.skippedTrips.empty());
    }

    // Exports the sample's files to dir/comunicazione and clears the timetable; the protocol
    // and cadence files are the combined import's answers.
    std::filesystem::path exportAndClear() {
        const auto folder = dir / "comunicazione";
        exportAll(folder);
        clearTimetable();
        ui.answerFile("rt_proto", folder / "RT_PROTO.TXT");
        ui.answerFile("rt_caden", folder / "RT_CADEN.TXT");
        return folder;
    }

    bool captionShown(std::string_view caption) const {
        const auto& captions = ui.progressCaptions();
        return std::find(captions.begin(), captions.end(), caption) != captions.end();
    }

    test::Transcript steps{ui, dir.path()};
};

TEST_F(TripImportTest, ExportedCommunicationComesBackByteForByte) {
    const auto first = exportAndClear();
    // Only the trip import closes with its counts in the combined import. Route 3, which no
    // trip uses, has its one stop adjusted too.
    EXPECT_EQ(ImportAll(window()), Outcome::Done);
    EXPECT_EQ(ui.progressValues().back(), -1);
    steps.step("combined import");
    // Standard trips are numbered from 0 in an empty table; the trip leaving at 23:50 keeps
    // growing offsets past midnight.
    steps.add("rows",
              rows("SELECT id, id_perc FROM tesstd ORDER BY id;"
                   "SELECT id, sub, arriva, parte FROM detstd WHERE id = 0 ORDER BY sub;"
                   "SELECT id, parte, id_perc, standard, mezzo, prevcor FROM corse ORDER BY id"));
    EXPECT_GOLDEN(steps.text(), "trip_import/round_trip.txt");

    exportAll(dir / "second");
    for (const std::string& name : test::words(
             "RT_PROTO.TXT RT_CADEN.TXT RT_CALEN.TXT RT_HDORA.TXT RT_DTORA.TXT RT_PERIOD.TXT "
             "RT_EXTCOD.TXT")) {
        EXPECT_EQ(test::readFile(dir / "second" / name), test::readFile(first / name)) << name;
    }
}

TEST_F(TripImportTest, TripsThatDoNotFitTheirRouteAreLeftOutAfterTheQuestion) {
    clearTimetable();
    sql("INSERT INTO tesstd VALUES (4, 1)");
    // 10 and 11 leave an hour apart with the same relative times; 13 leaves at 23:50 and is one
    // minute later at the second stop; 12 names a route that does not exist.
    const auto header = write("RT_HDORA.TXT",
                              {headerLine(10, "L1A"),
                               headerLine(11, "L1A"),
                               headerLine(12, "ZZ"),
                               headerLine(13, "L1A")});
    const auto detail = write("RT_DTORA.TXT",
                              {detailLine(10, 1, 9999, 705, true, false),
                               detailLine(10, 2, 710, 711, false, false),
                               detailLine(10, 3, 725, 9999, true, false),
                               detailLine(11, 1, 9999, 805, true, false),
                               detailLine(11, 2, 810, 811, false, false),
                               detailLine(11, 3, 825, 9999, true, false),
                               detailLine(12, 1, 9999, 900, true, false),
                               detailLine(13, 1, 9999, 2350, false, true),
                               detailLine(13, 2, 2356, 2357, false, true),
                               detailLine(13, 3, 10, 9999, true, false)});
    ui.answerFile("rt_hdora", header);
    ui.answerFile("rt_dtora", detail);
    ui.answerConfirm("congruence-report", true); // save the report
    ui.answerFile("congruence-report", dir / "errori.txt");
    EXPECT_EQ(ImportTrips(window(), false), Outcome::Done);
    steps.step("three trips fit");
    steps.add("report", test::maskedReport(dir / "errori.txt"));
    // After the standard trip already stored; the trip at 23:50 reaches the last stop at 00:10.
    // The last trip read sets the flags of its route; stops of other routes lose theirs.
    steps.add("rows",
              rows("SELECT id, parte, standard FROM corse ORDER BY id;"
                   "SELECT id, sub, arriva, parte FROM detstd ORDER BY id, sub;"
                   "SELECT id, sub, primaria, facolt FROM fermitin ORDER BY id, sub"));

    // The same trips again: the database refuses the first trip it holds, which is a failure
    // that keeps nothing, not even the standard trips made for the files.
    const std::string before = rows("SELECT COUNT(*) FROM corse; SELECT COUNT(*) FROM tesstd;"
                                    "SELECT COUNT(*) FROM detstd");
    ui.answerFile("rt_hdora", header);
    ui.answerFile("rt_dtora", detail);
    ui.answerConfirm("congruence-report", false);
    EXPECT_EQ(ImportTrips(window(), false), Outcome::Failed);
    steps.step("the same again");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM corse; SELECT COUNT(*) FROM tesstd;"
                   "SELECT COUNT(*) FROM detstd"),
              before);

    // When no trip fits, nothing is written.
    ui.answerFile("rt_hdora", write("RT_HDORA.TXT", {headerLine(20, "ZZ")}));
    ui.answerFile("rt_dtora", write("RT_DTORA.TXT", {detailLine(20, 1, 9999, 900, true, false)}));
    ui.answerConfirm("congruence-report", false);
    EXPECT_EQ(ImportTrips(window(), false), Outcome::Failed);
    steps.step("none fits");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tesstd"), "3\n");
    EXPECT_GOLDEN(steps.text(), "trip_import/congruence.txt");
}

TEST_F(TripImportTest, IllegalTimesBlockTheDetailFileAndMissingOnesLeaveTheTripOut) {
    clearTimetable();
    ui.answerFile("rt_hdora", write("RT_HDORA.TXT", {headerLine(10, "L1A")}));
    ui.answerFile("rt_dtora",
                  write("RT_DTORA.TXT",
                        {detailLine(10, 1, 9999, 2400, true, false),
                         detailLine(10, 2, 1260, 9959, false, false),
                         detailLine(10, 3, 2359, 9999, true, false)}));
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "errori.txt");
    EXPECT_EQ(ImportTrips(window(), false), Outcome::Failed);
    EXPECT_EQ(rows("SELECT id FROM corse"), "");
    EXPECT_FALSE(captionShown("Verifica Congruenza Percorsi ed Orari"));
    steps.step("illegal times");
    steps.add("report", test::maskedReport(dir / "errori.txt"));

    // 9999 is legal in any field, but a trip without a time at a stop it serves is left out;
    // the trip left out does not mark the stops.
    ui.answerFile("rt_hdora",
                  write("RT_HDORA.TXT", {headerLine(10, "L1A"), headerLine(11, "L1A")}));
    ui.answerFile("rt_dtora",
                  write("RT_DTORA.TXT",
                        {detailLine(10, 1, 9999, 700, true, false),
                         detailLine(10, 2, 705, 706, false, false),
                         detailLine(10, 3, 720, 9999, true, false),
                         detailLine(11, 1, 9999, 800, true, false),
                         detailLine(11, 2, 9999, 806, false, false),
                         detailLine(11, 3, 820, 9999, false, true)}));
    ui.answerConfirm("congruence-report", true);
    ui.answerFile("congruence-report", dir / "errori.txt");
    EXPECT_EQ(ImportTrips(window(), false), Outcome::Done);
    EXPECT_EQ(rows("SELECT id, parte FROM corse; SELECT sub, primaria, facolt FROM fermitin "
                   "WHERE id = 1 ORDER BY sub"),
              "10|700\n1|1|0\n2|0|0\n3|1|0\n");
    steps.step("missing time");
    steps.add("report", test::maskedReport(dir / "errori.txt"));
    EXPECT_GOLDEN(steps.text(), "trip_import/times.txt");
}

// Every number field of the two files holds digits only: anything else is reported at its line
// and offset with the class of the field's other faults; a length of "AB12XY34" or "-0000001" is
// never stored as 0.
TEST_F(TripImportTest, NumberFieldsHoldDigitsOnly) {
    clearTimetable();
    const std::string header = headerLine(10, "L1A");
    const std::string detail = detailLine(10, 1, 9999, 705, true, false);

    struct Case {
        bool detailFile;
        std::string line;
        bool blocking;
    };

    const Case cases[] = {
        {false, with(header, 0, "4 2 "), false},
        {false, with(header, 4, "00001X"), true},
        {false, with(header, 40, "03A0"), false},
        {false, with(header, 44, "00X0"), false},
        {false, with(header, 48, "AB12XY34"), true},
        {false, with(header, 56, "002-"), true},
        {false, with(header, 60, "-0000001"), true},
        {false, with(header, 68, " 20 "), true},
        {true, with(detail, 0, "X042"), false},
        {true, with(detail, 4, "00001O"), false},
        {true, with(detail, 10, "000A"), true},
        {true, with(detail, 120, "0000050O"), true},
    };
    const auto headerFile = write("TESTE.TXT", {header});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // Alone, the line is refused or asked about; answering Cancel ends the import.
        // Beside a line of the wrong length, the report shows the field's entry and no other.
        for (const bool withShortLine : {false, true}) {
            std::vector<std::string> lines{c.line};
            if (withShortLine) {
                lines.push_back(c.line.substr(1));
            }
            if (c.detailFile) {
                ui.answerFile("rt_hdora", headerFile);
            }
            ui.answerFile(c.detailFile ? "rt_dtora" : "rt_hdora",
                          write(c.detailFile ? "RT_DTORA.TXT" : "RT_HDORA.TXT", lines));
            const bool blocked = withShortLine || c.blocking;
            ui.answerConfirm(blocked ? "report" : "proceed", withShortLine);
            if (withShortLine) {
                ui.answerFile("report", dir / "errori.txt");
            }
            EXPECT_EQ(ImportTrips(window(), false), blocked ? Outcome::Failed : Outcome::Cancelled);
            EXPECT_EQ(ui.pendingAnswers(), 0u);
            EXPECT_EQ(ui.confirmations().size(), 1u);
            // The header file's dialogs are the same in every case.
            steps.step(withShortLine ? "with a short line" : c.line);
        }
        const std::string report = workspace::latin1ToUtf8(test::readFile(dir / "errori.txt"));
        steps.add("report", report.substr(report.find("Riga ")));
    }
    EXPECT_EQ(rows("SELECT id FROM corse"), "");
    EXPECT_GOLDEN(steps.text(), "trip_import/number_fields.txt");
}

// Unknown authorities are stored as 0, the register's "non assegnato", as the question announces,
// and the closing message counts the trips so stored.
TEST_F(TripImportTest, UnknownAuthoritiesAreReclassified) {
    clearTimetable();
    ui.answerFile("rt_hdora",
                  write("RT_HDORA.TXT",
                        {with(headerLine(10, "L1A"), 40, "0999"),
                         with(headerLine(11, "L1A"), 40, "03A0"),
                         headerLine(12, "L1A")}));
    std::vector<std::string> details;
    for (const long trip : {10, 11, 12}) {
        details.push_back(detailLine(trip, 1, 9999, 700 + trip, true, false));
        details.push_back(detailLine(trip, 2, 705 + trip, 706 + trip, false, false));
        details.push_back(detailLine(trip, 3, 720 + trip, 9999, true, false));
    }
    ui.answerFile("rt_dtora", write("RT_DTORA.TXT", details));
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportTrips(window(), false), Outcome::Done);
    EXPECT_EQ(rows("SELECT id, ente FROM corse ORDER BY id"), "10|0\n11|0\n12|3\n");
    steps.step("reclassified");
    EXPECT_GOLDEN(steps.text(), "trip_import/authorities.txt");
}

TEST_F(TripImportTest, CombinedImportStopsAtTheFirstStepThatFails) {
    std::filesystem::remove(exportAndClear() / "RT_CALEN.TXT");
    EXPECT_EQ(ImportAll(window()), Outcome::Failed);
    steps.step("no calendar file");
    EXPECT_GOLDEN(steps.text(), "trip_import/combined_failure.txt");
    // The two steps done stay done; the trips are not read.
    EXPECT_EQ(rows("SELECT codice FROM cadenz ORDER BY codice; SELECT id FROM corse"),
              "FER\nFES\n");
    EXPECT_FALSE(captionShown("Importazione Teste Corsa"));
}

int refuseEveryCommit(void*) {
    return 1;
}

// The complete import is one transaction: when its commit is refused nothing of the six files
// is kept and no success is announced.
TEST_F(TripImportTest, TheCompleteImportIsKeptWholeOrNotAtAll) {
    exportAndClear();
    sqlite3_commit_hook(connection().handle(), refuseEveryCommit, nullptr);
    EXPECT_EQ(ImportAll(window()), Outcome::Failed);
    sqlite3_commit_hook(connection().handle(), nullptr, nullptr);
    EXPECT_TRUE(ui.lastMessage()->text.starts_with("Errore in fase di convalida della "
                                                   "transazione"));
    for (const std::string& text : ui.messageTexts()) {
        EXPECT_EQ(text.find("terminata con successo"), std::string::npos);
    }
    EXPECT_EQ(rows("SELECT codice FROM cadenz; SELECT id FROM corse"), "");
    EXPECT_EQ(connection().transactionDepth(), 0);
}

} // namespace
} // namespace tramela::comm
