#include "network/association_command.h"

#include "network/geometry_loader.h"
#include "store/query_cursor.h"
#include "ui/progress_bar.h"
#include "ui/row_progress.h"
#include "workspace/report_header.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fmt/format.h>
#include <string>

namespace tramela::network {

namespace {

constexpr std::string_view kFinished = "L'analisi dell'associazione tra Fermate e Percorsi è "
                                       "teminata.\n"
                                       "Vuoi salvare il report analitico di analisi ?";
constexpr std::string_view kReportDialogTitle = "Report Associazione Fermate Percorsi";
constexpr std::string_view kReportTitle = "Analisi Associazione Fermate/Percorsi";
constexpr std::string_view kChoicesTitle = "Report Analisi Associazione Fermate/Percorsi";
// Stops that cannot be placed: said on screen and listed at the end of the report.
constexpr std::string_view kOneWithoutCoordinates =
    "Attenzione: 1 fermata priva di coordinate è stata esclusa dall'analisi";
constexpr fmt::format_string<std::size_t> kWithoutCoordinates =
    "Attenzione: {} fermate prive di coordinate sono state escluse dall'analisi";
constexpr std::string_view kWithoutCoordinatesHeading =
    "Fermate prive di coordinate escluse dall'analisi";

// Coordinates are numbers only when the database holds numbers: a null or a text (which the
// sibling product may have stored) is no position, and neither is an infinite value.
constexpr std::string_view kPlaced = "typeof(fermate.coord_x) IN ('real', 'integer') AND "
                                     "typeof(fermate.coord_y) IN ('real', 'integer')";

std::optional<Point> positionOf(store::QueryCursor& query, int xColumn) {
    std::int32_t placed = 0;
    Point p;
    query.GetLong(xColumn + 2, placed);
    query.GetDouble(xColumn, p.x);
    query.GetDouble(xColumn + 1, p.y);
    if (placed == 0 || !std::isfinite(p.x) || !std::isfinite(p.y)) {
        return std::nullopt;
    }
    return p;
}

std::string textOf(store::QueryCursor& query, std::string_view column) {
    std::string text;
    query.GetText(column, text);
    return text;
}

// The rows a step will read, for its progress bar; nothing when the query failed (shown).
std::optional<std::int64_t>
countRows(store::DatabaseConnection& connection, std::string_view from, std::string_view where) {
    store::QueryCursor count(connection);
    count.SetSelect("COUNT(*)");
    count.SetFrom(from);
    count.SetWhere(where);
    std::int32_t rows = 0;
    if (count.Execute()) {
        count.GetLong(0, rows);
    }
    if (count.failed()) {
        return std::nullopt;
    }
    return rows;
}

ui::FormSpec choicesForm() {
    const auto check = [](std::string_view id, std::string caption) {
        ui::FormField field;
        field.id = id;
        field.caption = std::move(caption);
        field.kind = ui::FieldKind::Check;
        field.value = "0";
        return field;
    };
    ui::FormSpec form;
    form.id = kAssociationFormId;
    form.kind = ui::QuestionKind::Offer;
    form.title = kChoicesTitle;
    form.groups = {{"",
                    {check(kFullReportField, "Report completo"),
                     check(kAbsentField, "Includi fermate assenti ma associabili"),
                     check(kWrongField, "Includi fermate presenti ma errate")}}};
    return form;
}

// The report, when the user wants it: false only when it was wanted and could not be written
// (said so).
bool offerReport(store::DatabaseConnection& connection,
                 const StopAssociation& association,
                 const std::vector<const RegisterStop*>& unplaced) {
    ui::Ui& ui = connection.ui();
    if (!ui.Confirm({std::string(ui::keys::kReport), ui::QuestionKind::Offer},
                    kFinished,
                    ui::Icon::Information)) {
        return true;
    }
    const std::optional<ui::FormValues> values = ui.Form(choicesForm());
    if (!values) {
        return true;
    }
    const auto ticked = [&](std::string_view field) {
        const auto found = values->find(field);
        return found != values->end() && found->second == "1";
    };
    ReportChoices choices{ticked(kFullReportField), ticked(kAbsentField), ticked(kWrongField)};

    ui::FileDialog dialog;
    dialog.key = ui::keys::kReport;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.title = kReportDialogTitle;
    dialog.defaultExtension = "txt";
    dialog.initialName = "ReportFermatePercorsi";
    dialog.filters = {{"File di testo (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    dialog.confirmOverwrite = true;
    const std::optional<std::filesystem::path> path = ui.SaveFile(dialog);
    if (!path) {
        return true;
    }
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, *path, ui)) {
        return false;
    }
    workspace::writeReportHeader(writer, kReportTitle, {"Database: " + connection.path().string()});
    workspace::Latin1Encoder latin1;
    for (const std::string& line : reportLines(association.routes(), choices)) {
        writer.writeLine(latin1.encode(line));
    }
    if (!unplaced.empty()) {
        writer.writeLine("");
        writer.writeLine(latin1.encode(kWithoutCoordinatesHeading));
        for (const RegisterStop* stop : unplaced) {
            writer.writeLine(latin1.encode(
                fmt::format("\t{}-{}\tID={}", stop->code, stop->name, stop->id.value)));
        }
    }
    return workspace::closeOrReport(writer, *path, ui);
}

} // namespace

std::optional<std::vector<RegisterStop>> ReadRegisterStops(store::DatabaseConnection& connection) {
    store::QueryCursor query(connection);
    query.SetSelect(fmt::format("ID, fermata, denom, coord_x, coord_y, {}", kPlaced));
    query.SetFrom("fermate");
    query.SetOrderBy("ID");
    std::vector<RegisterStop> stops;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        RegisterStop stop;
        if (!query.GetLong(0, stop.id.value)) {
            continue; // an ID beyond 32 bits names no stop a route can hold
        }
        stop.code = textOf(query, "fermata");
        stop.name = textOf(query, "denom");
        stop.position = positionOf(query, 3);
        stops.push_back(std::move(stop));
    }
    if (query.failed()) {
        return std::nullopt;
    }
    return stops;
}

bool ReadAnalysedRoutes(store::DatabaseConnection& connection, StopAssociation& association) {
    ui::Ui& ui = connection.ui();
    constexpr std::string_view kFrom = "geoitin, itiner";
    constexpr std::string_view kWhere = "geoitin.ID = itiner.ID";
    ui.ProgressCaption(kRouteExtractionCaption);
    const std::optional<std::int64_t> rows = countRows(connection, kFrom, kWhere);
    if (!rows) {
        return false;
    }
    ui::RowProgress progress(ui, *rows);
    store::QueryCursor query(connection);
    query.SetSelect("geoitin.ID, itiner.codperc, itiner.denom, geoitin.punti, geoitin.coord,"
                    " geoitin.minx,  geoitin.miny, geoitin.maxx, geoitin.maxy");
    query.SetFrom(kFrom);
    query.SetWhere(kWhere);
    query.SetOrderBy("itiner.ID");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        progress.advance();
        std::int32_t id = 0;
        if (!query.GetLong(0, id)) {
            continue; // an ID beyond 32 bits is no route of ours
        }
        if (std::optional<RoutePolyline> polyline =
                readGeometryColumns(query, 3, RouteId{id}, ui)) {
            association.addRoute(RouteId{id},
                                 textOf(query, "codperc"),
                                 textOf(query, "denom"),
                                 std::move(*polyline));
        }
    }
    return !query.failed();
}

bool ReadCompositions(store::DatabaseConnection& connection, StopAssociation& association) {
    ui::Ui& ui = connection.ui();
    constexpr std::string_view kFrom = "fermitin, fermate";
    constexpr std::string_view kWhere = "fermate.ID = fermitin.fermata";
    ui.ProgressCaption(kCompositionCaption);
    const std::optional<std::int64_t> rows = countRows(connection, kFrom, kWhere);
    if (!rows) {
        return false;
    }
    ui::RowProgress progress(ui, *rows);
    store::QueryCursor query(connection);
    // The stop's code is named apart from fermitin.fermata, which holds the stop's ID.
    query.SetSelect(fmt::format("fermitin.ID, fermitin.fermata, fermitin.geodist,"
                                " fermate.fermata AS codfermata, fermate.denom, fermate.coord_x,"
                                " fermate.coord_y, {}",
                                kPlaced));
    query.SetFrom(kFrom);
    query.SetWhere(kWhere);
    query.SetOrderBy("fermitin.ID, fermitin.sub");
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        progress.advance();
        std::int32_t route = 0;
        RegisterStop stop;
        double geodist = 0.0;
        if (!query.GetLong(0, route) || !query.GetLong(1, stop.id.value)) {
            continue;
        }
        query.GetDouble(2, geodist);
        stop.code = textOf(query, "codfermata");
        stop.name = textOf(query, "denom");
        stop.position = positionOf(query, 5);
        association.addCompositionStop(
            RouteId{route}, stop, std::isfinite(geodist) ? geodist : 0.0);
    }
    return !query.failed();
}

ui::Outcome StopRouteAnalysis(workspace::Workspace& workspace) {
    store::DatabaseConnection* connection = workspace.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = workspace.ui();
    ui::ProgressBar bar(ui); // hidden on every way out
    StopAssociation association;
    if (!ReadAnalysedRoutes(*connection, association)) {
        return ui::Outcome::Failed;
    }

    ui.ProgressCaption(kStopAnalysisCaption);
    const std::optional<std::vector<RegisterStop>> stops = ReadRegisterStops(*connection);
    if (!stops) {
        return ui::Outcome::Failed;
    }
    {
        ui::RowProgress progress(ui, static_cast<std::int64_t>(stops->size()));
        association.findStops(*stops, [&](std::size_t) { progress.advance(); });
    }
    {
        ui::RowProgress progress(
            ui, kSortingCaption, static_cast<std::int64_t>(association.routes().size()));
        association.sortItems([&](std::size_t) { progress.advance(); });
    }
    if (!ReadCompositions(*connection, association)) {
        return ui::Outcome::Failed;
    }
    {
        ui::RowProgress progress(
            ui, kSideCaption, static_cast<std::int64_t>(association.routes().size()));
        association.settleSides([&](std::size_t) { progress.advance(); });
    }
    bar.hide();

    std::vector<const RegisterStop*> unplaced;
    for (const RegisterStop& stop : *stops) {
        if (!stop.position) {
            unplaced.push_back(&stop);
        }
    }
    if (unplaced.size() == 1) {
        ui.Message(kOneWithoutCoordinates, ui::Icon::Exclamation);
    } else if (!unplaced.empty()) {
        ui.Message(fmt::format(kWithoutCoordinates, unplaced.size()), ui::Icon::Exclamation);
    }
    return offerReport(*connection, association, unplaced) ? ui::Outcome::Done
                                                           : ui::Outcome::Failed;
}

} // namespace tramela::network
