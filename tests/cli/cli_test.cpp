#include "support/golden.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class CliTest : public ::testing::Test {
protected:
    // Runs the command line (split as a shell would) with the test's own settings file, never
    // the user's.
    ProcessResult run(std::string_view line) {
        std::vector<std::string> arguments = test::words(line);
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    // Runs and records the command, its exit status and both outputs for the golden file.
    ProcessResult record(std::string_view line) {
        const ProcessResult result = run(line);
        session += "$ " + std::string(line) + "\nexit " + std::to_string(result.exitCode) + "\n" +
                   result.out + (result.err.empty() ? "" : "[stderr]\n" + result.err);
        return result;
    }

    // The recorded session, the test's folder written "<dir>".
    std::string recorded() const { return test::replaceAll(session, dir.path().string(), "<dir>"); }

    test::TempDir dir;
    std::string session;
};

// The title says whether a database is bound and whether it has a company; connect writes the
// binding to the settings, disconnect takes it away.
TEST_F(CliTest, NewDatabaseThenTitleWithAndWithoutTheBinding) {
    record("new-database x.sqlite");
    record("--db x.sqlite title");
    EXPECT_EQ(run("connect x.sqlite").exitCode, 0);
    const std::string settings = test::readFile(dir / "settings.toml");
    EXPECT_NE(settings.find((dir / "x.sqlite").string()), std::string::npos) << settings;
    record("title");
    EXPECT_EQ(run("--yes disconnect").exitCode, 0);
    record("title");
    EXPECT_GOLDEN(recorded(), "cli/title.txt");
}

// 0 done, 1 failed or refused, 2 a usage error, 3 cancelled (no terminal and no --yes).
TEST_F(CliTest, FailuresRefusalsAndCancellationsHaveTheirExitStatus) {
    ASSERT_EQ(run("new-database x.sqlite").exitCode, 0);
    record("duplicate x.sqlite x.sqlite");
    record("connect manca.sqlite");
    EXPECT_GOLDEN(recorded(), "cli/failures.txt");
    const std::pair<std::string_view, int> statuses[] = {
        {"duplicate x.sqlite y.sqlite", 0},
        {"repair y.sqlite", 0},
        {"new-database x.sqlite", 1},
        {"disconnect", 3},
        {"--no disconnect", 3},
        {"frobnicate", 2},
        {"duplicate x.sqlite", 2},
        {"", 2},
        {"duplicate --help", 0},
    };
    for (const auto& [line, status] : statuses) {
        EXPECT_EQ(run(line).exitCode, status) << line;
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "y.sqlite"));
    const ProcessResult help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command :
         {"new-database", "connect", "disconnect", "repair", "duplicate", "about", "title"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
}

TEST_F(CliTest, InvalidSettingsAreReportedAndLeftAsTheyAre) {
    test::writeFile(dir / "settings.toml", "questo = non è toml [");
    const ProcessResult about = run("about");
    EXPECT_EQ(about.exitCode, 1);
    EXPECT_TRUE(about.err.starts_with("ATTENZIONE: è stata riscontrata una anomalia grave\n"));
    EXPECT_NE(about.out.find("INFORMAZIONI SUL PROGRAMMA"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "settings.toml"), "questo = non è toml [");
}

// create-tables twice; a company header given in every form of date; a refused one, whose log
// names the values the command line did not give, leaves the header as it was.
TEST_F(CliTest, CreateTablesCompanyHeaderAndMenu) {
    ASSERT_EQ(run("new-database d.sqlite").exitCode, 0);
    for (int pass = 0; pass < 2; ++pass) {
        const ProcessResult created = run("--db d.sqlite create-tables");
        EXPECT_EQ(created.exitCode, 0) << created.err;
        EXPECT_TRUE(created.out.ends_with("I descrittori del DataBase sono stati aggiornati\n"));
        EXPECT_EQ(created.err, "");
    }
    EXPECT_EQ(run("--db d.sqlite company --code 42 --date 01/03/09 --protocol 7 --responsible "
                  "'Mario Rossi' --start 01-01-2009 --end 31.12.2009")
                  .exitCode,
              0);
    record("--db d.sqlite title");
    record("--db d.sqlite company --code 4x --start 31/02/2009");
    record("--db d.sqlite title");
    EXPECT_GOLDEN(recorded(), "cli/company.txt");
    EXPECT_NE(run("--db d.sqlite company").out.find("Protocollo: 7\n"), std::string::npos);

    const ProcessResult menu = run("--db d.sqlite menu");
    EXPECT_EQ(menu.exitCode, 0);
    EXPECT_TRUE(menu.out.starts_with("&Database\n    5109 &Crea Tavole Tramela [abilitato]\n"));
    for (const char* item : {"5161 Importazione &Configurazione Sirventa [abilitato]\n",
                             "5141 Quadri Orari (&Carta) [abilitato]\n"}) {
        EXPECT_NE(menu.out.find(item), std::string::npos) << item;
    }
    EXPECT_EQ(run("--no --db d.sqlite clear-tables").exitCode, 3);
    const ProcessResult cleared = run("--yes --db d.sqlite clear-tables");
    EXPECT_EQ(cleared.exitCode, 0);
    EXPECT_NE(cleared.out.find("Righe eliminate: 0 di 0 [Cadenze]\n"), std::string::npos);
}

// A cadence code once; days filled by weekday, a holiday added, listed with their names; a
// cadence in use is not deleted.
TEST_F(CliTest, CalendarAndCadencesOnACreatedDatabase) {
    ASSERT_EQ(run("new-database d.sqlite").exitCode, 0);
    ASSERT_EQ(run("--db d.sqlite create-tables").exitCode, 0);
    const std::pair<std::string_view, int> statuses[] = {
        {"--db d.sqlite cadences add FER Feriale", 0},
        {"--db d.sqlite cadences add FES Festivo", 0},
        {"--db d.sqlite cadences add FER Doppia", 1},
    };
    for (const auto& [line, status] : statuses) {
        EXPECT_EQ(run(line).exitCode, status) << line;
    }
    EXPECT_TRUE(run("--db d.sqlite cadences list")
                    .out.ends_with("FER        Feriale\nFES        Festivo\n"));
    record("--db d.sqlite calendar fill FER --from 25/03/2024 --to 02/04/2024 --weekdays 123456");
    EXPECT_EQ(run("--db d.sqlite calendar add 31/03/2024 FES").exitCode, 0);
    const ProcessResult days = run("--db d.sqlite calendar days --from 30/03/2024 --to 01/04/24");
    EXPECT_EQ(days.exitCode, 0);
    EXPECT_TRUE(days.out.ends_with("30/03/2024 6 Sabato               FER\n"
                                   "31/03/2024 7 Domenica  Pasqua     FES [Pasqua]\n"
                                   "01/04/2024 1 Lunedi    Pasquetta  FER\n"))
        << days.out;
    record("--db d.sqlite calendar days --from 31/02/2024");
    EXPECT_EQ(run("--db d.sqlite cadences delete FES").exitCode, 1);
    EXPECT_GOLDEN(recorded(), "cli/calendar.txt");
}

// The demonstration database verifies clean and exports every file, none of them empty; an
// existing file is never replaced by it.
TEST_F(CliTest, DemoDatabaseVerifiesCleanAndExportsEveryFile) {
    const ProcessResult built = run("demo demo.sqlite");
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_TRUE(built.out.ends_with("Il database dimostrativo demo.sqlite è pronto.\n"));
    EXPECT_EQ(run("demo demo.sqlite").exitCode, 1);
    record("--db demo.sqlite verify");
    std::filesystem::create_directory(dir / "out");
    const ProcessResult exported = run("--yes --db demo.sqlite export-txt out");
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    std::istringstream lines(exported.out.substr(exported.out.find("Esportate")));
    int files = 0;
    for (std::string line; std::getline(lines, line) && !line.empty(); ++files) {
        EXPECT_EQ(line.find(" 0 "), std::string::npos) << line;
    }
    EXPECT_EQ(files, 12);
    record("--db demo.sqlite title");
    EXPECT_GOLDEN(recorded(), "cli/demo.txt");
}

// With a complete header the feed verifies with tolerable findings only: stops without a
// location and routes sharing a name. A second import and a wrong lot are refused.
TEST_F(CliTest, ImportGtfsPrintsItsCountsAndRefusesASecondImport) {
    ASSERT_EQ(run("new-database s.sqlite").exitCode, 0);
    ASSERT_EQ(run("--db s.sqlite create-tables").exitCode, 0);
    const std::string feed = std::string(TRAMELA_SHARED_DATA) + "/sample-gtfs-feed";
    const ProcessResult imported = run("--db s.sqlite import-gtfs " + feed);
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("righe in fermate"), std::string::npos) << imported.out;
    EXPECT_EQ(run("--db s.sqlite import-gtfs " + feed).exitCode, 1);
    ASSERT_EQ(run("--db s.sqlite company --code 42 --date 01/03/2024 --protocol 3 --responsible "
                  "Ufficio")
                  .exitCode,
              0);
    const ProcessResult verified = run("--db s.sqlite verify --report r.txt");
    EXPECT_NE(verified.err.find("ERRORE TOLLERABILE"), std::string::npos) << verified.err;
    EXPECT_EQ(verified.err.find("ERRORE BLOCCANTE"), std::string::npos) << verified.err;
    EXPECT_NE(test::readFile(dir / "r.txt").find("Ubicazioni Assenti"), std::string::npos);
    EXPECT_EQ(run("--db s.sqlite import-gtfs " + feed + " --lot x").exitCode, 1);
}

// What the export wrote the import reads back whole; a blocking problem writes nothing and the
// exit status says so.
TEST_F(CliTest, ImportAllReadsBackWhatTheExportWrote) {
    ASSERT_EQ(run("demo d.sqlite").exitCode, 0);
    std::filesystem::create_directory(dir / "a");
    std::filesystem::create_directory(dir / "b");
    ASSERT_EQ(run("--yes --db d.sqlite export-txt a").exitCode, 0);
    test::runSql(dir / "d.sqlite",
                 "DELETE FROM extcod; DELETE FROM period; DELETE FROM corse; DELETE FROM detstd;"
                 "DELETE FROM tesstd; DELETE FROM calend; DELETE FROM cadenz;");
    const ProcessResult imported = run("--yes --db d.sqlite import-all a");
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_TRUE(
        imported.out.ends_with("L'importazione complessiva dei dati è terminata con successo.\n"));
    ASSERT_EQ(run("--yes --db d.sqlite export-txt b").exitCode, 0);
    for (const std::string& file : test::words(
             "RT_PROTO.TXT RT_CADEN.TXT RT_CALEN.TXT RT_HDORA.TXT RT_DTORA.TXT RT_PERIOD.TXT "
             "RT_EXTCOD.TXT")) {
        EXPECT_EQ(test::readFile(dir / "a" / file), test::readFile(dir / "b" / file)) << file;
    }
    test::writeFile(dir / "a" / "RT_CADEN.TXT", "0042XX\r\n");
    EXPECT_EQ(run("--yes --db d.sqlite import-cadences a/RT_CADEN.TXT").exitCode, 1);
}

} // namespace
} // namespace tramela::cli
