#pragma once

#include "calendar/service_days.h"
#include "store/date.h"
#include "workspace/text_output.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm::xml {

// Where the document type of the communication is published; the document names it in its
// DOCTYPE line.
inline constexpr std::string_view kDtdUrl = "http://vkzxml.tramela.it/VkzXmlLevel1.dtd";

// The progress captions of the six sections, in the order they are written.
inline constexpr std::array<std::string_view, 6> kSectionCaptions = {
    "Estrazione PROTOCOLLO comunicazione",
    "Estrazione FERMATE",
    "Estrazione PERCORSI",
    "Estrazione CADENZE",
    "Estrazione CALENDARIO",
    "Estrazione CORSE",
};

// What one document holds, section by section, as the closing summary tells it.
struct SectionCounts {
    int protocol = 0;     // root start tags (one per header row)
    int stops = 0;        // Fmt
    int routes = 0;       // Itn
    int cadences = 0;     // Cad
    int calendarDays = 0; // Kal
    int trips = 0;        // Corsa
    // Database texts that ISO-8859-1 cannot hold and that were transliterated or replaced by
    // "?"; the command tells the user when there were any.
    long changedTexts = 0;
};

// An attribute value: trailing blanks removed, then "&", "<", ">", "'" and "\"" written as their
// entities. Tab, line feed and carriage return are written as character references, so that a
// reader keeps them instead of turning them into blanks; any other control character, which no
// XML document may hold, becomes "?". Every other byte is copied unchanged.
std::string escapeXmlText(std::string_view text);

// What the section writers share while one document is written: the database, the selection
// that decides what goes in, the open file and the encoder that turns database texts into
// ISO-8859-1.
struct DocumentOutput {
    store::DatabaseConnection& connection;
    const calendar::ServiceDayExtraction& selection;
    workspace::TextFileWriter& file;
    workspace::Latin1Encoder encoder = {};
    // A query failed (the query layer has shown it): the section is incomplete.
    bool failed = false;

    // A database text (UTF-8) as an attribute value: in ISO-8859-1 and escaped.
    std::string text(std::string_view utf8) { return escapeXmlText(encoder.encode(utf8)); }
};

// The root's `tipo`: "BUDGET", "PLANNING", "PROJECT", "TEST", or "UNKNOWN" with no kind set;
// with several set the later of that order wins.
std::string communicationType(const calendar::CommunicationFlags& flags);

// The six sections. Each writes its lines, moves the progress bar from 0 to 100 as it reads its
// rows and gives the number of its elements; a failed query sets `failed`.
//
// The root start tag, one per header row, with the day of generation `today`; a company code
// missing from the register gives an empty name.
int writeProtocol(DocumentOutput& out, const Date& today);
// The stops of the selection, by stop code.
int writeStops(DocumentOutput& out);
// The routes of the selection, by route code, each with its geometry when it has a sound one and
// the standard trips of the selection that run on it.
int writeRoutes(DocumentOutput& out);
int writeCadences(DocumentOutput& out);
// The calendar days whose cadence is in the communication.
int writeCalendar(DocumentOutput& out);
// The trips of the selection grouped by lot, authority, standard line, company line, operating
// company and subcontractor, each with its periods clipped to the selection's range.
int writeTripPlan(DocumentOutput& out);

// Writes the whole document to `file` (created, or replaced): the declaration, the document type
// and the six sections, each under its progress caption; the bar is hidden at the end. Nothing when
// the document could not be written whole: the file could not be created ("Impossibile creare" and
// the path), a query failed, the header row is missing, or a write failed (a full disk): the
// failure has been shown and no partial file is left behind.
std::optional<SectionCounts> writeVkzXmlDocument(store::DatabaseConnection& connection,
                                                 const calendar::ServiceDayExtraction& selection,
                                                 const std::filesystem::path& file,
                                                 const Date& today);

} // namespace tramela::comm::xml
