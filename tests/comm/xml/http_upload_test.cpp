#include "comm/xml/http_upload.h"
#include "comm/xml/server_answer.h"
#include "support/background_process.h"
#include "support/golden.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace tramela::comm::xml {
namespace {

using namespace std::chrono_literals;
using test::BackgroundProcess;
using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string kAdvice = "Non è possibile entrare in comunicazione con il server Sirventa\n"
                            "Presumibilmente i parametri di connessione indicati sono errati\n\n"
                            "Verificare i parametri di connessione al server Sirventa";

// The upload server of the tests, on loopback; it reports what arrived, one file per item.
class UploadServer {
public:
    UploadServer(std::vector<std::string> options, std::string_view page = {}) {
        std::filesystem::create_directory(m_dir / "report");
        writeFile(m_dir / "page.html", page);
        std::vector<std::string> arguments = {
            "-u",
            (std::filesystem::path(TRAMELA_TEST_DATA) / ".." / "support" / "upload_server.py")
                .string(),
            "--report",
            (m_dir / "report").string(),
            "--page",
            (m_dir / "page.html").string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        m_process = std::make_unique<BackgroundProcess>("python3", arguments);
        const auto line = m_process->readLine(20s);
        if (line && line->starts_with("PORT ")) {
            m_port = std::stoi(line->substr(5));
        }
    }

    int port() const { return m_port; }

    std::string report(std::string_view item) const { return readFile(m_dir / "report" / item); }

    bool reported(std::string_view item) const {
        return std::filesystem::exists(m_dir / "report" / item);
    }

    // Every item reported, the document by its size.
    std::string items() const { return test::reportedItems(m_dir / "report", "part.DOC", m_port); }

private:
    TempDir m_dir;
    std::unique_ptr<BackgroundProcess> m_process;
    int m_port = 0;
};

// Bytes like a package's, with the form's own line ends and dashes among them.
std::string packageBytes(std::size_t size) {
    std::mt19937 generator(4242);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator() & 0xFF);
    }
    for (std::size_t at = 0; at + 8 < size; at += 977) {
        bytes.replace(at, 8, "\r\n--\r\n\r\n");
    }
    return bytes;
}

TEST(HttpUpload, DeliversTheFormAndJudgesTheAnswer) {
    TempDir dir;
    const std::string package = packageBytes(200000);
    writeFile(dir / "tmp_4242.lzma", package);
    // The server keeps the connection open for a while after its answer, as a keep-alive
    // server does: reading must end after a second of silence, not wait for the close.
    UploadServer server({"--linger", "6"},
                        "<html><body>\r\n<h1>Sirventa</h1>\r\n<!-- sirventaMAGICvkz ok -->\r\n"
                        "<p>Comunicazione ricevuta.</p>\r\n</body></html>\r\n");
    ASSERT_GT(server.port(), 0);

    UploadParameters parameters;
    parameters.server = "127.0.0.1:" + std::to_string(server.port());
    parameters.target = "/sirventa/ricevi.cgi";
    parameters.userName = "mario";
    parameters.password = "segreto:1";
    parameters.mailAddress = "a@b.it;c@d.it";
    parameters.needsAuthBase = true;
    parameters.needsAuthCgi = true;
    ui::ScriptedUi ui;
    const auto start = std::chrono::steady_clock::now();
    const TransferResult result = sendHttpUpload(ui, parameters, dir / "tmp_4242.lzma");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_TRUE(result.delivered);
    EXPECT_TRUE(ui.messages().empty()) << ui.messages().front();

    EXPECT_GOLDEN(server.items(), "http_upload/delivered.txt");
    EXPECT_EQ(server.report("header.content-length"), server.report("body-length"));
    EXPECT_TRUE(server.report("part.DOC") == package);

    // The body goes in pieces of 64 KiB, the bar set before each and cleared after the last.
    const std::size_t length = std::stoul(server.report("body-length"));
    std::vector<int> expected;
    for (std::size_t sent = 0; sent < length; sent += 65536) {
        expected.push_back(static_cast<int>(sent * 100 / length));
    }
    expected.push_back(0);
    const std::vector<int>& progress = ui.progressValues();
    ASSERT_GE(progress.size(), expected.size());
    EXPECT_EQ(std::vector<int>(progress.end() - static_cast<long>(expected.size()), progress.end()),
              expected);

    showOutcome(ui, result);
    EXPECT_GOLDEN(test::transcript(ui), "http_upload/delivered_outcome.txt");
}

TEST(HttpUpload, RefusalsShowTheServersPage) {
    TempDir dir;
    writeFile(dir / "tmp_1.lzma", packageBytes(5000));
    writeFile(dir / "tmp_2.lzma", "");

    // Over IPv6, without any authentication and with no mail address: 401.
    UploadServer unauthorized({"--host", "::1", "--status", "401"},
                              "<html><body><h1>Accesso negato</h1></body></html>\r\n");
    ASSERT_GT(unauthorized.port(), 0);
    UploadParameters parameters;
    parameters.server = "[::1]:" + std::to_string(unauthorized.port());
    parameters.target = "/ricevi";
    parameters.userName = "mario";
    parameters.password = "segreto";
    ui::ScriptedUi ui;
    const TransferResult refused = sendHttpUpload(ui, parameters, dir / "tmp_1.lzma");
    showOutcome(ui, refused);
    std::string shown = unauthorized.items() + test::transcript(ui);

    // Basic authentication only, with an empty password, an empty package, no marker: 200.
    UploadServer unmarked({}, "<html><body>\r\nDocumento non valido\r\n</body></html>\r\n");
    ASSERT_GT(unmarked.port(), 0);
    parameters.server = "127.0.0.1:" + std::to_string(unmarked.port());
    parameters.password = "";
    parameters.needsAuthBase = true;
    ui.clear();
    const TransferResult unaccepted = sendHttpUpload(ui, parameters, dir / "tmp_2.lzma");
    showOutcome(ui, unaccepted);
    shown += unmarked.items() + test::transcript(ui);
    EXPECT_GOLDEN(shown, "http_upload/refusals.txt");
}

TEST(HttpUpload, NoConnectionNoSending) {
    TempDir dir;
    writeFile(dir / "tmp_1.lzma", packageBytes(1000));
    UploadParameters parameters;
    parameters.target = "/ricevi";
    ui::ScriptedUi ui;
    test::Transcript steps(ui, dir.path());
    const auto upload = [&](std::string server, const std::filesystem::path& package) {
        parameters.server = std::move(server);
        const TransferResult result = sendHttpUpload(ui, parameters, package);
        EXPECT_FALSE(result.delivered);
        EXPECT_EQ(result.answer, "");
        showOutcome(ui, result);
    };

    // A port bound but not listening refuses for certain.
    const int bound = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(bound, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::getsockname(bound, reinterpret_cast<sockaddr*>(&address), &size), 0);
    upload("127.0.0.1:" + std::to_string(ntohs(address.sin_port)), dir / "tmp_1.lzma");
    steps.step("refused");
    ::close(bound);

    // What the resolver says after the name depends on the system.
    upload("nome-inesistente.invalid", dir / "tmp_1.lzma");
    ASSERT_EQ(ui.messages().size(), 2U);
    EXPECT_TRUE(ui.messages()[0].text.starts_with(
        "Impossibile risolvere il nome del server nome-inesistente.invalid\n\n"));
    EXPECT_EQ(ui.messages()[1].icon, ui::Icon::Stop);
    steps.add("unresolved, then", ui.messages()[1].text + "\n");
    ui.clear();

    for (const std::string server : {"127.0.0.1:99999", "127.0.0.1:", "[::1", ":80"}) {
        upload(server, dir / "tmp_1.lzma");
        steps.step(server);
    }

    // A package that cannot be read: the server hears nothing.
    UploadServer server({});
    ASSERT_GT(server.port(), 0);
    upload("127.0.0.1:" + std::to_string(server.port()), dir / "tmp_9.lzma");
    steps.step("missing package");
    EXPECT_GOLDEN(steps.text(), "http_upload/no_connection.txt");
    EXPECT_FALSE(server.reported("method"));
}

TEST(HttpUpload, ServerThatHangsUpOrSaysTooMuch) {
    TempDir dir;
    writeFile(dir / "tmp_1.lzma", packageBytes(300000));
    UploadParameters parameters;
    parameters.target = "/ricevi";

    // Accepted and closed at once: the sending may fail or not, but the program goes on and the
    // missing answer is what the user is told.
    UploadServer closing({"--mode", "close"});
    ASSERT_GT(closing.port(), 0);
    parameters.server = "127.0.0.1:" + std::to_string(closing.port());
    ui::ScriptedUi ui;
    const TransferResult closed = sendHttpUpload(ui, parameters, dir / "tmp_1.lzma");
    EXPECT_TRUE(closed.delivered);
    EXPECT_EQ(closed.answer, "");
    for (const auto& message : ui.messages()) {
        EXPECT_TRUE(message.text.starts_with("Send: errore di rete (") ||
                    message.text.starts_with("Receive: errore di rete ("))
            << message;
        EXPECT_TRUE(message.text.ends_with(")\n\n" + kAdvice)) << message;
        EXPECT_EQ(message.icon, ui::Icon::Stop);
    }
    showOutcome(ui, closed);
    EXPECT_TRUE(ui.messages().back().text.starts_with(
        "Non è disponibile alcuna risposta proveniente dal server SIRVENTA"));

    // A page larger than the answer's room: the answer is cut at 64 KiB.
    UploadServer verbose({}, std::string(100000, 'x'));
    ASSERT_GT(verbose.port(), 0);
    parameters.server = "127.0.0.1:" + std::to_string(verbose.port());
    ui.clear();
    const TransferResult cut = sendHttpUpload(ui, parameters, dir / "tmp_1.lzma");
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(cut.answer.size(), 65536U);
    EXPECT_TRUE(cut.answer.starts_with("HTTP/1.0 200 OK\r\n"));

    // The connection's own limits.
    HttpConnection connection(ui);
    EXPECT_FALSE(connection.sendAll("dati"));
    std::string answer = "vecchia";
    EXPECT_FALSE(connection.receiveAll(answer));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_FALSE(connection.receiveAll(answer, 65537));
    EXPECT_EQ(answer, "");
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Receive: buffer eccessivo (65537)"});
}

} // namespace
} // namespace tramela::comm::xml
