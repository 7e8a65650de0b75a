#include "comm/xml/http_upload.h"

#include "comm/xml/upload_request.h"
#include "ui/ui.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fmt/format.h>
#include <memory>
#include <netdb.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tramela::comm::xml {

namespace {

constexpr std::string_view kNetworkAdvice =
    "Non è possibile entrare in comunicazione con il server Sirventa\n"
    "Presumibilmente i parametri di connessione indicati sono errati\n\n"
    "Verificare i parametri di connessione al server Sirventa";

// The socket could not be created.
std::string_view creationErrorText(int error) {
    switch (error) {
    case EMFILE:
    case ENFILE:
        return "Non c'è un file libero per il socket";
    case EINPROGRESS:
        return "Operazione su socket bloccata";
    case EPROTOTYPE:
        return "La porta indicata è incompatibile con il socket";
    case ESOCKTNOSUPPORT:
        return "Il socket non è compatibile con l'address";
    case EPROTONOSUPPORT:
        return "La porta indicata per il socket non è supportata";
    case EAFNOSUPPORT:
        return "Indirizzo non supportato";
    case ENETDOWN:
        return "La rete non è disponibile";
    case ENOBUFS:
    case ENOMEM:
        return "Non c'è un buffer libero per il socket";
    default:
        return "Errore non identificato nella creazione del socket";
    }
}

// The connection could not be made. A host that cannot be reached counts as a network that
// cannot be reached.
std::string_view connectErrorText(int error) {
    switch (error) {
    case EFAULT:
        return "Socket fault durante Connect";
    case EINVAL:
        return "Socket: manca Binding";
    case EMFILE:
    case ENFILE:
        return "Non c'è un file libero per il socket";
    case EINPROGRESS:
    case EALREADY:
        return "Operazione su socket bloccata";
    case ENOTSOCK:
        return "Il descrittore non indica un socket";
    case EDESTADDRREQ:
        return "E' richiesto un indirizzo di destinazione";
    case EAFNOSUPPORT:
        return "Indirizzo IP non supportato";
    case EADDRINUSE:
        return "Address già utilizzato";
    case EADDRNOTAVAIL:
        return "Indirizzo IP sconosciuto";
    case ENETDOWN:
        return "La rete non è disponibile";
    case ENETUNREACH:
    case EHOSTUNREACH:
        return "Non è possibile accedere alla rete";
    case ENOBUFS:
        return "Non c'è un buffer libero per il socket";
    case EISCONN:
        return "Il socket è già connesso";
    case ETIMEDOUT:
        return "Timeout durante la connessione";
    case ECONNREFUSED:
        return "Il server ha rifiutato la connessione";
    default:
        return "Errore non identificato nella Connect del socket";
    }
}

struct HostAndPort {
    std::string host;
    std::string port;
};

// "host", "host:port", "[address]" or "[address]:port"; a bare IPv6 address (more than one
// colon) has no port. nullopt when the host is missing or the port is not 1..65535.
std::optional<HostAndPort> splitServer(std::string_view server) {
    HostAndPort split{std::string(server), "80"};
    std::string_view port;
    bool hasPort = false;
    if (server.starts_with('[')) {
        const auto close = server.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        split.host = server.substr(1, close - 1);
        const std::string_view rest = server.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return std::nullopt;
            }
            port = rest.substr(1);
            hasPort = true;
        }
    } else if (std::count(server.begin(), server.end(), ':') == 1) {
        const auto colon = server.find(':');
        split.host = server.substr(0, colon);
        port = server.substr(colon + 1);
        hasPort = true;
    }
    if (split.host.empty()) {
        return std::nullopt;
    }
    if (hasPort) {
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        const int number = std::stoi(std::string(port));
        if (number < 1 || number > 65535) {
            return std::nullopt;
        }
        split.port = std::to_string(number);
    }
    return split;
}

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

bool setBlocking(int socket, bool blocking) {
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 &&
           ::fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

// Connects the socket within the time-out; 0 or the error.
int connectWithin(int socket,
                  const sockaddr* address,
                  socklen_t length,
                  std::chrono::milliseconds timeout) {
    if (!setBlocking(socket, false)) {
        return errno;
    }
    if (::connect(socket, address, length) != 0) {
        if (errno != EINPROGRESS) {
            return errno;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return ETIMEDOUT;
            }
            pollfd pfd{socket, POLLOUT, 0};
            const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready < 0) {
                return errno;
            }
            if (ready == 0) {
                return ETIMEDOUT;
            }
            break;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
            return errno;
        }
        if (error != 0) {
            return error;
        }
    }
    return setBlocking(socket, true) ? 0 : errno;
}

void showNetworkError(ui::Ui& ui, std::string_view operation, int error) {
    ui.Message(fmt::format("{}: errore di rete ({})\n\n{}", operation, error, kNetworkAdvice),
               ui::Icon::Stop);
}

// The package read whole between the form's prefix and suffix; nullopt after a reported failure.
std::optional<std::string>
readBody(ui::Ui& ui, const std::filesystem::path& package, const MultipartForm& form) {
    const auto fail = [&](std::string_view text) {
        ui.Message(fmt::format("{}\n\n{}", text, package.string()), ui::Icon::Exclamation);
        return std::nullopt;
    };
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(package.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        return fail("Impossibile aprire");
    }
    off_t size = -1;
    if (::fseeko(file.get(), 0, SEEK_END) == 0) {
        size = ::ftello(file.get());
    }
    if (size < 0) {
        return fail("Impossibile determinare dimensione");
    }
    if (::fseeko(file.get(), 0, SEEK_SET) != 0) {
        return fail("Impossibile posizionare in testa");
    }
    const auto length = static_cast<std::size_t>(size);
    std::string body;
    body.reserve(form.bodyLength(length));
    body = form.prefix;
    body.resize(form.prefix.size() + length);
    const std::size_t got = std::fread(body.data() + form.prefix.size(), 1, length, file.get());
    if (got < length) {
        return fail(std::ferror(file.get()) ? "Errore lettura" : "Fine prematura del file");
    }
    body += form.suffix;
    return body;
}

} // namespace

HttpConnection::HttpConnection(ui::Ui& ui, std::chrono::milliseconds connectTimeout)
    : m_ui(ui)
    , m_connectTimeout(connectTimeout) {}

HttpConnection::~HttpConnection() {
    if (m_socket >= 0) {
        ::close(m_socket);
    }
}

bool HttpConnection::openConnection(std::string_view server) {
    if (m_socket >= 0) {
        m_ui.Message(connectErrorText(EISCONN), ui::Icon::Stop);
        return false;
    }
    const auto split = splitServer(server);
    if (!split) {
        m_ui.Message(fmt::format("Indirizzo del server non valido\n\n{}", server), ui::Icon::Stop);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(split->host.c_str(), split->port.c_str(), &hints, &found);
    if (resolved != 0) {
        m_ui.Message(fmt::format("Impossibile risolvere il nome del server {}\n\n{}",
                                 split->host,
                                 ::gai_strerror(resolved)),
                     ui::Icon::Stop);
        return false;
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);

    // Each address of the name is tried in turn; only the last failure is shown.
    std::string_view failure = "Errore non identificato nella Connect del socket";
    for (const addrinfo* address = addresses.get(); address != nullptr;
         address = address->ai_next) {
        const int socket =
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (socket < 0) {
            failure = creationErrorText(errno);
            continue;
        }
        const int error =
            connectWithin(socket, address->ai_addr, address->ai_addrlen, m_connectTimeout);
        if (error != 0) {
            ::close(socket);
            failure = connectErrorText(error);
            continue;
        }
        const int bufferSize = static_cast<int>(kNetworkPiece);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
        timeval sendTimeout{};
        sendTimeout.tv_sec = static_cast<time_t>(kSendTimeout.count() / 1000);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
        m_socket = socket;
        return true;
    }
    m_ui.Message(failure, ui::Icon::Stop);
    return false;
}

bool HttpConnection::sendAll(std::string_view bytes) {
    if (m_socket < 0) {
        return false;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        m_ui.Progress(static_cast<int>(sent * 100 / bytes.size()));
        const std::string_view piece = bytes.substr(sent, kNetworkPiece);
        std::size_t written = 0;
        while (written < piece.size()) {
            // MSG_NOSIGNAL: a server that closed the connection gives EPIPE, not a signal that
            // would end the program.
            const ssize_t n =
                ::send(m_socket, piece.data() + written, piece.size() - written, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                showNetworkError(m_ui, "Send", n < 0 ? errno : EPIPE);
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        sent += piece.size();
    }
    m_ui.Progress(0);
    return true;
}

bool HttpConnection::receiveAll(std::string& answer, std::size_t capacity) {
    answer.clear();
    if (capacity > kAnswerCapacity) {
        m_ui.Message(fmt::format("Receive: buffer eccessivo ({})", capacity), ui::Icon::Stop);
        return false;
    }
    if (m_socket < 0) {
        return false;
    }
    answer.resize(capacity);
    std::size_t filled = 0;
    int idle = 0;
    // The answer ends when the buffer is full, when the server closes the connection, or after
    // four quarter-seconds without a byte.
    while (filled < capacity && idle < 4) {
        pollfd pfd{m_socket, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, 250);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            ++idle;
            continue;
        }
        const ssize_t n =
            ready < 0 ? -1 : ::recv(m_socket, answer.data() + filled, capacity - filled, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            answer.clear();
            showNetworkError(m_ui, "Receive", error);
            return false;
        }
        if (n == 0) {
            break;
        }
        filled += static_cast<std::size_t>(n);
        idle = 0;
    }
    answer.resize(filled);
    return true;
}

TransferResult sendHttpUpload(ui::Ui& ui,
                              const UploadParameters& parameters,
                              const std::filesystem::path& package) {
    TransferResult result;
    const MultipartForm form = buildMultipartForm(parameters, package.filename().string());
    const auto body = readBody(ui, package, form);
    if (!body) {
        return result;
    }

    HttpConnection connection(ui);
    if (!connection.openConnection(parameters.server)) {
        return result;
    }
    bool sent = true;
    for (const std::string& header : requestHeaderWrites(parameters, body->size())) {
        // Without basic authentication the header block has no Authorization write.
        if (!header.empty() && !connection.sendAll(header)) {
            sent = false;
            break;
        }
    }
    if (sent) {
        connection.sendAll(*body);
    }
    // Even after a failed send the server may have answered why it stopped reading.
    connection.receiveAll(result.answer);
    result.delivered = connection.connected();
    return result;
}

} // namespace tramela::comm::xml
