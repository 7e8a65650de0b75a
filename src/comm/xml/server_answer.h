#pragma once

#include "comm/xml/upload_parameters.h"

#include <string>
#include <string_view>

namespace tramela::ui {
class Ui;
}

namespace tramela::comm::xml {

// The receiving server's answer as judged: its HTML page carries a comment with the marker word
// followed by "ok" or "error", and the visible text after the marker is shown to the user.
struct ServerAnswer {
    std::string message;    // the text of the outcome box
    std::string bodyText;   // "\n" and the visible text of the body after the marker
    std::string statusLine; // the last line beginning "HTTP", with its line end
    bool markerResult = false;
    bool success = false; // status 200 with the marker saying ok
};

inline constexpr std::string_view kMarkerWord = "sirventaMAGICvkz";

// Judges the answer (status line, headers and HTML body as received). The answer's bytes may be
// in any 8-bit encoding: the texts given back are UTF-8, bytes that are not UTF-8 being taken as
// ISO-8859-1. Lines, tags and text runs are cut at 4,095 characters and comments at 1,023, so an
// answer of any size is judged in one pass with bounded working buffers.
ServerAnswer judgeAnswer(std::string_view answer);

// The one box that ends every transmission: the failed delivery, or the judged answer in an
// information box when the server accepted the communication and a stop box otherwise. True
// when the server accepted it.
bool showOutcome(ui::Ui& ui, const TransferResult& result);

} // namespace tramela::comm::xml
