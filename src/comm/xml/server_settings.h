#pragma once

#include "comm/xml/upload_parameters.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tramela::workspace {
class Settings;
} // namespace tramela::workspace

namespace tramela::comm::xml {

struct ServerFileContent;

// The settings section of every server configuration: [sirventa."<name>"].
inline constexpr std::string_view kServerSection = "sirventa";

// The stored configurations, in order of name.
std::vector<std::string> configurationNames(const workspace::Settings& settings);

// Sets every value of an imported configuration under its server's name, each plain and as its
// "Save" twin, with the certificate's path and the passphrase in its stored form. In memory
// only, the caller saves; false when a value cannot be set (those set before it stay: see
// ConfigurationSnapshot).
bool storeImportedConfiguration(workspace::Settings& settings,
                                const ServerFileContent& content,
                                const std::filesystem::path& certificate,
                                std::string_view passphrase);

// The values of one configuration as they stood before an import, to put back (in memory) when
// the import cannot be completed; a configuration or a [sirventa] section that did not exist is
// removed again.
class ConfigurationSnapshot {
public:
    ConfigurationSnapshot(const workspace::Settings& settings, std::string_view name);

    void restore(workspace::Settings& settings) const;

private:
    std::string m_name;
    bool m_parentExisted = false;
    bool m_existed = false;
    std::vector<std::pair<std::string, std::variant<std::string, long long>>> m_values;
};

// The values of a configuration that the connection dialog shows and stores.
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

    bool operator==(const ConnectionValues&) const = default;
};

// Which values of a configuration: those the user confirmed last (the plain values), or those
// as imported (the "Save" twins), which the dialog can show again.
enum class ValueSet { Confirmed, Imported };

// The values of a configuration. A missing number counts as 0 (a chunk size beyond an int too),
// and a certificate is never asked for without HTTPS.
ConnectionValues
loadConnectionValues(const workspace::Settings& settings, std::string_view name, ValueSet which);

// Sets the confirmed values; the imported ones stay as they are. In memory only, the caller
// saves; false when a value cannot be set.
bool setConnectionValues(workspace::Settings& settings,
                         std::string_view name,
                         const ConnectionValues& values);

// The values of one transmission: the given ones with the configuration's certificate path and
// its passphrase in clear.
UploadParameters uploadParameters(const workspace::Settings& settings,
                                  std::string_view name,
                                  const ConnectionValues& values);

} // namespace tramela::comm::xml
