#include "support/srvt_encoder.h"

#include <cstdint>
#include <fmt/format.h>

namespace tramela::test {

std::vector<std::string> srvtClearLines(const SrvtContent& content) {
    std::vector<std::string> lines = {content.proof,
                                      "SERVER=" + content.server,
                                      "TARGET=" + content.target,
                                      "BASE_AUTH=" + content.baseAuth,
                                      "CGI_AUTH=" + content.cgiAuth,
                                      "USER=" + content.user,
                                      "PASSWORD=" + content.password,
                                      "MAIL=" + content.mail,
                                      "HTTPS=" + content.https,
                                      "CERTIFICATE=" + content.certificateFlag,
                                      "CHUNKSIZE=" + content.chunkSize};
    for (std::size_t at = 0; at < content.certificate.size(); at += content.certificateLineBytes) {
        lines.push_back(content.certificate.substr(at, content.certificateLineBytes));
    }
    return lines;
}

std::vector<std::string> encipherSrvtLines(const std::vector<std::string>& clear,
                                           std::string_view passphrase) {
    std::vector<std::string> payload;
    std::size_t index = 0;
    for (const std::string& line : clear) {
        std::string hex;
        for (const char c : line) {
            const auto byte = static_cast<unsigned char>(
                static_cast<unsigned char>(c) ^
                static_cast<unsigned char>(passphrase[index++ % passphrase.size()]));
            hex += fmt::format("{:02x}", byte);
        }
        payload.push_back(std::move(hex));
    }
    return payload;
}

std::string srvtCheck(const std::vector<std::string>& payload) {
    std::uint64_t even = 0;
    std::uint64_t odd = 0;
    std::uint64_t total = 0;
    for (const std::string& line : payload) {
        for (const char c : line) {
            (total % 2 == 0 ? even : odd) += static_cast<unsigned char>(c);
            ++total;
        }
    }
    return fmt::format("{}:{}:{}:{}", even, payload.size(), odd, total / 2);
}

std::string srvtFile(const std::vector<std::string>& payload, std::string_view eol) {
    constexpr std::string_view kMarker = "MAGIC=SirventaServerConfigurationPod";
    std::string file = fmt::format("{}{}", kMarker, eol);
    for (const std::string& line : payload) {
        file += fmt::format("{}{}", line, eol);
    }
    file += fmt::format("{}{}CHECK={}{}", kMarker, eol, srvtCheck(payload), eol);
    return file;
}

std::string encodeSrvt(const SrvtContent& content, std::string_view passphrase) {
    return srvtFile(encipherSrvtLines(srvtClearLines(content), passphrase));
}

} // namespace tramela::test
