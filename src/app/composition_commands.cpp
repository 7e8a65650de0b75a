// The composition of a route on the command line: each run opens the composition window (its
// transaction begins), performs one operation and closes it (the transaction is committed); a
// refusal, a cancel or a failure commits nothing.

#include "app/command_sections.h"
#include "app/parameters.h"
#include "app/window_command_support.h"
#include "store/value_text.h"
#include "views/composition_window.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>

namespace tramela::app {

namespace {

using ui::Outcome;

constexpr std::string_view kForm = "route-stops";
constexpr std::string_view kRouteField = "route";
constexpr std::string_view kOperationField = "operation";
constexpr std::string_view kSubField = "sub";
constexpr std::string_view kKmField = "km";

// The operations, as the command line names them.
constexpr std::string_view kList = "list";
constexpr std::string_view kInsert = "insert";
constexpr std::string_view kProgressive = "progressive";
constexpr std::string_view kDelete = "delete";

// Selects the stop at `sub`; says so when the composition has none there.
bool selectSub(workspace::Workspace& workspace,
               views::EditWindow& window,
               std::string_view typed,
               std::int32_t route) {
    const std::string sub(store::trimBlanks(typed));
    const auto& entries = window.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!sub.empty() && entries[i].keys == std::vector<std::string>{sub}) {
            return window.select(i);
        }
    }
    workspace.ui().Message(
        sub.empty()
            ? std::string("ATTENZIONE: indicare il sub della fermata.")
            : fmt::format("ATTENZIONE: il percorso {} non ha una fermata al sub {}.", route, sub),
        ui::Icon::Stop);
    return false;
}

Outcome routeStops(workspace::Workspace& workspace) {
    const auto values = askForm(workspace,
                                kForm,
                                "Composizione Percorso",
                                {{kRouteField, ""},
                                 {kOperationField, std::string(kList)},
                                 {kSubField, ""},
                                 {kKmField, ""}});
    if (!values) {
        return Outcome::Cancelled;
    }
    const auto route =
        identifier(workspace, views::fieldValue(*values, kRouteField), "del percorso");
    if (!route) {
        return Outcome::Failed;
    }
    store::DatabaseConnection& connection = *workspace.connection();
    if (!views::routeExists(connection, network::RouteId{*route})) {
        return Outcome::Failed;
    }
    views::EditWindow window(connection, views::compositionWindow(network::RouteId{*route}));
    if (!window.open()) {
        return Outcome::Failed;
    }
    const std::string& what = views::fieldValue(*values, kOperationField);
    const std::string_view sub = views::fieldValue(*values, kSubField);
    bool done = false;
    if (what == kList) {
        printList(workspace, window);
        done = true;
    } else if (what == kInsert) {
        done = window.special(views::kInsertStop);
    } else if (what == views::kRecomputeConventional || what == views::kRecomputeCartographic) {
        done = window.special(what);
    } else if (selectSub(workspace, window, sub, *route)) {
        if (what == kDelete) {
            done = window.deleteSelected();
        } else if (what == kProgressive) {
            ui::FormValues typed{{std::string(views::kProgressiveField),
                                  std::string(views::fieldValue(*values, kKmField))}};
            done = window.beginModify() && window.confirm(typed);
        } else {
            done = window.special(what == views::kPrimary ? views::kPrimary : views::kOptional);
        }
    }
    // Without "Fine" the window's transaction is rolled back with it.
    return done && window.close() ? Outcome::Done : Outcome::Failed;
}

} // namespace

std::vector<Command> compositionCommands() {
    using namespace parameters;
    Parameter what = fieldArgument("OPERATION",
                                   kForm,
                                   kOperationField,
                                   "list, insert, progressive, delete, primary, optional, "
                                   "recompute-conventional o recompute-cartographic");
    what.choices = {std::string(kList),
                    std::string(kInsert),
                    std::string(kProgressive),
                    std::string(kDelete),
                    std::string(views::kPrimary),
                    std::string(views::kOptional),
                    std::string(views::kRecomputeConventional),
                    std::string(views::kRecomputeCartographic)};
    Parameter sub = fieldArgument(
        "SUB", kForm, kSubField, "Sub della fermata (progressive, delete, primary, optional)");
    sub.required = false;
    Parameter km = fieldArgument(
        "KM", kForm, kKmField, "Progressiva convenzionale in Km, come 1,5 (progressive)");
    km.required = false;
    return {
        {.cli = "route-stops",
         .help = "Composizione di un percorso: elenco delle fermate con le due progressive, "
                 "inserimento, variazione della progressiva, eliminazione, fermata primaria o "
                 "facoltativa, ricalcolo delle progressive",
         .parameters = {fieldArgument("ROUTE", kForm, kRouteField, "ID del percorso"),
                        what,
                        sub,
                        km,
                        fieldOption("--code",
                                    "ID",
                                    views::kInsertStopForm,
                                    views::kStopCodeField,
                                    "La fermata da inserire, per ID (insert)"),
                        fieldOption("--at",
                                    "KM",
                                    views::kInsertStopForm,
                                    views::kProgressiveAtField,
                                    "La progressiva in Km a cui inserirla; senza, dove il "
                                    "percorso la propone (insert)")},
         .entry = routeStops},
    };
}

} // namespace tramela::app
