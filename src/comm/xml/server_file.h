#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::comm::xml {

// The passphrase as the settings keep it: every byte combined with the fixed key, two lowercase
// hexadecimal digits each.
std::string storedPassphrase(std::string_view clear);
// The reverse; digits are read in pairs of either case, a character that is not a hexadecimal
// digit counts as 0 and a final unpaired digit is ignored.
std::string passphraseFromStored(std::string_view stored);

// What a configuration file holds once checked and deciphered. Texts are UTF-8.
struct ServerFileContent {
    std::string server;
    std::string target;
    bool needsAuthBase = false;
    bool needsAuthCgi = false;
    std::string userName;
    std::string password;
    std::string mailAddress;
    bool useHttps = false;
    bool needsCert = false; // as the file states it, even without useHttps
    int chunkSizeKb = 0;
    std::string certificate; // the PEM file's bytes
};

// Why a configuration file was refused; the user is told the same in every case.
enum class ServerFileFault {
    None,
    Unreadable,   // the stream failed
    Structure,    // markers and check line out of place, or a check value that is not a:b:c:d
    TooLarge,     // more payload lines, or a longer line, than a configuration file has
    PayloadCheck, // the payload does not match its check line
    Passphrase,   // the first deciphered line is not the expected one
    Content,      // a deciphered line without its key, or a value that cannot be used
};

// Lines beyond these limits are refused without being read in full.
inline constexpr std::size_t kMaxServerFilePayloadLines = 512;
inline constexpr std::size_t kMaxServerFileLineLength = 32 * 1024;

// Reads, checks and deciphers a configuration file. Nothing when the file is refused; `fault`
// (when given) says why.
std::optional<ServerFileContent>
decodeServerFile(std::istream& in, std::string_view passphrase, ServerFileFault* fault = nullptr);

// The rules a configuration's texts follow wherever they come from, the file or the connection
// dialog: they go into request lines and headers as they are, so control characters (below 0x20,
// and 0x7F) are refused, and the server and target cannot hold a blank (space or tab).
bool hasControlCharacters(std::string_view text);
bool hasBlank(std::string_view text);

// Decimal digits only (no sign, no blanks) of a value that fits an int; nothing otherwise.
std::optional<int> wholeNumber(std::string_view text);

} // namespace tramela::comm::xml
