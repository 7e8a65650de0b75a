#pragma once

#include "store/date.h"
#include "ui/ui.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// The two service periods compared, each from its first to its last day inclusive.
struct ServicePeriods {
    Date firstStart;
    Date firstEnd;
    Date secondStart;
    Date secondEnd;
};

// The periods dialog: four typed dates. Its fields answer the command line's "--first" and
// "--second" options.
inline constexpr std::string_view kPeriodsFormId = "differential.periods";
inline constexpr std::string_view kFirstStartField = "first-start";
inline constexpr std::string_view kFirstEndField = "first-end";
inline constexpr std::string_view kSecondStartField = "second-start";
inline constexpr std::string_view kSecondEndField = "second-end";
// The save dialog whose folder receives the five files.
inline constexpr std::string_view kAnalysisFolderKey = "folder";

// The names of the five files, in the order they are written.
inline constexpr std::string_view kCeasedTripsFile = "CorseCessate.txt";
inline constexpr std::string_view kNewTripsFile = "NuoveCorse.txt";
inline constexpr std::string_view kReplacedTripsFile = "CorseSostituite.txt";
inline constexpr std::string_view kStopsFile = "Fermate.txt";
inline constexpr std::string_view kRoutesFile = "Percorsi.txt";

ui::FormSpec periodsDialog();
// The periods the dialog's values give; nothing when the validator would refuse them.
std::optional<ServicePeriods> periodsOf(const ui::FormValues& values);

// What an analysis found, for the closing message and the tests.
struct DifferentialCounts {
    long ceased = 0;    // period-1 trips with active days, not confirmed
    long added = 0;     // period-2 trips with active days, not confirmed
    long replaced = 0;  // pairs linked by the heuristic
    long confirmed = 0; // trips running in both periods
};

// Compares the two periods and writes the five files into `folder`. Every failure is shown;
// nothing when a query failed or a file could not be written (the files already complete stay).
std::optional<DifferentialCounts> writeDifferentialAnalysis(store::DatabaseConnection& connection,
                                                            const ServicePeriods& periods,
                                                            const std::filesystem::path& folder);

// The menu command: the periods dialog, the folder, the analysis and its closing message.
ui::Outcome RunDifferentialAnalysis(workspace::Workspace& workspace);

} // namespace tramela::reports
