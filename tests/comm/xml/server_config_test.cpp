#include "comm/xml/server_config.h"
#include "comm/xml/server_file.h"
#include "comm/xml/server_settings.h"
#include "support/environment_variable.h"
#include "support/golden.h"
#include "support/srvt_encoder.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tramela::comm::xml {
namespace {

namespace fs = std::filesystem;
using test::EnvironmentVariable;
using test::readFile;
using test::SrvtContent;
using test::TempDir;
using ui::Icon;
using ui::ScriptedUi;

constexpr std::string_view kPassphrase = "Valmora-2025!";
constexpr std::string_view kImported =
    "La configurazione del Server Sirventa è stata registrata con successo";

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
    ui::Outcome runImport(const std::string& file, std::string_view passphrase = kPassphrase) {
        const fs::path path = dir / "utente.srvt";
        test::writeFile(path, file);
        ui.answerFile("file", path);
        ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", std::string(passphrase)}});
        return importServerConfiguration(window);
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
    test::Transcript steps{ui, dir.path()};
};

const workspace::SectionPath kSection{"sirventa", "sirventa.regione.example"};

TEST_F(ServerConfigTest, ImportStoresTheConfigurationAndItsCertificate) {
    const SrvtContent content;
    const fs::path path = dir / "utente.srvt";
    test::writeFile(path, test::encodeSrvt(content, kPassphrase));
    ui.answerFile("file", path);
    ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", ""}});
    ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", std::string(kPassphrase)}});
    EXPECT_EQ(importServerConfiguration(window), ui::Outcome::Done);
    ASSERT_EQ(ui.forms().size(), 1u);
    EXPECT_TRUE(ui.forms().front().field("passphrase")->masked);
    // The empty passphrase is refused and the dialog asked again.
    steps.step("import");

    EXPECT_EQ(readFile(pemPath()), content.certificate);

    struct stat status {};

    ASSERT_EQ(::stat(pemPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(fs::directory_iterator(dir / "app")->path(), pemPath()); // no leftovers

    EXPECT_GOLDEN(test::replaceAll(readFile(settingsPath()), dir.path().string(), "<dir>"),
                  "server_config/imported_settings.toml");

    // A second import of the same server replaces the values and the certificate.
    SrvtContent changed;
    changed.user = "azienda43";
    changed.certificate = "nuovo certificato";
    EXPECT_EQ(runImport(test::encodeSrvt(changed, kPassphrase)), ui::Outcome::Done);
    steps.step("import again");
    EXPECT_GOLDEN(steps.text(), "server_config/import.txt");
    EXPECT_EQ(readFile(pemPath()), "nuovo certificato");
    EXPECT_EQ(stored().text(kSection, "SaveUserName"), "azienda43");
}

TEST_F(ServerConfigTest, RefusedFilesWriteNothing) {
    // One file for each step that can refuse: the payload check, the passphrase, the content.
    SrvtContent content;
    const auto payload = test::encipherSrvtLines(test::srvtClearLines(content), kPassphrase);
    auto displaced = test::srvtClearLines(content);
    displaced[5] = "XUSER=azienda42";
    const std::string marker = "MAGIC=SirventaServerConfigurationPod\r\n";
    const std::string good = test::srvtFile(payload);
    std::string altered = good;
    altered[marker.size()] = altered[marker.size()] == 'f' ? 'e' : 'f';

    const std::string before = readFile(settingsPath());

    const struct {
        const char* name;
        std::string file;
        std::string_view passphrase;
    } refused[] = {
        {"altered payload", altered, kPassphrase},
        {"wrong passphrase", good, "passphrase sbagliata"},
        {"displaced key",
         test::srvtFile(test::encipherSrvtLines(displaced, kPassphrase)),
         kPassphrase},
    };

    for (const auto& [name, file, passphrase] : refused) {
        EXPECT_EQ(runImport(file, passphrase), ui::Outcome::Failed);
        steps.step(name);
        EXPECT_FALSE(fs::exists(dir / "app"));
        EXPECT_EQ(readFile(settingsPath()), before);
        EXPECT_TRUE(configurationNames(settings).empty());
    }

    // A file that cannot be opened.
    ui.answerFile("file", dir / "manca.srvt");
    ui.answerForm("server-passphrase", ui::FormValues{{"passphrase", "x"}});
    EXPECT_EQ(importServerConfiguration(window), ui::Outcome::Failed);
    steps.step("missing file");

    // Cancelling either dialog ends the command without a word.
    ui.answerFile("file", std::nullopt);
    EXPECT_EQ(importServerConfiguration(window), ui::Outcome::Cancelled);
    ui.answerFile("file", dir / "utente.srvt");
    EXPECT_EQ(importServerConfiguration(window), ui::Outcome::Cancelled);
    steps.step("cancelled");
    EXPECT_GOLDEN(steps.text(), "server_config/refused.txt");
    EXPECT_EQ(readFile(settingsPath()), before);
}

TEST_F(ServerConfigTest, SettingsThatCannotBeWrittenLeaveNoCertificate) {
    // The settings' folder disappears after they were read: saving them fails.
    fs::remove_all(dir / "config");
    EXPECT_EQ(runImport(test::encodeSrvt({}, kPassphrase)), ui::Outcome::Failed);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    EXPECT_TRUE(ui.messages()[0].text.starts_with(
        "Non è possibile registrare la configurazione del Server Sirventa\n"))
        << ui.messages()[0].text;
    EXPECT_TRUE(fs::is_empty(dir / "app"));
    // Nor is the configuration left half in memory for a later save to write.
    EXPECT_TRUE(configurationNames(settings).empty());
}

TEST_F(ServerConfigTest, ReadOnlySettingsAreLeftAsTheyAreAndTheUserIsToldWhy) {
    ASSERT_EQ(::chmod(settingsPath().c_str(), 0400), 0);
    std::string before = readFile(settingsPath());
    EXPECT_EQ(runImport(test::encodeSrvt({}, kPassphrase)), ui::Outcome::Failed);
    steps.step("import");
    EXPECT_EQ(readFile(settingsPath()), before);
    EXPECT_TRUE(fs::is_empty(dir / "app"));
    EXPECT_TRUE(configurationNames(settings).empty());

    // The confirmed connection values still go to the transmission.
    ASSERT_EQ(::chmod(settingsPath().c_str(), 0600), 0);
    runImport(test::encodeSrvt({}, kPassphrase));
    steps.step("import, writable");
    ASSERT_EQ(::chmod(settingsPath().c_str(), 0400), 0);
    before = readFile(settingsPath());
    ui.answerForm("server-connection", ui::FormValues{{"change", "1"}, {"chunk-size", "128"}});
    const auto parameters = editConnectionParameters(ui, settings, "sirventa.regione.example");
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameters->chunkSizeKb, 128);
    steps.step("edit");
    EXPECT_GOLDEN(steps.text(), "server_config/read_only.txt");
    EXPECT_EQ(readFile(settingsPath()), before);
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
    steps.step("none");

    // The only one is chosen already.
    settings.setText({"sirventa", "b.example"}, "Server", "b.example");
    ui.answerForm("server-configuration", ui::FormValues{});
    EXPECT_EQ(chooseConfiguration(ui, settings), "b.example");
    steps.step("one");

    // With two, OK without a choice keeps the dialog open.
    settings.setText({"sirventa", "a.example"}, "Server", "a.example");
    ui.answerForm("server-configuration", ui::FormValues{});
    ui.answerForm("server-configuration", ui::FormValues{{"configuration", "b.example"}});
    EXPECT_EQ(chooseConfiguration(ui, settings), "b.example");
    const ui::FormField* list = ui.forms().front().field("configuration");
    EXPECT_EQ(list->caption, "Configurazioni SIRVENTA");
    EXPECT_EQ(list->entries, (std::vector<std::string>{"a.example", "b.example"}));
    steps.step("two");
    EXPECT_GOLDEN(steps.text(), "server_config/choosing.txt");
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

    ui.clear();
    ui.answerForm("server-connection",
                  ui::FormValues{{"change", "1"},
                                 {"server", "altro.example:8443"},
                                 {"chunk-size", "128"},
                                 {"needs-auth-base", "0"},
                                 {"certificate", std::string(kNoCertificateEntry)}});
    auto parameters = editConnectionParameters(ui, settings, "sirventa.regione.example");
    ASSERT_TRUE(parameters);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(parameters->configuration, "sirventa.regione.example");
    EXPECT_EQ(parameters->server, "altro.example:8443");
    EXPECT_EQ(parameters->chunkSizeKb, 128);
    EXPECT_FALSE(parameters->needsAuthBase);
    EXPECT_TRUE(parameters->useHttps);
    EXPECT_FALSE(parameters->needsCert);
    EXPECT_EQ(parameters->userName, "azienda42");
    EXPECT_EQ(parameters->certificatePassphrase, kPassphrase);
    EXPECT_EQ(parameters->certificatePath, pemPath());
    // The confirmed values change, their imported twins stay.
    EXPECT_GOLDEN(test::replaceAll(readFile(settingsPath()), dir.path().string(), "<dir>"),
                  "server_config/edited_settings.toml");

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

    // Typed values are checked (over the restored ones, HTTPS): what refuses them, or nothing.
    const struct {
        std::vector<std::pair<const char*, std::string>> typed;
        std::string_view refusal;
    } checks[] = {
        {{{"server", "altro server"}}, "il Server SIRVENTA non è valido."},
        {{{"server", "altro.example:0"}}, "il Server SIRVENTA non è valido."},
        {{{"server", "altro.example:65536"}}, "il Server SIRVENTA non è valido."},
        {{{"server", ":8443"}}, "il Server SIRVENTA non è valido."},
        {{{"server", "altro.example:65535"}}, ""},
        {{{"server", "fe80::1"}}, ""},
        {{{"chunk-size", "0"}}, "il valore di ChunkSize non è valido."},
        {{{"chunk-size", "12a"}}, "il valore di ChunkSize non è valido."},
        {{{"chunk-size", "+12"}}, "il valore di ChunkSize non è valido."},
        {{{"chunk-size", "2147483648"}}, "il valore di ChunkSize non è valido."},
        {{{"chunk-size", " 2147483647 "}}, ""},
        {{{"chunk-size", "0"}, {"protocol", std::string(kHttpEntry)}}, ""},
        {{{"user-name", "a\tb"}}, "lo UserName contiene caratteri non ammessi."},
        {{{"user-name", "caff\xE8"}}, "lo UserName contiene caratteri non ammessi."},
        {{{"password", "a\nb"}}, "la Password contiene caratteri non ammessi."},
        {{{"mail-address", "a\x7F"}},
         "l'indirizzo di posta elettronica contiene caratteri non ammessi."},
        {{{"target", "/cgi bin"}}, "il Target non è valido."},
        {{{"target", ""}}, "il Target non è valido."},
        {{{"protocol", "FTP"}}, "il protocollo di comunicazione non è valido."},
        {{{"certificate", ""}}, "la scelta del certificato non è valida."},
    };

    for (const auto& check : checks) {
        ui::FormValues typed = restored;
        for (const auto& [id, value] : check.typed) {
            typed[id] = value;
        }
        const std::optional<ui::Refusal> refusal = form.validate(typed);
        const std::string& first = check.typed.front().second;
        ASSERT_EQ(refusal.has_value(), !check.refusal.empty()) << first;
        if (refusal) {
            EXPECT_TRUE(refusal->text.starts_with("ATTENZIONE: " + std::string(check.refusal)))
                << refusal->text;
            EXPECT_TRUE(refusal->text.ends_with("\n\nI dati immessi non saranno registrati !!!"))
                << refusal->text;
            EXPECT_EQ(refusal->icon, Icon::Stop);
        }
    }

    // Nothing is editable before "Cambia"; user and password need an authentication, the
    // certificate and the chunk size need HTTPS.
    const struct {
        std::vector<std::pair<const char*, std::string>> set;
        const char* field;
        bool editable;
    } editing[] = {
        {{}, "change", true},
        {{}, "server", false},
        {{{"change", "1"}}, "server", true},
        {{{"change", "1"}}, "chunk-size", true},
        {{{"change", "1"}, {"needs-auth-base", "0"}}, "user-name", false},
        {{{"change", "1"}, {"needs-auth-base", "0"}, {"needs-auth-cgi", "1"}}, "password", true},
        {{{"change", "1"}, {"protocol", std::string(kHttpEntry)}}, "certificate", false},
        {{{"change", "1"}, {"protocol", std::string(kHttpEntry)}}, "chunk-size", false},
    };

    for (const auto& c : editing) {
        ui::FormValues values = shown;
        for (const auto& [id, value] : c.set) {
            values[id] = value;
        }
        EXPECT_EQ(form.editable(c.field, values), c.editable) << c.field;
    }

    // A configuration that does not exist is reported.
    ui.clear();
    EXPECT_FALSE(editConnectionParameters(ui, settings, "nessuno.example"));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
}

} // namespace
} // namespace tramela::comm::xml
