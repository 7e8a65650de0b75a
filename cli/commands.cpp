#include "commands.h"

#include "store/cartography.h"

#include <iostream>

namespace tramela::cli {

namespace {

void printTitle(Context& context) {
    std::cout << context.window.title() << '\n';
}

} // namespace

void newDatabase(Context& context, const std::filesystem::path& file) {
    store::createCartographyDatabase(context.ui, file);
}

void connect(Context& context, const std::filesystem::path& file) {
    context.window.LoadSettings();
    // The binding outlives this run and its working folder.
    context.ui.queueFile(std::filesystem::absolute(file));
    context.window.Connect();
    printTitle(context);
}

void disconnect(Context& context) {
    context.window.LoadSettings();
    context.window.Disconnect();
    printTitle(context);
}

void repair(Context& context, const std::filesystem::path& file) {
    context.ui.queueFile(file);
    context.window.Repair();
}

void duplicate(Context& context,
               const std::filesystem::path& origin,
               const std::filesystem::path& destination) {
    context.ui.queueFile(origin);
    context.ui.queueFile(destination);
    context.window.Duplicate();
}

void about(Context& context) {
    context.window.Startup(context.database);
    context.window.About();
}

void title(Context& context) {
    context.window.Startup(context.database);
    printTitle(context);
}

} // namespace tramela::cli
