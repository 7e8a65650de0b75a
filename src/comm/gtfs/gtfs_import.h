#pragma once

#include <filesystem>
#include <optional>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::comm::gtfs {

// What the GTFS import is asked to do: the feed (a folder or a .zip), the planar reference
// system (an EPSG code; the UTM zone of the feed's centre when absent), the operator's file of
// localities (stop_id, locality name, ISTAT code, municipality name) and the administrative
// codes every trip receives (authority 0, lot 0, the company header's company for both the
// managing company and the subcontractor when absent).
struct ImportOptions {
    std::filesystem::path feed;
    std::optional<int> epsg{};
    std::optional<std::filesystem::path> localities{};
    std::optional<int> authority{};
    std::optional<int> lot{};
    std::optional<int> company{};
    std::optional<int> subcontractor{};
};

// Reads a GTFS feed into an empty database that already holds the system's tables: stops,
// localities, routes with their geometry and stops, cadences and calendar, standard trips,
// trips with their periods and codes, and the company header when it is missing. Everything is
// written in one transaction: on any fault (shown with a stop icon, naming file and line)
// nothing is written. Ends with one message giving the rows per table and every adaptation
// made to fit the data into the tables. True when the feed was imported.
bool ImportGtfs(workspace::Workspace& window, const ImportOptions& options);

} // namespace tramela::comm::gtfs
