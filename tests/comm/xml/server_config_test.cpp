#include "comm/xml/server_config.h"
#include "support/srvt_encoder.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace tramela::comm::xml {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::SrvtContent;
using test::TempDir;
using ui::Icon;
using ui::ScriptedUi;

constexpr std::string_view kPassphrase = "Valmora-2025!";
constexpr std::string_view kImported =
    "La configurazione del Server Sirventa è stata registrata con successo";
constexpr std::string_view kCannotDecode =
    "Il file non può essere decodificato con la passphrase fornita ...";
constexpr std::string_view kCannotImport =
    "Non è possibile importare la configurazione del Server Sirventa\n"
    "a causa degli errori precedenti";

std::optional<ServerFileContent>
decode(const std::string& file, std::string_view passphrase, ServerFileFault& fault) {
    std::istringstream in(file);
    return decodeServerFile(in, passphrase, &fault);
}

TEST(ServerPassphrase, StoredFormBothWays) {
    // 'A' (0x41) with the key's first byte '4' (0x34).
    EXPECT_EQ(storedPassphrase("A"), "75");

    const std::string twenty = "abcdefghijklmnopqrst";
    const std::string stored = storedPassphrase(twenty);
    ASSERT_EQ(stored.size(), 40u);
    EXPECT_EQ(stored.find_first_not_of("0123456789abcdef"), std::string::npos);
    // The 15th character ('o', 0x6f) comes round to the key's first byte again.
    EXPECT_EQ(stored.substr(28, 2), "5b");
    EXPECT_EQ(passphraseFromStored(stored), twenty);

    const std::string bytes("\x00\xff\xe8 z", 5);
    EXPECT_EQ(passphraseFromStored(storedPassphrase(bytes)), bytes);

    // Either case; a final unpaired digit is ignored; a character that is no digit counts as 0.
    EXPECT_EQ(passphraseFromStored("75"
                                   "7"),
              "A");
    EXPECT_EQ(passphraseFromStored(std::string("5B")), std::string(1, static_cast<char>(0x6f)));
    EXPECT_EQ(passphraseFromStored("zz"), "4");
    EXPECT_EQ(passphraseFromStored(""), "");
}

TEST(ServerFile, DecodesAGoodFileWithEitherLineEnd) {
    // The check is the encoder's own too: pin it by hand on a small payload.
    EXPECT_EQ(test::srvtCheck({"ab", "c"}), "196:2:98:1");

    SrvtContent content;
    content.password = "pässword"; // UTF-8 stays as it is
    const auto payload = test::encipherSrvtLines(test::srvtClearLines(content), kPassphrase);
    for (const std::string_view eol : {"\r\n", "\n"}) {
        ServerFileFault fault = ServerFileFault::Content;
        const auto decoded = decode(test::srvtFile(payload, eol), kPassphrase, fault);
        ASSERT_TRUE(decoded) << static_cast<int>(fault);
        EXPECT_EQ(fault, ServerFileFault::None);
        EXPECT_EQ(decoded->server, "sirventa.regione.example");
        EXPECT_EQ(decoded->target, "/cgi-bin/ricevi");
        EXPECT_TRUE(decoded->needsAuthBase);
        EXPECT_FALSE(decoded->needsAuthCgi);
        EXPECT_EQ(decoded->userName, "azienda42");
        EXPECT_EQ(decoded->password, "pässword");
        EXPECT_EQ(decoded->mailAddress, content.mail);
        EXPECT_TRUE(decoded->useHttps);
        EXPECT_TRUE(decoded->needsCert);
        EXPECT_EQ(decoded->chunkSizeKb, 64);
        EXPECT_EQ(decoded->certificate, content.certificate);
    }

    // A digit other than 0 sets a flag; Latin-1 text from the original platform becomes UTF-8.
    content.cgiAuth = "7";
    content.user = "caff\xE8";
    ServerFileFault fault = ServerFileFault::None;
    const auto decoded = decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->needsAuthCgi);
    EXPECT_EQ(decoded->userName, "caffè");
}

TEST(ServerFile, RefusesDamagedFilesAndWrongPassphrases) {
    const SrvtContent content;
    const auto payload = test::encipherSrvtLines(test::srvtClearLines(content), kPassphrase);
    const std::string good = test::srvtFile(payload);
    const std::string marker = "MAGIC=SirventaServerConfigurationPod\r\n";
    const std::string check = "CHECK=" + test::srvtCheck(payload) + "\r\n";

    // One digit of the fourth payload line changed, the check line kept.
    std::string altered = good;
    const std::size_t digit =
        marker.size() + payload[0].size() + payload[1].size() + payload[2].size() + 3 * 2 + 5;
    altered[digit] = altered[digit] == '0' ? '1' : '0';
    auto withClear = [&](auto change) {
        SrvtContent changed;
        change(changed);
        return test::encodeSrvt(changed, kPassphrase);
    };

    const struct {
        const char* name;
        std::string file;
        ServerFileFault fault;
    } cases[] = {
        {"one hex digit altered", altered, ServerFileFault::PayloadCheck},
        {"third marker", good + marker, ServerFileFault::Structure},
        {"check before the second marker",
         marker + check + good.substr(marker.size()),
         ServerFileFault::Structure},
        {"second check line", good + check, ServerFileFault::Structure},
        {"no check line", good.substr(0, good.size() - check.size()), ServerFileFault::Structure},
        {"check of three numbers",
         good.substr(0, good.size() - check.size()) + "CHECK=1:2:3\r\n",
         ServerFileFault::Structure},
        {"key not at the start of its line",
         test::srvtFile(test::encipherSrvtLines(
             [&] {
                 auto lines = test::srvtClearLines(content);
                 lines[1] = " " + lines[1];
                 return lines;
             }(),
             kPassphrase)),
         ServerFileFault::Content},
        {"flag that is no digit",
         withClear([](SrvtContent& c) { c.https = "si"; }),
         ServerFileFault::Content},
        {"chunk size that is no number",
         withClear([](SrvtContent& c) { c.chunkSize = "64KB"; }),
         ServerFileFault::Content},
        {"line break in a value",
         withClear([](SrvtContent& c) { c.target = "/cgi\r\nX: y"; }),
         ServerFileFault::Content},
        {"empty server",
         withClear([](SrvtContent& c) { c.server.clear(); }),
         ServerFileFault::Content},
        {"keyed lines missing",
         test::srvtFile(test::encipherSrvtLines({content.proof, "SERVER=a"}, kPassphrase)),
         ServerFileFault::Content},
    };

    for (const auto& c : cases) {
        ServerFileFault fault = ServerFileFault::None;
        const auto decoded = decode(c.file, kPassphrase, fault);
        EXPECT_EQ(decoded.has_value(), c.fault == ServerFileFault::None) << c.name;
        EXPECT_EQ(fault, c.fault) << c.name;
    }

    // A wrong passphrase passes the payload check and fails on the first deciphered line.
    ServerFileFault fault = ServerFileFault::None;
    EXPECT_FALSE(decode(good, "Valmora-2024!", fault));
    EXPECT_EQ(fault, ServerFileFault::Passphrase);
    EXPECT_FALSE(decode(good, "", fault));
    EXPECT_EQ(fault, ServerFileFault::Passphrase);
}

TEST(ServerFile, BoundsItsLinesWithoutReadingThemWhole) {
    // 11 keyed lines and 501 certificate lines make 512 payload lines: the most there can be.
    SrvtContent content;
    content.certificate = std::string(501, 'C');
    content.certificateLineBytes = 1;
    ServerFileFault fault = ServerFileFault::None;
    const auto decoded = decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->certificate, content.certificate);

    content.certificate += 'C';
    EXPECT_FALSE(decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault));
    EXPECT_EQ(fault, ServerFileFault::TooLarge);

    // A line of 10 MB, with or without an end, and a million short lines.
    const std::string longLine(10 * 1024 * 1024, 'a');
    for (const std::string& file :
         {longLine, longLine + "\n" + test::encodeSrvt({}, kPassphrase)}) {
        EXPECT_FALSE(decode(file, kPassphrase, fault));
        EXPECT_EQ(fault, ServerFileFault::TooLarge);
    }
    std::string manyLines;
    for (int i = 0; i < 1'000'000; ++i) {
        manyLines += "00\n";
    }
    EXPECT_FALSE(decode(manyLines, kPassphrase, fault));
    EXPECT_EQ(fault, ServerFileFault::TooLarge);

    // A line of exactly the longest length is read.
    content = SrvtContent{};
    content.certificate = std::string(kMaxServerFileLineLength / 2, 'P');
    content.certificateLineBytes = content.certificate.size();
    EXPECT_TRUE(decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault));
}

// Sets an environment variable for one test and puts the old value back.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value)
        : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value, 1);
    }

    ~EnvironmentVariable() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class ServerConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "config");
        test::writeFile(settingsPath(),
                        "[tramela]\nDatabase = \"/dati/rete.sqlite\"\nDirectory = \"" +
                            (dir / "app").string() + "\"\n");
        ASSERT_EQ(settings.load(), workspace::Settings::LoadResult::Loaded);
    }

    fs::path settingsPath() const { return dir / "config" / "settings.toml"; }

    fs::path pemPath() const { return dir / "app" / "utente.pem"; }

    // Runs the import of `file` (written as utente.srvt) answering the passphrase dialog.
    void runImport(const std::string& file, std::string_view passphrase = kPassphrase) {
        const fs::path path = dir / "utente.srvt";
        test::writeFile(path, file);
        ui.answerFile("file", path);
        ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", std::string(passphrase)}});
        importServerConfiguration(window);
    }

    // The settings as stored on disk.
    workspace::Settings stored() const {
        workspace::Settings again(settingsPath());
        EXPECT_EQ(again.load(), workspace::Settings::LoadResult::Loaded);
        return again;
    }

    TempDir dir;
    workspace::Settings settings{settingsPath()};
    ScriptedUi ui;
    workspace::Workspace window{ui, settings};
};

const workspace::SectionPath kSection{"sirventa", "sirventa.regione.example"};

TEST_F(ServerConfigTest, ImportStoresTheConfigurationAndItsCertificate) {
    const SrvtContent content;
    const fs::path path = dir / "utente.srvt";
    test::writeFile(path, test::encodeSrvt(content, kPassphrase));
    ui.answerFile("file", path);
    ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", ""}});
    ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", std::string(kPassphrase)}});
    importServerConfiguration(window);

    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    const ui::FileDialog& dialog = ui.fileDialogs().front();
    EXPECT_EQ(dialog.title, "Importazione Configurazione Sirventa");
    EXPECT_EQ(dialog.initialName, "utente");
    EXPECT_EQ(dialog.defaultExtension, "srvt");
    ASSERT_EQ(dialog.filters.size(), 2u);
    EXPECT_EQ(dialog.filters[0].pattern, "*.srvt");
    ASSERT_EQ(ui.forms().size(), 1u);
    EXPECT_TRUE(ui.forms().front().field("passphrase")->masked);
    // The empty passphrase is refused and the dialog asked again.
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"ATTENZIONE: occorre digitare la passphrase !!!", Icon::Exclamation, ""},
                  {std::string(kImported), Icon::Information, ""}}));

    EXPECT_EQ(readFile(pemPath()), content.certificate);

    struct stat status {};

    ASSERT_EQ(::stat(pemPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(fs::directory_iterator(dir / "app")->path(), pemPath()); // no leftovers

    const workspace::Settings disk = stored();
    EXPECT_EQ(configurationNames(disk), std::vector<std::string>{"sirventa.regione.example"});
    EXPECT_EQ(disk.text(kSection, "PathCert"), pemPath().string());
    EXPECT_EQ(disk.text(kSection, "PassPhrase"), storedPassphrase(kPassphrase));
    EXPECT_EQ(disk.text("tramela", "Database"), "/dati/rete.sqlite");
    for (const std::string prefix : {"", "Save"}) {
        EXPECT_EQ(disk.integer(kSection, prefix + "NeedsAuthBase"), 1) << prefix;
        EXPECT_EQ(disk.integer(kSection, prefix + "NeedsAuthCgi"), 0) << prefix;
        EXPECT_EQ(disk.text(kSection, prefix + "UserName"), "azienda42") << prefix;
        EXPECT_EQ(disk.text(kSection, prefix + "Password"), "segreto") << prefix;
        EXPECT_EQ(disk.text(kSection, prefix + "MailAddress"), content.mail) << prefix;
        EXPECT_EQ(disk.text(kSection, prefix + "Server"), "sirventa.regione.example") << prefix;
        EXPECT_EQ(disk.text(kSection, prefix + "Target"), "/cgi-bin/ricevi") << prefix;
        EXPECT_EQ(disk.integer(kSection, prefix + "UseHttps"), 1) << prefix;
        EXPECT_EQ(disk.integer(kSection, prefix + "NeedsCert"), 1) << prefix;
        EXPECT_EQ(disk.integer(kSection, prefix + "ChunkSizeKb"), 64) << prefix;
    }

    // A second import of the same server replaces the values and the certificate.
    SrvtContent changed;
    changed.user = "azienda43";
    changed.certificate = "nuovo certificato";
    ui.clear();
    runImport(test::encodeSrvt(changed, kPassphrase));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kImported)});
    EXPECT_EQ(readFile(pemPath()), "nuovo certificato");
    EXPECT_EQ(stored().text(kSection, "SaveUserName"), "azienda43");
}

TEST_F(ServerConfigTest, RefusedFilesWriteNothing) {
    SrvtContent content;
    const auto payload = test::encipherSrvtLines(test::srvtClearLines(content), kPassphrase);
    auto displaced = test::srvtClearLines(content);
    displaced[5] = "XUSER=azienda42";
    SrvtContent tooLong;
    tooLong.certificate = std::string(502, 'C');
    tooLong.certificateLineBytes = 1;
    const std::string marker = "MAGIC=SirventaServerConfigurationPod\r\n";
    const std::string good = test::srvtFile(payload);
    std::string altered = good;
    altered[marker.size()] = altered[marker.size()] == 'f' ? 'e' : 'f';

    const std::string before = readFile(settingsPath());
    for (const auto& [file, passphrase] : std::vector<std::pair<std::string, std::string_view>>{
             {altered, kPassphrase},
             {good, "passphrase sbagliata"},
             {good + marker, kPassphrase},
             {"CHECK=" + test::srvtCheck(payload) + "\r\n" + good, kPassphrase},
             {good + "CHECK=" + test::srvtCheck(payload) + "\r\n", kPassphrase},
             {test::encodeSrvt(tooLong, kPassphrase), kPassphrase},
             {test::srvtFile(test::encipherSrvtLines(displaced, kPassphrase)), kPassphrase}}) {
        ui.clear();
        runImport(file, passphrase);
        EXPECT_EQ(ui.messages(),
                  (std::vector<ScriptedUi::ShownMessage>{
                      {std::string(kCannotDecode), Icon::Stop, ""},
                      {std::string(kCannotImport), Icon::Exclamation, ""}}));
        EXPECT_FALSE(fs::exists(dir / "app"));
        EXPECT_EQ(readFile(settingsPath()), before);
        EXPECT_TRUE(configurationNames(settings).empty());
    }

    // A file that cannot be opened.
    ui.clear();
    ui.answerFile("file", dir / "manca.srvt");
    ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", "x"}});
    importServerConfiguration(window);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Impossibile aprire\n\n" + (dir / "manca.srvt").string(),
                                        std::string(kCannotImport)}));

    // Cancelling either dialog ends the command without a word.
    ui.clear();
    ui.answerFile("file", std::nullopt);
    importServerConfiguration(window);
    ui.answerFile("file", dir / "utente.srvt");
    importServerConfiguration(window);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(readFile(settingsPath()), before);
}

TEST_F(ServerConfigTest, SettingsThatCannotBeWrittenLeaveNoCertificate) {
    // The settings' folder disappears after they were read: saving them fails.
    fs::remove_all(dir / "config");
    runImport(test::encodeSrvt({}, kPassphrase));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    EXPECT_TRUE(ui.messages()[0].text.starts_with(
        "Non è possibile registrare la configurazione del Server Sirventa\n"))
        << ui.messages()[0].text;
    EXPECT_TRUE(fs::is_empty(dir / "app"));
    // Nor is the configuration left half in memory for a later save to write.
    EXPECT_TRUE(configurationNames(settings).empty());
}

TEST_F(ServerConfigTest, ApplicationFolderDefaultsToTheUsersDataFolder) {
    test::writeFile(settingsPath(), "[tramela]\nDatabase = \"\"\n");
    ASSERT_EQ(settings.load(), workspace::Settings::LoadResult::Loaded);
    const EnvironmentVariable data("XDG_DATA_HOME", (dir / "data").c_str());
    EXPECT_EQ(workspace::applicationDirectory(settings), dir / "data" / "tramela");
    {
        const EnvironmentVariable relative("XDG_DATA_HOME", "relativa");
        const EnvironmentVariable home("HOME", "/casa/utente");
        EXPECT_EQ(workspace::applicationDirectory(settings), "/casa/utente/.local/share/tramela");
    }

    runImport(test::encodeSrvt({}, kPassphrase));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kImported)});
    const fs::path pem = dir / "data" / "tramela" / "utente.pem";
    EXPECT_EQ(readFile(pem), SrvtContent{}.certificate);
    EXPECT_EQ(stored().text(kSection, "PathCert"), pem.string());
}

TEST_F(ServerConfigTest, ChoosingAConfiguration) {
    // None stored: the user is stopped and no list is shown.
    EXPECT_FALSE(chooseConfiguration(ui, settings));
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"ATTENZIONE: non esiste nessuna configurazione SIRVENTA !!!\n\n"
                   "Probabilmente non è stata effettuata l'importazione della\n"
                   "configurazione ...\n\n"
                   "Non è possibile proseguire",
                   Icon::Stop,
                   ""}}));
    EXPECT_TRUE(ui.forms().empty());

    // The only one is chosen already.
    settings.setText({"sirventa", "b.example"}, "Server", "b.example");
    ui.clear();
    ui.answerForm("server-configuration", ui::FormValues{});
    EXPECT_EQ(chooseConfiguration(ui, settings), "b.example");
    EXPECT_EQ(ui.dialogs(), std::vector<std::string>{"Selezione configurazione"});

    // With two, OK without a choice keeps the dialog open.
    settings.setText({"sirventa", "a.example"}, "Server", "a.example");
    ui.clear();
    ui.answerForm("server-configuration", ui::FormValues{});
    ui.answerForm("server-configuration", ui::FormValues{{"configuration", "b.example"}});
    EXPECT_EQ(chooseConfiguration(ui, settings), "b.example");
    const ui::FormField* list = ui.forms().front().field("configuration");
    EXPECT_EQ(list->caption, "Configurazioni SIRVENTA");
    EXPECT_EQ(list->entries, (std::vector<std::string>{"a.example", "b.example"}));
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"Attenzione: non è stata selezionata nessuna configurazione valida !!!\n\n"
                   "Occorre selezionare obbligatoriamente una delle configurazioni\n"
                   "presenti nella lista",
                   Icon::Stop,
                   ""}}));
}

TEST_F(ServerConfigTest, HttpConfigurationNeverAsksForACertificate) {
    SrvtContent content;
    content.https = "0";
    content.certificateFlag = "1";
    runImport(test::encodeSrvt(content, kPassphrase));
    ASSERT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kImported)});
    EXPECT_EQ(stored().integer(kSection, "NeedsCert"), 1);

    ui.clear();
    ui.answerForm("server-connection", ui::FormValues{});
    const auto parameters = editConnectionParameters(ui, settings, "sirventa.regione.example");
    ASSERT_TRUE(parameters);
    const ui::FormSpec& form = ui.forms().front();
    EXPECT_EQ(form.title, "Parametri Connessione SIRVENTA");
    EXPECT_EQ(form.field("certificate")->value, kNoCertificateEntry);
    EXPECT_EQ(form.field("protocol")->value, kHttpEntry);
    EXPECT_FALSE(parameters->useHttps);
    EXPECT_FALSE(parameters->needsCert);
    EXPECT_EQ(stored().integer(kSection, "NeedsCert"), 0);
    EXPECT_EQ(stored().integer(kSection, "SaveNeedsCert"), 1);
}

TEST_F(ServerConfigTest, EditingStoresTheConfirmedValuesAndRestoresTheImportedOnes) {
    runImport(test::encodeSrvt({}, kPassphrase));
    ASSERT_EQ(ui.messageTexts(), std::vector<std::string>{std::string(kImported)});

    // Typed values are checked; the dialog stays open until they are right.
    ui.clear();
    ui.answerForm("server-connection", ui::FormValues{{"change", "1"}, {"server", "altro server"}});
    ui.answerForm("server-connection", ui::FormValues{{"change", "1"}, {"chunk-size", "0"}});
    ui.answerForm("server-connection",
                  ui::FormValues{{"change", "1"},
                                 {"server", "altro.example:8443"},
                                 {"chunk-size", "128"},
                                 {"needs-auth-base", "0"},
                                 {"certificate", std::string(kNoCertificateEntry)}});
    auto parameters = editConnectionParameters(ui, settings, "sirventa.regione.example");
    ASSERT_TRUE(parameters);
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_TRUE(ui.messages()[0].text.starts_with("ATTENZIONE: il Server SIRVENTA non è valido."));
    EXPECT_TRUE(ui.messages()[1].text.starts_with("ATTENZIONE: il valore di ChunkSize"));
    EXPECT_TRUE(ui.messages()[1].text.ends_with("I dati immessi non saranno registrati !!!"));
    EXPECT_EQ(parameters->configuration, "sirventa.regione.example");
    EXPECT_EQ(parameters->server, "altro.example:8443");
    EXPECT_EQ(parameters->chunkSizeKb, 128);
    EXPECT_FALSE(parameters->needsAuthBase);
    EXPECT_TRUE(parameters->useHttps);
    EXPECT_FALSE(parameters->needsCert);
    EXPECT_EQ(parameters->userName, "azienda42");
    EXPECT_EQ(parameters->certificatePassphrase, kPassphrase);
    EXPECT_EQ(parameters->certificatePath, pemPath());
    {
        const workspace::Settings disk = stored();
        EXPECT_EQ(disk.text(kSection, "Server"), "altro.example:8443");
        EXPECT_EQ(disk.integer(kSection, "ChunkSizeKb"), 128);
        EXPECT_EQ(disk.integer(kSection, "NeedsAuthBase"), 0);
        EXPECT_EQ(disk.text(kSection, "SaveServer"), "sirventa.regione.example");
    }

    // The dialog shows the stored values; "Ripristina" brings back the imported ones.
    ui.clear();
    ui.answerForm("server-connection", std::nullopt);
    EXPECT_FALSE(editConnectionParameters(ui, settings, "sirventa.regione.example"));
    const ui::FormSpec form = ui.forms().front();
    const ui::FormValues shown = form.initialValues();
    EXPECT_EQ(shown.at("server"), "altro.example:8443");
    EXPECT_EQ(shown.at("change"), "0");
    EXPECT_TRUE(form.field("password")->masked);
    ASSERT_EQ(form.actions.size(), 1u);
    EXPECT_EQ(form.actions[0].caption, "Ripristina");
    const ui::FormValues restored = form.actions[0].apply(shown);
    EXPECT_EQ(restored.at("server"), "sirventa.regione.example");
    EXPECT_EQ(restored.at("chunk-size"), "64");
    EXPECT_EQ(restored.at("needs-auth-base"), "1");
    EXPECT_EQ(restored.at("certificate"), kCertificateEntry);

    ui.clear();
    ui.answerForm("server-connection", restored);
    parameters = editConnectionParameters(ui, settings, "sirventa.regione.example");
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameters->server, "sirventa.regione.example");
    EXPECT_TRUE(parameters->needsCert);
    EXPECT_EQ(stored().text(kSection, "Server"), "sirventa.regione.example");

    // Nothing is editable before "Cambia"; user and password need an authentication, the
    // certificate and the chunk size need HTTPS.
    ui::FormValues values = shown;
    EXPECT_TRUE(form.editable("change", values));
    EXPECT_FALSE(form.editable("server", values));
    values["change"] = "1";
    EXPECT_TRUE(form.editable("server", values));
    EXPECT_TRUE(form.editable("chunk-size", values));
    EXPECT_FALSE(form.editable("user-name", values));
    values["needs-auth-cgi"] = "1";
    EXPECT_TRUE(form.editable("password", values));
    values["protocol"] = kHttpEntry;
    EXPECT_FALSE(form.editable("certificate", values));
    EXPECT_FALSE(form.editable("chunk-size", values));

    // A configuration that does not exist is reported.
    ui.clear();
    EXPECT_FALSE(editConnectionParameters(ui, settings, "nessuno.example"));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
}

} // namespace
} // namespace tramela::comm::xml
