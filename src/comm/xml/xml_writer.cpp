#include "comm/xml/xml_writer.h"

#include "network/geometry_loader.h"
#include "network/route_polyline.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/value_text.h"
#include "ui/row_progress.h"
#include "ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tramela::comm::xml {

namespace {

using store::QueryCursor;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>";

constexpr std::string_view kMasterMissing = "ATTENZIONE: risulta impossibile trovare il MASTER\n\n"
                                            "Presumibilmente il DataBase è corrotto !!!";
constexpr std::string_view kWriteFailed = "Errore durante la scrittura del file\n\n";

void noteFailure(DocumentOutput& out, const QueryCursor& rows) {
    if (rows.failed()) {
        out.failed = true;
    }
}

// The rows of a table (with a condition on bound values), for a progress bar.
std::int64_t countRows(DocumentOutput& out,
                       std::string_view from,
                       std::string_view where = {},
                       const std::vector<std::string>& values = {}) {
    QueryCursor count(out.connection);
    count.SetSelect("COUNT(*)");
    count.SetFrom(from);
    count.SetWhere(where);
    for (size_t i = 0; i < values.size(); ++i) {
        count.Bind(static_cast<int>(i) + 1, values[i]);
    }
    std::int32_t rows = 0;
    if (count.Execute()) {
        count.GetLong(0, rows);
    }
    noteFailure(out, count);
    return rows;
}

std::string textOf(QueryCursor& rows, std::string_view column) {
    std::string value;
    rows.GetText(column, value);
    return value;
}

std::int32_t longAt(QueryCursor& rows, int position) {
    std::int32_t value = 0;
    rows.GetLong(position, value);
    return value;
}

int shortAt(QueryCursor& rows, int position) {
    std::int16_t value = 0;
    rows.GetShort(position, value);
    return value;
}

double doubleAt(QueryCursor& rows, int position) {
    double value = 0.0;
    rows.GetDouble(position, value);
    return value;
}

// Booleans read -1 for true.
bool flagAt(QueryCursor& rows, int position) {
    return shortAt(rows, position) != 0;
}

char yesNo(bool value) {
    return value ? 'S' : 'N';
}

// A distance in whole metres, its fraction dropped; a value beyond any distance reads 0.
long wholeMetres(double metres) {
    return std::isfinite(metres) && std::fabs(metres) < 1e15 ? static_cast<long>(metres) : 0;
}

// A stop of a route as its standard trips list it.
struct RouteStop {
    std::string code; // escaped
    long metres = 0;
    bool primary = false;
    bool optional = false;
};

// A stop of a standard trip: minutes after the trip's departure.
struct StandardStop {
    int sub = 0;
    int arrival = 0;
    int departure = 0;
    bool passWithoutStopping = false;
};

using RouteStops = std::unordered_map<std::int32_t, std::vector<RouteStop>>;
using StandardStops = std::unordered_map<std::int32_t, std::vector<StandardStop>>;
using RouteStandards = std::unordered_map<std::int32_t, std::vector<std::int32_t>>;

// The geometry of every route, read with one query; a corrupt geometry is shown and its route
// goes without one. Only the routes of the selection keep their vertices.
std::unordered_map<std::int32_t, std::vector<network::Point>>
loadGeometries(DocumentOutput& out, ui::RowProgress& progress) {
    std::unordered_map<std::int32_t, std::vector<network::Point>> geometries;
    QueryCursor rows(out.connection);
    rows.SetSelect("itiner.ID, geoitin.punti, geoitin.coord, geoitin.minx, geoitin.miny,"
                   " geoitin.maxx, geoitin.maxy");
    rows.SetFrom("itiner, geoitin");
    rows.SetWhere("itiner.ID = geoitin.ID");
    rows.SetOrderBy("itiner.codperc");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::int32_t route = longAt(rows, 0);
        auto polyline = network::readGeometryColumns(
            rows, 1, network::RouteId{route}, out.connection.ui(), ui::Icon::Stop);
        // A geometry without vertices draws nothing: the route goes without one.
        if (polyline && polyline->vertexCount() > 0 && out.selection.containsRoute(route)) {
            const auto vertices = polyline->vertices();
            geometries[route].assign(vertices.begin(), vertices.end());
        }
    }
    noteFailure(out, rows);
    return geometries;
}

// The stops of the selection's routes in route order, with one query over every route.
RouteStops loadRouteStops(DocumentOutput& out, ui::RowProgress& progress) {
    RouteStops routes;
    QueryCursor rows(out.connection);
    rows.SetSelect("fermitin.ID, fermitin.sub, fermate.fermata, fermitin.condist,"
                   " fermitin.primaria, fermitin.facolt");
    rows.SetFrom("fermitin, fermate");
    rows.SetWhere("fermate.ID = fermitin.fermata");
    rows.SetOrderBy("fermitin.ID, fermitin.sub");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::int32_t route = longAt(rows, 0);
        if (!out.selection.containsRoute(route)) {
            continue;
        }
        routes[route].push_back({out.text(textOf(rows, "fermata")),
                                 wholeMetres(doubleAt(rows, 3)),
                                 flagAt(rows, 4),
                                 flagAt(rows, 5)});
    }
    noteFailure(out, rows);
    return routes;
}

// The standard trips of the selection that the trips run on each route of the selection, in
// ascending identifier.
RouteStandards loadRouteStandards(DocumentOutput& out) {
    RouteStandards routes;
    QueryCursor rows(out.connection);
    rows.SetSelect("id_perc, standard");
    rows.SetFrom("corse");
    rows.SetGroupBy("id_perc, standard");
    rows.SetOrderBy("id_perc, standard");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        const std::int32_t route = longAt(rows, 0);
        const std::int32_t standard = longAt(rows, 1);
        if (out.selection.containsRoute(route) && out.selection.containsStandardTrip(standard)) {
            routes[route].push_back(standard);
        }
    }
    noteFailure(out, rows);
    return routes;
}

// The stops of the selection's standard trips in order, with one query.
StandardStops loadStandardStops(DocumentOutput& out, ui::RowProgress& progress) {
    StandardStops standards;
    QueryCursor rows(out.connection);
    rows.SetSelect("id, sub, arriva, parte, nonferma");
    rows.SetFrom("detstd");
    rows.SetOrderBy("id, sub");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::int32_t standard = longAt(rows, 0);
        if (!out.selection.containsStandardTrip(standard)) {
            continue;
        }
        standards[standard].push_back(
            {shortAt(rows, 1), shortAt(rows, 2), shortAt(rows, 3), flagAt(rows, 4)});
    }
    noteFailure(out, rows);
    return standards;
}

// The standard trips of one route. The stops of a standard trip are paired in order with the
// route's stops; when one list is longer, its surplus stops are left out.
void writeStandardTrips(DocumentOutput& out,
                        const std::vector<RouteStop>& stops,
                        const std::vector<std::int32_t>& standardIds,
                        const StandardStops& standards) {
    std::vector<std::pair<std::int32_t, const std::vector<StandardStop>*>> kept;
    for (const std::int32_t id : standardIds) {
        if (const auto found = standards.find(id); found != standards.end()) {
            kept.emplace_back(id, &found->second);
        }
    }
    if (stops.empty() || kept.empty()) {
        return;
    }
    out.file.writeLine("\t\t\t<CorseStandard>");
    for (const auto& [id, times] : kept) {
        out.file.writeLine(
            fmt::format("\t\t\t\t<CorsaStd id=\"{}\" tempo=\"{}\">", id, times->back().arrival));
        const size_t paired = std::min(stops.size(), times->size());
        for (size_t i = 0; i < paired; ++i) {
            const RouteStop& stop = stops[i];
            const StandardStop& time = (*times)[i];
            // Offsets past midnight wrap to the next day's clock.
            out.file.writeLine(
                fmt::format("\t\t\t\t\t<StdFmt sub=\"{}\" metri=\"{}\" code=\"{}\" arriva=\"{}\" "
                            "parte=\"{}\" primaria=\"{}\" facolt=\"{}\" nonferma=\"{}\" />",
                            time.sub,
                            stop.metres,
                            stop.code,
                            time.arrival % 1440,
                            time.departure % 1440,
                            yesNo(stop.primary),
                            yesNo(stop.optional),
                            yesNo(time.passWithoutStopping)));
        }
        out.file.writeLine("\t\t\t\t</CorsaStd>");
    }
    out.file.writeLine("\t\t\t</CorseStandard>");
}

// The six levels by which the plan of trips groups its trips, outermost first.
struct PlanGroup {
    int lot = 0;
    int authority = 0;
    std::string line;        // the standard line's code
    std::string companyLine; // the company's own line code
    int company = 0;
    int subcontractor = 0;

    // The outermost level at which the two differ; 6 when they are equal.
    int firstDifference(const PlanGroup& other) const {
        if (lot != other.lot) {
            return 0;
        }
        if (authority != other.authority) {
            return 1;
        }
        if (line != other.line) {
            return 2;
        }
        if (companyLine != other.companyLine) {
            return 3;
        }
        if (company != other.company) {
            return 4;
        }
        return subcontractor != other.subcontractor ? 5 : 6;
    }
};

constexpr std::string_view kPlanEndTags[6] = {
    "\t\t</Lotto>",
    "\t\t\t</Ente>",
    "\t\t\t\t</Linea>",
    "\t\t\t\t\t</AzLinea>",
    "\t\t\t\t\t\t</Gestore>",
    "\t\t\t\t\t\t\t</Subappalto>",
};

// A period line of a trip of the selection, ready to be written.
struct PeriodLine {
    std::int32_t trip = 0;
    std::string line;
};

// The periods that overlap the range, of the selection's trips, with one query: by trip, each
// trip's periods in the order they were stored, clipped to the range.
std::vector<PeriodLine> loadPeriods(DocumentOutput& out, ui::RowProgress& progress) {
    const calendar::ServiceDayExtraction& selection = out.selection;
    const std::vector<std::string> range = {selection.last().iso(), selection.first().iso()};
    constexpr std::string_view overlap = "inizio <= ? AND fine >= ?";
    progress.addRows(countRows(out, "period", overlap, range));

    std::vector<PeriodLine> periods;
    QueryCursor rows(out.connection);
    rows.SetSelect("id, inizio, fine, caden, escluso");
    rows.SetFrom("period");
    rows.SetWhere(overlap);
    rows.SetOrderBy("id, rowid");
    rows.Bind(1, range[0]);
    rows.Bind(2, range[1]);
    std::string start;
    std::string end;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::int32_t trip = longAt(rows, 0);
        if (!selection.containsTrip(trip)) {
            continue;
        }
        rows.GetDateText(1, start);
        rows.GetDateText(2, end);
        periods.push_back(
            {trip,
             fmt::format("\t\t\t\t\t\t\t\t\t<Periodo inizio=\"{}\" fine=\"{}\" code=\"{}\" "
                         "excl=\"{}\" />",
                         selection.clampDate(start),
                         selection.clampDate(end),
                         out.text(textOf(rows, "caden")),
                         yesNo(flagAt(rows, 4)))});
    }
    noteFailure(out, rows);
    return periods;
}

char directionLetter(std::string_view verso) {
    const char first = verso.empty() ? ' ' : verso.front();
    if (first == 'a' || first == 'A') {
        return 'A';
    }
    return first == 'r' || first == 'R' ? 'R' : '-';
}

} // namespace

std::string escapeXmlText(std::string_view text) {
    text = store::withoutTrailingBlanks(text);
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\t':
            escaped += "&#9;";
            break;
        case '\n':
            escaped += "&#10;";
            break;
        case '\r':
            escaped += "&#13;";
            break;
        default:
            escaped += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return escaped;
}

std::string communicationType(const calendar::CommunicationFlags& flags) {
    std::string type = "UNKNOWN";
    if (flags.budget) {
        type = "BUDGET";
    }
    if (flags.planning) {
        type = "PLANNING";
    }
    if (flags.project) {
        type = "PROJECT";
    }
    if (flags.test) {
        type = "TEST";
    }
    return type;
}

int writeProtocol(DocumentOutput& out, const Date& today) {
    ui::RowProgress progress(out.connection.ui());
    // A company code missing from the register still gives the header, with an empty name: the
    // document cannot do without its root.
    QueryCursor rows(out.connection);
    rows.SetSelect("master.azienda, regazi.denom, master.p_data, master.protoc, master.datini,"
                   " master.datfin, master.resple");
    rows.SetFrom("master LEFT JOIN regazi ON regazi.codice = master.azienda");
    rows.SetWhere("master.codice = 0");
    progress.addRows(1);
    const std::string type = communicationType(out.selection.flags());
    int count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        out.file.writeLine(fmt::format("<VkzXml level=\"1.0\" azienda=\"{}\" name=\"{}\" "
                                       "data=\"{}\" nro=\"{}\" inizio=\"{}\" fine=\"{}\" "
                                       "agente=\"{}\" tipo=\"{}\">",
                                       shortAt(rows, 0),
                                       out.text(textOf(rows, "denom")),
                                       today.display(),
                                       longAt(rows, 3),
                                       out.selection.startText(),
                                       out.selection.endText(),
                                       out.text(textOf(rows, "resple")),
                                       type));
        ++count;
        progress.advance();
    }
    noteFailure(out, rows);
    return count;
}

int writeStops(DocumentOutput& out) {
    ui::RowProgress progress(out.connection.ui());
    progress.addRows(countRows(out, "fermate"));
    out.file.writeLine("\t<Fermate>");
    QueryCursor rows(out.connection);
    rows.SetSelect("fermata, denom, ubicaz, coord_x, coord_y, id");
    rows.SetFrom("fermate");
    rows.SetOrderBy("fermata");
    int count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        if (!out.selection.containsStop(longAt(rows, 5))) {
            continue;
        }
        out.file.writeLine(
            fmt::format("\t\t<Fmt code=\"{}\" name=\"{}\" ubic=\"{}\" x=\"{:.4f}\" y=\"{:.4f}\" />",
                        out.text(textOf(rows, "fermata")),
                        out.text(textOf(rows, "denom")),
                        out.text(textOf(rows, "ubicaz")),
                        doubleAt(rows, 3),
                        doubleAt(rows, 4)));
        ++count;
    }
    noteFailure(out, rows);
    out.file.writeLine("\t</Fermate>");
    return count;
}

int writeRoutes(DocumentOutput& out) {
    ui::RowProgress progress(out.connection.ui());
    progress.addRows(countRows(out, "geoitin") + countRows(out, "fermitin") +
                     countRows(out, "detstd") + countRows(out, "itiner"));
    const auto geometries = loadGeometries(out, progress);
    const RouteStops stops = loadRouteStops(out, progress);
    const RouteStandards routeStandards = loadRouteStandards(out);
    const StandardStops standards = loadStandardStops(out, progress);
    const std::vector<RouteStop> noStops;
    const std::vector<std::int32_t> noStandards;

    out.file.writeLine("\t<Percorsi>");
    QueryCursor rows(out.connection);
    rows.SetSelect("id, codperc, denom, geolung, conlung");
    rows.SetFrom("itiner");
    rows.SetOrderBy("codperc, id");
    int count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::int32_t route = longAt(rows, 0);
        if (!out.selection.containsRoute(route)) {
            continue;
        }
        out.file.writeLine(fmt::format("\t\t<Itn code=\"{}\" name=\"{}\" metri=\"{:.4f}\">",
                                       out.text(textOf(rows, "codperc")),
                                       out.text(textOf(rows, "denom")),
                                       doubleAt(rows, 4)));
        if (const auto geometry = geometries.find(route); geometry != geometries.end()) {
            out.file.writeLine(fmt::format("\t\t\t<Geom pts=\"{}\">", geometry->second.size()));
            for (const network::Point& point : geometry->second) {
                out.file.writeLine(
                    fmt::format("\t\t\t\t<Pt x=\"{:.4f}\" y=\"{:.4f}\" />", point.x, point.y));
            }
            out.file.writeLine("\t\t\t</Geom>");
        }
        const auto routeStops = stops.find(route);
        const auto used = routeStandards.find(route);
        writeStandardTrips(out,
                           routeStops != stops.end() ? routeStops->second : noStops,
                           used != routeStandards.end() ? used->second : noStandards,
                           standards);
        out.file.writeLine("\t\t</Itn>");
        ++count;
    }
    noteFailure(out, rows);
    out.file.writeLine("\t</Percorsi>");
    return count;
}

int writeCadences(DocumentOutput& out) {
    ui::RowProgress progress(out.connection.ui());
    progress.addRows(countRows(out, "cadenz"));
    out.file.writeLine("\t<Cadenze>");
    QueryCursor rows(out.connection);
    rows.SetSelect("codice, denom");
    rows.SetFrom("cadenz");
    rows.SetOrderBy("codice");
    int count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::string code = textOf(rows, "codice");
        if (!out.selection.containsCadence(code)) {
            continue;
        }
        out.file.writeLine(fmt::format("\t\t<Cad code=\"{}\" name=\"{}\" />",
                                       out.text(code),
                                       out.text(textOf(rows, "denom"))));
        ++count;
    }
    noteFailure(out, rows);
    out.file.writeLine("\t</Cadenze>");
    return count;
}

int writeCalendar(DocumentOutput& out) {
    ui::RowProgress progress(out.connection.ui());
    // Only days of the range can belong to the communication.
    const std::vector<std::string> range = {out.selection.first().iso(),
                                            out.selection.last().iso()};
    constexpr std::string_view inRange = "data >= ? AND data <= ?";
    progress.addRows(countRows(out, "calend", inRange, range));
    out.file.writeLine("\t<Calendario>");
    QueryCursor rows(out.connection);
    rows.SetSelect("data, caden, note");
    rows.SetFrom("calend");
    rows.SetWhere(inRange);
    rows.SetOrderBy("data, caden");
    rows.Bind(1, range[0]);
    rows.Bind(2, range[1]);
    std::string date;
    int count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        rows.GetDateText(0, date);
        const std::string cadence = textOf(rows, "caden");
        if (!out.selection.containsCalendarDay(date, cadence)) {
            continue;
        }
        out.file.writeLine(fmt::format("\t\t<Kal code=\"{}\" data=\"{}\" note=\"{}\" />",
                                       out.text(cadence),
                                       date,
                                       out.text(textOf(rows, "note"))));
        ++count;
    }
    noteFailure(out, rows);
    out.file.writeLine("\t</Calendario>");
    return count;
}

int writeTripPlan(DocumentOutput& out) {
    ui::RowProgress progress(out.connection.ui());
    progress.addRows(countRows(out, "corse"));
    const std::vector<PeriodLine> periods = loadPeriods(out, progress);

    out.file.writeLine("\t<PianoCorse>");
    QueryCursor rows(out.connection);
    // Several registers lend a "denom": each is read by its own name.
    rows.SetSelect("corse.id, corse.codcorsa, corse.ente, corse.codlinea, corse.verso,"
                   " extcod.lotto, extcod.aziges, extcod.azisub, corse.parte, corse.standard,"
                   " reglot.denom AS lotname, e1.denom AS tripauthorityname,"
                   " aziges.denom AS companyname, azisub.denom AS subcontractorname,"
                   " reglinee.ente, e2.denom AS authorityname, reglinee.sigla,"
                   " reglinee.denom AS linename, reglinee.itiner");
    rows.SetFrom("corse, extcod, reglot, regent AS e1, regent AS e2, regazi AS aziges,"
                 " regazi AS azisub, reglinee, reglklin");
    rows.SetWhere("extcod.ID = corse.ID AND reglot.codice = extcod.lotto"
                  " AND e1.codice = corse.ente AND e2.codice = reglinee.ente"
                  " AND aziges.codice = extcod.aziges AND azisub.codice = extcod.azisub"
                  " AND reglklin.codlinea = corse.codlinea AND reglklin.lotto = extcod.lotto"
                  " AND reglinee.lotto = reglklin.lotto AND reglinee.id = reglklin.id");
    rows.SetOrderBy("extcod.lotto, reglinee.ente, reglinee.sigla, corse.codlinea, extcod.aziges,"
                    " extcod.azisub, corse.parte, corse.id");

    std::optional<PlanGroup> open;
    int count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        progress.advance();
        const std::int32_t trip = longAt(rows, 0);
        if (!out.selection.containsTrip(trip)) {
            continue;
        }
        PlanGroup group{shortAt(rows, 5),
                        shortAt(rows, 14),
                        textOf(rows, "sigla"),
                        textOf(rows, "codlinea"),
                        shortAt(rows, 6),
                        shortAt(rows, 7)};
        // Closing innermost first down to the level that changed, then opening from it again.
        const int changed = open ? open->firstDifference(group) : 0;
        if (open) {
            for (int level = 5; level >= changed; --level) {
                out.file.writeLine(kPlanEndTags[level]);
            }
        }
        if (changed <= 0) {
            out.file.writeLine(fmt::format("\t\t<Lotto code=\"{}\" name=\"{}\">",
                                           group.lot,
                                           out.text(textOf(rows, "lotname"))));
        }
        if (changed <= 1) {
            out.file.writeLine(fmt::format("\t\t\t<Ente code=\"{}\" name=\"{}\">",
                                           group.authority,
                                           out.text(textOf(rows, "authorityname"))));
        }
        if (changed <= 2) {
            out.file.writeLine(fmt::format("\t\t\t\t<Linea sigla=\"{}\" name=\"{}\" denom=\"{}\">",
                                           out.text(group.line),
                                           out.text(textOf(rows, "linename")),
                                           out.text(textOf(rows, "itiner"))));
        }
        if (changed <= 3) {
            out.file.writeLine(
                fmt::format("\t\t\t\t\t<AzLinea sigla=\"{}\">", out.text(group.companyLine)));
        }
        if (changed <= 4) {
            out.file.writeLine(fmt::format("\t\t\t\t\t\t<Gestore code=\"{}\" name=\"{}\">",
                                           group.company,
                                           out.text(textOf(rows, "companyname"))));
        }
        if (changed <= 5) {
            out.file.writeLine(fmt::format("\t\t\t\t\t\t\t<Subappalto code=\"{}\" name=\"{}\">",
                                           group.subcontractor,
                                           out.text(textOf(rows, "subcontractorname"))));
        }
        open = std::move(group);

        // The departure is held as hours × 100 + minutes.
        const int departure = shortAt(rows, 8);
        out.file.writeLine(fmt::format("\t\t\t\t\t\t\t\t<Corsa id=\"{}\" v=\"{}\" code=\"{}\" "
                                       "IdStd=\"{}\" parte=\"{:02d}:{:02d}\" EnteCode=\"{}\" "
                                       "EnteName=\"{}\">",
                                       trip,
                                       directionLetter(textOf(rows, "verso")),
                                       out.text(textOf(rows, "codcorsa")),
                                       longAt(rows, 9),
                                       departure / 100,
                                       departure % 100,
                                       shortAt(rows, 2),
                                       out.text(textOf(rows, "tripauthorityname"))));
        const auto [first, last] = std::equal_range(
            periods.begin(), periods.end(), PeriodLine{trip, {}}, [](const auto& a, const auto& b) {
                return a.trip < b.trip;
            });
        for (auto period = first; period != last; ++period) {
            out.file.writeLine(period->line);
        }
        out.file.writeLine("\t\t\t\t\t\t\t\t</Corsa>");
        ++count;
    }
    noteFailure(out, rows);
    if (open) {
        for (int level = 5; level >= 0; --level) {
            out.file.writeLine(kPlanEndTags[level]);
        }
    }
    out.file.writeLine("\t</PianoCorse>");
    return count;
}

std::optional<SectionCounts> writeVkzXmlDocument(store::DatabaseConnection& connection,
                                                 const calendar::ServiceDayExtraction& selection,
                                                 const std::filesystem::path& file,
                                                 const Date& today) {
    ui::Ui& ui = connection.ui();
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, file, ui)) {
        return std::nullopt;
    }
    // A document that could not be written whole never takes the chosen name, so it is not left
    // for anyone to send (and a file of that name stays as it was).
    const auto abandon = [&] {
        writer.abandon();
        ui.Progress(-1);
        return std::nullopt;
    };

    DocumentOutput out{connection, selection, writer};
    writer.writeLine(kDeclaration);
    writer.writeLine(fmt::format("<!DOCTYPE VkzXml SYSTEM \"{}\">", kDtdUrl));

    SectionCounts counts;
    const std::pair<int SectionCounts::*, int (*)(DocumentOutput&)> sections[] = {
        {&SectionCounts::stops, writeStops},
        {&SectionCounts::routes, writeRoutes},
        {&SectionCounts::cadences, writeCadences},
        {&SectionCounts::calendarDays, writeCalendar},
        {&SectionCounts::trips, writeTripPlan},
    };
    ui.ProgressCaption(kSectionCaptions[0]);
    counts.protocol = writeProtocol(out, today);
    if (out.failed) {
        return abandon();
    }
    if (counts.protocol == 0) {
        ui.Message(kMasterMissing, ui::Icon::Stop);
        return abandon();
    }
    for (size_t i = 0; i < std::size(sections); ++i) {
        ui.ProgressCaption(kSectionCaptions[i + 1]);
        counts.*sections[i].first = sections[i].second(out);
        if (out.failed) {
            return abandon();
        }
    }
    ui.Progress(-1);
    writer.writeLine("</VkzXml>");
    if (!writer.close()) {
        ui.Message(std::string(kWriteFailed) + file.string(), ui::Icon::Exclamation);
        return abandon();
    }
    counts.changedTexts = out.encoder.changed();
    return counts;
}

} // namespace tramela::comm::xml
