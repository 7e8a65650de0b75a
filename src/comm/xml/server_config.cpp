#include "comm/xml/server_config.h"

#include "comm/xml/server_file.h"
#include "comm/xml/server_settings.h"
#include "store/value_text.h"
#include "ui/ui.h"
#include "workspace/private_files.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <variant>
#include <vector>

namespace tramela::comm::xml {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kImportTitle = "Importazione Configurazione Sirventa";
constexpr std::string_view kPassphraseTitle = "Passphrase Configurazione Sirventa";
constexpr std::string_view kPassphraseMissing = "ATTENZIONE: occorre digitare la passphrase !!!";
constexpr std::string_view kCannotOpen = "Impossibile aprire\n\n";
constexpr std::string_view kCannotDecode =
    "Il file non può essere decodificato con la passphrase fornita ...";
constexpr std::string_view kCannotImport =
    "Non è possibile importare la configurazione del Server Sirventa\n"
    "a causa degli errori precedenti";
constexpr std::string_view kSettingsProblem =
    "ATTENZIONE: Problemi di accesso al registro di configurazione di Windows\n";
constexpr std::string_view kImported =
    "La configurazione del Server Sirventa è stata registrata con successo";
constexpr std::string_view kCannotStore =
    "Non è possibile registrare la configurazione del Server Sirventa\n";

constexpr std::string_view kChooseTitle = "Selezione configurazione";
constexpr std::string_view kChooseList = "Configurazioni SIRVENTA";
constexpr std::string_view kNoConfiguration =
    "ATTENZIONE: non esiste nessuna configurazione SIRVENTA !!!\n\n"
    "Probabilmente non è stata effettuata l'importazione della\n"
    "configurazione ...\n\n"
    "Non è possibile proseguire";
constexpr std::string_view kNoSelection =
    "Attenzione: non è stata selezionata nessuna configurazione valida !!!\n\n"
    "Occorre selezionare obbligatoriamente una delle configurazioni\n"
    "presenti nella lista";

constexpr std::string_view kConnectionTitle = "Parametri Connessione SIRVENTA";
constexpr std::string_view kNotStored = "I dati immessi non saranno registrati !!!";

const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

// A message about settings that could not be saved, with the reason the settings give (a
// read-only file, a missing folder...).
std::string withSaveError(std::string message, const workspace::Settings& settings) {
    if (!settings.saveError().empty()) {
        message += "\n\n";
        message += settings.saveError();
    }
    return message;
}

ui::FileDialog serverFileDialog() {
    ui::FileDialog dialog;
    dialog.key = kServerFileKey;
    dialog.title = kImportTitle;
    dialog.defaultExtension = "srvt";
    dialog.initialName = "utente";
    dialog.filters = {{"File di configurazione Sirventa (*.srvt)", "*.srvt"},
                      {"Tutti i files (*.*)", "*"}};
    dialog.mustExist = true;
    return dialog;
}

std::optional<std::string> askPassphrase(ui::Ui& ui) {
    ui::FormSpec spec;
    spec.id = kPassphraseFormId;
    spec.title = kPassphraseTitle;
    ui::FormField field;
    field.id = kPassphraseField;
    field.caption = "Passphrase";
    field.masked = true;
    spec.groups.push_back({"", {std::move(field)}});
    spec.validate = [](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        if (valueOf(values, kPassphraseField).empty()) {
            return ui::Refusal{std::string(kPassphraseMissing), ui::Icon::Exclamation, {}};
        }
        return std::nullopt;
    };
    const std::optional<ui::FormValues> values = ui.Form(spec);
    if (!values) {
        return std::nullopt;
    }
    return valueOf(*values, kPassphraseField);
}

} // namespace

ui::Outcome importServerConfiguration(workspace::Workspace& window) {
    ui::Ui& ui = window.ui();
    workspace::Settings& settings = window.settings();

    const std::optional<fs::path> chosen = ui.OpenFile(serverFileDialog());
    if (!chosen) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<std::string> passphrase = askPassphrase(ui);
    if (!passphrase) {
        return ui::Outcome::Cancelled;
    }

    // Only a regular file is read: a named pipe chosen by mistake would never end.
    std::ifstream in;
    std::error_code error;
    if (fs::is_regular_file(*chosen, error)) {
        in.open(*chosen, std::ios::binary);
    }
    if (!in.is_open()) {
        ui.Message(std::string(kCannotOpen) + chosen->string(), ui::Icon::Stop);
        ui.Message(kCannotImport, ui::Icon::Exclamation);
        return ui::Outcome::Failed;
    }
    const std::optional<ServerFileContent> content = decodeServerFile(in, *passphrase);
    in.close();
    if (!content) {
        ui.Message(kCannotDecode, ui::Icon::Stop);
        ui.Message(kCannotImport, ui::Icon::Exclamation);
        return ui::Outcome::Failed;
    }

    if (!settings.valid()) {
        ui.Message(kSettingsProblem, ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    const fs::path folder = workspace::applicationDirectory(settings);
    const fs::path certificate =
        fs::absolute(folder / (chosen->stem().string() + ".pem"), error).lexically_normal();
    auto cannotWrite = [&] {
        ui.Message(std::string(kCannotOpen) + certificate.string(), ui::Icon::Stop);
    };
    if (folder.empty() || certificate.empty() || !workspace::makePrivateFolders(folder) ||
        fs::is_directory(certificate, error)) {
        cannotWrite();
        return ui::Outcome::Failed;
    }

    // The certificate takes its place only once the settings hold the configuration, and the
    // settings are put back when it cannot: an import is stored whole or not at all.
    const std::optional<std::string> temporary =
        workspace::writePrivateTemporary(certificate, content->certificate);
    if (!temporary) {
        cannotWrite();
        return ui::Outcome::Failed;
    }
    const ConfigurationSnapshot before(settings, content->server);
    const bool set = storeImportedConfiguration(settings, *content, certificate, *passphrase);
    if (!set || !settings.save()) {
        ::unlink(temporary->c_str());
        before.restore(settings);
        const std::string message =
            fmt::format("{}impossibile scrivere la configurazione \"{}\" nel file delle "
                        "impostazioni {}",
                        kCannotStore,
                        content->server,
                        settings.path().string());
        ui.Message(set ? withSaveError(message, settings) : message, ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    if (::rename(temporary->c_str(), certificate.c_str()) != 0) {
        ::unlink(temporary->c_str());
        before.restore(settings);
        settings.save();
        cannotWrite();
        return ui::Outcome::Failed;
    }
    workspace::syncFolder(certificate.parent_path());
    ui.Message(kImported, ui::Icon::Information);
    return ui::Outcome::Done;
}

std::optional<std::string> chooseConfiguration(ui::Ui& ui, const workspace::Settings& settings) {
    std::vector<std::string> names = configurationNames(settings);
    if (names.empty()) {
        ui.Message(kNoConfiguration, ui::Icon::Stop);
        return std::nullopt;
    }
    ui::FormSpec spec;
    spec.id = kChooseFormId;
    spec.title = kChooseTitle;
    ui::FormField list;
    list.id = kConfigurationField;
    list.caption = kChooseList;
    list.kind = ui::FieldKind::Choice;
    list.value = names.size() == 1 ? names.front() : std::string();
    list.entries = names;
    spec.groups.push_back({"", {std::move(list)}});
    spec.validate = [names](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        const std::string& chosen = valueOf(values, kConfigurationField);
        if (std::find(names.begin(), names.end(), chosen) == names.end()) {
            return ui::Refusal{std::string(kNoSelection), ui::Icon::Stop, {}};
        }
        return std::nullopt;
    };
    const std::optional<ui::FormValues> values = ui.Form(spec);
    if (!values) {
        return std::nullopt;
    }
    return valueOf(*values, kConfigurationField);
}

namespace {

std::string flag(bool set) {
    return set ? "1" : "0";
}

// The dialog's fields for these values ("change" is left as it is).
void showValues(const ConnectionValues& values, ui::FormValues& shown) {
    shown[std::string(kNeedsAuthBaseField)] = flag(values.needsAuthBase);
    shown[std::string(kNeedsAuthCgiField)] = flag(values.needsAuthCgi);
    shown[std::string(kUserNameField)] = values.userName;
    shown[std::string(kPasswordField)] = values.password;
    shown[std::string(kMailAddressField)] = values.mailAddress;
    shown[std::string(kServerField)] = values.server;
    shown[std::string(kTargetField)] = values.target;
    shown[std::string(kProtocolField)] = values.useHttps ? kHttpsEntry : kHttpEntry;
    shown[std::string(kCertificateField)] =
        values.needsCert ? kCertificateEntry : kNoCertificateEntry;
    shown[std::string(kChunkSizeField)] = fmt::format("{}", values.chunkSizeKb);
}

ui::Refusal refusal(std::string_view what, std::string_view how) {
    return ui::Refusal{
        fmt::format("ATTENZIONE: {}\n\n{}\n\n{}", what, how, kNotStored), ui::Icon::Stop, {}};
}

bool isUsableText(std::string_view text) {
    return !hasControlCharacters(text) && store::utf8Length(text).has_value();
}

// A host name, optionally followed by ":port"; an address with more colons is left to the
// connection to judge.
bool isServer(std::string_view server) {
    if (server.empty() || hasBlank(server) || !isUsableText(server)) {
        return false;
    }
    const std::size_t colon = server.find(':');
    if (colon == std::string_view::npos || server.find(':', colon + 1) != std::string_view::npos) {
        return true;
    }
    const std::optional<int> port = wholeNumber(server.substr(colon + 1));
    return colon > 0 && port && *port >= 1 && *port <= 65535;
}

// The typed values as they will be stored, or why they cannot be.
std::variant<ConnectionValues, ui::Refusal> examine(const ui::FormValues& shown) {
    ConnectionValues values;
    values.needsAuthBase = valueOf(shown, kNeedsAuthBaseField) == "1";
    values.needsAuthCgi = valueOf(shown, kNeedsAuthCgiField) == "1";
    values.userName = valueOf(shown, kUserNameField);
    values.password = valueOf(shown, kPasswordField);
    values.mailAddress = valueOf(shown, kMailAddressField);
    values.server = valueOf(shown, kServerField);
    values.target = valueOf(shown, kTargetField);

    if (!isUsableText(values.userName)) {
        return refusal("lo UserName contiene caratteri non ammessi.",
                       "Non si possono usare caratteri di controllo (a capo, tabulazione ...).");
    }
    if (!isUsableText(values.password)) {
        return refusal("la Password contiene caratteri non ammessi.",
                       "Non si possono usare caratteri di controllo (a capo, tabulazione ...).");
    }
    if (!isUsableText(values.mailAddress)) {
        return refusal("l'indirizzo di posta elettronica contiene caratteri non ammessi.",
                       "Più indirizzi vanno separati da punto e virgola, senza caratteri di "
                       "controllo (a capo, tabulazione ...).");
    }
    if (!isServer(values.server)) {
        return refusal("il Server SIRVENTA non è valido.",
                       "Occorre indicare il nome del server, senza spazi, eventualmente seguito "
                       "da :porta (da 1 a 65535).");
    }
    if (values.target.empty() || hasBlank(values.target) || !isUsableText(values.target)) {
        return refusal("il Target non è valido.",
                       "Occorre indicare il percorso del programma di ricezione, senza spazi.");
    }

    const std::string& protocol = valueOf(shown, kProtocolField);
    if (protocol != kHttpEntry && protocol != kHttpsEntry) {
        return refusal(
            "il protocollo di comunicazione non è valido.",
            fmt::format("Occorre scegliere \"{}\" oppure \"{}\".", kHttpEntry, kHttpsEntry));
    }
    values.useHttps = protocol == kHttpsEntry;
    const std::string& certificate = valueOf(shown, kCertificateField);
    if (certificate != kNoCertificateEntry && certificate != kCertificateEntry) {
        return refusal("la scelta del certificato non è valida.",
                       fmt::format("Occorre scegliere \"{}\" oppure \"{}\".",
                                   kNoCertificateEntry,
                                   kCertificateEntry));
    }
    // Plain HTTP carries no certificate, whatever the disabled choice still shows.
    values.needsCert = values.useHttps && certificate == kCertificateEntry;

    // The chunk size matters only to HTTPS; with HTTP it is kept as it is, 0 included.
    const std::optional<int> chunk =
        wholeNumber(store::trimBlanks(valueOf(shown, kChunkSizeField)));
    if (!chunk || (values.useHttps && *chunk == 0)) {
        return refusal("il valore di ChunkSize non è valido.",
                       "La dimensione dei segmenti va espressa in KB come numero intero da 1 a "
                       "2147483647.");
    }
    values.chunkSizeKb = *chunk;
    return values;
}

ui::FormSpec connectionForm(const ConnectionValues& current, ConnectionValues saved) {
    using ui::FieldKind;
    auto field = [](std::string_view id,
                    std::string_view caption,
                    FieldKind kind,
                    std::vector<std::string> entries = {}) {
        ui::FormField f;
        f.id = id;
        f.caption = caption;
        f.kind = kind;
        f.entries = std::move(entries);
        return f;
    };
    ui::FormSpec spec;
    spec.id = kConnectionFormId;
    spec.title = kConnectionTitle;
    ui::FormField password = field(kPasswordField, "Password", FieldKind::Text);
    password.masked = true;
    spec.groups = {
        {"Autenticazione",
         {field(kNeedsAuthBaseField, "Autenticazione richiesta dal WebServer", FieldKind::Check),
          field(kNeedsAuthCgiField, "Autenticazione richiesta dalla CGI", FieldKind::Check)}},
        {"", {field(kUserNameField, "UserName", FieldKind::Text), std::move(password)}},
        {"Indirizzo posta elettronica",
         {field(kMailAddressField,
                "Le notifiche sullo stato della comunicazione saranno inviate a questo "
                "indirizzo; più indirizzi vanno separati da punto e virgola",
                FieldKind::Text)}},
        {"Url server SIRVENTA",
         {field(kServerField, "Server", FieldKind::Text),
          field(kTargetField, "Target", FieldKind::Text)}},
        {"Protocollo di comunicazione",
         {field(kProtocolField,
                "",
                FieldKind::Radio,
                {std::string(kHttpEntry), std::string(kHttpsEntry)})}},
        {"Sicurezza e Crittografia",
         {field(kCertificateField,
                "",
                FieldKind::Radio,
                {std::string(kNoCertificateEntry), std::string(kCertificateEntry)})}},
        {"Segmentazione SSL", {field(kChunkSizeField, "ChunkSize (KB)", FieldKind::Integer)}},
        {"", {field(kChangeField, "Cambia", FieldKind::Check)}},
    };
    ui::FormValues shown;
    showValues(current, shown);
    shown[std::string(kChangeField)] = "0";
    for (ui::FormGroup& group : spec.groups) {
        for (ui::FormField& f : group.fields) {
            f.value = shown[f.id];
        }
    }

    spec.validate = [](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        auto examined = examine(values);
        if (auto* refused = std::get_if<ui::Refusal>(&examined)) {
            return std::move(*refused);
        }
        return std::nullopt;
    };
    // "Ripristina" shows the values as imported again.
    spec.actions.push_back({std::string(kRestoreAction),
                            "Ripristina",
                            [saved = std::move(saved)](const ui::FormValues& values) {
                                ui::FormValues restored = values;
                                showValues(saved, restored);
                                return restored;
                            }});
    // Nothing changes until "Cambia" is ticked; user name and password only matter with some
    // authentication, the certificate and the chunk size only with HTTPS.
    spec.editable = [](std::string_view id, const ui::FormValues& values) {
        if (id == kChangeField) {
            return true;
        }
        if (valueOf(values, kChangeField) != "1") {
            return false;
        }
        if (id == kUserNameField || id == kPasswordField) {
            return valueOf(values, kNeedsAuthBaseField) == "1" ||
                   valueOf(values, kNeedsAuthCgiField) == "1";
        }
        if (id == kCertificateField || id == kChunkSizeField) {
            return valueOf(values, kProtocolField) == kHttpsEntry;
        }
        return true;
    };
    return spec;
}

} // namespace

std::optional<UploadParameters>
editConnectionParameters(ui::Ui& ui, workspace::Settings& settings, std::string_view name) {
    const std::vector<std::string> names = configurationNames(settings);
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        ui.Message(fmt::format("ATTENZIONE: la configurazione SIRVENTA \"{}\" non esiste !!!\n\n"
                               "Occorre importarla prima di proseguire",
                               name),
                   ui::Icon::Stop);
        return std::nullopt;
    }
    const ui::FormSpec spec =
        connectionForm(loadConnectionValues(settings, name, ValueSet::Confirmed),
                       loadConnectionValues(settings, name, ValueSet::Imported));
    const std::optional<ui::FormValues> shown = ui.Form(spec);
    if (!shown) {
        return std::nullopt;
    }
    auto examined = examine(*shown);
    const auto* values = std::get_if<ConnectionValues>(&examined);
    if (values == nullptr) {
        // The front end hands back only values that the validator accepted.
        return std::nullopt;
    }
    // The transmission goes on with the confirmed values even when they cannot be kept.
    const bool set = setConnectionValues(settings, name, *values);
    if (!set || !settings.save()) {
        const std::string message =
            fmt::format("ATTENZIONE: non è possibile registrare i parametri di connessione "
                        "nel file delle impostazioni\n\n{}",
                        settings.path().string());
        ui.Message(set ? withSaveError(message, settings) : message, ui::Icon::Exclamation);
    }
    return uploadParameters(settings, name, *values);
}

} // namespace tramela::comm::xml
