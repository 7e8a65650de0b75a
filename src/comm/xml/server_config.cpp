#include "comm/xml/server_config.h"

#include "comm/text_output.h"
#include "store/value_text.h"
#include "ui/ui.h"
#include "workspace/private_files.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fmt/format.h>
#include <fstream>
#include <istream>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <variant>

namespace tramela::comm::xml {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPassphraseKey = "4kTw#Bn85-/qe[";
constexpr std::string_view kMarker = "MAGIC=SirventaServerConfigurationPod";
constexpr std::string_view kCheckPrefix = "CHECK=";
// The first deciphered line: only the right passphrase yields it.
constexpr std::string_view kProof = "#Pardelo#$Quartz$@Hinge@[Lumen]<Rook>";

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

// Names of the values of a configuration; the imported values have a "Save" twin each.
constexpr std::string_view kServerKey = "Server";
constexpr std::string_view kTargetKey = "Target";
constexpr std::string_view kNeedsAuthBaseKey = "NeedsAuthBase";
constexpr std::string_view kNeedsAuthCgiKey = "NeedsAuthCgi";
constexpr std::string_view kUserNameKey = "UserName";
constexpr std::string_view kPasswordKey = "Password";
constexpr std::string_view kMailAddressKey = "MailAddress";
constexpr std::string_view kUseHttpsKey = "UseHttps";
constexpr std::string_view kNeedsCertKey = "NeedsCert";
constexpr std::string_view kChunkSizeKey = "ChunkSizeKb";
constexpr std::string_view kPassPhraseKey = "PassPhrase";
constexpr std::string_view kPathCertKey = "PathCert";

constexpr std::array<std::string_view, 10> kValueKeys = {kNeedsAuthBaseKey,
                                                         kNeedsAuthCgiKey,
                                                         kUserNameKey,
                                                         kPasswordKey,
                                                         kMailAddressKey,
                                                         kServerKey,
                                                         kTargetKey,
                                                         kUseHttpsKey,
                                                         kNeedsCertKey,
                                                         kChunkSizeKey};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The bytes of hexadecimal text, each combined with the key's byte at `index`, which runs on
// from one call to the next.
void decipher(std::string_view hex, std::string_view key, std::size_t& index, std::string& out) {
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = std::max(hexDigit(hex[i]), 0);
        const int low = std::max(hexDigit(hex[i + 1]), 0);
        const auto keyByte = static_cast<unsigned char>(key[index % key.size()]);
        out.push_back(static_cast<char>(((high << 4) | low) ^ keyByte));
        ++index;
    }
}

enum class LineRead { Line, End, TooLong };

// One line without its end (LF or CR LF). A line longer than a configuration file has is not
// read further: its length alone refuses the file.
LineRead readLine(std::streambuf& buffer, std::string& line) {
    using Traits = std::char_traits<char>;
    line.clear();
    bool any = false;
    while (true) {
        const Traits::int_type c = buffer.sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) {
            break;
        }
        any = true;
        if (Traits::to_char_type(c) == '\n') {
            break;
        }
        if (line.size() > kMaxServerFileLineLength) {
            return LineRead::TooLong;
        }
        line.push_back(Traits::to_char_type(c));
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > kMaxServerFileLineLength) {
        return LineRead::TooLong;
    }
    return any ? LineRead::Line : LineRead::End;
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

template <typename Number> std::optional<Number> wholeNumber(std::string_view text) {
    if (!allDigits(text)) {
        return std::nullopt;
    }
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

using CheckValues = std::array<std::uint64_t, 4>;

// "a:b:c:d", four decimal numbers; blanks around them are tolerated.
std::optional<CheckValues> parseCheck(std::string_view text) {
    CheckValues values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool last = i + 1 == values.size();
        const std::size_t colon = last ? text.size() : text.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> number =
            wholeNumber<std::uint64_t>(store::trimBlanks(text.substr(0, colon)));
        if (!number) {
            return std::nullopt;
        }
        values[i] = *number;
        text.remove_prefix(last ? colon : colon + 1);
    }
    return values;
}

bool hasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// The value after the line's key. Control characters would end up in request lines and headers,
// so they refuse the file; a text that is not UTF-8 was written on the original platform's code
// page and is read as Latin-1.
std::optional<std::string> keyedText(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return std::nullopt;
    }
    const std::string_view value = line.substr(key.size());
    if (hasControlCharacters(value)) {
        return std::nullopt;
    }
    if (store::utf8Length(value)) {
        return std::string(value);
    }
    return latin1ToUtf8(value);
}

// One digit: any digit but 0 sets the flag.
std::optional<bool> keyedFlag(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return std::nullopt;
    }
    const std::string_view value = line.substr(key.size());
    if (value.size() != 1 || !allDigits(value)) {
        return std::nullopt;
    }
    return value != "0";
}

std::optional<int> keyedNumber(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return std::nullopt;
    }
    return wholeNumber<int>(line.substr(key.size()));
}

bool hasBlank(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

// The deciphered lines after the first, as the configuration's values.
std::optional<ServerFileContent> readContent(const std::vector<std::string>& lines) {
    if (lines.size() < 11) {
        return std::nullopt;
    }
    ServerFileContent content;
    std::optional<std::string> server = keyedText(lines[1], "SERVER=");
    std::optional<std::string> target = keyedText(lines[2], "TARGET=");
    const std::optional<bool> base = keyedFlag(lines[3], "BASE_AUTH=");
    const std::optional<bool> cgi = keyedFlag(lines[4], "CGI_AUTH=");
    std::optional<std::string> user = keyedText(lines[5], "USER=");
    std::optional<std::string> password = keyedText(lines[6], "PASSWORD=");
    std::optional<std::string> mail = keyedText(lines[7], "MAIL=");
    const std::optional<bool> https = keyedFlag(lines[8], "HTTPS=");
    const std::optional<bool> certificate = keyedFlag(lines[9], "CERTIFICATE=");
    const std::optional<int> chunk = keyedNumber(lines[10], "CHUNKSIZE=");
    // The server names the configuration and is the host to reach: it cannot be empty or blank.
    if (!server || server->empty() || hasBlank(*server) || !target || !base || !cgi || !user ||
        !password || !mail || !https || !certificate || !chunk) {
        return std::nullopt;
    }
    content.server = std::move(*server);
    content.target = std::move(*target);
    content.needsAuthBase = *base;
    content.needsAuthCgi = *cgi;
    content.userName = std::move(*user);
    content.password = std::move(*password);
    content.mailAddress = std::move(*mail);
    content.useHttps = *https;
    content.needsCert = *certificate;
    content.chunkSizeKb = *chunk;
    for (std::size_t i = 11; i < lines.size(); ++i) {
        content.certificate += lines[i];
    }
    return content;
}

const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

} // namespace

std::string storedPassphrase(std::string_view clear) {
    static constexpr std::string_view kDigits = "0123456789abcdef";
    std::string stored;
    stored.reserve(clear.size() * 2);
    for (std::size_t i = 0; i < clear.size(); ++i) {
        const auto byte = static_cast<unsigned char>(
            static_cast<unsigned char>(clear[i]) ^
            static_cast<unsigned char>(kPassphraseKey[i % kPassphraseKey.size()]));
        stored.push_back(kDigits[byte >> 4]);
        stored.push_back(kDigits[byte & 0x0F]);
    }
    return stored;
}

std::string passphraseFromStored(std::string_view stored) {
    std::string clear;
    std::size_t index = 0;
    decipher(stored, kPassphraseKey, index, clear);
    return clear;
}

std::optional<ServerFileContent>
decodeServerFile(std::istream& in, std::string_view passphrase, ServerFileFault* fault) {
    auto refuse = [fault](ServerFileFault why) -> std::optional<ServerFileContent> {
        if (fault != nullptr) {
            *fault = why;
        }
        return std::nullopt;
    };
    if (fault != nullptr) {
        *fault = ServerFileFault::None;
    }
    std::streambuf* buffer = in.rdbuf();
    if (!in || buffer == nullptr) {
        return refuse(ServerFileFault::Unreadable);
    }

    std::vector<std::string> payload;
    int markers = 0;
    std::optional<CheckValues> check;
    std::string line;
    while (true) {
        const LineRead read = readLine(*buffer, line);
        if (read == LineRead::End) {
            break;
        }
        if (read == LineRead::TooLong) {
            return refuse(ServerFileFault::TooLarge);
        }
        if (line == kMarker) {
            if (++markers > 2) {
                return refuse(ServerFileFault::Structure);
            }
        } else if (line.starts_with(kCheckPrefix)) {
            if (markers < 2 || check) {
                return refuse(ServerFileFault::Structure);
            }
            check = parseCheck(std::string_view(line).substr(kCheckPrefix.size()));
            if (!check) {
                return refuse(ServerFileFault::Structure);
            }
        } else {
            if (payload.size() == kMaxServerFilePayloadLines) {
                return refuse(ServerFileFault::TooLarge);
            }
            payload.push_back(line);
        }
    }
    // The check line stands after the second marker, so a file without it is not whole.
    if (!check) {
        return refuse(ServerFileFault::Structure);
    }

    // The payload's characters are counted as one stream across its lines.
    std::uint64_t even = 0;
    std::uint64_t odd = 0;
    std::uint64_t total = 0;
    for (const std::string& text : payload) {
        for (const char c : text) {
            (total % 2 == 0 ? even : odd) += static_cast<unsigned char>(c);
            ++total;
        }
    }
    const CheckValues expected{even, payload.size(), odd, total / 2};
    if (*check != expected) {
        return refuse(ServerFileFault::PayloadCheck);
    }

    if (passphrase.empty()) {
        return refuse(ServerFileFault::Passphrase);
    }
    std::vector<std::string> lines;
    lines.reserve(payload.size());
    std::size_t index = 0;
    for (const std::string& text : payload) {
        std::string bytes;
        decipher(text, passphrase, index, bytes);
        lines.push_back(std::move(bytes));
    }
    if (lines.empty() || lines.front() != kProof) {
        return refuse(ServerFileFault::Passphrase);
    }
    std::optional<ServerFileContent> content = readContent(lines);
    if (!content) {
        return refuse(ServerFileFault::Content);
    }
    return content;
}

namespace {

// The values of one configuration as they stood before an import, to put back when the import
// cannot be completed.
class SectionSnapshot {
public:
    SectionSnapshot(const workspace::Settings& settings, std::string_view name)
        : m_name(name) {
        const std::vector<std::string> top = settings.subsections(workspace::SectionPath());
        m_parentExisted = std::find(top.begin(), top.end(), kServerSection) != top.end();
        const std::vector<std::string> names = configurationNames(settings);
        m_existed = std::find(names.begin(), names.end(), name) != names.end();
        if (!m_existed) {
            return;
        }
        const workspace::SectionPath section{kServerSection, name};
        auto keep = [&](std::string key) {
            if (std::optional<std::string> text = settings.text(section, key)) {
                m_values.push_back({std::move(key), std::move(*text)});
            } else if (std::optional<long long> number = settings.integer(section, key)) {
                m_values.push_back({std::move(key), *number});
            }
        };
        keep(std::string(kPathCertKey));
        keep(std::string(kPassPhraseKey));
        for (const std::string_view key : kValueKeys) {
            keep(std::string(key));
            keep("Save" + std::string(key));
        }
    }

    void restore(workspace::Settings& settings) const {
        if (!m_parentExisted) {
            settings.removeSection(kServerSection);
            return;
        }
        const workspace::SectionPath section{kServerSection, m_name};
        if (!m_existed) {
            settings.removeSection(section);
            return;
        }
        for (const auto& [key, value] : m_values) {
            if (const auto* text = std::get_if<std::string>(&value)) {
                settings.setText(section, key, *text);
            } else {
                settings.setInteger(section, key, std::get<long long>(value));
            }
        }
    }

private:
    std::string m_name;
    bool m_parentExisted = false;
    bool m_existed = false;
    std::vector<std::pair<std::string, std::variant<std::string, long long>>> m_values;
};

// Every value of an imported configuration, plain and as its "Save" twin.
bool storeConfiguration(workspace::Settings& settings,
                        const ServerFileContent& content,
                        const fs::path& certificate,
                        std::string_view passphrase) {
    const workspace::SectionPath section{kServerSection, content.server};
    bool done = settings.setText(section, kPathCertKey, certificate.string()) &&
                settings.setText(section, kPassPhraseKey, storedPassphrase(passphrase));
    auto both = [&](std::string_view key, auto value) {
        const std::string save = "Save" + std::string(key);
        if constexpr (std::is_same_v<decltype(value), long long>) {
            done = done && settings.setInteger(section, key, value) &&
                   settings.setInteger(section, save, value);
        } else {
            done = done && settings.setText(section, key, value) &&
                   settings.setText(section, save, value);
        }
    };
    both(kNeedsAuthBaseKey, static_cast<long long>(content.needsAuthBase));
    both(kNeedsAuthCgiKey, static_cast<long long>(content.needsAuthCgi));
    both(kUserNameKey, std::string_view(content.userName));
    both(kPasswordKey, std::string_view(content.password));
    both(kMailAddressKey, std::string_view(content.mailAddress));
    both(kServerKey, std::string_view(content.server));
    both(kTargetKey, std::string_view(content.target));
    both(kUseHttpsKey, static_cast<long long>(content.useHttps));
    both(kNeedsCertKey, static_cast<long long>(content.needsCert));
    both(kChunkSizeKey, static_cast<long long>(content.chunkSizeKb));
    return done;
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
    const SectionSnapshot before(settings, content->server);
    if (!storeConfiguration(settings, *content, certificate, *passphrase) || !settings.save()) {
        ::unlink(temporary->c_str());
        before.restore(settings);
        ui.Message(fmt::format("{}impossibile scrivere la configurazione \"{}\" nel file delle "
                               "impostazioni {}",
                               kCannotStore,
                               content->server,
                               settings.path().string()),
                   ui::Icon::Stop);
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

std::vector<std::string> configurationNames(const workspace::Settings& settings) {
    return settings.subsections(kServerSection);
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

// The values the connection dialog shows and stores.
struct ConnectionValues {
    bool needsAuthBase = false;
    bool needsAuthCgi = false;
    std::string userName;
    std::string password;
    std::string mailAddress;
    std::string server;
    std::string target;
    bool useHttps = false;
    bool needsCert = false;
    int chunkSizeKb = 0;
};

// The plain values ("") or the imported ones ("Save"). A missing number counts as 0, and a
// certificate is never asked for without HTTPS.
ConnectionValues loadValues(const workspace::Settings& settings,
                            const workspace::SectionPath& section,
                            std::string_view prefix) {
    auto number = [&](std::string_view key) {
        return settings.integer(section, std::string(prefix) + std::string(key)).value_or(0);
    };
    auto text = [&](std::string_view key) {
        return settings.text(section, std::string(prefix) + std::string(key))
            .value_or(std::string());
    };
    ConnectionValues values;
    values.needsAuthBase = number(kNeedsAuthBaseKey) != 0;
    values.needsAuthCgi = number(kNeedsAuthCgiKey) != 0;
    values.userName = text(kUserNameKey);
    values.password = text(kPasswordKey);
    values.mailAddress = text(kMailAddressKey);
    values.server = text(kServerKey);
    values.target = text(kTargetKey);
    values.useHttps = number(kUseHttpsKey) != 0;
    values.needsCert = values.useHttps && number(kNeedsCertKey) != 0;
    const long long chunk = number(kChunkSizeKey);
    values.chunkSizeKb =
        chunk >= 0 && chunk <= std::numeric_limits<int>::max() ? static_cast<int>(chunk) : 0;
    return values;
}

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
    const std::optional<int> port = wholeNumber<int>(server.substr(colon + 1));
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
        wholeNumber<int>(store::trimBlanks(valueOf(shown, kChunkSizeField)));
    if (!chunk || (values.useHttps && *chunk == 0)) {
        return refusal("il valore di ChunkSize non è valido.",
                       "La dimensione dei segmenti va espressa in KB come numero intero da 1 a "
                       "2147483647.");
    }
    values.chunkSizeKb = *chunk;
    return values;
}

bool storeValues(workspace::Settings& settings,
                 const workspace::SectionPath& section,
                 const ConnectionValues& values) {
    return settings.setInteger(section, kNeedsAuthBaseKey, values.needsAuthBase) &&
           settings.setInteger(section, kNeedsAuthCgiKey, values.needsAuthCgi) &&
           settings.setText(section, kUserNameKey, values.userName) &&
           settings.setText(section, kPasswordKey, values.password) &&
           settings.setText(section, kMailAddressKey, values.mailAddress) &&
           settings.setText(section, kServerKey, values.server) &&
           settings.setText(section, kTargetKey, values.target) &&
           settings.setInteger(section, kUseHttpsKey, values.useHttps) &&
           settings.setInteger(section, kNeedsCertKey, values.needsCert) &&
           settings.setInteger(section, kChunkSizeKey, values.chunkSizeKb) && settings.save();
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
    const workspace::SectionPath section{kServerSection, name};
    const ui::FormSpec spec =
        connectionForm(loadValues(settings, section, ""), loadValues(settings, section, "Save"));
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
    if (!storeValues(settings, section, *values)) {
        ui.Message(fmt::format("ATTENZIONE: non è possibile registrare i parametri di connessione "
                               "nel file delle impostazioni\n\n{}",
                               settings.path().string()),
                   ui::Icon::Exclamation);
    }

    UploadParameters parameters;
    parameters.configuration = name;
    parameters.server = values->server;
    parameters.target = values->target;
    parameters.userName = values->userName;
    parameters.password = values->password;
    parameters.mailAddress = values->mailAddress;
    parameters.needsAuthBase = values->needsAuthBase;
    parameters.needsAuthCgi = values->needsAuthCgi;
    parameters.useHttps = values->useHttps;
    parameters.needsCert = values->needsCert;
    parameters.certificatePassphrase =
        passphraseFromStored(settings.text(section, kPassPhraseKey).value_or(std::string()));
    parameters.certificatePath = settings.text(section, kPathCertKey).value_or(std::string());
    parameters.chunkSizeKb = values->chunkSizeKb;
    return parameters;
}

} // namespace tramela::comm::xml
