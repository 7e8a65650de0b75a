#include "comm/txt/import_frame.h"
#include "comm/txt/record_layouts.h"
#include "comm/txt/rt_writers.h"
#include "comm/txt/trip_import.h"
#include "store/query_cursor.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::comm {
namespace {

using ui::Icon;
using ui::Outcome;
using ui::ScriptedUi;

constexpr std::string_view kAllFiles[] = {"RT_PROTO.TXT",
                                          "RT_CADEN.TXT",
                                          "RT_CALEN.TXT",
                                          "RT_HDORA.TXT",
                                          "RT_DTORA.TXT",
                                          "RT_PERIOD.TXT",
                                          "RT_EXTCOD.TXT"};

std::string headerLine(long trip, std::string_view route) {
    RecordBuilder record(tripHeaderLayout());
    return record.start()
        .number(42)
        .number(trip)
        .text("C" + std::to_string(trip))
        .number(3)
        .number(0)
        .number(1914)
        .number(20)
        .number(1914)
        .number(20)
        .text("L1")
        .letter('A')
        .text(route)
        .text("")
        .line();
}

// A stop of route L1A with its clock times and its primary and optional flags.
std::string
detailLine(long trip, int sub, int arrival, int departure, bool primary, bool optional) {
    struct Stop {
        std::string_view code, name, location;
        long distance;
    };

    static const Stop stops[] = {{"VAL01", "Stazione Centrale", "Piazza Garibaldi", 0},
                                 {"VAL02", "Universit\xE0", "Via Roma 12", 500},
                                 {"BOR01", "Borgo Alto Chiesa", "Piazza Duomo", 1914}};
    const Stop& stop = stops[sub - 1];
    RecordBuilder record(tripDetailLayout());
    return record.start()
        .number(42)
        .number(trip)
        .number(sub)
        .text(stop.code)
        .text(stop.name)
        .text(stop.location)
        .number(stop.distance)
        .time(arrival)
        .time(departure)
        .flag(primary)
        .flag(optional)
        .flag(false)
        .line();
}

class TripImportTest : public ::testing::Test {
protected:
    TripImportTest() {
        test::createSampleNetwork(database());
        // Every stop code once and every stop with a location, as a communication requires.
        test::runSql(database(),
                     "DELETE FROM fermate WHERE ID = 5;"
                     "UPDATE fermate SET ubicaz = 'Strada Vecchia' WHERE ID = 4;");
        window.Startup(database());
        ui.clear();
    }

    std::filesystem::path database() const { return dir / "rete.sqlite"; }

    store::DatabaseConnection& connection() { return *window.connection(); }

    void sql(const std::string& statement) { ASSERT_TRUE(connection().execute(statement)); }

    // The same cartography and registers, without any timetable.
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

    std::filesystem::path write(std::string_view name, const std::vector<std::string>& lines) {
        std::string bytes;
        for (const std::string& line : lines) {
            bytes += line + "\r\n";
        }
        test::writeFile(dir / name, bytes);
        return dir / name;
    }

    // The rows of a query, columns joined by "|", in the order of the columns.
    std::vector<std::string>
    rows(std::string_view select, std::string_view from, std::string_view where = {}) {
        std::vector<std::string> columns;
        for (std::string_view rest = select; !rest.empty();) {
            const size_t comma = rest.find(", ");
            columns.emplace_back(rest.substr(0, comma));
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
        }
        store::QueryCursor query(connection());
        query.SetSelect(select);
        query.SetFrom(from);
        if (!where.empty()) {
            query.SetWhere(where);
        }
        query.SetOrderBy(select);
        std::vector<std::string> found;
        for (bool row = query.Execute(); row; row = query.MoveNext()) {
            std::string joined;
            for (size_t i = 0; i < columns.size(); ++i) {
                std::string value;
                query.GetText(columns[i], value);
                joined += (i == 0 ? "" : "|") + value;
            }
            found.push_back(joined);
        }
        return found;
    }

    bool captionShown(std::string_view caption) const {
        const auto& captions = ui.progressCaptions();
        return std::find(captions.begin(), captions.end(), caption) != captions.end();
    }

    test::TempDir dir;
    ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    workspace::Workspace window{ui, settings};
};

TEST_F(TripImportTest, ExportedCommunicationComesBackByteForByte) {
    const auto first = dir / "first";
    const auto second = dir / "second";
    exportAll(first);
    clearTimetable();

    ui.answerFile("rt_proto", first / "RT_PROTO.TXT");
    ui.answerFile("rt_caden", first / "RT_CADEN.TXT");
    EXPECT_EQ(ImportAll(window), Outcome::Done);
    EXPECT_EQ(ui.dialogs(),
              (std::vector<std::string>{"Importazione Protocollo Comunicazione Orari",
                                        "Importazione Dati Cadenze"}));
    // Only the trip import closes with its counts in the combined import. Route 3, which no
    // trip uses, has its one stop adjusted too.
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"Risultato dell'importazione delle Corse:\n\n"
                   "Lette 2 righe Corsa\n"
                   "Lette 6 righe Orario\n\n"
                   "Inserite 2 righe Corsa Standard\n"
                   "Inserite 6 righe Tempi Corsa Standard\n"
                   "Inserite 2 righe Corsa\n"
                   "Aggiustate 7 righe Dettaglio Percorso\n",
                   Icon::Information,
                   ""},
                  {"L'importazione complessiva dei dati è terminata con successo.",
                   Icon::Information,
                   ""}}));
    EXPECT_TRUE(ui.confirmations().empty());
    EXPECT_EQ(ui.progressValues().back(), -1);
    // Standard trips are numbered from 0 in an empty table; the trip leaving at 23:50 keeps
    // growing offsets past midnight.
    EXPECT_EQ(rows("ID, id_perc", "tesstd"), (std::vector<std::string>{"0|1", "1|2"}));
    EXPECT_EQ(rows("ID, sub, arriva, parte", "detstd", "ID = 0"),
              (std::vector<std::string>{"0|1|0|0", "0|2|5|6", "0|3|20|20"}));
    EXPECT_EQ(rows("ID, parte, id_perc, standard, mezzo, prevcor", "corse"),
              (std::vector<std::string>{"1|2350|1|0||0", "2|735|2|1||0"}));

    exportAll(second);
    for (const std::string_view name : kAllFiles) {
        EXPECT_EQ(test::readFile(second / name), test::readFile(first / name)) << name;
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
    EXPECT_EQ(ImportTrips(window, false), Outcome::Done);
    EXPECT_EQ(ui.dialogs(),
              (std::vector<std::string>{"Importazione Dati Testa Corsa",
                                        "Importazione Dati Dettaglio Corsa",
                                        "Report Errori Riscontrati"}));
    EXPECT_EQ(ui.fileDialogs()[1].initialName, "RT_DTORA");
    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(ui.confirmations()[0].icon, Icon::Stop);
    EXPECT_TRUE(ui.confirmations()[0].text.find("Tuttavia esistono 3 corse") != std::string::npos);
    const std::string report = test::readFile(dir / "errori.txt");
    EXPECT_TRUE(report.find("File: *** Verifica Congruenza Percorsi ed Orari ***\r\n") !=
                std::string::npos);
    EXPECT_TRUE(report.ends_with(
        "\r\nLa corsa ID=12 richiama il percorso [ZZ] che non risulta definito\r\n"));

    // After the standard trip already stored; the trip at 23:50 reaches the last stop at 00:10.
    EXPECT_EQ(rows("ID, parte, standard", "corse"),
              (std::vector<std::string>{"10|705|5", "11|805|5", "13|2350|6"}));
    EXPECT_EQ(rows("ID, sub, arriva, parte", "detstd"),
              (std::vector<std::string>{
                  "5|1|0|0", "5|2|5|6", "5|3|20|20", "6|1|0|0", "6|2|6|7", "6|3|20|20"}));
    // The last trip read sets the flags of its route; stops of other routes lose theirs.
    EXPECT_EQ(rows("ID, sub, primaria, facolt", "fermitin"),
              (std::vector<std::string>{
                  "1|1|0|1", "1|2|0|1", "1|3|1|0", "2|1|0|0", "2|2|0|0", "2|3|0|0", "3|1|0|0"}));
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Risultato dell'importazione delle Corse:\n\n"
                                        "Lette 4 righe Corsa\n"
                                        "Lette 10 righe Orario\n\n"
                                        "Inserite 2 righe Corsa Standard\n"
                                        "Inserite 6 righe Tempi Corsa Standard\n"
                                        "Inserite 3 righe Corsa\n"
                                        "Aggiustate 7 righe Dettaglio Percorso\n",
                                        Icon::Information,
                                        ""}));

    // The same trips again: the database refuses the trips it holds, which is a failure.
    ui.clear();
    ui.answerFile("rt_hdora", header);
    ui.answerFile("rt_dtora", detail);
    ui.answerConfirm("congruence-report", false);
    EXPECT_EQ(ImportTrips(window, false), Outcome::Failed);
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
    EXPECT_TRUE(ui.lastMessage()->text.ends_with(
        "Inserite 0 righe Corsa\nAggiustate 7 righe Dettaglio Percorso\n\n"
        "Si sono verificati problemi durante l'importazione delle Corse."));
    EXPECT_EQ(rows("ID", "corse").size(), 3u);

    // When no trip fits, nothing is written.
    ui.clear();
    ui.answerFile("rt_hdora", write("RT_HDORA.TXT", {headerLine(20, "ZZ")}));
    ui.answerFile("rt_dtora", write("RT_DTORA.TXT", {detailLine(20, 1, 9999, 900, true, false)}));
    ui.answerConfirm("congruence-report", false);
    EXPECT_EQ(ImportTrips(window, false), Outcome::Failed);
    EXPECT_TRUE(ui.confirmations()[0].text.starts_with(
        "ATTENZIONE: gli orari corsa non si adattano ai percorsi già definiti.\n"));
    EXPECT_EQ(
        ui.lastMessage(),
        (ScriptedUi::ShownMessage{
            "Si sono verificati problemi durante l'importazione delle Corse.", Icon::Stop, ""}));
    EXPECT_EQ(rows("ID", "tesstd").size(), 5u);
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
    EXPECT_EQ(ImportTrips(window, false), Outcome::Failed);
    EXPECT_TRUE(ui.confirmations()[0].text.find("contiene dei valori ORARIO illegali") !=
                std::string::npos);
    const std::string report = test::readFile(dir / "errori.txt");
    EXPECT_EQ(report.substr(report.find("Riga ")),
              "Riga 1 offset 132: orario espresso in forma illegale\r\n"
              "Riga 2 offset 128: orario espresso in forma illegale\r\n"
              "Riga 2 offset 132: orario espresso in forma illegale\r\n");
    EXPECT_EQ(
        ui.lastMessage(),
        (ScriptedUi::ShownMessage{
            "Si sono verificati problemi durante l'importazione delle Corse.", Icon::Stop, ""}));
    EXPECT_TRUE(rows("ID", "corse").empty());
    EXPECT_FALSE(captionShown("Verifica Congruenza Percorsi ed Orari"));

    // 9999 is legal in any field, but a trip without a time at a stop it serves is left out.
    ui.clear();
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
    EXPECT_EQ(ImportTrips(window, false), Outcome::Done);
    EXPECT_TRUE(ui.confirmations()[0].text.find("Tuttavia esistono 1 corse") != std::string::npos);
    EXPECT_TRUE(
        test::readFile(dir / "errori.txt").ends_with("Corsa ID=11 sub=2; orario mancante\r\n"));
    EXPECT_EQ(rows("ID, parte", "corse"), std::vector<std::string>{"10|700"});
    // The trip left out does not mark the stops.
    EXPECT_EQ(rows("sub, primaria, facolt", "fermitin", "ID = 1"),
              (std::vector<std::string>{"1|1|0", "2|0|0", "3|1|0"}));
}

// A line whose field at `offset` holds `value` in place of what the writer wrote.
std::string with(std::string line, size_t offset, std::string_view value) {
    return line.replace(offset, value.size(), value);
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
        int offset;
        std::string_view entry;
        bool blocking;
    };

    const Case cases[] = {
        {false, with(header, 0, "4 2 "), 0, entry::kNonNumericCompany, false},
        {false, with(header, 4, "00001X"), 4, entry::kNonNumericTrip, true},
        {false, with(header, 40, "03A0"), 40, entry::kNonNumericAuthority, false},
        {false, with(header, 44, "00X0"), 44, entry::kNonNumericContract, false},
        {false, with(header, 48, "AB12XY34"), 48, entry::kNonNumericLength, true},
        {false, with(header, 56, "002-"), 56, entry::kNonNumericDuration, true},
        {false, with(header, 60, "-0000001"), 60, entry::kNonNumericContractLength, true},
        {false, with(header, 68, " 20 "), 68, entry::kNonNumericContractDuration, true},
        {true, with(detail, 0, "X042"), 0, entry::kNonNumericCompany, false},
        {true, with(detail, 4, "00001O"), 4, entry::kNonNumericTrip, false},
        {true, with(detail, 10, "000A"), 10, entry::kNonNumericProgressive, true},
        {true, with(detail, 120, "0000050O"), 120, entry::kNonNumericDistance, true},
    };
    const auto headerFile = write("TESTE.TXT", {header});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string shortLine = c.line.substr(1);
        // Alone, the line is refused or asked about; answering Cancel ends the import.
        // Beside a line of the wrong length, the report shows the field's entry and no other.
        for (const bool withShortLine : {false, true}) {
            ui.clear();
            std::vector<std::string> lines{c.line};
            if (withShortLine) {
                lines.push_back(shortLine);
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
            EXPECT_EQ(ImportTrips(window, false), blocked ? Outcome::Failed : Outcome::Cancelled);
            EXPECT_EQ(ui.pendingAnswers(), 0u);
            ASSERT_EQ(ui.confirmations().size(), 1u);
            EXPECT_EQ(ui.confirmations()[0].icon,
                      withShortLine || c.blocking ? Icon::Stop : Icon::Question);
            if (c.blocking && !withShortLine) {
                EXPECT_EQ(ui.confirmations()[0].text,
                          "SONO STATI RILEVATI ERRORI BLOCCANTI:\n\n"
                          "***** il file di testo proposto contiene dei valori NUMERICI illegali.\n"
                          "I valori NUMERICI devono essere espressi con le sole cifre da 0 a 9 "
                          "!!!\n\n"
                          "L'acquisizione dati risulta pertanto impossibile.\n\n"
                          "Vuoi salvare il report analitico degli errori ?");
            }
            EXPECT_EQ(ui.lastMessage(),
                      (ScriptedUi::ShownMessage{
                          "Si sono verificati problemi durante l'importazione delle Corse.",
                          Icon::Stop,
                          ""}));
        }
        const std::string report = test::readFile(dir / "errori.txt");
        EXPECT_EQ(report.substr(report.find("Riga ")),
                  fmt::format("Riga 1 offset {}: {}\r\nRiga 2: la riga \xE8 lunga {} [deve essere "
                              "{}]\r\n",
                              c.offset,
                              c.entry,
                              shortLine.size(),
                              c.line.size()));
    }
    EXPECT_TRUE(rows("ID", "corse").empty());
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
    EXPECT_EQ(ImportTrips(window, false), Outcome::Done);
    ASSERT_EQ(ui.confirmations().size(), 1u);
    EXPECT_EQ(ui.confirmations()[0],
              (ScriptedUi::ShownMessage{
                  "SONO STATI RILEVATI ERRORI RIMEDIABILI:\n\n"
                  "***** alcuni Codici Enti Concedenti risultano sconosciuti.\n"
                  "L'acquisizione dei dati può comunque essere portata a buon fine, ma i codici\n"
                  "sconosciuti verranno automaticamente riclassificati.\n\n"
                  "Proseguo comunque?",
                  Icon::Question,
                  ""}));
    EXPECT_EQ(rows("ID, ente", "corse"), (std::vector<std::string>{"10|0", "11|0", "12|3"}));
    EXPECT_EQ(ui.lastMessage(),
              (ScriptedUi::ShownMessage{"Risultato dell'importazione delle Corse:\n\n"
                                        "Lette 3 righe Corsa\n"
                                        "Lette 9 righe Orario\n\n"
                                        "Inserite 1 righe Corsa Standard\n"
                                        "Inserite 3 righe Tempi Corsa Standard\n"
                                        "Inserite 3 righe Corsa\n"
                                        "Riclassificate 2 righe Corsa con Ente sconosciuto\n"
                                        "Aggiustate 7 righe Dettaglio Percorso\n",
                                        Icon::Information,
                                        ""}));
}

TEST_F(TripImportTest, CombinedImportStopsAtTheFirstStepThatFails) {
    const auto folder = dir / "comunicazione";
    exportAll(folder);
    clearTimetable();
    std::filesystem::remove(folder / "RT_CALEN.TXT");
    ui.answerFile("rt_proto", folder / "RT_PROTO.TXT");
    ui.answerFile("rt_caden", folder / "RT_CADEN.TXT");
    EXPECT_EQ(ImportAll(window), Outcome::Failed);
    EXPECT_EQ(
        ui.messageTexts(),
        (std::vector<std::string>{"Impossibile aprire\n\n" + (folder / "RT_CALEN.TXT").string(),
                                  "Il risultato dell'azione precedente rende impossibile "
                                  "completare l'importazione dei dati."}));
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
    // The two steps done stay done; the trips are not read.
    EXPECT_EQ(rows("codice", "cadenz"), (std::vector<std::string>{"FER", "FES"}));
    EXPECT_FALSE(captionShown("Importazione Teste Corsa"));
    EXPECT_TRUE(rows("ID", "corse").empty());
}

} // namespace
} // namespace tramela::comm

namespace tramela::comm {
namespace {

int refuseEveryCommit(void*) {
    return 1;
}

// The complete import is one transaction: when its commit is refused nothing of the six files
// is kept and no success is announced.
TEST_F(TripImportTest, TheCompleteImportIsKeptWholeOrNotAtAll) {
    const auto folder = dir / "comunicazione";
    exportAll(folder);
    clearTimetable();
    ui.answerFile("rt_proto", folder / "RT_PROTO.TXT");
    ui.answerFile("rt_caden", folder / "RT_CADEN.TXT");
    sqlite3_commit_hook(window.connection()->handle(), refuseEveryCommit, nullptr);
    EXPECT_EQ(ImportAll(window), Outcome::Failed);
    sqlite3_commit_hook(window.connection()->handle(), nullptr, nullptr);
    EXPECT_TRUE(ui.lastMessage()->text.starts_with("Errore in fase di convalida della "
                                                   "transazione"));
    for (const std::string& text : ui.messageTexts()) {
        EXPECT_EQ(text.find("terminata con successo"), std::string::npos);
    }
    EXPECT_TRUE(rows("codice", "cadenz").empty());
    EXPECT_TRUE(rows("ID", "corse").empty());
    EXPECT_EQ(window.connection()->transactionDepth(), 0);
}

} // namespace
} // namespace tramela::comm
