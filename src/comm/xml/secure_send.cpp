#include "comm/xml/secure_send.h"

#include "comm/xml/upload_request.h"
#include "ui/ui.h"
#include "workspace/settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tramela::comm::xml {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSenderKey = "PthExe";
constexpr std::string_view kTesterKey = "TestExe";
constexpr std::string_view kCaFileKey = "CaFile";

constexpr std::string_view kNotInstalled =
    "Non risulta installato il componente VkzSecureSend,\n"
    "quindi non è possibile attivare la trasmissione sicura HTTPS\n\n"
    "Per attivare questa funzionalità occorre installare VkzSecureSend";
constexpr std::string_view kStartFailed =
    "Non risulta possibile attivare il componente VkzSecureSend\n\ncausa: ";
constexpr std::string_view kTesterRefused =
    "VkzSecureTest non è riuscito a verificare il certificato PEM ...\n\n"
    "Presumibilmente la passphrase non corrisponde ...";
constexpr std::string_view kCertificateTestFailed =
    "La verifica del certificato digitale è fallita ...\n\n"
    "Presumibilmente occorre ripetere l'installazione\n"
    "della configurazione del server SIRVENTA\n";
constexpr std::string_view kNoCertificateAndKey =
    "Il file PEM non contiene un certificato digitale\n"
    "con la chiave privata corrispondente\n\n";
constexpr std::string_view kSenderMissing =
    "Il componente VkzSecureSend.exe non risulta accessibile\n\n"
    "Presumibilmente l'installazione di VkzSecureSend è corrotta\n\n"
    "Si consiglia di installare nuovamente VkzSecureSend";
constexpr std::string_view kSenderFailed =
    "VkzSecureSend non è riuscito a portare a termine la trasmissione ...\n\n";
constexpr std::string_view kUploadFailed =
    "La trasmissione sicura HTTPS al server SIRVENTA non è riuscita\n\n";
constexpr std::string_view kBadServer = "Nome del server non valido: ";

constexpr std::string_view kCannotOpen = "Impossibile aprire\n\n";
constexpr std::string_view kCannotSize = "Impossibile determinare dimensione\n\n";
constexpr std::string_view kCannotRewind = "Impossibile posizionare in testa\n\n";
constexpr std::string_view kReadError = "Errore lettura\n\n";
constexpr std::string_view kPrematureEnd = "Fine prematura del file\n\n";

// The body goes out in pieces of at most this size, and the answer kept is at most this long,
// as over plain HTTP.
constexpr std::size_t kPieceSize = 65536;
constexpr std::size_t kAnswerCapacity = 65536;

struct ProgramSetting {
    enum class State { BuiltIn, Named, Broken };
    State state = State::BuiltIn;
    fs::path path;
};

bool hasValue(const workspace::Settings& settings,
              const workspace::SectionPath& section,
              std::string_view key) {
    return settings.text(section, key) || settings.integer(section, key) ||
           settings.boolean(section, key);
}

// Which program stands for the sender or the tester: the one the settings name, the built-in
// one when they name none (no section, no value or an empty text), or none at all when the
// entry is there but is not what it must be (`securesend = "x"`, `PthExe = 1`).
ProgramSetting programSetting(const workspace::Settings& settings, std::string_view key) {
    if (hasValue(settings, workspace::SectionPath(), kSecureSendSection)) {
        return {ProgramSetting::State::Broken, {}};
    }
    const workspace::SectionPath section(kSecureSendSection);
    if (const auto path = settings.text(section, key)) {
        if (path->empty()) {
            return {};
        }
        return {ProgramSetting::State::Named, fs::path(*path)};
    }
    if (hasValue(settings, section, key)) {
        return {ProgramSetting::State::Broken, {}};
    }
    return {};
}

struct ProgramRun {
    int startError = 0; // the start call's error; 0 when the program ran
    int exitCode = -1;  // 128 + the signal when killed; -1 when its end could not be awaited
};

// Starts the program with these arguments (argv[0] included) and waits for it. Its standard
// input and output are /dev/null, so that it neither waits for input nor mixes its output into
// the command's own; standard error stays ours, for its diagnostics.
ProgramRun runProgram(const fs::path& program, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return {error, -1};
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return {0, -1};
        }
    }
    if (WIFEXITED(status)) {
        return {0, WEXITSTATUS(status)};
    }
    return {0, WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1};
}

std::string_view startFailureCause(int error) {
    switch (error) {
    case E2BIG:
        return "Argument list exceeds 1024 bytes";
    case EINVAL:
        return "mode argument is invalid";
    case ENOENT:
    case ENOTDIR: // a folder on the way is a file: the path is not found either
        return "File or path is not found";
    case ENOEXEC:
    case EACCES:
        return "Specified file is not executable or has invalid executable-file format";
    case ENOMEM:
        return "Not enough memory is available to execute new process";
    default:
        return "Non specificata";
    }
}

void showStartFailure(ui::Ui& ui, int error) {
    ui.Message(fmt::format("{}{}", kStartFailed, startFailureCause(error)), ui::Icon::Stop);
}

// The programs take an empty text as a single "-". The arguments go to the program as they are,
// one each, so blanks and quotes inside them need no quoting.
std::string argumentText(std::string_view value) {
    return value.empty() ? std::string("-") : std::string(value);
}

bool runTester(ui::Ui& ui, const fs::path& tester, const UploadParameters& parameters) {
    const ProgramRun run = runProgram(tester,
                                      {"VkzSecureTest",
                                       argumentText(parameters.certificatePath.string()),
                                       argumentText(parameters.certificatePassphrase)});
    if (run.startError != 0) {
        showStartFailure(ui, run.startError);
        return false;
    }
    if (run.exitCode != 0) {
        ui.Message(kTesterRefused, ui::Icon::Stop);
        return false;
    }
    return true;
}

// A private folder for the sender's response file: "tmprsp<pid>.txt" under the system's
// temporary folder, in a folder of our own (mode 0700) so that no other user can plant or read
// the file. When no such folder can be made, the current folder holds it.
class ResponseFolder {
public:
    ResponseFolder() {
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        if (error) {
            return;
        }
        std::string pattern = (base / "tramela-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }

    ~ResponseFolder() {
        if (!m_path.empty()) {
            std::error_code ignored;
            fs::remove_all(m_path, ignored);
        }
    }

    ResponseFolder(const ResponseFolder&) = delete;
    ResponseFolder& operator=(const ResponseFolder&) = delete;

    fs::path file(std::string_view name) const { return m_path / name; }

private:
    fs::path m_path;
};

// The whole response file as the answer. A sender that wrote none gives an empty answer, which
// the judgement reports as missing.
std::string readResponse(ui::Ui& ui, const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    const auto size = fs::file_size(path, error);
    if (!in || error) {
        ui.Message(fmt::format("{}{}", kCannotOpen, path.string()), ui::Icon::Exclamation);
        return {};
    }
    std::string answer(size, '\0');
    in.read(answer.data(), static_cast<std::streamsize>(size));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    if (got < size) {
        ui.Message(fmt::format("{}{}", kPrematureEnd, path.string()), ui::Icon::Exclamation);
        answer.resize(got);
    }
    return answer;
}

TransferResult sendThroughSender(ui::Ui& ui,
                                 const fs::path& sender,
                                 const UploadParameters& parameters,
                                 const fs::path& package) {
    std::error_code error;
    if (!fs::exists(sender, error)) {
        ui.Message(kSenderMissing, ui::Icon::Stop);
        return {};
    }
    const ResponseFolder folder;
    const fs::path response = folder.file(fmt::format("tmprsp{}.txt", ::getpid()));
    fs::remove(response, error);
    const ProgramRun run = runProgram(
        sender,
        {"VkzSecureSend",
         "https",
         parameters.needsAuthBase || parameters.needsAuthCgi ? "useauth" : "noauth",
         parameters.needsCert ? "usecert" : "nocert",
         argumentText(parameters.server),
         argumentText(package.string()),
         argumentText(response.string()),
         argumentText(parameters.target),
         "Tramela",
         argumentText(parameters.mailAddress),
         argumentText(parameters.userName),
         argumentText(parameters.password),
         argumentText(parameters.needsCert ? parameters.certificatePath.string() : std::string()),
         argumentText(parameters.certificatePassphrase),
         fmt::format("{}", parameters.chunkSizeKb)});
    if (run.startError != 0) {
        showStartFailure(ui, run.startError);
        return {};
    }
    if (run.exitCode != 0) {
        ui.Message(kSenderFailed, ui::Icon::Stop);
        fs::remove(response, error);
        return {};
    }
    TransferResult result;
    result.delivered = true;
    result.answer = readResponse(ui, response);
    fs::remove(response, error);
    return result;
}

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// Hands OpenSSL the passphrase; a passphrase longer than OpenSSL's buffer cannot be right.
int passphraseCallback(char* buffer, int size, int, void* user) {
    const auto& passphrase = *static_cast<const std::string*>(user);
    if (size < 0 || passphrase.size() > static_cast<std::size_t>(size)) {
        return -1;
    }
    std::memcpy(buffer, passphrase.data(), passphrase.size());
    return static_cast<int>(passphrase.size());
}

// Without a callback OpenSSL would ask for a passphrase on the terminal.
int noPassphrase(char*, int, int, void*) {
    return -1;
}

std::unique_ptr<BIO, BioFree> memoryBio(const std::string& bytes) {
    return std::unique_ptr<BIO, BioFree>(BIO_new_mem_buf(
        bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30))));
}

// The PEM file the configuration's import wrote holds the client certificate and its private
// key, usually encrypted with the passphrase.
bool checkCertificate(ui::Ui& ui, const UploadParameters& parameters) {
    const fs::path& path = parameters.certificatePath;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ui.Message(fmt::format("{}{}", kCannotOpen, path.string()), ui::Icon::Stop);
        return false;
    }
    const std::string pem{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ERR_clear_error();
    const auto certificateBio = memoryBio(pem);
    const std::unique_ptr<X509, X509Free> certificate(
        certificateBio ? PEM_read_bio_X509(certificateBio.get(), nullptr, noPassphrase, nullptr)
                       : nullptr);
    std::string passphrase = parameters.certificatePassphrase;
    const auto keyBio = memoryBio(pem);
    const std::unique_ptr<EVP_PKEY, KeyFree> key(
        keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, passphraseCallback, &passphrase)
               : nullptr);
    const bool matches =
        certificate && key && X509_check_private_key(certificate.get(), key.get()) == 1;
    // OpenSSL's error queue is per thread and shared with libcurl: leave it clean.
    ERR_clear_error();
    if (matches) {
        return true;
    }
    // A key that is there but does not open is a passphrase that does not fit; anything else is
    // a file that is not what it should be.
    const bool keyPresent = pem.find("PRIVATE KEY-----") != std::string::npos;
    if (certificate && keyPresent && !key) {
        ui.Message(kTesterRefused, ui::Icon::Stop);
    } else {
        ui.Message(fmt::format("{}{}", kNoCertificateAndKey, path.string()), ui::Icon::Stop);
    }
    return false;
}

// A host name or address, with an optional port: nothing that would change the URL's meaning
// ("host/other", "user@host") or break the Host line.
bool isServerName(std::string_view server) {
    if (server.empty()) {
        return false;
    }
    return std::all_of(server.begin(), server.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
    });
}

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The body as curl asks for it: form prefix, package read from its file, form suffix. The
// package is streamed, not held in memory, and must keep the length measured before sending.
struct BodySource {
    ui::Ui& ui;
    const fs::path& path;
    std::string_view prefix;
    std::string_view suffix;
    std::FILE* file = nullptr;
    std::uint64_t packageSize = 0;
    std::uint64_t total = 0;
    std::uint64_t sent = 0;
    bool failed = false;
};

std::size_t readBody(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& body = *static_cast<BodySource*>(user);
    if (body.sent >= body.total) {
        return 0;
    }
    body.ui.Progress(static_cast<int>(body.sent * 100 / body.total));
    const std::size_t room = std::min(size * count, kPieceSize);
    const std::uint64_t packageEnd = body.prefix.size() + body.packageSize;
    std::size_t filled = 0;
    while (filled < room && body.sent < body.total) {
        std::size_t piece = 0;
        if (body.sent < body.prefix.size()) {
            piece = static_cast<std::size_t>(
                std::min<std::uint64_t>(room - filled, body.prefix.size() - body.sent));
            std::memcpy(buffer + filled, body.prefix.data() + body.sent, piece);
        } else if (body.sent < packageEnd) {
            const auto wanted = static_cast<std::size_t>(
                std::min<std::uint64_t>(room - filled, packageEnd - body.sent));
            piece = std::fread(buffer + filled, 1, wanted, body.file);
            if (piece < wanted) {
                const std::string_view reason = std::ferror(body.file) ? kReadError : kPrematureEnd;
                body.ui.Message(fmt::format("{}{}", reason, body.path.string()),
                                ui::Icon::Exclamation);
                body.failed = true;
                return CURL_READFUNC_ABORT;
            }
        } else {
            const std::uint64_t offset = body.sent - packageEnd;
            piece = static_cast<std::size_t>(
                std::min<std::uint64_t>(room - filled, body.suffix.size() - offset));
            std::memcpy(buffer + filled, body.suffix.data() + offset, piece);
        }
        filled += piece;
        body.sent += piece;
    }
    return filled;
}

// Status line, headers and body in the order received, as one answer. Only the first bytes
// are kept, as over plain HTTP; the rest is still read so that the exchange ends normally.
std::size_t collectAnswer(char* data, std::size_t size, std::size_t count, void* user) {
    auto& answer = *static_cast<std::string*>(user);
    const std::size_t length = size * count;
    if (answer.size() < kAnswerCapacity) {
        answer.append(data, std::min(length, kAnswerCapacity - answer.size()));
    }
    return length;
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct HeaderListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The header lines of the plain request except its request line, which curl writes from the
// URL; one more line stops curl from adding "Expect: 100-continue" to a large body.
std::unique_ptr<curl_slist, HeaderListFree> headerList(const std::vector<std::string>& writes) {
    std::string block;
    for (const std::string& write : writes) {
        block += write;
    }
    curl_slist* list = nullptr;
    std::size_t start = block.find("\r\n");
    start = start == std::string::npos ? block.size() : start + 2;
    while (start < block.size()) {
        std::size_t end = block.find("\r\n", start);
        if (end == std::string::npos) {
            end = block.size();
        }
        if (end > start) {
            list = curl_slist_append(list, block.substr(start, end - start).c_str());
        }
        start = end + 2;
    }
    list = curl_slist_append(list, "Expect:");
    return std::unique_ptr<curl_slist, HeaderListFree>(list);
}

TransferResult sendThroughCurl(ui::Ui& ui,
                               const workspace::Settings& settings,
                               const UploadParameters& parameters,
                               const fs::path& package) {
    if (!isServerName(parameters.server)) {
        ui.Message(fmt::format("{}{}{}", kUploadFailed, kBadServer, parameters.server),
                   ui::Icon::Stop);
        return {};
    }
    const std::unique_ptr<std::FILE, FileClose> file(std::fopen(package.c_str(), "rb"));
    if (!file) {
        ui.Message(fmt::format("{}{}", kCannotOpen, package.string()), ui::Icon::Exclamation);
        return {};
    }
    off_t packageSize = -1;
    if (::fseeko(file.get(), 0, SEEK_END) == 0) {
        packageSize = ::ftello(file.get());
    }
    if (packageSize < 0) {
        ui.Message(fmt::format("{}{}", kCannotSize, package.string()), ui::Icon::Exclamation);
        return {};
    }
    if (::fseeko(file.get(), 0, SEEK_SET) != 0) {
        ui.Message(fmt::format("{}{}", kCannotRewind, package.string()), ui::Icon::Exclamation);
        return {};
    }

    // The form names the package by its file name alone: the server has no use for our folders.
    const MultipartForm form = buildMultipartForm(parameters, package.filename().string());
    BodySource body{ui, package, form.prefix, form.suffix};
    body.file = file.get();
    body.packageSize = static_cast<std::uint64_t>(packageSize);
    body.total = form.bodyLength(static_cast<std::size_t>(packageSize));
    const auto headers = headerList(requestHeaderWrites(parameters, body.total));

    std::string target = parameters.target;
    if (target.empty() || target.front() != '/') {
        target.insert(target.begin(), '/');
    }
    const std::string url = fmt::format("https://{}{}", parameters.server, target);
    const std::string caFile = settings.text(workspace::SectionPath(kSecureSendSection), kCaFileKey)
                                   .value_or(std::string());

    initialiseCurl();
    const std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl) {
        ui.Message(fmt::format("{}{}", kUploadFailed, curl_easy_strerror(CURLE_FAILED_INIT)),
                   ui::Icon::Stop);
        return {};
    }
    CURL* handle = curl.get();
    char errorText[CURL_ERROR_SIZE] = {};
    std::string answer;
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    // The request is the plain one, byte for byte in its headers: HTTP/1.1, not HTTP/2.
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.total));
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(handle, CURLOPT_READDATA, &body);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, collectAnswer);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &answer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collectAnswer);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str());
        curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    }
    if (parameters.needsCert) {
        const std::string certificate = parameters.certificatePath.string();
        curl_easy_setopt(handle, CURLOPT_SSLCERT, certificate.c_str());
        curl_easy_setopt(handle, CURLOPT_SSLCERTTYPE, "PEM");
        curl_easy_setopt(handle, CURLOPT_SSLKEY, certificate.c_str());
        curl_easy_setopt(handle, CURLOPT_SSLKEYTYPE, "PEM");
        curl_easy_setopt(handle, CURLOPT_KEYPASSWD, parameters.certificatePassphrase.c_str());
    }
    // A server that stops answering ends the transfer instead of holding the command forever;
    // a slow but moving upload of a large package is left alone.
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 60L);

    const CURLcode code = curl_easy_perform(handle);
    if (body.failed) {
        return {};
    }
    if (code != CURLE_OK) {
        ui.Message(fmt::format("{}{}",
                               kUploadFailed,
                               errorText[0] != '\0' ? errorText : curl_easy_strerror(code)),
                   ui::Icon::Stop);
        return {};
    }
    ui.Progress(0);
    TransferResult result;
    result.delivered = true;
    result.answer = std::move(answer);
    return result;
}

} // namespace

bool testCertificate(ui::Ui& ui,
                     const workspace::Settings& settings,
                     const UploadParameters& parameters) {
    if (!parameters.needsCert) {
        return true;
    }
    const ProgramSetting tester = programSetting(settings, kTesterKey);
    bool passed = false;
    switch (tester.state) {
    case ProgramSetting::State::Broken:
        ui.Message(kNotInstalled, ui::Icon::Stop);
        break;
    case ProgramSetting::State::Named:
        passed = runTester(ui, tester.path, parameters);
        break;
    case ProgramSetting::State::BuiltIn:
        passed = checkCertificate(ui, parameters);
        break;
    }
    if (!passed) {
        ui.Message(kCertificateTestFailed, ui::Icon::Stop);
    }
    return passed;
}

TransferResult sendSecureUpload(ui::Ui& ui,
                                const workspace::Settings& settings,
                                const UploadParameters& parameters,
                                const std::filesystem::path& package) {
    const ProgramSetting sender = programSetting(settings, kSenderKey);
    switch (sender.state) {
    case ProgramSetting::State::Broken:
        ui.Message(kNotInstalled, ui::Icon::Stop);
        return {};
    case ProgramSetting::State::Named:
        return sendThroughSender(ui, sender.path, parameters, package);
    case ProgramSetting::State::BuiltIn:
        break;
    }
    return sendThroughCurl(ui, settings, parameters, package);
}

} // namespace tramela::comm::xml
