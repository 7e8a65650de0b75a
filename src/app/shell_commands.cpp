#include "app/shell_commands.h"

#include "app/demo_database.h"
#include "app/registry.h"
#include "store/cartography.h"
#include "store/database_file.h"
#include "workspace/workspace.h"

#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/utsname.h>

#ifndef TRAMELA_VERSION
#define TRAMELA_VERSION "1.0.0"
#endif

namespace tramela::app {

namespace {

using ui::Outcome;

constexpr std::string_view kExitQuestion = "E' stata richiesta l'uscita da Tramela.\n\n"
                                           "Intendi veramente uscire dal programma ?";

std::string operatingSystem() {
    utsname name{};
    if (::uname(&name) != 0) {
        return "Linux";
    }
    return fmt::format("{} (Rel. {})", name.sysname, name.release);
}

} // namespace

Outcome Connect(workspace::Workspace& workspace) {
    const auto chosen = workspace.ui().OpenFile(
        workspace::databaseFileDialog(std::string(kDatabaseKey), "Selezione del Database"));
    if (!chosen) {
        return Outcome::Cancelled;
    }
    workspace.Bind(*chosen);
    return workspace.isConnected() ? Outcome::Done : Outcome::Failed;
}

Outcome Disconnect(workspace::Workspace& workspace) {
    if (!workspace.ui().Confirm({std::string(ui::keys::kProceed),
                                 ui::QuestionKind::Confirmation,
                                 "Sconnessione Database"},
                                "Confermi sconnessione database ?",
                                ui::Icon::Question)) {
        return Outcome::Cancelled;
    }
    workspace.Unbind();
    return Outcome::Done;
}

Outcome Repair(workspace::Workspace& workspace) {
    ui::Ui& ui = workspace.ui();
    const auto chosen = ui.OpenFile(
        workspace::databaseFileDialog(std::string(kDatabaseKey), "Riparazione del Database"));
    if (!chosen) {
        return Outcome::Cancelled;
    }
    workspace.BeginBusy(true);
    if (const auto failure = store::repairDatabase(*chosen)) {
        ui.Message(fmt::format("Errore durante la riparazione del database\n\n{}\n\n{}",
                               chosen->string(),
                               *failure),
                   ui::Icon::Exclamation,
                   "Riparazione database");
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome Duplicate(workspace::Workspace& workspace) {
    ui::Ui& ui = workspace.ui();
    const auto origin = ui.OpenFile(workspace::databaseFileDialog(
        std::string(kOriginKey), "Selezione del Database di origine"));
    if (!origin) {
        return Outcome::Cancelled;
    }
    const auto destination = ui.SaveFile(workspace::databaseFileDialog(
        std::string(kDestinationKey), "Selezione del Database di destinazione", true));
    if (!destination) {
        return Outcome::Cancelled;
    }
    workspace.BeginBusy(true);
    if (const auto failure = store::duplicateDatabase(*origin, *destination)) {
        ui.Message(fmt::format("Errore durante la duplicazione del database\n\n{}\n{}\n\n{}",
                               origin->string(),
                               destination->string(),
                               *failure),
                   ui::Icon::Exclamation,
                   "Duplicazione database");
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome About(workspace::Workspace& workspace) {
    const std::string& path = workspace.databasePath();
    workspace.ui().Message(fmt::format("INFORMAZIONI SUL PROGRAMMA\n\n"
                                       "Tramela {} - Acquisizione DataBase Corse - Regione "
                                       "Valmora\n\n"
                                       "Sistema operativo {}\n\nDatabase: {} (SQLite {})",
                                       TRAMELA_VERSION,
                                       operatingSystem(),
                                       path.empty() ? "Nessuno" : path,
                                       sqlite3_libversion()),
                           ui::Icon::Information,
                           "Informazioni su Tramela");
    return Outcome::Done;
}

Outcome Exit(workspace::Workspace& workspace) {
    if (!workspace.ui().Confirm(
            {std::string(ui::keys::kProceed)}, kExitQuestion, ui::Icon::Question)) {
        return Outcome::Cancelled;
    }
    workspace.Shutdown();
    return Outcome::Done;
}

Outcome ShowTitle(workspace::Workspace& workspace) {
    workspace.ui().Message(workspace.title(), ui::Icon::None);
    return Outcome::Done;
}

Outcome ShowMenu(workspace::Workspace& workspace) {
    workspace.ui().Message(menuTree(workspace), ui::Icon::None);
    return Outcome::Done;
}

std::string titleOf(workspace::Workspace& workspace) {
    // A binding left as it was (a Cancel, a file refused) is opened now, so that the title is
    // the one the session would show.
    if (!workspace.isConnected() && !workspace.databasePath().empty()) {
        workspace.ConnectDatabase();
    }
    return workspace.RefreshTitle();
}

Outcome NewDatabase(workspace::Workspace& workspace) {
    const auto path = workspace.ui().SaveFile(
        workspace::databaseFileDialog(std::string(kDatabaseKey), "Nuovo Database", true));
    if (!path) {
        return Outcome::Cancelled;
    }
    return store::createCartographyDatabase(workspace.ui(), *path) ? Outcome::Done
                                                                   : Outcome::Failed;
}

Outcome BuildDemo(workspace::Workspace& workspace) {
    const auto path = workspace.ui().SaveFile(
        workspace::databaseFileDialog(std::string(kDatabaseKey), "Database Dimostrativo", true));
    if (!path) {
        return Outcome::Cancelled;
    }
    if (!BuildDemoDatabase(workspace.ui(), *path)) {
        return Outcome::Failed;
    }
    workspace.ui().Message(fmt::format("Il database dimostrativo {} è pronto.", path->string()),
                           ui::Icon::Information);
    return Outcome::Done;
}

} // namespace tramela::app
