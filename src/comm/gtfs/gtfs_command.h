#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm::gtfs {

// The questions of the GTFS import command: the feed (a folder or a .zip) and the options
// dialog, whose fields are all optional texts.
inline constexpr std::string_view kFeedKey = "feed";
inline constexpr std::string_view kOptionsFormId = "gtfs-options";
inline constexpr std::string_view kCrsField = "crs";                     // "EPSG:NNNN" or "NNNN"
inline constexpr std::string_view kLocalitiesField = "localities";       // a CSV file
inline constexpr std::string_view kAuthorityField = "authority";         // whole numbers ...
inline constexpr std::string_view kLotField = "lot";                     //
inline constexpr std::string_view kCompanyField = "company";             //
inline constexpr std::string_view kSubcontractorField = "subcontractor"; //

// The options dialog, with its check of the whole numbers.
ui::FormSpec gtfsOptionsForm();

// Asks for the feed and the options, then imports the feed (ImportGtfs).
ui::Outcome ImportGtfsCommand(workspace::Workspace& workspace);

} // namespace tramela::comm::gtfs
