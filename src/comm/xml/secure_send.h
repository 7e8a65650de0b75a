#pragma once

#include "comm/xml/upload_parameters.h"

#include <filesystem>
#include <string_view>

namespace tramela::workspace {
class Settings;
}

namespace tramela::ui {
class Ui;
}

namespace tramela::comm::xml {

// The settings section that names the external secure sender and its certificate tester:
//   PthExe   the sender; when set, every HTTPS upload goes through it
//   TestExe  the tester; when set, it checks the client certificate
//   CaFile   PEM file of the authorities trusted for the server's certificate by the built-in
//            upload, in place of the system's bundle
// Each program that is not named is replaced by the built-in one: the HTTPS upload through
// libcurl and the certificate check through OpenSSL. A `securesend` entry that is not a section
// (or a program name that is not a text) means a broken installation and stops the sending.
inline constexpr std::string_view kSecureSendSection = "securesend";

// The check of the client certificate, before the document is written; true to go on (always
// when the configuration needs no certificate). The tester gets "VkzSecureTest", the
// certificate's path and its passphrase; an exit code above 0 means the certificate cannot be
// used. The built-in check opens the PEM file, which must hold the certificate and its private
// key: the key must open with the passphrase and belong to the certificate. Every failure is
// shown, followed by the box that says the certificate test failed.
bool testCertificate(ui::Ui& ui,
                     const workspace::Settings& settings,
                     const UploadParameters& parameters);

// The upload of the package over HTTPS. Delivered when the sender ended with exit code 0 (the
// answer is what it left in its response file, empty when it left none) or when the built-in
// upload received the server's answer, whatever its status; the answer is the status line,
// headers and body, to be judged like the plain HTTP one. Failures are shown here; a result not
// delivered is then reported as a failed connection by the caller's outcome box. The progress
// bar follows the body while the built-in upload sends it.
TransferResult sendSecureUpload(ui::Ui& ui,
                                const workspace::Settings& settings,
                                const UploadParameters& parameters,
                                const std::filesystem::path& package);

} // namespace tramela::comm::xml
