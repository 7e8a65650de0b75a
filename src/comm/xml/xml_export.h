#pragma once

#include "comm/xml/upload_parameters.h"

#include <filesystem>
#include <optional>

namespace tramela::workspace {
class Workspace;
class Settings;
} // namespace tramela::workspace

namespace tramela::ui {
class Ui;
}

namespace tramela::comm::xml {

// The menu's XML communication: verification, parameters, the document, then either the
// transmission to the chosen server or a local file, packed unless asked otherwise; ends with
// the counts of what was written.
void exportVkzXml(workspace::Workspace& window);

// The menu's packing and transmission of a communication written by the company's own system.
void sendExternalXml(workspace::Workspace& window);

// The server configuration for one transmission: chosen, confirmed in its dialog and, when the
// connection needs the client certificate, the certificate checked. Nothing when the user
// cancelled or a check failed (the failure has been shown).
std::optional<UploadParameters> chooseConnection(ui::Ui& ui, workspace::Settings& settings);

// Packs the document beside the current folder's other files, sends the package to the server
// and shows the single outcome box; the package is deleted whatever happened. The document is
// the caller's to keep or delete.
void transmitCommunication(ui::Ui& ui,
                           workspace::Settings& settings,
                           const UploadParameters& parameters,
                           const std::filesystem::path& document);

} // namespace tramela::comm::xml
