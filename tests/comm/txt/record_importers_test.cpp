#include "comm/txt/import_frame.h"
#include "comm/txt/record_importers.h"
#include "comm/txt/record_layouts.h"
#include "comm/txt/rt_writers.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "workspace/text_output.h"

#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <utility>

namespace tramela::comm {
namespace {

using ui::Outcome;
using Importer = Outcome (*)(workspace::Workspace&, bool);

std::string calendarLine(long company, std::string_view day, std::string_view cadence) {
    RecordBuilder r(calendarLayout());
    return r.start().number(company).date(day).text("").text(cadence).line();
}

std::string
periodLine(long trip, std::string_view cadence, std::string_view from, std::string_view to) {
    RecordBuilder r(periodLayout());
    return r.start().number(42).number(trip).text(cadence).date(from).date(to).flag(false).line();
}

std::string protocolLine(std::string_view sent = "01/03/2024",
                         std::string_view first = "01/01/2024",
                         std::string_view last = "31/12/2024") {
    RecordBuilder r(protocolLayout());
    return r.start().number(42).date(sent).number(8).date(first).date(last).text("Anna").line();
}

// A line whose field at `offset` holds `value` in place of what the writer wrote.
std::string with(std::string line, size_t offset, std::string_view value) {
    return line.replace(offset, value.size(), value);
}

// The paragraphs of the messages follow the order of the kinds of problem, whatever the order
// in which they were found; a single kind gives the short form of its file.
TEST(ImportFrame, ComposesTheMessagesWithTheParagraphsOfTheKindsFound) {
    ImportErrors errors("RT_PERIOD.TXT");
    EXPECT_FALSE(errors.blocking());
    errors.add(ImportProblem::UnknownTrip, 1, 4, entry::unknownTrip(9));
    errors.add(ImportProblem::DateOutsidePeriod, 2, 20, entry::kOutsidePeriod);
    errors.add(ImportProblem::CompanyCode, 2, 0, entry::companyChanged(42, 41));
    EXPECT_TRUE(errors.remediable());
    EXPECT_FALSE(errors.blocking());

    ImportErrors codes("RT_EXTCOD.TXT");
    codes.add(ImportProblem::UnknownTrip, 1, 4, entry::unknownTrip(9));
    codes.add(ImportProblem::UnknownCompany, 1, 14, entry::unknownCompany(7));
    codes.add(ImportProblem::UnknownLot, 1, 10, entry::kNonNumericLot);

    ImportErrors blocking("RT_DTORA.TXT");
    blocking.add(ImportProblem::IllegalTime, 3, 128, entry::kIllegalTime);
    blocking.add(ImportProblem::UnknownCadence, 2, 10, entry::unknownCadence("X"));
    blocking.add(ImportProblem::LineLength, 1, ImportErrors::kNoOffset, "x");
    blocking.add(ImportProblem::CompanyCode, 1, 0, "y");
    EXPECT_TRUE(blocking.blocking());
    EXPECT_GOLDEN("## periods\n" + remediableMessage(ImportFile::Periods, errors) +
                      "\n## cadences\n" + remediableMessage(ImportFile::Cadences, errors) +
                      "\n## extended codes\n" +
                      remediableMessage(ImportFile::ExtendedCodes, codes) + "\n## trip detail\n" +
                      blockingMessage(ImportFile::TripDetail, blocking) + "\n## protocol\n" +
                      blockingMessage(ImportFile::Protocol, blocking) + "\n## unknown cadence\n" +
                      entry::unknownCadence("X") + "\n",
                  "record_importers/messages.txt");
}

TEST(ImportFrame, ReportListsEveryEntryUnderItsHeader) {
    test::TempDir dir;
    ImportErrors errors(dir / "RT_CALEN.TXT");
    errors.add(ImportProblem::LineLength,
               1,
               ImportErrors::kNoOffset,
               "Lunghezza riga 41 [deve essere 42]");
    errors.add(ImportProblem::DateOutsidePeriod, 2, 4, entry::kOutsidePeriod);
    errors.add(ImportProblem::IllegalDate, ImportErrors::kNoLine, ImportErrors::kNoOffset, "città");
    // Many lines with the same fault share one text.
    for (long line = 3; line < 100003; ++line) {
        errors.add(ImportProblem::IllegalDate, line, 4, entry::kIllegalDate);
    }
    ASSERT_TRUE(
        writeImportReport(dir / "report.txt", errors, "/dati/rete.sqlite", {6, 3, 2024, 9, 5}));
    const std::string report = test::readFile(dir / "report.txt");
    EXPECT_GOLDEN(
        test::replaceAll(report.substr(0, report.find("Riga 3 ")), dir.path().string(), "<dir>"),
        "record_importers/report_header.txt");
    EXPECT_TRUE(report.ends_with("Riga 100002 offset 4: data in formato illegale\r\n"));
    EXPECT_EQ(errors.size(), 100003u);
}

// A number, date or time field that no rule names would be read unchecked.
TEST(ImportFrame, EveryNumberDateAndTimeFieldNeedsARule) {
    const ImportMaster master;
    EXPECT_NO_THROW(LineChecker(cadenceLayout(), {}, master));
    EXPECT_THROW(LineChecker(periodLayout(), {DateRule{"period.inizio"}}, master),
                 std::logic_error);
    EXPECT_THROW(LineChecker(cadenceLayout(), {TimeRule{"cadenz.orario"}}, master),
                 std::logic_error);
}

// Both line ends, Latin-1, and UTF-8 after its mark (each character one byte again, "?" for
// what Latin-1 lacks); rewind starts again from the first line.
TEST(ImportFrame, ReaderTakesBothLineEndsLatin1AndAByteOrderMark) {
    test::TempDir dir;
    test::writeFile(dir / "a.txt", "uno\r\ndue\ntr\xE8");
    test::writeFile(dir / "b.txt", "\xEF\xBB\xBFtr\xC3\xA8\r\n\xE2\x82\xAC!\r\n");
    const auto readAll = [](RecordFileReader& reader) {
        std::string lines;
        for (std::string line; reader.next(line);) {
            lines += line + "|";
        }
        return lines;
    };
    RecordFileReader reader;
    ASSERT_TRUE(reader.open(dir / "a.txt"));
    EXPECT_EQ(readAll(reader), "uno|due|tr\xE8|");
    ASSERT_TRUE(reader.rewind());
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "uno");
    RecordFileReader utf8;
    ASSERT_TRUE(utf8.open(dir / "b.txt"));
    EXPECT_EQ(readAll(utf8), "tr\xE8|?!|");
    EXPECT_FALSE(RecordFileReader().open(dir / "manca.txt"));
}

// A line far beyond any record (a file with no line ends) is kept only up to the bound, its
// length still counted for the refusal; the lines after it read as they are.
TEST(ImportFrame, ReaderBoundsTheLineItKeepsButCountsItWhole) {
    test::TempDir dir;
    const size_t huge = RecordFileReader::kMaxLineBytes * 40;
    test::writeFile(dir / "a.txt",
                    std::string("ab\0c\n", 5) + std::string(huge, 'x') + "\r\nok\r\n" +
                        std::string(huge, 'y'));
    RecordFileReader reader;
    ASSERT_TRUE(reader.open(dir / "a.txt"));
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, std::string("ab\0c", 4));
    EXPECT_EQ(reader.length(), 4U);
    for (const char* next : {"x", "ok", "y"}) {
        ASSERT_TRUE(reader.next(line)) << next;
        EXPECT_EQ(line.substr(0, 1), std::string(next, 1));
        EXPECT_LE(line.size(), RecordFileReader::kMaxLineBytes);
        EXPECT_EQ(reader.length(), *next == 'o' ? 2 : huge);
    }
    EXPECT_EQ(line, std::string(RecordFileReader::kMaxLineBytes, 'y'));
    EXPECT_FALSE(reader.next(line));
}

// Changes the file when its write pass begins, as a user or a program might between the
// check and the write.
class ChangingUi : public ui::ScriptedUi {
public:
    std::function<void()> change;

    void ProgressCaption(std::string_view text) override {
        if (text == "Importazione Cadenze" && change) {
            std::exchange(change, nullptr)();
        }
        ScriptedUi::ProgressCaption(text);
    }
};

// A file changed between the check and the write (lines cut short, a line added) writes
// nothing of it, and says so.
TEST(ImportFrame, AFileChangedBetweenTheCheckAndTheWriteWritesNothing) {
    test::TempDir dir;
    test::createSampleNetwork(dir / "rete.sqlite");
    ChangingUi ui;
    workspace::Settings settings(dir / "settings.toml");
    workspace::Workspace window(ui, settings);
    window.Startup(dir / "rete.sqlite");
    ASSERT_TRUE(window.isConnected());
    RecordExport run{*window.connection(), dir.path(), 42, {}, {}};
    writeCadenceFile(run);
    const std::string file = test::readFile(dir / "RT_CADEN.TXT");
    ASSERT_TRUE(window.connection()->execute(
        "DELETE FROM period; DELETE FROM calend; DELETE FROM extcod; DELETE FROM cadenz"));
    const std::string firstLine = file.substr(0, file.find('\n') + 1);
    for (const std::string& changed : {test::crlfLines({"42", "42"}), file + firstLine}) {
        ui.change = [&] { test::writeFile(dir / "RT_CADEN.TXT", changed); };
        ui.answerFile("rt_caden", dir / "RT_CADEN.TXT");
        EXPECT_EQ(ImportCadences(window, false), Outcome::Failed);
        EXPECT_TRUE(ui.hasMessage("Il file\n\n" + (dir / "RT_CADEN.TXT").string() +
                                      "\n\nè cambiato durante l'importazione: nessuna riga è "
                                      "stata registrata.",
                                  ui::Icon::Stop));
        EXPECT_EQ(test::rows(*window.connection(), "SELECT COUNT(*) FROM cadenz"), "0\n");
        test::writeFile(dir / "RT_CADEN.TXT", file);
        ui.clear();
    }
}

class RecordImportTest : public test::SampleWorkspace {
protected:
    RecordImportTest() { open(); }

    // The entries of the error report the test asked for, in UTF-8 (the report is Latin-1).
    std::string reportEntries() {
        const std::string report = test::readFile(dir / "errori.txt");
        return workspace::latin1ToUtf8(report.substr(report.find("Riga ")));
    }

    // Answers the report offer with dir/errori.txt.
    void saveReport() {
        ui.answerConfirm("report", true);
        ui.answerFile("report", dir / "errori.txt");
    }

    test::Transcript steps{ui, dir.path()};
};

TEST_F(RecordImportTest, ExportedFilesComeBackByteForByte) {
    const auto first = dir / "first";
    const auto second = dir / "second";
    const auto writeFiles = [&](const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        RecordExport run{connection(), folder, 42, {}, {}};
        writeProtocolFile(run);
        writeCadenceFile(run);
        writeCalendarFile(run);
        writePeriodFile(run);
        writeExtendedCodeFile(run);
    };
    writeFiles(first);
    // The same cartography, registers and trips, without what the five files carry.
    sql("DELETE FROM period; DELETE FROM calend; DELETE FROM extcod; DELETE FROM cadenz;"
        "UPDATE master SET p_data = NULL, protoc = NULL, resple = NULL");

    // In the combined import the protocol and cadence files are asked for, the others taken
    // from the cadences' folder; none closes with its counts.
    ui.answerFile("rt_proto", first / "RT_PROTO.TXT");
    ui.answerFile("rt_caden", first / "RT_CADEN.TXT");
    for (const Importer importer :
         {ImportProtocol, ImportCadences, ImportCalendar, ImportPeriods, ImportExtendedCodes}) {
        EXPECT_EQ(importer(window(), true), Outcome::Done);
    }
    EXPECT_EQ(combinedImportFolder(), first);
    EXPECT_EQ(ui.progressValues().back(), -1);
    std::string captions;
    for (const std::string& caption : ui.progressCaptions()) {
        captions += caption + "\n";
    }
    steps.add("progress", captions);
    steps.step("combined import");

    writeFiles(second);
    for (const char* name :
         {"RT_PROTO.TXT", "RT_CADEN.TXT", "RT_CALEN.TXT", "RT_PERIOD.TXT", "RT_EXTCOD.TXT"}) {
        EXPECT_EQ(test::readFile(second / name), test::readFile(first / name)) << name;
    }
    steps.add("calendar",
              rows("SELECT data, caden, giorno, note FROM calend ORDER BY data, caden"));

    // Alone, each importer closes with its counts; extended codes that exist are modified.
    ui.answerFile("rt_extcod", first / "RT_EXTCOD.TXT");
    EXPECT_EQ(ImportExtendedCodes(window(), false), Outcome::Done);
    steps.step("extended codes alone");
    EXPECT_GOLDEN(steps.text(), "record_importers/round_trip.txt");
}

// The protocol's short line blocks; the protocol's period is compared only when all three days
// of its line are real, and its entry has no offset.
TEST_F(RecordImportTest, BlockingProtocolLinesAreReportedAndLeaveTheProtocol) {
    std::string shortLine = protocolLine();
    shortLine.pop_back();
    ui.answerFile("rt_proto", write("RT_PROTO.TXT", {shortLine}));
    saveReport();
    EXPECT_EQ(ImportProtocol(window(), false), Outcome::Failed);
    EXPECT_EQ(ui.pendingAnswers(), 0u);
    steps.step("short line");
    steps.add("report", reportEntries());
    // The report's whole header, its time masked.
    std::string report = test::readFile(dir / "errori.txt");
    report.replace(report.find("\r\n") + 2, 16, "GG/MM/AAAA hh.mm");
    steps.add("report header", report.substr(0, report.find("Riga ")));

    ui.answerFile("rt_proto",
                  write("RT_PROTO.TXT",
                        {protocolLine("31/02/2024", "01/06/2024", "01/01/2024"),
                         protocolLine("01/03/2024", "01/06/2024", "01/01/2024"),
                         protocolLine("01/03/2024", "01/06/2024", "01/06/2024")}));
    saveReport();
    EXPECT_EQ(ImportProtocol(window(), false), Outcome::Failed);
    steps.step("inverted periods");
    steps.add("report", reportEntries());
    steps.add("protocol", rows("SELECT protoc FROM master"));
    EXPECT_GOLDEN(steps.text(), "record_importers/protocol_refused.txt");
}

TEST_F(RecordImportTest, CompanyCodeOfTheFileIsAskedAbout) {
    sql("DELETE FROM calend");
    const auto path =
        write("RT_CALEN.TXT",
              {calendarLine(41, "01/03/2024", "FER"), calendarLine(41, "02/03/2024", "FES")});
    ui.answerFile("rt_calen", path);
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(ImportCalendar(window(), false), Outcome::Cancelled);
    steps.step("cancelled");
    EXPECT_EQ(rows("SELECT data FROM calend"), "");

    ui.answerFile("rt_calen", path);
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportCalendar(window(), false), Outcome::Done);
    steps.step("accepted");
    EXPECT_EQ(rows("SELECT data, caden, giorno FROM calend ORDER BY data"),
              "2024-03-01|FER|5\n2024-03-02|FES|6\n");

    // A code that changes within the file is reported at its line, and the master's code is not
    // compared; an unknown cadence and a 29 February of a common year block the file.
    ui.answerFile("rt_calen",
                  write("RT_CALEN.TXT",
                        {calendarLine(42, "01/04/2024", "FER"),
                         calendarLine(41, "02/04/2024", "FER"),
                         calendarLine(42, "29/02/2023", "NUOVA"),
                         calendarLine(42, "01/04/2024", "FER") + " "}));
    saveReport();
    EXPECT_EQ(ImportCalendar(window(), false), Outcome::Failed);
    steps.step("blocked");
    steps.add("report", reportEntries());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM calend"), "2\n");
    EXPECT_GOLDEN(steps.text(), "record_importers/company_code.txt");
}

TEST_F(RecordImportTest, PeriodsAreCutToTheCommunicationPeriod) {
    sql("DELETE FROM period; UPDATE master SET datini = '2024-03-01', datfin = '2024-06-30'");
    // In the combined import the file is taken from the remembered folder. The August period
    // is left out: read exceeds written, which even the combined import shows.
    write("RT_PERIOD.TXT",
          {periodLine(1, "FER", "01/01/2024", "31/12/2024"),
           periodLine(2, "FES", "01/08/2024", "31/08/2024"),
           periodLine(2, "FER", "10/04/2024", "20/04/2024")});
    setCombinedImportFolder(dir.path());
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportPeriods(window(), true), Outcome::Failed);
    steps.step("cut");
    EXPECT_EQ(rows("SELECT id, inizio, fine, caden FROM period ORDER BY id"),
              "1|2024-03-01|2024-06-30|FER\n2|2024-04-10|2024-04-20|FER\n");

    // An unknown cadence and an inverted period block; nothing is written.
    ui.answerFile("rt_period",
                  write("RT_PERIOD.TXT",
                        {periodLine(1, "ALTRA", "01/04/2024", "30/04/2024"),
                         periodLine(9, "FER", "30/04/2024", "01/04/2024")}));
    ui.answerConfirm("report", false);
    EXPECT_EQ(ImportPeriods(window(), false), Outcome::Failed);
    steps.step("blocked");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM period"), "2\n");

    // A trip identifier that is not all digits names no trip: its line is left out after the
    // question, never read as the trip of its leading digits.
    sql("DELETE FROM period");
    ui.answerFile("rt_period",
                  write("RT_PERIOD.TXT",
                        {periodLine(1, "FER", "01/03/2024", "31/03/2024"),
                         with(periodLine(2, "FER", "01/03/2024", "31/03/2024"), 4, "00002X")}));
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportPeriods(window(), false), Outcome::Failed);
    steps.step("illegible trip");
    EXPECT_EQ(rows("SELECT id FROM period"), "1\n");
    EXPECT_GOLDEN(steps.text(), "record_importers/periods.txt");
}

TEST_F(RecordImportTest, FilesThatCannotBeReadOrHoldNothing) {
    // A missing file: said at once, no closing message.
    ui.answerFile("rt_caden", dir / "manca.txt");
    EXPECT_EQ(ImportCadences(window(), false), Outcome::Failed);
    steps.step("missing");
    // Cancelling the dialog ends the importer silently.
    ui.answerFile("rt_proto", std::nullopt);
    EXPECT_EQ(ImportProtocol(window(), false), Outcome::Cancelled);
    steps.step("cancelled");

    // An empty protocol file imports no protocol; an empty calendar is a calendar of no days.
    test::writeFile(dir / "RT_PROTO.TXT", "");
    ui.answerFile("rt_proto", dir / "RT_PROTO.TXT");
    EXPECT_EQ(ImportProtocol(window(), false), Outcome::Failed);
    steps.step("empty protocol");
    test::writeFile(dir / "RT_CALEN.TXT", "");
    setCombinedImportFolder(dir.path());
    EXPECT_EQ(ImportCalendar(window(), true), Outcome::Done);
    steps.step("empty calendar");

    // Cadence lines one short and one long, after a UTF-8 mark that does not count.
    test::writeFile(dir / "RT_CADEN.TXT",
                    "\xEF\xBB\xBF"
                    "0042" +
                        std::string(9, ' ') + std::string(60, 'x') + "\n0042" +
                        std::string(71, ' ') + "\n");
    ui.answerFile("rt_caden", dir / "RT_CADEN.TXT");
    saveReport();
    EXPECT_EQ(ImportCadences(window(), false), Outcome::Failed);
    steps.step("wrong lengths");
    steps.add("report", reportEntries());

    // A UTF-8 file of the right widths is read character by character.
    test::writeFile(dir / "RT_CADEN.TXT",
                    "\xEF\xBB\xBF"
                    "0042UNI       Universit\xC3\xA0" +
                        std::string(50, ' ') + "\r\n");
    ui.answerFile("rt_caden", dir / "RT_CADEN.TXT");
    EXPECT_EQ(ImportCadences(window(), false), Outcome::Done);
    steps.step("utf-8");
    EXPECT_EQ(rows("SELECT codice, denom FROM cadenz WHERE codice = 'UNI'"), "UNI|Università\n");
    EXPECT_GOLDEN(steps.text(), "record_importers/unreadable_files.txt");
}

// Every number field holds digits only: anything else (a letter after digits, a sign, a blank) is
// reported at its line and offset, with the class of the field's other faults, and nothing is read
// from its leading digits. Only the protocol's faults block: the others are asked about.
TEST_F(RecordImportTest, NumberFieldsHoldDigitsOnly) {
    struct File {
        Importer importer;
        ImportFile file;
        std::string_view key;
    };

    const File protocol{ImportProtocol, ImportFile::Protocol, "rt_proto"};
    const File cadences{ImportCadences, ImportFile::Cadences, "rt_caden"};
    const File calendar{ImportCalendar, ImportFile::Calendar, "rt_calen"};
    const File periods{ImportPeriods, ImportFile::Periods, "rt_period"};
    const File codes{ImportExtendedCodes, ImportFile::ExtendedCodes, "rt_extcod"};
    const std::string cadence = "0042NUOVA     " + std::string(60, 'x');
    const std::string period = periodLine(1, "FER", "01/03/2024", "31/03/2024");
    const std::string code = "0042000001000100420042";
    const std::pair<const File*, std::string> cases[] = {
        {&protocol, with(protocolLine(), 0, "00X2")},
        {&protocol, with(protocolLine(), 12, "00000X")},
        {&cadences, with(cadence, 0, "-042")},
        {&calendar, with(calendarLine(42, "04/03/2024", "FER"), 0, "4 2 ")},
        {&periods, with(period, 4, "00002X")},
        {&codes, with(code, 4, "00001 ")},
        {&codes, with(code, 10, "-001")},
        {&codes, with(code, 14, "0 42")},
        {&codes, with(code, 18, "004A")},
    };
    sql("DELETE FROM period; DELETE FROM calend");
    for (const auto& [file, line] : cases) {
        SCOPED_TRACE(line);
        const bool blocking = file->file == ImportFile::Protocol;
        // Alone, the line is refused or asked about; answering Cancel writes nothing.
        ui.answerFile(std::string(file->key), write("RT.TXT", {line}));
        ui.answerConfirm(blocking ? "report" : "proceed", false);
        EXPECT_EQ(file->importer(window(), false), blocking ? Outcome::Failed : Outcome::Cancelled);
        EXPECT_EQ(ui.confirmations().size(), 1u);
        EXPECT_EQ(ui.pendingAnswers(), 0u);
        steps.step(line);

        // Beside a line of the wrong length, the report shows the field's entry and no other.
        ui.answerFile(std::string(file->key), write("RT.TXT", {line, line.substr(1)}));
        saveReport();
        EXPECT_EQ(file->importer(window(), false), Outcome::Failed);
        steps.add("with a short line", reportEntries());
        ui.clear();
    }
    EXPECT_EQ(rows("SELECT id FROM period; SELECT data FROM calend; SELECT protoc FROM master;"
                   "SELECT codice FROM cadenz ORDER BY codice"),
              "7\nFER\nFES\n");
    EXPECT_GOLDEN(steps.text(), "record_importers/number_fields.txt");
}

// Unknown or illegible lots and companies are stored as 0, the registers' "non assegnato", as
// the question announces, and the closing message counts the rows so stored.
TEST_F(RecordImportTest, UnknownLotsAndCompaniesAreReclassified) {
    ui.answerFile("rt_extcod",
                  write("RT_EXTCOD.TXT", {"0042000001099900420042", "0042000002000109980X01"}));
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportExtendedCodes(window(), false), Outcome::Done);
    steps.step("reclassified");
    EXPECT_EQ(rows("SELECT id, lotto, aziges, azisub FROM extcod ORDER BY id"),
              "1|0|42|42\n2|1|0|0\n");
    EXPECT_GOLDEN(steps.text(), "record_importers/reclassified.txt");
}

TEST_F(RecordImportTest, PrerequisitesAndTheMasterRecord) {
    sql("DELETE FROM period; DELETE FROM calend; DELETE FROM cadenz");
    EXPECT_EQ(ImportCalendar(window(), false), Outcome::Failed);
    sql("DELETE FROM extcod; DELETE FROM corse");
    EXPECT_EQ(ImportExtendedCodes(window(), false), Outcome::Failed);
    sql("DELETE FROM master");
    EXPECT_EQ(ImportProtocol(window(), false), Outcome::Failed);
    steps.step("calendar, extended codes, protocol");
    EXPECT_GOLDEN(steps.text(), "record_importers/prerequisites.txt");
}

int refuseEveryCommit(void*) {
    return 1;
}

// A commit the engine refuses (a full disk, a lock) keeps no row, and the closing message says
// so: never "ha avuto termine con successo" over an empty table.
TEST_F(RecordImportTest, ARefusedCommitIsNoSuccessAndKeepsNothing) {
    sql("DELETE FROM period; DELETE FROM calend; DELETE FROM cadenz");
    sqlite3_commit_hook(connection().handle(), refuseEveryCommit, nullptr);
    ui.answerFile("rt_caden",
                  write("RT_CADEN.TXT",
                        {"0042FER       Feriale" + std::string(53, ' '),
                         "0042FES       Festivo" + std::string(53, ' ')}));
    EXPECT_EQ(ImportCadences(window(), false), Outcome::Failed);
    sqlite3_commit_hook(connection().handle(), nullptr, nullptr);
    EXPECT_EQ(rows("SELECT codice FROM cadenz"), "");
    ASSERT_EQ(ui.messages().size(), 2u) << ui.messageTexts()[0];
    EXPECT_TRUE(ui.messages()[0].text.starts_with("Errore in fase di convalida della transazione"));
    EXPECT_EQ(connection().transactionDepth(), 0);
    EXPECT_GOLDEN(ui.messages()[1].text, "record_importers/refused_commit.txt");
    EXPECT_EQ(ui.messages()[1].icon, ui::Icon::Stop);
}

} // namespace
} // namespace tramela::comm
