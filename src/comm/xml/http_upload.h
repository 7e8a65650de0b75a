#pragma once

#include "comm/xml/upload_parameters.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tramela::ui {
class Ui;
}

namespace tramela::comm::xml {

// Largest piece written at once, and the room for the server's answer.
inline constexpr std::size_t kNetworkPiece = 65536;
inline constexpr std::size_t kAnswerCapacity = 65536;
// A host that does not answer ends the attempt after this long instead of hanging the command;
// so does a server that stops taking the request's bytes.
inline constexpr std::chrono::milliseconds kConnectTimeout{30000};
inline constexpr std::chrono::milliseconds kSendTimeout{60000};

// One blocking TCP connection to the receiving server. Every failure is shown through the Ui in
// a stop box at once; the connection is closed when the object ends.
class HttpConnection {
public:
    explicit HttpConnection(ui::Ui& ui, std::chrono::milliseconds connectTimeout = kConnectTimeout);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Resolves the server ("host", "host:port", "[v6 address]:port"; port 80 without one) and
    // connects to the first of its addresses that accepts.
    bool openConnection(std::string_view server);

    bool connected() const { return m_socket >= 0; }

    // Writes every byte, in pieces of at most kNetworkPiece with the progress bar set before
    // each and back to 0 after the last. False silently when not connected.
    bool sendAll(std::string_view bytes);

    // Reads the answer into `answer` until `capacity` bytes arrived, the server closed the
    // connection, or about one second passed without a byte. On failure `answer` stays empty.
    bool receiveAll(std::string& answer, std::size_t capacity = kAnswerCapacity);

private:
    ui::Ui& m_ui;
    std::chrono::milliseconds m_connectTimeout;
    int m_socket = -1;
};

// Sends the package to the server as the upload form of one POST request and reads the answer.
// A package that cannot be read is reported and nothing is sent. `delivered` is whether the
// connection was made; the answer is what the server sent back, possibly nothing.
TransferResult sendHttpUpload(ui::Ui& ui,
                              const UploadParameters& parameters,
                              const std::filesystem::path& package);

} // namespace tramela::comm::xml
