#include "reports/registers/distance_registers.h"

#include "store/query_cursor.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace tramela::reports {

namespace {

constexpr std::string_view kPreview = "Anteprima di stampa";
constexpr std::string_view kPrint = "Stampa";
// A route whose last stop is farther than this from its conventional length does not add up.
constexpr double kLengthTolerance = 2.0;

std::string textOf(store::QueryCursor& query, std::string_view column) {
    std::string text;
    query.GetText(column, text);
    return text;
}

std::string kilometres(double metres) {
    return fmt::format("{:.3f}", metres * 0.001);
}

} // namespace

bool CongruenceEntry::deviationComputable() const {
    return std::isfinite(deviation());
}

std::vector<CongruenceEntry> congruenceList(store::DatabaseConnection& connection) {
    std::vector<CongruenceEntry> entries;
    store::QueryCursor query(connection);
    query.SetSelect("id, codperc, denom, conlung, geolung");
    query.SetFrom("itiner");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        CongruenceEntry entry;
        query.GetLong(0, entry.id);
        entry.code = textOf(query, "codperc");
        entry.name = textOf(query, "denom");
        query.GetDouble(3, entry.conventional);
        query.GetDouble(4, entry.cartographic);
        entries.push_back(std::move(entry));
    }
    // A route without a conventional length has no deviation: it sorts after every other.
    std::stable_sort(
        entries.begin(), entries.end(), [](const CongruenceEntry& a, const CongruenceEntry& b) {
            if (a.deviationComputable() != b.deviationComputable()) {
                return a.deviationComputable();
            }
            return a.deviationComputable() && a.deviation() < b.deviation();
        });
    return entries;
}

ProgressiveRegister progressiveRegister(store::DatabaseConnection& connection) {
    ProgressiveRegister reg;
    store::QueryCursor query(connection);
    query.SetSelect("itiner.id AS percorso, itiner.codperc AS codperc, itiner.conlung, "
                    "itiner.geolung, fermate.id AS idfermata, fermate.fermata AS codfermata, "
                    "fermate.denom AS denfermata, fermitin.condist, fermitin.geodist");
    query.SetFrom("itiner, fermitin, fermate");
    query.SetWhere("fermitin.id = itiner.id AND fermate.id = fermitin.fermata");
    query.SetOrderBy("fermitin.id, fermitin.sub");
    double previous = 0;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int32_t routeId = 0;
        query.GetLong(0, routeId);
        const bool first = reg.routes.empty() || reg.routes.back().id != routeId;
        if (first) {
            ProgressiveRoute route;
            route.id = routeId;
            route.code = textOf(query, "codperc");
            query.GetDouble(2, route.conventional);
            query.GetDouble(3, route.cartographic);
            reg.routes.push_back(std::move(route));
        }
        ProgressiveError stop;
        stop.route = reg.routes.size() - 1;
        query.GetLong(4, stop.stop);
        stop.stopCode = textOf(query, "codfermata");
        stop.stopName = textOf(query, "denfermata");
        double conventional = 0;
        double cartographic = 0;
        query.GetDouble(7, conventional);
        query.GetDouble(8, cartographic);
        reg.routes.back().lastProgressive = conventional;
        if (first) {
            if (conventional != 0) {
                reg.errors.push_back({stop.route, -1, {}, "Capolinea Iniziale", "Partenza > 0 Km"});
            }
        } else {
            if (conventional <= previous) {
                stop.error = "Progressiva Errata";
                reg.errors.push_back(stop);
            }
            if (cartographic <= 0) {
                stop.error = "Manca Cartografica";
                reg.errors.push_back(stop);
            }
        }
        previous = conventional;
    }
    for (std::size_t i = 0; i < reg.routes.size(); ++i) {
        const ProgressiveRoute& route = reg.routes[i];
        if (std::fabs(route.conventional - route.lastProgressive) > kLengthTolerance) {
            reg.errors.push_back({i, -1, {}, "Capolinea Finale", "Non quadra lunghezza percorso"});
        }
    }
    return reg;
}

ReportDocument congruenceDocument(ReportDocument document,
                                  const std::vector<CongruenceEntry>& entries) {
    document.columns = {{"Codice", 12, Align::Left},
                        {"Denominazione Percorso", 44, Align::Left},
                        {"Km Convenzionali", 14, Align::Right},
                        {"Km Cartografici", 14, Align::Right},
                        {"Differenza Km", 13, Align::Right},
                        {"Scostamento", 11, Align::Right, "%"}};
    for (const CongruenceEntry& entry : entries) {
        // A route without a conventional length: its deviation is said, not computed.
        const std::string deviation = entry.deviationComputable()
                                          ? fmt::format("{:+.1f}", entry.deviation())
                                          : std::string("non calcolabile");
        document.rows.push_back({{entry.code,
                                  entry.name,
                                  kilometres(entry.conventional),
                                  kilometres(entry.cartographic),
                                  fmt::format("{:+.3f}", entry.difference() * 0.001),
                                  deviation}});
    }
    return document;
}

ReportDocument progressiveErrorsDocument(ReportDocument document, const ProgressiveRegister& reg) {
    document.geometry = PageGeometry::landscape();
    document.columns = {{"Percorso", 12, Align::Left},
                        {"Km Convenzionali", 13, Align::Right},
                        {"Km Cartografici", 13, Align::Right},
                        {"IDFerma", 9, Align::Right},
                        {"Codice", 12, Align::Left},
                        {"Denominazione Fermata", 40, Align::Left},
                        {"Errore", 28, Align::Left}};
    for (const ProgressiveError& error : reg.errors) {
        const ProgressiveRoute& route = reg.routes[error.route];
        // An entry about the route's ends names no stop: its cell stays empty.
        document.rows.push_back({{route.code,
                                  kilometres(route.conventional),
                                  kilometres(route.cartographic),
                                  error.stop < 0 ? std::string() : std::to_string(error.stop),
                                  error.stopCode,
                                  error.stopName,
                                  error.error}});
    }
    return document;
}

ui::FormSpec printTypeForm(std::string title) {
    ui::FormSpec spec;
    spec.id = kPrintTypeFormId;
    spec.title = std::move(title);
    ui::FormField mode;
    mode.id = kPrintModeField;
    mode.kind = ui::FieldKind::Radio;
    mode.entries = {std::string(kPreview), std::string(kPrint)};
    mode.value = kPreview;
    spec.groups.push_back({"Tipo stampa", {std::move(mode)}});
    return spec;
}

std::optional<PrintMode> askPrintMode(workspace::Workspace& workspace, std::string title) {
    const std::optional<ui::FormValues> values =
        workspace.ui().Form(printTypeForm(std::move(title)));
    if (!values) {
        return std::nullopt;
    }
    const auto mode = values->find(kPrintModeField);
    return mode != values->end() && mode->second == kPrint ? PrintMode::Print : PrintMode::Preview;
}

ui::Outcome DistanceRegister(workspace::Workspace& workspace) {
    const std::optional<PrintMode> mode = askPrintMode(workspace, "Verifica Congruenza Distanze");
    if (!mode) {
        return ui::Outcome::Cancelled;
    }
    ReportDocument document =
        congruenceDocument(newDocument(workspace, "Rubrica Verifica Distanze"),
                           congruenceList(*workspace.connection()));
    return presentDocument(workspace, document, *mode);
}

ui::Outcome ProgressiveErrors(workspace::Workspace& workspace) {
    const std::optional<PrintMode> mode = askPrintMode(workspace, "Verifica Distanze Progressive");
    if (!mode) {
        return ui::Outcome::Cancelled;
    }
    ReportDocument document =
        progressiveErrorsDocument(newDocument(workspace, "Rubrica Verifica Errori Progressive"),
                                  progressiveRegister(*workspace.connection()));
    return presentDocument(workspace, document, *mode);
}

} // namespace tramela::reports
