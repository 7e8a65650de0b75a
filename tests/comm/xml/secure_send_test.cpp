#include "comm/xml/secure_send.h"
#include "comm/xml/server_answer.h"
#include "comm/xml/upload_request.h"
#include "support/background_process.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"

#include <algorithm>
#include <cstdlib>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tramela::comm::xml {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using ui::Icon;
using ui::ScriptedUi;

const std::string kUploadFailed =
    "La trasmissione sicura HTTPS al server SIRVENTA non è riuscita\n\n";
const std::string kDelivered = "Quindi la trasmissione telematica è andata a buon fine";

// The line of the text at this index, counted from 0.
std::string lineAt(const std::string& text, int index) {
    std::istringstream lines(text);
    std::string line;
    for (int i = 0; i <= index && std::getline(lines, line); ++i) {
    }
    return line;
}

const fs::path kSupport = fs::path(TRAMELA_TEST_DATA).parent_path() / "support";

// The authority, the server's and the client's certificates, made once for all the tests.
struct Certificates {
    TempDir dir;
    fs::path ca = dir / "ca.crt";
    fs::path serverCertificate = dir / "server.crt";
    fs::path serverKey = dir / "server.key";
    fs::path client = dir / "client.pem";     // certificate and key encrypted by "segreta"
    fs::path stranger = dir / "stranger.pem"; // the client certificate with another key
    bool made =
        test::runProcess("/bin/sh",
                         {(kSupport / "make_test_certificates.sh").string(), dir.path().string()},
                         dir.path())
            .exitCode == 0;
};

// The receiving server on a free port of 127.0.0.1; what it received is in its report folder.
class TestServer {
public:
    TestServer(const Certificates& certificates, bool requireClientCertificate)
        : m_process("python3", arguments(certificates, requireClientCertificate)) {
        if (const auto line = m_process.readLine(std::chrono::seconds(20));
            line && line->rfind("PORT ", 0) == 0) {
            m_port = std::stoi(line->substr(5));
        }
    }

    int port() const { return m_port; }

    std::string received(std::string_view name) const { return readFile(m_reports / name); }

    bool has(std::string_view name) const { return fs::exists(m_reports / name); }

    bool receivedAnything() const { return has("request"); }

    // Everything received, the document by its size.
    std::string items() const { return test::reportedItems(m_reports.path(), "part-DOC", m_port); }

private:
    std::vector<std::string> arguments(const Certificates& certificates, bool requireClient) {
        return {"-u",
                (kSupport / "https_test_server.py").string(),
                certificates.serverCertificate.string(),
                certificates.serverKey.string(),
                m_reports.path().string(),
                requireClient ? certificates.ca.string() : std::string()};
    }

    TempDir m_reports;
    test::BackgroundProcess m_process;
    int m_port = 0;
};

class SecureSend : public testing::Test {
protected:
    static void SetUpTestSuite() { s_certificates = std::make_unique<Certificates>(); }

    static void TearDownTestSuite() { s_certificates.reset(); }

    void SetUp() override {
        ASSERT_TRUE(s_certificates->made);
        ASSERT_NE(m_settings.load(), workspace::Settings::LoadResult::Invalid);
        m_parameters.server = "sirventa.regione.example:8443";
        m_parameters.target = "/sirventa/ricevi.cgi";
        m_parameters.userName = "mario";
        m_parameters.mailAddress = "ufficio@azienda.example;direzione@azienda.example";
        m_parameters.useHttps = true;
        m_parameters.certificatePath = s_certificates->client;
        m_parameters.certificatePassphrase = "segreta";
        m_parameters.chunkSizeKb = 32;
        // Every byte value, line ends and dashes as a part's end would show them; over a
        // megabyte, where curl would ask the server for "100-continue" unless told not to.
        for (int i = 0; i < 1100000; ++i) {
            m_package += static_cast<char>((i * 7 + i / 256) % 256);
            if (i % 5000 == 0) {
                m_package += "\r\n--\r\n\r\n";
            }
        }
        writeFile(m_packagePath, m_package);
    }

    void TearDown() override {
        ::unsetenv("TRAMELA_FAKE_RECORD");
        ::unsetenv("TRAMELA_FAKE_ANSWER");
        ::unsetenv("TRAMELA_FAKE_EXIT");
    }

    // The fake program, copied so that its mode does not depend on the checkout.
    fs::path fakeProgram(int exitCode, std::string_view answer = {}) {
        const fs::path program = m_dir / "fake_secure_program.sh";
        fs::copy_file(
            kSupport / "fake_secure_program.sh", program, fs::copy_options::overwrite_existing);
        fs::permissions(program, fs::perms::owner_all);
        ::setenv("TRAMELA_FAKE_RECORD", (m_dir / "arguments").c_str(), 1);
        ::setenv("TRAMELA_FAKE_EXIT", std::to_string(exitCode).c_str(), 1);
        if (!answer.empty()) {
            writeFile(m_dir / "answer", answer);
            ::setenv("TRAMELA_FAKE_ANSWER", (m_dir / "answer").c_str(), 1);
        } else {
            ::unsetenv("TRAMELA_FAKE_ANSWER");
        }
        return program;
    }

    // Tests the certificate, then ends a step named by the title and the result.
    void test(const std::string& title) {
        m_steps.step(title + (testCertificate(m_ui, m_settings, m_parameters) ? ": passed" : ""));
    }

    // Sends the package, then ends a step named by the title and the result.
    TransferResult send(const std::string& title, const fs::path& package = {}) {
        TransferResult result = sendSecureUpload(
            m_ui, m_settings, m_parameters, package.empty() ? m_packagePath : package);
        m_steps.step(title + (result.delivered ? ": delivered" : ""));
        return result;
    }

    // The steps so far, the certificates' folder written "<certificates>".
    std::string steps() const {
        return test::replaceAll(
            m_steps.text(), s_certificates->dir.path().string(), "<certificates>");
    }

    // The transfer failed and said so in one message, which is then forgotten.
    void expectUploadFailed(const TransferResult& result) {
        EXPECT_FALSE(result.delivered);
        ASSERT_EQ(m_ui.messages().size(), 1u);
        EXPECT_TRUE(m_ui.messages()[0].text.starts_with(kUploadFailed)) << m_ui.messages()[0].text;
        EXPECT_GT(m_ui.messages()[0].text.size(), kUploadFailed.size());
        EXPECT_EQ(m_ui.messages()[0].icon, Icon::Stop);
        m_ui.clear();
    }

    // What the fake program received after its name, one argument a line.
    std::string recordedArguments() const { return readFile(m_dir / "arguments"); }

    static std::unique_ptr<Certificates> s_certificates;
    TempDir m_dir;
    workspace::Settings m_settings{m_dir / "settings.toml"};
    ScriptedUi m_ui;
    UploadParameters m_parameters;
    std::string m_package;
    fs::path m_packagePath = m_dir / "tmp_4242.lzma";
    test::Transcript m_steps{m_ui, m_dir.path()};
};

std::unique_ptr<Certificates> SecureSend::s_certificates;

TEST_F(SecureSend, BuiltInUploadSendsThePlainRequestAndGetsTheAnswerToJudge) {
    const TestServer server(*s_certificates, false);
    ASSERT_NE(server.port(), 0);
    m_settings.setText("securesend", "CaFile", s_certificates->ca.string());
    m_parameters.server = fmt::format("127.0.0.1:{}", server.port());
    m_parameters.password = "p@ss:w";
    m_parameters.needsAuthBase = true;
    m_parameters.needsAuthCgi = true;

    const TransferResult result = sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath);

    EXPECT_TRUE(m_ui.messages().empty()) << m_ui.messageTexts().front();
    ASSERT_TRUE(result.delivered);
    EXPECT_GOLDEN(server.items(), "secure_send/plain_request.txt");
    EXPECT_TRUE(server.received("part-DOC") == m_package);

    EXPECT_EQ(result.answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << result.answer;
    const ServerAnswer judged = judgeAnswer(result.answer);
    EXPECT_TRUE(judged.success);
    EXPECT_NE(judged.message.find("Comunicazione ricevuta e accodata per l'elaborazione."),
              std::string::npos);
    EXPECT_NE(judged.message.find(kDelivered), std::string::npos) << judged.message;

    // The bar follows the body piece by piece and returns to 0 at the end.
    const std::vector<int>& progress = m_ui.progressValues();
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_GT(progress[progress.size() - 2], 50);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
    EXPECT_EQ(progress.back(), 0);
}

TEST_F(SecureSend, BuiltInUploadPresentsTheClientCertificateWhenTheServerRequiresIt) {
    const TestServer server(*s_certificates, true);
    ASSERT_NE(server.port(), 0);
    m_settings.setText("securesend", "CaFile", s_certificates->ca.string());
    m_parameters.server = fmt::format("127.0.0.1:{}", server.port());

    // Without the certificate the server refuses the connection.
    expectUploadFailed(sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath));

    // With a passphrase that does not open the key nothing is sent either.
    m_parameters.needsCert = true;
    m_parameters.certificatePassphrase = "sbagliata";
    expectUploadFailed(sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath));
    EXPECT_FALSE(server.receivedAnything());

    m_parameters.certificatePassphrase = "segreta";
    const TransferResult result = sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath);
    EXPECT_TRUE(m_ui.messages().empty()) << m_ui.messageTexts().front();
    ASSERT_TRUE(result.delivered);
    // The client's certificate; neither authentication: no Authorization line, no USR or PWD.
    EXPECT_GOLDEN(server.items(), "secure_send/client_certificate.txt");
    EXPECT_TRUE(server.received("part-DOC") == m_package);
    EXPECT_TRUE(judgeAnswer(result.answer).success);
}

TEST_F(SecureSend, BuiltInUploadFailuresAreShownAndNothingIsDelivered) {
    const TestServer server(*s_certificates, false);
    ASSERT_NE(server.port(), 0);
    m_parameters.server = fmt::format("127.0.0.1:{}", server.port());

    // The system's authorities do not know the test's: the server is not trusted.
    expectUploadFailed(sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath));
    EXPECT_FALSE(server.receivedAnything());

    m_settings.setText("securesend", "CaFile", s_certificates->ca.string());
    EXPECT_FALSE(send("missing package", m_dir / "tmp_1.lzma").delivered);
    m_parameters.server = "127.0.0.1@altro.example";
    EXPECT_FALSE(send("server name").delivered);
    EXPECT_GOLDEN(steps(), "secure_send/built_in_failures.txt");
    EXPECT_FALSE(server.receivedAnything());
}

// The key must open with the passphrase and match the certificate of its file.
TEST_F(SecureSend, BuiltInCertificateCheckOpensTheKeyAndMatchesItToTheCertificate) {
    m_parameters.needsCert = true;
    for (const auto& [passphrase, certificate] :
         std::vector<std::pair<std::string, fs::path>>{{"segreta", s_certificates->client},
                                                       {"sbagliata", s_certificates->client},
                                                       {"", s_certificates->client},
                                                       {"segreta", s_certificates->stranger},
                                                       {"segreta", m_dir / "assente.pem"}}) {
        m_parameters.certificatePassphrase = passphrase;
        m_parameters.certificatePath = certificate;
        test(certificate.filename().string() + " '" + passphrase + "'");
    }
    EXPECT_GOLDEN(steps(), "secure_send/certificate_check.txt");
}

TEST_F(SecureSend, ExternalSenderGetsItsArgumentsAndLeavesTheAnswerInTheResponseFile) {
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                               "<html><body>\n<!-- sirventaMAGICvkz ok -->\nRicevuta.\n"
                               "</body></html>\n";
    m_settings.setText("securesend", "PthExe", fakeProgram(0, answer).string());
    m_parameters.needsCert = true;

    const TransferResult result = sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath);

    EXPECT_TRUE(m_ui.messages().empty());
    EXPECT_TRUE(result.delivered);
    EXPECT_EQ(result.answer, answer);
    // The response file, "tmprsp<pid>.txt" in a private folder, is gone with its folder.
    const std::string arguments = recordedArguments();
    const fs::path response = lineAt(arguments, 5);
    EXPECT_EQ(response.filename(), fmt::format("tmprsp{}.txt", ::getpid()));
    EXPECT_FALSE(fs::exists(response.parent_path()));
    m_steps.add("certificate, no authentication",
                test::replaceAll(arguments, response.string(), "<response>"));

    // With authentication and without certificate; a blank inside a value stays one argument.
    m_parameters.needsAuthCgi = true;
    m_parameters.needsCert = false;
    m_parameters.password = "una password";
    sendSecureUpload(m_ui, m_settings, m_parameters, m_packagePath);
    const std::string again = recordedArguments();
    m_steps.add("authentication, no certificate",
                test::replaceAll(again, lineAt(again, 5), "<response>"));
    EXPECT_GOLDEN(steps(), "secure_send/external_arguments.txt");
}

// A failed transfer, then none that left an answer (the judge says so); a program missing, not a
// program, or not set up.
TEST_F(SecureSend, ExternalSenderFailuresAreShownAndAMissingAnswerIsEmpty) {
    m_settings.setText("securesend", "PthExe", fakeProgram(3).string());
    send("exit status 3");
    fakeProgram(0);
    const TransferResult result = send("no answer");
    EXPECT_EQ(result.answer, "");
    EXPECT_EQ(
        judgeAnswer(result.answer)
            .message.rfind("Non è disponibile alcuna risposta proveniente dal server SIRVENTA", 0),
        0u);
    m_settings.setText("securesend", "PthExe", (m_dir / "VkzSecureSend").string());
    send("missing program");
    writeFile(m_dir / "VkzSecureSend", "not a program\n");
    send("not a program");
    workspace::Settings broken(m_dir / "broken.toml");
    ASSERT_NE(broken.load(), workspace::Settings::LoadResult::Invalid);
    broken.setText(workspace::SectionPath(), "securesend", "VkzSecureSend");
    sendSecureUpload(m_ui, broken, m_parameters, m_packagePath);
    m_steps.step("not set up");
    EXPECT_GOLDEN(steps(), "secure_send/external_sender.txt");
}

TEST_F(SecureSend, ExternalTesterDecidesByItsExitCode) {
    m_parameters.needsCert = true;
    m_settings.setText("securesend", "TestExe", fakeProgram(0).string());
    test("exit status 0");
    EXPECT_EQ(recordedArguments(), s_certificates->client.string() + "\nsegreta\n");
    m_parameters.certificatePassphrase = "";
    fakeProgram(1);
    test("exit status 1");
    EXPECT_EQ(recordedArguments(), s_certificates->client.string() + "\n-\n");
    m_settings.setText("securesend", "TestExe", (m_dir / "VkzSecureTest").string());
    test("missing program");
    workspace::Settings broken(m_dir / "broken.toml");
    ASSERT_NE(broken.load(), workspace::Settings::LoadResult::Invalid);
    broken.setInteger("securesend", "TestExe", 1);
    m_steps.step(testCertificate(m_ui, broken, m_parameters) ? "passed" : "not set up");
    EXPECT_GOLDEN(steps(), "secure_send/external_tester.txt");
}

} // namespace
} // namespace tramela::comm::xml
