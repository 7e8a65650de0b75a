#pragma once

#include "workspace/text_output.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm {

// What the seven record writers of one export share: where they write, the company code every
// record begins with, the Latin-1 encoder (which counts the texts it had to change), and the
// trips the detail writer could not write.
struct RecordExport {
    store::DatabaseConnection& connection;
    std::filesystem::path folder;
    long company = 0;
    workspace::Latin1Encoder encoder;
    // "%06ld (code)" of each trip whose route or standard trip is missing, or whose two lists of
    // stops differ in length.
    std::vector<std::string> skippedTrips;
    // Told after each trip of the detail file: trips done, trips in all.
    std::function<void(long done, long total)> progress = {};
};

// Each writer creates (or replaces) its file in the folder, writes one line per record by its
// layout and gives the number of lines written. A file that cannot be created or written to the
// end is reported and gives nothing; it is not left cut short, and the file it would have
// replaced stays as it was.
std::optional<long>
writeProtocolFile(RecordExport& run); // RT_PROTO.TXT: 1 when the master record was found
std::optional<long> writeCadenceFile(RecordExport& run);      // RT_CADEN.TXT
std::optional<long> writeCalendarFile(RecordExport& run);     // RT_CALEN.TXT
std::optional<long> writeTripHeaderFile(RecordExport& run);   // RT_HDORA.TXT
std::optional<long> writeTripDetailFile(RecordExport& run);   // RT_DTORA.TXT
std::optional<long> writePeriodFile(RecordExport& run);       // RT_PERIOD.TXT
std::optional<long> writeExtendedCodeFile(RecordExport& run); // RT_EXTCOD.TXT

// The company code of the master record (0 when there is none).
long masterCompanyCode(store::DatabaseConnection& connection);

} // namespace tramela::comm
