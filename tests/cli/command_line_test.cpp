#include "app/registry.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <map>

namespace tramela::cli {
namespace {

using test::ProcessResult;

class CommandLineTest : public ::testing::Test {
protected:
    ProcessResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    // The demonstration database, with one stop without its location: the verification then
    // finds tolerable errors only.
    void demoWithTolerableFindings() {
        ASSERT_EQ(run({"demo", "d.sqlite"}).exitCode, 0);
        test::runSql(dir / "d.sqlite",
                     "UPDATE fermate SET ubicaz = NULL WHERE ID = (SELECT MIN(ID) FROM fermate)");
    }

    test::TempDir dir;
};

void expectNamesEveryParameter(const std::string& help, const app::Command& command) {
    for (const app::Parameter& parameter : command.parameters) {
        EXPECT_NE(help.find(parameter.name), std::string::npos)
            << command.cli << " " << parameter.name << "\n"
            << help;
    }
}

TEST_F(CommandLineTest, HelpOfEveryCommandNamesEveryQuestionItAnswers) {
    int commands = 0;
    for (const app::Command& command : app::commandTable()) {
        if (command.cli.empty() || !command.built()) {
            continue;
        }
        const ProcessResult help = run({std::string(command.cli), "--help"});
        EXPECT_EQ(help.exitCode, 0) << command.cli;
        expectNamesEveryParameter(help.out, command);
        for (const app::Command& action : command.actions) {
            const ProcessResult actionHelp =
                run({std::string(command.cli), std::string(action.cli), "--help"});
            expectNamesEveryParameter(actionHelp.out, action);
        }
        ++commands;
    }
    EXPECT_GT(commands, 25);
    // A command not built yet is not offered.
    for (const app::Command& command : app::commandTable()) {
        if (!command.cli.empty() && !command.built()) {
            EXPECT_EQ(run({std::string(command.cli)}).exitCode, 2) << command.cli;
            break;
        }
    }
}

TEST_F(CommandLineTest, TheExportGetsTheFolderAndTheReportEachByItsOwnKey) {
    demoWithTolerableFindings();
    std::filesystem::create_directory(dir / "out");
    const ProcessResult exported = run({"--yes", "--db", "d.sqlite", "export-txt", "out"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(test::readFile(dir / "out" / "RT_PROTO.TXT").starts_with("0042"));
    EXPECT_TRUE(exported.out.find("Esportate 1 righe in RT_PROTO.TXT\n") != std::string::npos);
    // The log says what was asked and what was answered, and why nothing was saved.
    EXPECT_NE(exported.err.find("Si intende procedere con l'esportazione della comunicazione "
                                "VKZ-TXT v1?\n-> OK (--yes)\n"),
              std::string::npos)
        << exported.err;
    EXPECT_TRUE(
        exported.err.ends_with("Report Errori Riscontrati\n-> non salvato (senza --report)\n"));

    std::filesystem::create_directory(dir / "again");
    const ProcessResult reported =
        run({"--yes", "--db", "d.sqlite", "export-txt", "again", "--report", "r.txt"});
    EXPECT_EQ(reported.exitCode, 0) << reported.err;
    EXPECT_NE(test::readFile(dir / "r.txt").find("SEVERITA': TOLLERABILE"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "again" / "RT_PROTO.TXT"),
              test::readFile(dir / "out" / "RT_PROTO.TXT"));

    // Blocking findings: the report goes where --report says, the folder's files stay as they
    // were.
    test::runSql(dir / "d.sqlite",
                 "UPDATE fermate SET fermata = NULL WHERE ID = (SELECT MIN(ID) FROM fermate)");
    const std::string before = test::readFile(dir / "out" / "RT_PROTO.TXT");
    const ProcessResult blocked =
        run({"--yes", "--db", "d.sqlite", "export-txt", "out", "--report", "b.txt"});
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_EQ(test::readFile(dir / "out" / "RT_PROTO.TXT"), before);
    EXPECT_NE(test::readFile(dir / "b.txt").find("SEVERITA': BLOCCANTE"), std::string::npos);
    const ProcessResult unreported = run({"--yes", "--db", "d.sqlite", "export-txt", "out"});
    EXPECT_EQ(unreported.exitCode, 1);
    EXPECT_EQ(test::readFile(dir / "out" / "RT_PROTO.TXT"), before);
}

TEST_F(CommandLineTest, ARefusedImportInBatchSaysWhyAndWritesItsReportWhenAskedTo) {
    ASSERT_EQ(run({"demo", "d.sqlite"}).exitCode, 0);
    std::filesystem::create_directory(dir / "out");
    ASSERT_EQ(run({"--yes", "--db", "d.sqlite", "export-txt", "out"}).exitCode, 0);
    // A departure time of 25:61 on the first stop of the first trip.
    std::string details = test::readFile(dir / "out" / "RT_DTORA.TXT");
    details.replace(128, 4, "2561");
    test::writeFile(dir / "out" / "RT_DTORA.TXT", details);
    const std::string headers = test::readFile(dir / "out" / "RT_HDORA.TXT");

    for (const bool yes : {true, false}) {
        std::vector<std::string> arguments{
            "--db", "d.sqlite", "import-trips", "out/RT_HDORA.TXT", "out/RT_DTORA.TXT"};
        if (yes) {
            arguments.insert(arguments.begin(), "--yes");
        }
        const ProcessResult refused = run(arguments);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_NE(refused.err.find("I valori ORARIO devono essere espressi nel formato HHMM !!!"),
                  std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("Vuoi salvare il report analitico degli errori ?\n"
                                   "-> Annulla (senza --report)\n"),
                  std::string::npos);
    }
    const ProcessResult reported = run({"--db",
                                        "d.sqlite",
                                        "import-trips",
                                        "out/RT_HDORA.TXT",
                                        "out/RT_DTORA.TXT",
                                        "--report",
                                        "errori.txt"});
    EXPECT_EQ(reported.exitCode, 1);
    EXPECT_TRUE(test::readFile(dir / "errori.txt")
                    .ends_with("Riga 1 offset 128: orario espresso in forma illegale\r\n"));
    // The files given are read, never written.
    EXPECT_EQ(test::readFile(dir / "out" / "RT_DTORA.TXT"), details);
    EXPECT_EQ(test::readFile(dir / "out" / "RT_HDORA.TXT"), headers);
}

TEST_F(CommandLineTest, ExitStatusTellsDoneFailedUsageAndCancelled) {
    demoWithTolerableFindings();
    const auto status = [&](std::vector<std::string> arguments) {
        return run(std::move(arguments)).exitCode;
    };
    // Done; an offer declined (the report not asked for) is no cancellation.
    EXPECT_EQ(status({"--db", "d.sqlite", "title"}), 0);
    EXPECT_EQ(status({"--db", "d.sqlite", "verify"}), 0);
    std::filesystem::create_directory(dir / "out");
    EXPECT_EQ(status({"--yes", "--db", "d.sqlite", "export-txt", "out"}), 0);
    // Failed or refused.
    EXPECT_EQ(status({"connect", "manca.sqlite"}), 1);
    EXPECT_EQ(status({"--db", "d.sqlite", "company", "--code", "4x"}), 1);
    EXPECT_EQ(status({"--db", "manca.sqlite", "create-tables"}), 1);
    // Usage: found before anything is read or written.
    EXPECT_EQ(status({"frobnicate"}), 2);
    EXPECT_EQ(status({"duplicate", "d.sqlite"}), 2);
    EXPECT_EQ(status({"--db", "d.sqlite", "export-xml"}), 2);
    EXPECT_EQ(status({"--db", "d.sqlite", "export-xml", "--local", "a.xml", "--send", "x"}), 2);
    EXPECT_EQ(status({"--db", "d.sqlite", "import-server-config", "utente.srvt"}), 2);
    // Cancelled: a confirmation answered Cancel, or nobody there to answer it.
    EXPECT_EQ(status({"--no", "--db", "d.sqlite", "clear-tables"}), 3);
    EXPECT_EQ(status({"--db", "d.sqlite", "export-txt", "out"}), 3);
    EXPECT_EQ(status({"--db", "d.sqlite", "title"}), 0) << "nothing was cleared";
}

TEST_F(CommandLineTest, UsageErrorsAndHelpSpeakItalian) {
    const ProcessResult missing = run({"duplicate", "d.sqlite"});
    EXPECT_EQ(missing.err, "Manca l'argomento obbligatorio TO\nPer l'aiuto: --help\n");
    const ProcessResult both = run({"export-xml", "--local", "a", "--send", "b"});
    EXPECT_EQ(both.err,
              "Occorre indicare una e una sola delle opzioni --local,--send\n"
              "Per l'aiuto: --help\n");
    const ProcessResult passphrase = run({"import-server-config", "utente.srvt"});
    EXPECT_EQ(passphrase.err,
              "Manca --passphrase: La passphrase del file (chiesta su un terminale) (senza un "
              "terminale non può essere chiesto)\n");
    const ProcessResult help = run({"--help"});
    EXPECT_NE(help.out.find("Uso: tramela [OPZIONI] COMANDO"), std::string::npos);
    EXPECT_EQ(help.out.find("Usage"), std::string::npos);
    EXPECT_EQ(help.out.find("Subcommands"), std::string::npos);
}

TEST_F(CommandLineTest, FaultsOfTheShellCommandsFoundOnTheWay) {
    ASSERT_EQ(run({"new-database", "d.sqlite"}).exitCode, 0);
    ASSERT_EQ(run({"--db", "d.sqlite", "create-tables"}).exitCode, 0);
    // The company header shown on a database without one: created as the dialog would.
    const ProcessResult shown = run({"--db", "d.sqlite", "company"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(shown.out.ends_with("Codice Regionale Azienda: 0000 - *** azienda non assegnata "
                                    "***\nData: \nProtocollo: \nResponsabile: \n"
                                    "Data Inizio: 01/01/1900\nData Fine: 31/12/2099\n"))
        << shown.out;
    const std::string title = "Tramela - Azienda 0 - *** azienda non assegnata *** [periodo dal "
                              "01/01/1900 al 31/12/2099]\n";
    EXPECT_EQ(run({"--db", "d.sqlite", "title"}).out, title);

    // After a cancelled disconnect or a refused connect the title is the one still bound.
    ASSERT_EQ(run({"connect", "d.sqlite"}).exitCode, 0);
    const ProcessResult kept = run({"disconnect"});
    EXPECT_EQ(kept.exitCode, 3);
    EXPECT_TRUE(kept.out.ends_with(title)) << kept.out;
    const ProcessResult refused = run({"connect", "manca.sqlite"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.ends_with(title)) << refused.out;

    // A folder that does not exist is said once, and nothing is summed up.
    ASSERT_EQ(run({"demo", "demo.sqlite"}).exitCode, 0);
    const ProcessResult exported = run({"--yes", "--db", "demo.sqlite", "export-txt", "manca"});
    EXPECT_EQ(exported.exitCode, 1);
    EXPECT_EQ(exported.err, "Impossibile creare\n\n" + (dir / "manca").string() + "\n");
    EXPECT_EQ(exported.out.find("Esportate"), std::string::npos);
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

// A file the disk could not take whole (here the file size limit) is said, is not counted as
// exported, and the complete one already in the folder stays as it was.
TEST_F(CommandLineTest, AnExportFileCutShortIsNeitherCountedNorLeft) {
    ASSERT_EQ(run({"demo", "d.sqlite"}).exitCode, 0);
    std::filesystem::create_directory(dir / "out");
    ASSERT_EQ(run({"--yes", "--db", "d.sqlite", "export-txt", "out"}).exitCode, 0);
    const std::string details = test::readFile(dir / "out" / "RT_DTORA.TXT");
    ASSERT_GT(details.size(), 300'000u);
    // The shell ignores the signal of the limit, so that the write fails instead; a limit of
    // 200 KiB lets every file through but the detail file.
    const ProcessResult limited =
        test::runProcess("/bin/sh",
                         {"-c",
                          std::string("trap '' XFSZ; ulimit -f 400; exec ") + TRAMELA_CLI +
                              " --settings settings.toml --yes --db d.sqlite export-txt out"},
                         dir.path());
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_NE(limited.err.find("Errore durante la scrittura del file\n\n"), std::string::npos)
        << limited.err;
    EXPECT_NE(limited.err.find("Non è stato possibile generare RT_DTORA.TXT\n"), std::string::npos)
        << limited.err;
    EXPECT_EQ(limited.err.find("righe in RT_DTORA.TXT"), std::string::npos);
    EXPECT_NE(limited.err.find("Esportate 241 righe in RT_HDORA.TXT\n"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "out" / "RT_DTORA.TXT"), details);
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << "a temporary file left";
    }
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

// Every answer goes to its own question: an error report offered in batch never lands on a file
// the command line named for something else.
TEST_F(CommandLineTest, NoFileGivenForOneQuestionIsWrittenByAnother) {
    ASSERT_EQ(run({"demo", "d.sqlite"}).exitCode, 0);
    std::filesystem::create_directory(dir / "out");
    ASSERT_EQ(run({"--yes", "--db", "d.sqlite", "export-txt", "out"}).exitCode, 0);
    test::writeFile(dir / "out" / "RT_PROTO.TXT", "0042 rotto\r\n");
    std::map<std::string, std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        before[entry.path().filename().string()] = test::readFile(entry.path());
    }
    const ProcessResult imported = run({"--yes", "--db", "d.sqlite", "import-all", "out"});
    EXPECT_EQ(imported.exitCode, 1);
    for (const auto& [name, bytes] : before) {
        EXPECT_EQ(test::readFile(dir / "out" / name), bytes) << name;
    }

    // The XML communication with blocking findings: its local file is not written, and the
    // report goes only where --report says.
    test::runSql(dir / "d.sqlite",
                 "UPDATE fermate SET fermata = NULL WHERE ID = (SELECT MIN(ID) FROM fermate)");
    test::writeFile(dir / "invio.xml", "precedente");
    const ProcessResult xml =
        run({"--yes", "--db", "d.sqlite", "export-xml", "--local", "invio.xml"});
    EXPECT_EQ(xml.exitCode, 1);
    EXPECT_EQ(test::readFile(dir / "invio.xml"), "precedente");
    EXPECT_NE(xml.err.find("-> non salvato (senza --report)"), std::string::npos) << xml.err;
}

} // namespace
} // namespace tramela::cli

namespace tramela::cli {
namespace {

// A binding that cannot be kept (a read-only settings file) is said, and the run is no success;
// the file stays as the user left it.
TEST_F(CommandLineTest, ABindingThatCannotBeWrittenIsNoSuccess) {
    ASSERT_EQ(run({"new-database", "d.sqlite"}).exitCode, 0);
    test::writeFile(dir / "settings.toml", "# le mie impostazioni\n[tramela]\nDatabase = \"\"\n");
    std::filesystem::permissions(dir / "settings.toml", std::filesystem::perms::owner_read);
    const ProcessResult connected = run({"connect", "d.sqlite"});
    EXPECT_EQ(connected.exitCode, 1);
    EXPECT_NE(connected.err.find("sola lettura"), std::string::npos) << connected.err;
    EXPECT_EQ(test::readFile(dir / "settings.toml"),
              "# le mie impostazioni\n[tramela]\nDatabase = \"\"\n");
}

} // namespace
} // namespace tramela::cli
