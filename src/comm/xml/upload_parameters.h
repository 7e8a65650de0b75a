#pragma once

#include <filesystem>
#include <string>

namespace tramela::comm::xml {

// The values of one transmission, as the chosen server configuration gives them once the user
// has confirmed them. Texts are UTF-8 as the settings hold them and go on the wire as they are.
struct UploadParameters {
    std::string configuration; // the configuration's name (the server of the imported file)
    std::string server;        // host name, optionally with ":port"
    std::string target;        // path of the receiving program, for the request line
    std::string userName;
    std::string password;    // in clear
    std::string mailAddress; // address(es) for notifications, separated by semicolons
    bool needsAuthBase = false;
    bool needsAuthCgi = false;
    bool useHttps = false;
    bool needsCert = false;            // never set without useHttps
    std::string certificatePassphrase; // in clear
    std::filesystem::path
        certificatePath; // the PEM file written when the configuration was imported
    int chunkSizeKb = 0;
};

// How a transfer ended: whether the package reached the server and what it answered (status
// line, headers and body, as received).
struct TransferResult {
    bool delivered = false;
    std::string answer;
};

} // namespace tramela::comm::xml
