#pragma once

#include "app/main_window.h"
#include "ui/cli_ui.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tramela::cli {

// What every command of the command line gets: the front end, the main window's state and the
// database chosen with --db for this run.
struct Context {
    ui::CliUi& ui;
    app::MainWindow& window;
    std::optional<std::filesystem::path> database;
};

using Command = std::function<void(Context&)>;

void newDatabase(Context& context, const std::filesystem::path& file);
void connect(Context& context, const std::filesystem::path& file);
void disconnect(Context& context);
void repair(Context& context, const std::filesystem::path& file);
void duplicate(Context& context,
               const std::filesystem::path& origin,
               const std::filesystem::path& destination);
void about(Context& context);
void title(Context& context);

} // namespace tramela::cli
