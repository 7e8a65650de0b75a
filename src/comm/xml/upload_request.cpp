#include "comm/xml/upload_request.h"

#include "workspace/text_output.h"

#include <fmt/format.h>

namespace tramela::comm::xml {

namespace {

// The server compares the credentials and the address as ISO-8859-1 bytes, as every text the
// region exchanges: an accented password sent as UTF-8 would never match.
std::string latin1(std::string_view utf8) {
    return workspace::Latin1Encoder().encode(utf8);
}

void appendPart(std::string& form, std::string_view name, std::string_view value) {
    form += fmt::format("Content-Disposition: form-data; name=\"{}\"\r\n\r\n", name);
    form += value;
    form += fmt::format("\r\n--{}\r\n", kMultipartBoundary);
}

} // namespace

MultipartForm buildMultipartForm(const UploadParameters& parameters, std::string_view packageName) {
    MultipartForm form;
    form.prefix = fmt::format("--{}\r\n", kMultipartBoundary);
    if (parameters.needsAuthCgi) {
        appendPart(form.prefix, "USR", latin1(parameters.userName));
        appendPart(form.prefix, "PWD", latin1(parameters.password));
    }
    appendPart(form.prefix, "MAIL", latin1(parameters.mailAddress));
    form.prefix += "Content-Disposition: form-data; name=\"DOC\"; filename=\"";
    form.prefix += packageName;
    form.prefix += "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    form.suffix = fmt::format("\r\n--{}--\r\n", kMultipartBoundary);
    return form;
}

std::vector<std::string> requestHeaderWrites(const UploadParameters& parameters,
                                             std::size_t contentLength) {
    std::vector<std::string> writes;
    writes.push_back(fmt::format("POST {} HTTP/1.1\r\n"
                                 "Host: {}\r\n"
                                 "User-Agent: Tramela\r\n"
                                 "Accept: text/html\r\n"
                                 "Keep-Alive: 300\r\n"
                                 "Connection: keep-alive\r\n",
                                 parameters.target,
                                 parameters.server));
    writes.push_back(
        parameters.needsAuthBase
            ? fmt::format("Authorization: Basic {}\r\n",
                          base64(latin1(parameters.userName + ":" + parameters.password)))
            : std::string());
    writes.push_back(
        fmt::format("Content-Type: multipart/form-data; boundary={}\r\n", kMultipartBoundary));
    writes.push_back(fmt::format("Content-Length: {}\r\n\r\n", contentLength));
    return writes;
}

std::string base64(std::string_view bytes) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace tramela::comm::xml
