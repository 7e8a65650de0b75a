#pragma once

#include "workspace/text_output.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm {

// The exchange files written beside the fixed-width record files, for the cartography products:
// tab-separated, one record a line, ISO-8859-1 with CR LF ends.
inline constexpr std::string_view kNormalizedStopsFile = "FERMATE_NORMALIZZATE.TXT";
inline constexpr std::string_view kNuvoStopsFile = "FERMATE_NUVO.TXT";
inline constexpr std::string_view kNuvoRoutesFile = "PERCORSI_NUVO.TXT";

// Each writer creates (or replaces) its file in `folder` and gives the number of data lines
// written (header and marker lines are not counted). A file that cannot be created ("Impossibile
// creare\n\n" + path) or written to the end ("Errore durante la scrittura del file\n\n" + path),
// or a query that fails (shown by the query layer), gives nothing: no file cut short is left, and
// the file it would have replaced stays as it was. `encoder`, when given, counts the texts that
// ISO-8859-1 could not hold, for the export's summary.

// FERMATE_NORMALIZZATE.TXT: the stops that belong to a municipality, with its ISTAT code and name.
std::optional<long> writeNormalizedStopsFile(store::DatabaseConnection& connection,
                                             const std::filesystem::path& folder,
                                             long company,
                                             workspace::Latin1Encoder* encoder = nullptr);
// FERMATE_NUVO.TXT: each distinct (code, name, location) of the stops once.
std::optional<long> writeNuvoStopsFile(store::DatabaseConnection& connection,
                                       const std::filesystem::path& folder,
                                       long company,
                                       workspace::Latin1Encoder* encoder = nullptr);
// PERCORSI_NUVO.TXT: each route ("<T>") followed by its stops in order ("<D>"); both count.
std::optional<long> writeNuvoRoutesFile(store::DatabaseConnection& connection,
                                        const std::filesystem::path& folder,
                                        long company,
                                        workspace::Latin1Encoder* encoder = nullptr);

// A text value as a field of a tab-separated exchange file, in ISO-8859-1: a tab or a line break
// inside the value would split the field or the record, so each becomes a blank; trailing blanks
// are removed.
std::string exchangeField(workspace::Latin1Encoder& encoder, std::string_view text);

} // namespace tramela::comm
