#pragma once

#include "comm/xml/upload_parameters.h"
#include "ui/ui.h"

#include <optional>
#include <string>
#include <string_view>

namespace tramela::workspace {
class Workspace;
class Settings;
} // namespace tramela::workspace

namespace tramela::comm::xml {

// The id of the passphrase dialog and its one (masked) field.
inline constexpr std::string_view kPassphraseFormId = "server-passphrase";
inline constexpr std::string_view kPassphraseField = "passphrase";

// The menu command "Importazione Configurazione Sirventa": asks for the file (the question
// kServerFileKey) and its passphrase, deciphers it, writes the certificate as
// <application folder>/<file name>.pem and stores the configuration under the server's name.
// Every failure is shown; after one nothing is written.
inline constexpr std::string_view kServerFileKey = "file";
ui::Outcome importServerConfiguration(workspace::Workspace& window);

// The id of the choice dialog and its list field.
inline constexpr std::string_view kChooseFormId = "server-configuration";
inline constexpr std::string_view kConfigurationField = "configuration";

// Asks which configuration to use; nothing when there is none (the user is told) or the user
// cancels.
std::optional<std::string> chooseConfiguration(ui::Ui& ui, const workspace::Settings& settings);

// The id and field ids of the connection parameters dialog. Check boxes hold "1"/"0"; the two
// radio groups hold the text of the chosen entry.
inline constexpr std::string_view kConnectionFormId = "server-connection";
inline constexpr std::string_view kNeedsAuthBaseField = "needs-auth-base";
inline constexpr std::string_view kNeedsAuthCgiField = "needs-auth-cgi";
inline constexpr std::string_view kUserNameField = "user-name";
inline constexpr std::string_view kPasswordField = "password";
inline constexpr std::string_view kMailAddressField = "mail-address";
inline constexpr std::string_view kServerField = "server";
inline constexpr std::string_view kTargetField = "target";
inline constexpr std::string_view kProtocolField = "protocol";
inline constexpr std::string_view kCertificateField = "certificate";
inline constexpr std::string_view kChunkSizeField = "chunk-size";
inline constexpr std::string_view kChangeField = "change";
inline constexpr std::string_view kRestoreAction = "restore";

inline constexpr std::string_view kHttpEntry = "HTTP [connessione non protetta]";
inline constexpr std::string_view kHttpsEntry = "HTTPS [connessione criptata]";
inline constexpr std::string_view kNoCertificateEntry = "non occorre alcun certificato";
inline constexpr std::string_view kCertificateEntry = "richiede un certificato digitale";

// Shows the values of a configuration for one transmission; OK stores the values as confirmed
// and gives them, with the certificate's passphrase in clear. Nothing when the user cancels or
// the configuration does not exist (the user is told).
std::optional<UploadParameters>
editConnectionParameters(ui::Ui& ui, workspace::Settings& settings, std::string_view name);

} // namespace tramela::comm::xml
