#pragma once

#include "comm/xml/upload_parameters.h"
#include "ui/ui.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace tramela::workspace {
class Workspace;
class Settings;
} // namespace tramela::workspace

namespace tramela::ui {
class Ui;
}

namespace tramela::comm::xml {

// The key of the file question of both commands: the local document to write, the external
// document to send.
inline constexpr std::string_view kDocumentKey = "file";

// Where the package of a local document goes, beside it: its extension replaced by ".lzma"
// ("Comunicazione.xml" gives "Comunicazione.lzma"), ".lzma" added when it has none.
std::filesystem::path packagePathFor(const std::filesystem::path& document);

// The menu's XML communication: verification, parameters, the document, then either the
// transmission to the chosen server or a local file, packed unless asked otherwise; ends with
// the counts of what was written.
ui::Outcome exportVkzXml(workspace::Workspace& window);

// The menu's packing and transmission of a communication written by the company's own system.
ui::Outcome sendExternalXml(workspace::Workspace& window);

// The server configuration for one transmission: chosen, confirmed in its dialog and, when the
// connection needs the client certificate, the certificate checked. Without parameters the
// outcome says whether the user cancelled or a check failed (the failure has been shown).
struct ConnectionChoice {
    std::optional<UploadParameters> parameters;
    ui::Outcome outcome = ui::Outcome::Done;
};

ConnectionChoice chooseConnection(ui::Ui& ui, workspace::Settings& settings);

// Packs the document beside the current folder's other files, sends the package to the server
// and shows the single outcome box; the package is deleted whatever happened. The document is
// the caller's to keep or delete. True when the server took the communication.
bool transmitCommunication(ui::Ui& ui,
                           workspace::Settings& settings,
                           const UploadParameters& parameters,
                           const std::filesystem::path& document);

} // namespace tramela::comm::xml
