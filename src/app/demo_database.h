#pragma once

#include <filesystem>

namespace tramela::ui {
class Ui;
}

namespace tramela::app {

// Builds a ready demonstration database at `path`: the cartography and system tables, the
// company header, the network of the invented town of Valmora (carried in the binary as a GTFS
// feed) with extended codes, and its standard lines identified automatically. Every step tells
// its outcome through `ui`; an existing file is never overwritten. True when it is complete.
bool BuildDemoDatabase(ui::Ui& ui, const std::filesystem::path& path);

} // namespace tramela::app
