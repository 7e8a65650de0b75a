#pragma once

#include "comm/gtfs/model_builder.h"

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm::gtfs {

// The administrative codes every trip receives.
struct Codes {
    int authority = 0;
    int lot = 0;
    int company = 0;
    int subcontractor = 0;
};

// Writes the model into the tables, within the caller's transaction: registers of
// municipalities and localities, stops, routes with geometry and stops, cadences and calendar,
// standard trips, the company header when `createMaster`, trips with periods and extended codes.
// False after the table layer has shown why it refused a row.
bool writeModel(store::DatabaseConnection& connection,
                const std::vector<StopRecord>& stops,
                const Model& model,
                const Codes& codes,
                bool createMaster);

} // namespace tramela::comm::gtfs
