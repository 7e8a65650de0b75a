#include "comm/text_output.h"
#include "comm/txt/import_frame.h"
#include "comm/txt/record_importers.h"
#include "comm/txt/record_layouts.h"
#include "comm/txt/rt_writers.h"
#include "store/query_cursor.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::comm {
namespace {

using ui::Icon;
using ui::Outcome;
using ui::ScriptedUi;

std::string joinLines(const std::vector<std::string>& lines, std::string_view end) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += end;
    }
    return bytes;
}

std::string calendarLine(long company, std::string_view day, std::string_view cadence) {
    RecordBuilder record(calendarLayout());
    return record.start().number(company).date(day).text("").text(cadence).line();
}

std::string
periodLine(long trip, std::string_view cadence, std::string_view from, std::string_view to) {
    RecordBuilder record(periodLayout());
    return record.start()
        .number(42)
        .number(trip)
        .text(cadence)
        .date(from)
        .date(to)
        .flag(false)
        .line();
}

TEST(ImportFrame, ComposesTheMessagesWithTheParagraphsOfTheKindsFound) {
    ImportErrors errors("RT_PERIOD.TXT");
    EXPECT_FALSE(errors.blocking());
    errors.add(ImportProblem::UnknownTrip, 1, 4, entry::unknownTrip(9));
    errors.add(ImportProblem::DateOutsidePeriod, 2, 20, entry::kOutsidePeriod);
    errors.add(ImportProblem::CompanyCode, 2, 0, entry::companyChanged(42, 41));
    EXPECT_TRUE(errors.remediable());
    EXPECT_FALSE(errors.blocking());
    EXPECT_EQ(remediableMessage(ImportFile::Periods, errors),
              "SONO STATI RILEVATI ERRORI RIMEDIABILI:\n\n"
              "4***** il Codice Regionale Azienda indicato nel file di testo è incoerente\n"
              "oppure non corrisponde a quello dell'Azienda.\n"
              "E' comunque possibile proseguire assundo il Codice Azienda corretto.\n\n"
              "***** alcune date del calendario non rientrano nel periodo dichiarato.\n"
              "E' comunque possibile proseguire ignorando o aggiustando le date fuori periodo.\n\n"
              "***** alcuni periodi di validità si riferiscono a corse inesistenti.\n"
              "E' comunque possibile proseguire ignorandoli.\n\n"
              "Proseguo comunque?");
    EXPECT_EQ(remediableMessage(ImportFile::Cadences, errors),
              "ATTENZIONE: il Codice Regionale Azienda indicato nel file di testo è incoerente\n"
              "oppure non corrisponde a quello dell'Azienda.\n\nProseguo comunque?");

    ImportErrors codes("RT_EXTCOD.TXT");
    codes.add(ImportProblem::UnknownTrip, 1, 4, entry::unknownTrip(9));
    codes.add(ImportProblem::UnknownCompany, 1, 14, entry::unknownCompany(7));
    codes.add(ImportProblem::UnknownLot, 1, 10, entry::kNonNumericLot);
    EXPECT_EQ(remediableMessage(ImportFile::ExtendedCodes, codes),
              "SONO STATI RILEVATI ERRORI RIMEDIABILI:\n\n"
              "***** alcuni Codici Lotto risultano sconosciuti.\n"
              "L'acquisizione dei dati può comunque essere portata a buon fine, ma i codici\n"
              "sconosciuti verranno automaticamente riclassificati.\n\n"
              "***** alcuni Codici Azienda risultano sconosciuti.\n"
              "L'acquisizione dei dati può comunque essere portata a buon fine, ma i codici\n"
              "sconosciuti verranno automaticamente riclassificati.\n\n"
              "***** alcune codifiche estese si riferiscono a corse inesistenti.\n"
              "E' comunque possibile proseguire ignorandole.\n\n"
              "Proseguo comunque?");

    ImportErrors blocking("RT_DTORA.TXT");
    blocking.add(ImportProblem::IllegalTime, 3, 128, entry::kIllegalTime);
    blocking.add(ImportProblem::UnknownCadence, 2, 10, entry::unknownCadence("X"));
    blocking.add(ImportProblem::LineLength, 1, ImportErrors::kNoOffset, "x");
    blocking.add(ImportProblem::CompanyCode, 1, 0, "y");
    EXPECT_TRUE(blocking.blocking());
    EXPECT_EQ(blockingMessage(ImportFile::TripDetail, blocking),
              "SONO STATI RILEVATI ERRORI BLOCCANTI:\n\n"
              "***** il file di testo proposto per l'importazione non risulta corrispondere\n"
              "alle specifiche stabilite dalla Regione Valmora.\n\n"
              "***** il file di testo proposto contiene dei CODICI CADENZA che risultano\n"
              "sconosciuti (violazione dell'integrità referenziale) !!!\n\n"
              "***** il file di testo proposto contiene dei valori ORARIO illegali.\n"
              "I valori ORARIO devono essere espressi nel formato HHMM !!!\n\n"
              "L'acquisizione dati risulta pertanto impossibile.\n\n"
              "Vuoi salvare il report analitico degli errori ?");
    EXPECT_EQ(blockingMessage(ImportFile::Protocol, blocking),
              "ATTENZIONE: il file di testo proposto per l'importazione non risulta corrispondere\n"
              "alle specifiche stabilite dalla Regione Valmora.\n\n"
              "L'acquisizione dati risulta quindi impossibile.\n\n"
              "Vuoi salvare il report analitico degli errori ?");
    EXPECT_EQ(entry::unknownCadence("X"), "cadenza \"X   \" non dichiarata in RT_CADEN.TXT");
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
    const std::string rule(72, '=');
    EXPECT_EQ(report.substr(0, report.find("Riga 3 ")),
              rule +
                  "\r\n06/03/2024 09.05 Report Errori VkzTxt V1 (Tramela)\r\n"
                  "Database: /dati/rete.sqlite\r\nFile: " +
                  (dir / "RT_CALEN.TXT").string() + "\r\n" + rule +
                  "\r\n\r\n"
                  "Riga 1: Lunghezza riga 41 [deve essere 42]\r\n"
                  "Riga 2 offset 4: data calendario non compresa nel periodo della "
                  "comunicazione\r\n"
                  "citt\xE0\r\n");
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

TEST(ImportFrame, ReaderTakesBothLineEndsLatin1AndAByteOrderMark) {
    test::TempDir dir;
    test::writeFile(dir / "a.txt", "uno\r\ndue\ntr\xE8");
    RecordFileReader reader;
    ASSERT_TRUE(reader.open(dir / "a.txt"));
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"uno", "due", "tr\xE8"}));
    ASSERT_TRUE(reader.rewind());
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "uno");

    // A UTF-8 file: the mark is dropped and every character is one byte again.
    test::writeFile(dir / "b.txt", "\xEF\xBB\xBFtr\xC3\xA8\r\n\xE2\x82\xAC!\r\n");
    RecordFileReader utf8;
    ASSERT_TRUE(utf8.open(dir / "b.txt"));
    ASSERT_TRUE(utf8.next(line));
    EXPECT_EQ(line, "tr\xE8");
    ASSERT_TRUE(utf8.next(line));
    EXPECT_EQ(line, "?!");
    EXPECT_FALSE(utf8.next(line));
    EXPECT_FALSE(RecordFileReader().open(dir / "manca.txt"));
}

class RecordImportTest : public ::testing::Test {
protected:
    RecordImportTest() {
        test::createSampleNetwork(database());
        window.Startup(database());
        ui.clear();
    }

    std::filesystem::path database() const { return dir / "rete.sqlite"; }

    store::DatabaseConnection& connection() { return *window.connection(); }

    void sql(const std::string& statement) { ASSERT_TRUE(connection().execute(statement)); }

    std::filesystem::path write(std::string_view name, const std::vector<std::string>& lines) {
        test::writeFile(dir / name, joinLines(lines, "\r\n"));
        return dir / name;
    }

    // The rows of a query, columns joined by "|".
    std::vector<std::string>
    rows(std::string_view select, std::string_view from, std::vector<std::string_view> columns) {
        store::QueryCursor query(connection());
        query.SetSelect(select);
        query.SetFrom(from);
        query.SetOrderBy(select);
        std::vector<std::string> found;
        for (bool row = query.Execute(); row; row = query.MoveNext()) {
            std::string joined;
            for (const std::string_view column : columns) {
                std::string value;
                query.GetText(column, value);
                joined += (joined.empty() ? "" : "|") + value;
            }
            found.push_back(joined);
        }
        return found;
    }

    test::TempDir dir;
    ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    workspace::Workspace window{ui, settings};
};

TEST_F(RecordImportTest, ExportedFilesComeBackByteForByte) {
    const auto first = dir / "first";
    const auto second = dir / "second";
    std::filesystem::create_directories(first);
    std::filesystem::create_directories(second);
    const auto writeFiles = [&](const std::filesystem::path& folder) {
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

    ui.answerFile("rt_proto", first / "RT_PROTO.TXT");
    ui.answerFile("rt_caden", first / "RT_CADEN.TXT");
    EXPECT_EQ(ImportProtocol(window, true), Outcome::Done);
    EXPECT_EQ(ImportCadences(window, true), Outcome::Done);
    EXPECT_EQ(combinedImportFolder(), first);
    EXPECT_EQ(ImportCalendar(window, true), Outcome::Done);
    EXPECT_EQ(ImportPeriods(window, true), Outcome::Done);
    EXPECT_EQ(ImportExtendedCodes(window, true), Outcome::Done);
    EXPECT_TRUE(ui.messages().empty()) << ui.messageTexts()[0];
    EXPECT_EQ(ui.dialogs(),
              (std::vector<std::string>{"Importazione Protocollo Comunicazione Orari",
                                        "Importazione Dati Cadenze"}));
    EXPECT_EQ(ui.progressCaptions(),
              (std::vector<std::string>{"Importazione Protocollo",
                                        "Importazione Cadenze",
                                        "Importazione Calendario",
                                        "Importazione Periodi Effettuazione Corse",
                                        "Importazione Codifiche Estese"}));
    EXPECT_EQ(ui.progressValues().back(), -1);

    writeFiles(second);
    for (const char* name :
         {"RT_PROTO.TXT", "RT_CADEN.TXT", "RT_CALEN.TXT", "RT_PERIOD.TXT", "RT_EXTCOD.TXT"}) {
        EXPECT_EQ(test::readFile(second / name), test::readFile(first / name)) << name;
    }
    EXPECT_EQ(rows("data, giorno, note", "calend", {"data", "giorno", "note"}).back(),
              "03/03/2024|7|Domenica");

    // Alone, each importer closes with its counts; extended codes that exist are modified.
    ui.answerFile("rt_extcod", first / "RT_EXTCOD.TXT");
    EXPECT_EQ(ImportExtendedCodes(window, false), Outcome::Done);
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Risultati dell'importazione Codifiche Estese:\n\n"
                                        "Lette 2 righe dal file testo.\n"
                                        "Modificate 2 righe esistenti.\n\n"
                                        "L'importazione delle Codifiche Estese ha avuto termine "
                                        "con successo.",
                                        Icon::Information,
                                        ""}));
    EXPECT_EQ(ui.fileDialogs().back().initialName, "RT_EXTCOD");
    EXPECT_EQ(ui.fileDialogs().back().defaultExtension, "TXT");
}

TEST_F(RecordImportTest, ShortProtocolLineIsRefusedAndReported) {
    RecordBuilder record(protocolLayout());
    std::string line = record.start()
                           .number(42)
                           .date("01/03/2024")
                           .number(8)
                           .date("01/01/2024")
                           .date("31/12/2024")
                           .text("Anna")
                           .line();
    line.pop_back();
    ui.answerFile("rt_proto", write("RT_PROTO.TXT", {line}));
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "errori.txt");
    EXPECT_EQ(ImportProtocol(window, false), Outcome::Failed);
    EXPECT_EQ(ui.confirmations()[0].icon, Icon::Stop);
    EXPECT_TRUE(ui.confirmations()[0].text.starts_with("ATTENZIONE: il file di testo proposto"));
    EXPECT_EQ(ui.fileDialogs().back().title, "Report Errori Riscontrati");
    EXPECT_EQ(ui.fileDialogs().back().initialName, "ERRORI_VKZTXT");
    EXPECT_TRUE(ui.fileDialogs().back().confirmOverwrite);
    EXPECT_TRUE(test::readFile(dir / "errori.txt")
                    .ends_with("=\r\n\r\nRiga 1: Lunghezza riga 73 [deve essere 74]\r\n"));
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Risultati dell'importazione Protocollo:\n\n"
                                        "Lette 1 righe dal file testo.\n"
                                        "Inserite 0 righe nel database.\n\n"
                                        "Si sono verificati problemi durante l'importazione del "
                                        "Protocollo.",
                                        Icon::Stop,
                                        ""}));
    EXPECT_EQ(rows("protoc", "master", {"protoc"}), std::vector<std::string>{"7"});
    EXPECT_EQ(ui.pendingAnswers(), 0u);
}

// The period of the protocol is compared only when all three days of its line are real; the
// entry has no offset.
TEST_F(RecordImportTest, ProtocolPeriodIsComparedWhenEveryDayIsReal) {
    const auto line = [](std::string_view sent, std::string_view first, std::string_view last) {
        RecordBuilder record(protocolLayout());
        return record.start()
            .number(42)
            .date(sent)
            .number(8)
            .date(first)
            .date(last)
            .text("Anna")
            .line();
    };
    ui.answerFile("rt_proto",
                  write("RT_PROTO.TXT",
                        {line("31/02/2024", "01/06/2024", "01/01/2024"),
                         line("01/03/2024", "01/06/2024", "01/01/2024"),
                         line("01/03/2024", "01/06/2024", "01/06/2024")}));
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "errori.txt");
    EXPECT_EQ(ImportProtocol(window, false), Outcome::Failed);
    const std::string report = test::readFile(dir / "errori.txt");
    EXPECT_EQ(report.substr(report.find("Riga ")),
              "Riga 1 offset 4: data in formato illegale\r\n"
              "Riga 2: data fine periodo antecedente data inizio periodo\r\n");
}

TEST_F(RecordImportTest, CompanyCodeOfTheFileIsAskedAbout) {
    sql("DELETE FROM calend");
    const auto path =
        write("RT_CALEN.TXT",
              {calendarLine(41, "01/03/2024", "FER"), calendarLine(41, "02/03/2024", "FES")});
    ui.answerFile("rt_calen", path);
    ui.answerConfirm("proceed", false);
    EXPECT_EQ(ImportCalendar(window, false), Outcome::Cancelled);
    EXPECT_EQ(ui.confirmations()[0],
              (ScriptedUi::ShownMessage{
                  "SONO STATI RILEVATI ERRORI RIMEDIABILI:\n\n"
                  "1***** il Codice Regionale Azienda indicato nel file di testo è incoerente\n"
                  "oppure non corrisponde a quello dell'Azienda.\n"
                  "E' comunque possibile proseguire assundo il Codice Azienda corretto.\n\n"
                  "Proseguo comunque?",
                  Icon::Question,
                  ""}));
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
    EXPECT_TRUE(rows("data", "calend", {"data"}).empty());

    ui.answerFile("rt_calen", path);
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportCalendar(window, false), Outcome::Done);
    EXPECT_EQ(rows("data, caden, giorno", "calend", {"data", "caden", "giorno"}),
              (std::vector<std::string>{"01/03/2024|FER|5", "02/03/2024|FES|6"}));

    // A code that changes within the file is reported at its line, and the master's code is not
    // compared; an unknown cadence and a 29 February of a common year block the file.
    ui.answerFile("rt_calen",
                  write("RT_CALEN.TXT",
                        {calendarLine(42, "01/04/2024", "FER"),
                         calendarLine(41, "02/04/2024", "FER"),
                         calendarLine(42, "29/02/2023", "NUOVA"),
                         calendarLine(42, "01/04/2024", "FER") + " "}));
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "errori.txt");
    EXPECT_EQ(ImportCalendar(window, false), Outcome::Failed);
    EXPECT_EQ(ui.confirmations().back().text,
              "SONO STATI RILEVATI ERRORI BLOCCANTI:\n\n"
              "***** il file di testo proposto per l'importazione non risulta corrispondere\n"
              "alle specifiche stabilite dalla Regione Valmora.\n\n"
              "***** il file di testo proposto contiene dei valori DATA illegali.\n"
              "I valori DATA devono essere espressi nel formato AAAAMMGG !!!\n\n"
              "***** il file di testo proposto contiene dei CODICI CADENZA che risultano\n"
              "sconosciuti (violazione dell'integrità referenziale) !!!\n\n"
              "L'acquisizione dati risulta pertanto impossibile.\n\n"
              "Vuoi salvare il report analitico degli errori ?");
    const std::string report = test::readFile(dir / "errori.txt");
    // The report is written in ISO-8859-1.
    EXPECT_EQ(report.substr(report.find("Riga ")),
              "Riga 2 offset 0: il codice azienda \xE8 cambiato; era 0042 diventa 0041\r\n"
              "Riga 3 offset 4: data in formato illegale\r\n"
              "Riga 3 offset 32: cadenza \"NUOVA\" non dichiarata in RT_CADEN.TXT\r\n"
              "Riga 4: Lunghezza riga 43 [deve essere 42]\r\n");
    EXPECT_EQ(rows("data", "calend", {"data"}).size(), 2u);
}

TEST_F(RecordImportTest, PeriodsAreCutToTheCommunicationPeriod) {
    sql("DELETE FROM period; UPDATE master SET datini = '2024-03-01', datfin = '2024-06-30'");
    // In the combined import the file is taken from the remembered folder.
    write("RT_PERIOD.TXT",
          {periodLine(1, "FER", "01/01/2024", "31/12/2024"),
           periodLine(2, "FES", "01/08/2024", "31/08/2024"),
           periodLine(2, "FER", "10/04/2024", "20/04/2024")});
    setCombinedImportFolder(dir.path());
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportPeriods(window, true), Outcome::Failed);
    ASSERT_EQ(ui.confirmations().size(), 1u) << ui.messageTexts()[0];
    EXPECT_TRUE(ui.confirmations()[0].text.starts_with(
        "SONO STATI RILEVATI ERRORI RIMEDIABILI:\n\n"
        "***** alcune date del calendario non rientrano nel periodo dichiarato.\n"));
    EXPECT_EQ(
        rows("ID, inizio, fine, caden", "period", {"ID", "inizio", "fine", "caden"}),
        (std::vector<std::string>{"1|01/03/2024|30/06/2024|FER", "2|10/04/2024|20/04/2024|FER"}));
    // The August period is left out: read exceeds written, which even the combined import shows.
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Risultati dell'importazione Periodi Validità Corse:\n\n"
                                        "Lette 3 righe dal file testo.\n"
                                        "Inserite 2 righe nel database.\n\n"
                                        "Si sono verificati problemi durante l'importazione dei "
                                        "Periodi Validità.",
                                        Icon::Stop,
                                        ""}));

    // An unknown cadence and an inverted period block; nothing is written.
    ui.clear();
    ui.answerFile("rt_period",
                  write("RT_PERIOD.TXT",
                        {periodLine(1, "ALTRA", "01/04/2024", "30/04/2024"),
                         periodLine(9, "FER", "30/04/2024", "01/04/2024")}));
    ui.answerConfirm("report", false);
    EXPECT_EQ(ImportPeriods(window, false), Outcome::Failed);
    EXPECT_EQ(ui.confirmations()[0].text,
              "SONO STATI RILEVATI ERRORI BLOCCANTI:\n\n"
              "***** alcuni periodi di validità presentano la data di inizio e la data di fine\n"
              "invertite, cioè terminano prima di iniziare.\n\n"
              "***** il file di testo proposto contiene dei CODICI CADENZA che risultano\n"
              "sconosciuti (violazione dell'integrità referenziale) !!!\n\n"
              "L'acquisizione dati risulta pertanto impossibile.\n\n"
              "Vuoi salvare il report analitico degli errori ?");
    EXPECT_EQ(rows("ID", "period", {"ID"}).size(), 2u);
}

TEST_F(RecordImportTest, FilesThatCannotBeReadOrHoldNothing) {
    // A missing file: said at once, no closing message.
    ui.answerFile("rt_caden", dir / "manca.txt");
    EXPECT_EQ(ImportCadences(window, false), Outcome::Failed);
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"Impossibile aprire\n\n" + (dir / "manca.txt").string(), Icon::Stop, ""}}));
    // Cancelling the dialog ends the importer silently.
    ui.clear();
    ui.answerFile("rt_proto", std::nullopt);
    EXPECT_EQ(ImportProtocol(window, false), Outcome::Cancelled);
    EXPECT_TRUE(ui.messages().empty());

    // An empty protocol file imports no protocol; an empty calendar is a calendar of no days.
    test::writeFile(dir / "RT_PROTO.TXT", "");
    ui.answerFile("rt_proto", dir / "RT_PROTO.TXT");
    EXPECT_EQ(ImportProtocol(window, false), Outcome::Failed);
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
    test::writeFile(dir / "RT_CALEN.TXT", "");
    setCombinedImportFolder(dir.path());
    EXPECT_EQ(ImportCalendar(window, true), Outcome::Done);

    // Cadence lines one short and one long, after a UTF-8 mark that does not count.
    test::writeFile(dir / "RT_CADEN.TXT",
                    "\xEF\xBB\xBF"
                    "0042" +
                        std::string(9, ' ') + std::string(60, 'x') + "\n0042" +
                        std::string(71, ' ') + "\n");
    ui.answerFile("rt_caden", dir / "RT_CADEN.TXT");
    ui.answerConfirm("report", true);
    ui.answerFile("report", dir / "errori.txt");
    EXPECT_EQ(ImportCadences(window, false), Outcome::Failed);
    const std::string report = test::readFile(dir / "errori.txt");
    EXPECT_EQ(report.substr(report.find("Riga ")),
              "Riga 1: la riga \xE8 lunga 73 [deve essere 74]\r\n"
              "Riga 2: la riga \xE8 lunga 75 [deve essere 74]\r\n");

    // A UTF-8 file of the right widths is read character by character.
    test::writeFile(dir / "RT_CADEN.TXT",
                    "\xEF\xBB\xBF"
                    "0042UNI       Universit\xC3\xA0" +
                        std::string(50, ' ') + "\r\n");
    ui.answerFile("rt_caden", dir / "RT_CADEN.TXT");
    EXPECT_EQ(ImportCadences(window, false), Outcome::Done);
    EXPECT_EQ(rows("codice, denom", "cadenz", {"codice", "denom"}).back(), "UNI|Università");
}

// A line whose field at `offset` holds `value` in place of what the writer wrote.
std::string with(std::string line, size_t offset, std::string_view value) {
    return line.replace(offset, value.size(), value);
}

// Every number field holds digits only: anything else (a letter after digits, a sign, a blank) is
// reported at its line and offset, with the class of the field's other faults, and nothing is read
// from its leading digits.
TEST_F(RecordImportTest, NumberFieldsHoldDigitsOnly) {
    using Importer = Outcome (*)(workspace::Workspace&, bool);
    RecordBuilder protocol(protocolLayout());
    const std::string protocolLine = protocol.start()
                                         .number(42)
                                         .date("01/03/2024")
                                         .number(8)
                                         .date("01/01/2024")
                                         .date("31/12/2024")
                                         .text("Anna")
                                         .line();
    const std::string cadence = "0042NUOVA     " + std::string(60, 'x');
    const std::string calendar = calendarLine(42, "04/03/2024", "FER");
    const std::string period = periodLine(1, "FER", "01/03/2024", "31/03/2024");
    const std::string codes = "0042000001000100420042";

    struct Case {
        Importer importer;
        ImportFile file;
        std::string_view key;
        std::string line;
        int offset;
        std::string_view entry;
        bool blocking;
    };

    const Case cases[] = {
        {ImportProtocol,
         ImportFile::Protocol,
         "rt_proto",
         with(protocolLine, 0, "00X2"),
         0,
         entry::kNonNumericCompany,
         true},
        {ImportProtocol,
         ImportFile::Protocol,
         "rt_proto",
         with(protocolLine, 12, "00000X"),
         12,
         entry::kNonNumericProtocol,
         true},
        {ImportCadences,
         ImportFile::Cadences,
         "rt_caden",
         with(cadence, 0, "-042"),
         0,
         entry::kNonNumericCompany,
         false},
        {ImportCalendar,
         ImportFile::Calendar,
         "rt_calen",
         with(calendar, 0, "4 2 "),
         0,
         entry::kNonNumericCompany,
         false},
        {ImportPeriods,
         ImportFile::Periods,
         "rt_period",
         with(period, 4, "00002X"),
         4,
         entry::kNonNumericTrip,
         false},
        {ImportExtendedCodes,
         ImportFile::ExtendedCodes,
         "rt_extcod",
         with(codes, 4, "00001 "),
         4,
         entry::kNonNumericTrip,
         false},
        {ImportExtendedCodes,
         ImportFile::ExtendedCodes,
         "rt_extcod",
         with(codes, 10, "-001"),
         10,
         entry::kNonNumericLot,
         false},
        {ImportExtendedCodes,
         ImportFile::ExtendedCodes,
         "rt_extcod",
         with(codes, 14, "0 42"),
         14,
         entry::kNonNumericManaging,
         false},
        {ImportExtendedCodes,
         ImportFile::ExtendedCodes,
         "rt_extcod",
         with(codes, 18, "004A"),
         18,
         entry::kNonNumericSubcontractor,
         false},
    };
    sql("DELETE FROM period; DELETE FROM calend");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // Alone, the line is refused or asked about; answering Cancel writes nothing.
        ui.clear();
        ui.answerFile(std::string(c.key), write("RT.TXT", {c.line}));
        ui.answerConfirm(c.blocking ? "report" : "proceed", false);
        EXPECT_EQ(c.importer(window, false), c.blocking ? Outcome::Failed : Outcome::Cancelled);
        ASSERT_EQ(ui.confirmations().size(), 1u);
        EXPECT_EQ(ui.confirmations()[0].icon, c.blocking ? Icon::Stop : Icon::Question);
        EXPECT_EQ(ui.pendingAnswers(), 0u);

        // Beside a line of the wrong length, the report shows the field's entry and no other.
        ui.clear();
        const std::string shortLine = c.line.substr(1);
        ui.answerFile(std::string(c.key), write("RT.TXT", {c.line, shortLine}));
        ui.answerConfirm("report", true);
        ui.answerFile("report", dir / "errori.txt");
        EXPECT_EQ(c.importer(window, false), Outcome::Failed);
        const std::string report = test::readFile(dir / "errori.txt");
        const std::string length = entry::lineLength(
            c.file, static_cast<long>(shortLine.size()), static_cast<int>(c.line.size()));
        EXPECT_EQ(report.substr(report.find("Riga ")),
                  fmt::format("Riga 1 offset {}: {}\r\nRiga 2: {}\r\n",
                              c.offset,
                              c.entry,
                              Latin1Encoder().encode(length)));
    }
    EXPECT_TRUE(rows("ID", "period", {"ID"}).empty());
    EXPECT_TRUE(rows("data", "calend", {"data"}).empty());
    EXPECT_EQ(rows("protoc", "master", {"protoc"}), std::vector<std::string>{"7"});
    EXPECT_EQ(rows("codice", "cadenz", {"codice"}), (std::vector<std::string>{"FER", "FES"}));
}

// Unknown or illegible lots and companies are stored as 0, the registers' "non assegnato", as
// the question announces, and the closing message counts the rows so stored.
TEST_F(RecordImportTest, UnknownLotsAndCompaniesAreReclassified) {
    ui.answerFile("rt_extcod",
                  write("RT_EXTCOD.TXT", {"0042000001099900420042", "0042000002000109980X01"}));
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportExtendedCodes(window, false), Outcome::Done);
    EXPECT_EQ(ui.confirmations()[0].icon, Icon::Question);
    EXPECT_EQ(rows("ID, lotto, aziges, azisub", "extcod", {"ID", "lotto", "aziges", "azisub"}),
              (std::vector<std::string>{"1|0|42|42", "2|1|0|0"}));
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Risultati dell'importazione Codifiche Estese:\n\n"
                                        "Lette 2 righe dal file testo.\n"
                                        "Modificate 2 righe esistenti.\n"
                                        "Riclassificate 2 righe con codici sconosciuti.\n\n"
                                        "L'importazione delle Codifiche Estese ha avuto termine "
                                        "con successo.",
                                        Icon::Information,
                                        ""}));
}

// A trip identifier that is not all digits names no trip: its line is left out after the
// question, never read as the trip of its leading digits.
TEST_F(RecordImportTest, IllegibleTripIdentifiersAreLeftOut) {
    sql("DELETE FROM period");
    ui.answerFile("rt_period",
                  write("RT_PERIOD.TXT",
                        {periodLine(1, "FER", "01/03/2024", "31/03/2024"),
                         with(periodLine(2, "FER", "01/03/2024", "31/03/2024"), 4, "00002X")}));
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(ImportPeriods(window, false), Outcome::Failed);
    EXPECT_TRUE(ui.confirmations()[0].text.find("si riferiscono a corse inesistenti") !=
                std::string::npos);
    EXPECT_EQ(rows("ID", "period", {"ID"}), std::vector<std::string>{"1"});
    EXPECT_TRUE(ui.lastMessage()->text.starts_with("Risultati dell'importazione Periodi Validità "
                                                   "Corse:\n\nLette 2 righe dal file testo.\n"
                                                   "Inserite 1 righe nel database.\n\n"));
}

TEST_F(RecordImportTest, PrerequisitesAndTheMasterRecord) {
    sql("DELETE FROM period; DELETE FROM calend; DELETE FROM cadenz");
    EXPECT_EQ(ImportCalendar(window, false), Outcome::Failed);
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{
                  "ATTENZIONE: non è stata estratta neppure una cadenza registrata.\n\n"
                  "Presumibilmente l'importazione delle Cadenze non è stata ancora effettuata.\n\n"
                  "Occorre effettuare l'importazione delle Cadenze prima di potere procedere con\n"
                  "l'importazione del Calendario.",
                  Icon::Stop,
                  ""}));
    sql("DELETE FROM extcod; DELETE FROM corse");
    EXPECT_EQ(ImportExtendedCodes(window, false), Outcome::Failed);
    EXPECT_EQ(ui.lastMessage()->text,
              "ATTENZIONE: non è stata estratta neppure una Corsa registrata.\n\n"
              "Presumibilmente l'importazione delle Corse non è stata ancora effettuata.\n\n"
              "Occorre effettuare l'importazione delle Corse prima di potere procedere con\n"
              "l'importazione delle Codifiche Estese.");
    sql("DELETE FROM master");
    EXPECT_EQ(ImportProtocol(window, false), Outcome::Failed);
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"ATTENZIONE: risulta impossibile trovare il MASTER\n\n"
                                        "Presumibilmente il DataBase è corrotto !!!",
                                        Icon::Stop,
                                        ""}));
    EXPECT_TRUE(ui.fileDialogs().empty());
}

} // namespace
} // namespace tramela::comm

namespace tramela::comm {
namespace {

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
    EXPECT_EQ(ImportCadences(window, false), Outcome::Failed);
    sqlite3_commit_hook(connection().handle(), nullptr, nullptr);
    EXPECT_TRUE(rows("codice", "cadenz", {"codice"}).empty());
    ASSERT_EQ(ui.messages().size(), 2u) << ui.messageTexts()[0];
    EXPECT_TRUE(ui.messages()[0].text.starts_with("Errore in fase di convalida della transazione"));
    EXPECT_EQ(ui.messages()[1],
              (ScriptedUi::ShownMessage{"Risultati dell'importazione Cadenze:\n\n"
                                        "Lette 2 righe dal file testo.\n"
                                        "Inserite 0 righe nel database.\n\n"
                                        "Si sono verificati problemi durante l'importazione delle "
                                        "Cadenze.",
                                        Icon::Stop,
                                        ""}));
    EXPECT_EQ(connection().transactionDepth(), 0);
}

} // namespace
} // namespace tramela::comm
