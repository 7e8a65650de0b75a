// The XML communication from the command line, end to end on the demonstration database: the
// local document read by libxml2, the package unpacked by xz, and the transmission received by
// the upload server of the tests on loopback.

#include "support/background_process.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/srvt_encoder.h"
#include "support/temp_dir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace tramela::cli {
namespace {

using namespace std::chrono_literals;
using test::ProcessResult;

constexpr std::string_view kSuccess = "Quindi la trasmissione telematica è andata a buon fine";

class XmlCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The application folder, where imported certificates go, stays inside the test.
        test::writeFile(dir / "settings.toml",
                        "[tramela]\nDatabase = \"\"\nDirectory = \"" + (dir / "app").string() +
                            "\"\n");
        const ProcessResult demo = run("demo d.sqlite");
        ASSERT_EQ(demo.exitCode, 0) << demo.err;
    }

    // Runs the command line (split as a shell would) with the test's own settings.
    ProcessResult run(std::string_view line) {
        std::vector<std::string> arguments = test::words(line);
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    // Runs and records the command line, its exit status and both outputs for the golden file.
    ProcessResult record(std::string_view line) {
        const ProcessResult result = run(line);
        session += "$ " + std::string(line) + "\nexit " + std::to_string(result.exitCode) + "\n" +
                   result.out + (result.err.empty() ? "" : "[stderr]\n" + result.err);
        return result;
    }

    ProcessResult tool(const std::string& program, const std::vector<std::string>& arguments) {
        return test::runProcess(program, arguments, dir.path());
    }

    // The files the export may leave in the working folder besides the test's own.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("tmp_")) {
                names.push_back(name);
            }
        }
        return names;
    }

    test::TempDir dir;
    std::string session;
};

TEST_F(XmlCliTest, LocalDocumentParsesAndItsPackageUnpacksToIt) {
    record("--yes --db d.sqlite export-xml --local c.xml --no-compress");
    const ProcessResult lint = tool("/usr/bin/xmllint", {"--noout", "c.xml"});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;
    const std::string document = test::readFile(dir / "c.xml");
    for (const char* section : {"<VkzXml level=\"1.0\" azienda=\"42\"",
                                "\t<Fermate>\r\n",
                                "\t<Percorsi>\r\n",
                                "\t\t\t<Geom pts=",
                                "\t\t\t<CorseStandard>\r\n",
                                "\t<Cadenze>\r\n",
                                "\t<Calendario>\r\n",
                                "\t<PianoCorse>\r\n",
                                "\t\t\t\t\t\t\t\t\t<Periodo inizio=",
                                "</VkzXml>\r\n"}) {
        EXPECT_NE(document.find(section), std::string::npos) << section;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "c.lzma"));

    // Packed: the package replaces the document and unpacks to the same bytes.
    record("--yes --db d.sqlite export-xml --local c.xml");
    EXPECT_GOLDEN(session, "xml_cli/local.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "c.xml"));
    const ProcessResult unpacked = tool("/usr/bin/xz", {"--format=lzma", "-dc", "c.lzma"});
    EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
    EXPECT_EQ(unpacked.out, document);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(XmlCliTest, ParametersAreCheckedBeforeAnythingIsWritten) {
    record("--yes --db d.sqlite export-xml --local c.xml --lot 9999");
    record("--yes --db d.sqlite export-xml --local c.xml --from 31/02/2025");
    EXPECT_EQ(run("--yes --db d.sqlite export-xml").exitCode, 2);
    EXPECT_EQ(run("--yes --db d.sqlite export-xml --local c.xml --send x").exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.xml"));

    // A window in which no trip runs: the empty warning, the document stays, nothing packed.
    record("--yes --db d.sqlite export-xml --local c.xml --from 01/01/2030 --to 31/01/2030");
    EXPECT_GOLDEN(session, "xml_cli/parameters.txt");
    EXPECT_TRUE(std::filesystem::exists(dir / "c.xml"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.lzma"));
}

TEST_F(XmlCliTest, TransmissionReachesTheServerOfTheImportedConfiguration) {
    test::TempDir report;
    test::writeFile(dir / "page.html",
                    "<html><body><!-- sirventaMAGICvkz ok -->"
                    "Comunicazione ricevuta.</body></html>\n");
    test::BackgroundProcess server(
        "python3",
        {"-u",
         (std::filesystem::path(TRAMELA_TEST_DATA) / ".." / "support" / "upload_server.py")
             .string(),
         "--report",
         report.path().string(),
         "--page",
         (dir / "page.html").string()});
    const auto line = server.readLine(20s);
    ASSERT_TRUE(line && line->starts_with("PORT ")) << server.finish().err;
    const std::string host = "127.0.0.1:" + line->substr(5);

    test::SrvtContent content;
    content.server = host;
    content.target = "/ricevi";
    content.https = "0";
    content.certificateFlag = "0";
    content.cgiAuth = "1";
    test::writeFile(dir / "regione.srvt", test::encodeSrvt(content, "parola d'ordine"));
    const ProcessResult wrong =
        run("--db d.sqlite import-server-config regione.srvt --passphrase 'parola sbagliata'");
    EXPECT_EQ(wrong.exitCode, 1);
    const ProcessResult imported =
        run("--db d.sqlite import-server-config regione.srvt --passphrase \"parola d'ordine\"");
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "app" / "regione.pem"));

    const ProcessResult sent = run("--yes --db d.sqlite export-xml --send " + host);
    EXPECT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_NE(sent.out.find("Comunicazione ricevuta.\n\n" + std::string(kSuccess)),
              std::string::npos)
        << sent.out;
    EXPECT_NE(sent.out.find("Esportate 241 Corse\n"), std::string::npos);
    EXPECT_EQ(test::readFile(report / "part.USR"), content.user);
    EXPECT_EQ(test::readFile(report / "part.MAIL"), content.mail);
    EXPECT_TRUE(test::readFile(report / "filename.DOC").starts_with("tmp_"));
    // The package is the document: it unpacks to a whole communication.
    test::writeFile(dir / "ricevuto.lzma", test::readFile(report / "part.DOC"));
    const ProcessResult unpacked = tool("/usr/bin/xz", {"--format=lzma", "-dc", "ricevuto.lzma"});
    EXPECT_EQ(unpacked.exitCode, 0);
    EXPECT_TRUE(unpacked.out.ends_with("\t</PianoCorse>\r\n</VkzXml>\r\n"));
    EXPECT_TRUE(leftovers().empty());

    // A document produced elsewhere goes the same way and stays where it was.
    test::writeFile(dir / "esterno.xml", unpacked.out);
    const ProcessResult external = run("--yes --db d.sqlite send-xml esterno.xml --config " + host);
    EXPECT_EQ(external.exitCode, 0) << external.err;
    EXPECT_NE(external.out.find(kSuccess), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "esterno.xml"));
    EXPECT_TRUE(leftovers().empty());
}

} // namespace
} // namespace tramela::cli
