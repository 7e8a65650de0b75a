#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tramela::cli {
namespace {

using test::ProcessResult;

constexpr std::string_view kDefaultTitle =
    "Tramela - \"Acquisizione DataBase Corse - Regione Valmora\"\n";

class CliTest : public ::testing::Test {
protected:
    // Every run uses the test's own settings file, never the user's.
    ProcessResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    test::TempDir dir;
};

TEST_F(CliTest, NewDatabaseThenTitleWithAndWithoutTheBinding) {
    const ProcessResult created = run({"new-database", "x.sqlite"});
    EXPECT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(created.out, "Il database x.sqlite è stato creato.\n");

    const ProcessResult title = run({"--db", "x.sqlite", "title"});
    EXPECT_EQ(title.exitCode, 0) << title.err;
    EXPECT_EQ(title.out,
              "Non è ancora stata definita l'Azienda di lavoro !!!\n\n"
              "Prima di procedere a qualunque altra operazione\n"
              "è necessario definire l'Azienda\n" +
                  std::string(kDefaultTitle));
    EXPECT_EQ(title.err, "");

    const ProcessResult connected = run({"connect", "x.sqlite"});
    EXPECT_EQ(connected.exitCode, 0);
    const std::string settings = test::readFile(dir / "settings.toml");
    EXPECT_NE(settings.find((dir / "x.sqlite").string()), std::string::npos) << settings;
    const ProcessResult bound = run({"title"});
    EXPECT_TRUE(bound.out.ends_with(kDefaultTitle)) << bound.out;

    const ProcessResult unbound = run({"--yes", "disconnect"});
    EXPECT_EQ(unbound.exitCode, 0) << unbound.err;
    const ProcessResult again = run({"title"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out,
              "L'applicazione Tramela non è associata ad un database.\n\n"
              "Prima di iniziare ad operare con Tramela è necessario\n"
              "associare un database già esistente di Cartovia e VkzNuvo.\n\n" +
                  std::string(kDefaultTitle));
}

TEST_F(CliTest, FailuresRefusalsAndCancellationsHaveTheirExitStatus) {
    ASSERT_EQ(run({"new-database", "x.sqlite"}).exitCode, 0);

    const ProcessResult duplicate = run({"duplicate", "x.sqlite", "x.sqlite"});
    EXPECT_EQ(duplicate.exitCode, 1);
    EXPECT_EQ(duplicate.err,
              "Errore durante la duplicazione del database\n\nx.sqlite\nx.sqlite\n\n"
              "Il file di destinazione esiste già (SQLite: output file already exists)\n");

    EXPECT_EQ(run({"duplicate", "x.sqlite", "y.sqlite"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "y.sqlite"));
    EXPECT_EQ(run({"repair", "y.sqlite"}).exitCode, 0);

    const ProcessResult existing = run({"new-database", "x.sqlite"});
    EXPECT_EQ(existing.exitCode, 1);

    const ProcessResult missing = run({"connect", "manca.sqlite"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err,
              "Il file indicato non esiste:\n" + (dir / "manca.sqlite").string() + "\n");

    // No terminal and no --yes: the confirmation is cancelled.
    EXPECT_EQ(run({"disconnect"}).exitCode, 3);
    EXPECT_EQ(run({"--no", "disconnect"}).exitCode, 3);

    EXPECT_EQ(run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(run({"duplicate", "x.sqlite"}).exitCode, 2);
    EXPECT_EQ(run({}).exitCode, 2);

    const ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command :
         {"new-database", "connect", "disconnect", "repair", "duplicate", "about", "title"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
    EXPECT_EQ(run({"duplicate", "--help"}).exitCode, 0);
}

TEST_F(CliTest, InvalidSettingsAreReportedAndLeftAsTheyAre) {
    test::writeFile(dir / "settings.toml", "questo = non è toml [");
    const ProcessResult about = run({"about"});
    EXPECT_EQ(about.exitCode, 1);
    EXPECT_TRUE(about.err.starts_with("ATTENZIONE: è stata riscontrata una anomalia grave\n"));
    EXPECT_NE(about.out.find("INFORMAZIONI SUL PROGRAMMA"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "settings.toml"), "questo = non è toml [");
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

TEST_F(CliTest, CreateTablesCompanyHeaderAndMenu) {
    ASSERT_EQ(run({"new-database", "d.sqlite"}).exitCode, 0);
    for (int pass = 0; pass < 2; ++pass) {
        const ProcessResult created = run({"--db", "d.sqlite", "create-tables"});
        EXPECT_EQ(created.exitCode, 0) << created.err;
        EXPECT_TRUE(created.out.ends_with("I descrittori del DataBase sono stati aggiornati\n"));
        EXPECT_EQ(created.err, "");
    }

    const ProcessResult company = run({"--db",
                                       "d.sqlite",
                                       "company",
                                       "--code",
                                       "42",
                                       "--date",
                                       "01/03/09",
                                       "--protocol",
                                       "7",
                                       "--responsible",
                                       "Mario Rossi",
                                       "--start",
                                       "01-01-2009",
                                       "--end",
                                       "31.12.2009"});
    EXPECT_EQ(company.exitCode, 0) << company.err;
    const ProcessResult title = run({"--db", "d.sqlite", "title"});
    EXPECT_EQ(title.exitCode, 0);
    EXPECT_EQ(title.out,
              "Tramela - Azienda 42 - Autolinee Corvasca Sud S.r.l. [periodo dal "
              "01/01/2009 al 31/12/2009]\n");

    const ProcessResult refused =
        run({"--db", "d.sqlite", "company", "--code", "4x", "--start", "31/02/2009"});
    EXPECT_EQ(refused.exitCode, 1);
    // The log names the values the command line did not give, then the refusal.
    EXPECT_EQ(refused.err,
              "Intestazione Azienda e Comunicazione\n  Data: 01/03/2009\n  Protocollo: 7\n"
              "  Responsabile: Mario Rossi\n  Data Fine: 31/12/2009\n-> valori proposti\n"
              "ATTENZIONE: Il Codice Regionale Azienda non è valido.\n\n"
              "Occorre selezionare un Codice Regionale Azienda presente nella "
              "lista.\n\nI dati immessi non saranno registrati !!!\n");
    EXPECT_EQ(run({"--db", "d.sqlite", "title"}).out, title.out);

    const ProcessResult shown = run({"--db", "d.sqlite", "company"});
    EXPECT_NE(shown.out.find("Protocollo: 7\n"), std::string::npos);

    const ProcessResult menu = run({"--db", "d.sqlite", "menu"});
    EXPECT_EQ(menu.exitCode, 0);
    EXPECT_TRUE(menu.out.starts_with("&Database\n    5109 &Crea Tavole Tramela [abilitato]\n"));
    EXPECT_NE(menu.out.find("5161 Importazione &Configurazione Sirventa [abilitato]\n"),
              std::string::npos);
    EXPECT_NE(menu.out.find("5141 Quadri Orari (&Carta) [abilitato, non ancora disponibile]\n"),
              std::string::npos);

    EXPECT_EQ(run({"--no", "--db", "d.sqlite", "clear-tables"}).exitCode, 3);
    const ProcessResult cleared = run({"--yes", "--db", "d.sqlite", "clear-tables"});
    EXPECT_EQ(cleared.exitCode, 0);
    EXPECT_NE(cleared.out.find("Righe eliminate: 0 di 0 [Cadenze]\n"), std::string::npos);
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

TEST_F(CliTest, CalendarAndCadencesOnACreatedDatabase) {
    ASSERT_EQ(run({"new-database", "d.sqlite"}).exitCode, 0);
    ASSERT_EQ(run({"--db", "d.sqlite", "create-tables"}).exitCode, 0);
    EXPECT_EQ(run({"--db", "d.sqlite", "cadences", "add", "FER", "Feriale"}).exitCode, 0);
    EXPECT_EQ(run({"--db", "d.sqlite", "cadences", "add", "FES", "Festivo"}).exitCode, 0);
    EXPECT_EQ(run({"--db", "d.sqlite", "cadences", "add", "FER", "Doppia"}).exitCode, 1);
    EXPECT_TRUE(run({"--db", "d.sqlite", "cadences", "list"})
                    .out.ends_with("FER        Feriale\nFES        Festivo\n"));

    const ProcessResult filled = run({"--db",
                                      "d.sqlite",
                                      "calendar",
                                      "fill",
                                      "FER",
                                      "--from",
                                      "25/03/2024",
                                      "--to",
                                      "02/04/2024",
                                      "--weekdays",
                                      "123456"});
    EXPECT_EQ(filled.exitCode, 0) << filled.err;
    EXPECT_TRUE(filled.out.ends_with("Cadenza FER: aggiunti 8 giorni al calendario.\n"));
    EXPECT_EQ(run({"--db", "d.sqlite", "calendar", "add", "31/03/2024", "FES"}).exitCode, 0);

    const ProcessResult days =
        run({"--db", "d.sqlite", "calendar", "days", "--from", "30/03/2024", "--to", "01/04/24"});
    EXPECT_EQ(days.exitCode, 0);
    EXPECT_TRUE(days.out.ends_with("30/03/2024 6 Sabato               FER\n"
                                   "31/03/2024 7 Domenica  Pasqua     FES [Pasqua]\n"
                                   "01/04/2024 1 Lunedi    Pasquetta  FER\n"))
        << days.out;

    const ProcessResult wrong =
        run({"--db", "d.sqlite", "calendar", "days", "--from", "31/02/2024"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err,
              "Giorni del Calendario\n  Ultimo giorno: 31/12/2099\n-> valori proposti\n"
              "ATTENZIONE: la data del giorno è espressa in un formato illegale.\n\n"
              "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
              "I dati immessi non saranno registrati !!!\n");
    EXPECT_EQ(run({"--db", "d.sqlite", "cadences", "delete", "FES"}).exitCode, 1);
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

TEST_F(CliTest, DemoDatabaseVerifiesCleanAndExportsEveryFile) {
    const ProcessResult built = run({"demo", "demo.sqlite"});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_TRUE(built.out.ends_with("Il database dimostrativo demo.sqlite è pronto.\n"));
    EXPECT_EQ(run({"demo", "demo.sqlite"}).exitCode, 1) << "an existing file is never replaced";

    const ProcessResult verified = run({"--db", "demo.sqlite", "verify"});
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
    EXPECT_EQ(verified.out + verified.err, "");

    std::filesystem::create_directory(dir / "out");
    const ProcessResult exported = run({"--yes", "--db", "demo.sqlite", "export-txt", "out"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    std::istringstream lines(exported.out.substr(exported.out.find("Esportate")));
    int files = 0;
    for (std::string line; std::getline(lines, line) && !line.empty(); ++files) {
        EXPECT_EQ(line.find(" 0 "), std::string::npos) << line;
    }
    EXPECT_EQ(files, 12);
    EXPECT_EQ(run({"--db", "demo.sqlite", "title"}).out,
              "Tramela - Azienda 42 - Autolinee Corvasca Sud S.r.l. [periodo dal 01/01/2025 al "
              "31/12/2025]\n");
}

TEST_F(CliTest, ImportGtfsPrintsItsCountsAndRefusesASecondImport) {
    ASSERT_EQ(run({"new-database", "s.sqlite"}).exitCode, 0);
    ASSERT_EQ(run({"--db", "s.sqlite", "create-tables"}).exitCode, 0);
    const std::string feed = std::string(TRAMELA_SHARED_DATA) + "/sample-gtfs-feed";
    const ProcessResult imported = run({"--db", "s.sqlite", "import-gtfs", feed});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("righe in fermate"), std::string::npos) << imported.out;
    EXPECT_EQ(run({"--db", "s.sqlite", "import-gtfs", feed}).exitCode, 1);

    // With a complete header the feed verifies with tolerable findings only: stops without a
    // location and routes sharing a name.
    ASSERT_EQ(run({"--db",
                   "s.sqlite",
                   "company",
                   "--code",
                   "42",
                   "--date",
                   "01/03/2024",
                   "--protocol",
                   "3",
                   "--responsible",
                   "Ufficio"})
                  .exitCode,
              0);
    const ProcessResult verified = run({"--db", "s.sqlite", "verify", "--report", "r.txt"});
    EXPECT_NE(verified.err.find("ERRORE TOLLERABILE"), std::string::npos) << verified.err;
    EXPECT_EQ(verified.err.find("ERRORE BLOCCANTE"), std::string::npos) << verified.err;
    EXPECT_NE(test::readFile(dir / "r.txt").find("Ubicazioni Assenti"), std::string::npos);
    EXPECT_EQ(run({"--db", "s.sqlite", "import-gtfs", feed, "--lot", "x"}).exitCode, 1);
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

TEST_F(CliTest, ImportAllReadsBackWhatTheExportWrote) {
    ASSERT_EQ(run({"demo", "d.sqlite"}).exitCode, 0);
    std::filesystem::create_directory(dir / "a");
    std::filesystem::create_directory(dir / "b");
    ASSERT_EQ(run({"--yes", "--db", "d.sqlite", "export-txt", "a"}).exitCode, 0);
    test::runSql(dir / "d.sqlite",
                 "DELETE FROM extcod; DELETE FROM period; DELETE FROM corse; DELETE FROM detstd;"
                 "DELETE FROM tesstd; DELETE FROM calend; DELETE FROM cadenz;");
    const ProcessResult imported = run({"--yes", "--db", "d.sqlite", "import-all", "a"});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_TRUE(
        imported.out.ends_with("L'importazione complessiva dei dati è terminata con successo.\n"));
    ASSERT_EQ(run({"--yes", "--db", "d.sqlite", "export-txt", "b"}).exitCode, 0);
    for (const char* file : {"RT_PROTO.TXT",
                             "RT_CADEN.TXT",
                             "RT_CALEN.TXT",
                             "RT_HDORA.TXT",
                             "RT_DTORA.TXT",
                             "RT_PERIOD.TXT",
                             "RT_EXTCOD.TXT"}) {
        EXPECT_EQ(test::readFile(dir / "a" / file), test::readFile(dir / "b" / file)) << file;
    }
    // A blocking problem: nothing is written and the exit status says so.
    test::writeFile(dir / "a" / "RT_CADEN.TXT", "0042XX\r\n");
    const ProcessResult refused = run(
        {"--yes", "--db", "d.sqlite", "import-cadences", (dir / "a" / "RT_CADEN.TXT").string()});
    EXPECT_EQ(refused.exitCode, 1);
}

} // namespace
} // namespace tramela::cli
