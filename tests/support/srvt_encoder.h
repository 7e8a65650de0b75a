#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tramela::test {

// The clear content of a server configuration file, as the region's tool would encipher it.
// Flags and the chunk size are kept as texts so that a test can write what the tool never would.
struct SrvtContent {
    std::string proof = "#Pardelo#$Quartz$@Hinge@[Lumen]<Rook>";
    std::string server = "sirventa.regione.example";
    std::string target = "/cgi-bin/ricevi";
    std::string baseAuth = "1";
    std::string cgiAuth = "0";
    std::string user = "azienda42";
    std::string password = "segreto";
    std::string mail = "orari@autolinee.example;ced@autolinee.example";
    std::string https = "1";
    std::string certificateFlag = "1";
    std::string chunkSize = "64";
    std::string certificate = "-----BEGIN CERTIFICATE-----\nMIIBszCCAVmgAwIBAgIU\n"
                              "-----END CERTIFICATE-----\n";
    // Bytes of the certificate per clear line.
    std::size_t certificateLineBytes = 16;
};

// The clear lines: the proof, the ten keyed lines, then the certificate in pieces.
std::vector<std::string> srvtClearLines(const SrvtContent& content);

// Each clear line as hexadecimal text of its bytes combined with the passphrase, whose index runs
// on from one line to the next.
std::vector<std::string> encipherSrvtLines(const std::vector<std::string>& clear,
                                           std::string_view passphrase);

// The check value "a:b:c:d" of the payload lines.
std::string srvtCheck(const std::vector<std::string>& payload);

// A whole file: marker, payload lines, marker, check line, each ended by `eol`.
std::string srvtFile(const std::vector<std::string>& payload, std::string_view eol = "\r\n");

// The file of a configuration enciphered with a passphrase.
std::string encodeSrvt(const SrvtContent& content, std::string_view passphrase);

} // namespace tramela::test
