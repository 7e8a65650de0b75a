#pragma once

#include "ui/ui.h"

namespace tramela::store {

class DatabaseConnection;

// Empties the timetable tables before a new seasonal timetable, after confirmation, and tells
// how many rows of each were deleted. Stops, routes, geometry, registers, standard lines and
// the company header stay as they were.
ui::Outcome ClearTimetableTables(DatabaseConnection& connection);

} // namespace tramela::store
