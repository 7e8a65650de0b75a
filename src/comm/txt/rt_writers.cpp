#include "comm/txt/rt_writers.h"

#include "comm/txt/record_layouts.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "ui/ui.h"

#include <algorithm>
#include <fmt/format.h>
#include <unordered_map>

namespace tramela::comm {

namespace {

using store::QueryCursor;

// Text of a column by name, trailing blanks removed.
std::string text(QueryCursor& rows, std::string_view column) {
    std::string value;
    rows.GetText(column, value);
    return value;
}

long wholeNumber(QueryCursor& rows, std::string_view column) {
    return workspace::leadingInteger(text(rows, column));
}

std::string dateText(QueryCursor& rows, int position) {
    std::string value;
    rows.GetDateText(position, value);
    return value;
}

bool flag(QueryCursor& rows, int position) {
    std::int16_t value = 0;
    rows.GetShort(position, value);
    return value != 0;
}

// Completes the file of a writer; the count, or nothing when the file could not be written to
// the end or its rows could not all be read (both shown: no file cut short takes its name).
std::optional<long> complete(workspace::TextFileWriter& file,
                             RecordExport& run,
                             const RecordLayout& layout,
                             bool rowsRead,
                             long count) {
    if (!rowsRead) {
        file.abandon();
        return std::nullopt;
    }
    if (!workspace::closeOrReport(file, run.folder / layout.file, run.connection.ui())) {
        return std::nullopt;
    }
    return count;
}

// Writes one line per row of a query, each built by `build`; the count of lines.
template <typename Build>
std::optional<long>
writeRows(RecordExport& run, const RecordLayout& layout, QueryCursor& rows, Build build) {
    workspace::TextFileWriter file;
    if (!workspace::openOrReport(file, run.folder / layout.file, run.connection.ui())) {
        return std::nullopt;
    }
    RecordBuilder record(layout);
    long count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        record.start().number(run.company);
        build(record);
        file.writeLine(record.line());
        ++count;
    }
    return complete(file, run, layout, !rows.failed(), count);
}

} // namespace

long masterCompanyCode(store::DatabaseConnection& connection) {
    if (!connection.tableExists("master")) {
        return 0;
    }
    store::TableCursor master(&connection, "master");
    std::string company;
    if (master.SelectIndex("codice") && master.Seek({"0"})) {
        master.GetFieldText("azienda", company);
    }
    return workspace::leadingInteger(company);
}

std::optional<long> writeProtocolFile(RecordExport& run) {
    workspace::TextFileWriter file;
    if (!workspace::openOrReport(file, run.folder / protocolLayout().file, run.connection.ui())) {
        return std::nullopt;
    }
    store::TableCursor master(&run.connection, "master");
    if (!master.SelectIndex("codice") || !master.Seek({"0"})) {
        return complete(file, run, protocolLayout(), true, 0);
    }
    std::string sent;
    std::string protocol;
    std::string first;
    std::string last;
    std::string responsible;
    master.GetFieldText("p_data", sent);
    master.GetFieldText("protoc", protocol);
    master.GetFieldText("datini", first);
    master.GetFieldText("datfin", last);
    master.GetFieldDisplayText("resple", responsible);
    RecordBuilder record(protocolLayout());
    record.start()
        .number(run.company)
        .date(sent)
        .number(workspace::leadingInteger(protocol))
        .date(first)
        .date(last)
        .text(run.encoder.encode(responsible));
    file.writeLine(record.line());
    return complete(file, run, protocolLayout(), true, 1);
}

std::optional<long> writeCadenceFile(RecordExport& run) {
    QueryCursor rows(run.connection);
    rows.SetSelect("codice, denom");
    rows.SetFrom("cadenz");
    rows.SetOrderBy("codice");
    return writeRows(run, cadenceLayout(), rows, [&](RecordBuilder& record) {
        record.text(run.encoder.encode(text(rows, "codice")))
            .text(run.encoder.encode(text(rows, "denom")));
    });
}

std::optional<long> writeCalendarFile(RecordExport& run) {
    QueryCursor rows(run.connection);
    rows.SetSelect("data, caden, note");
    rows.SetFrom("calend");
    rows.SetOrderBy("data, caden");
    return writeRows(run, calendarLayout(), rows, [&](RecordBuilder& record) {
        record.date(dateText(rows, 0))
            .text(run.encoder.encode(text(rows, "note")))
            .text(run.encoder.encode(text(rows, "caden")));
    });
}

std::optional<long> writeTripHeaderFile(RecordExport& run) {
    QueryCursor rows(run.connection);
    rows.SetSelect("corse.ID, corse.codcorsa, corse.ente, corse.lung, corse.tempo, "
                   "corse.ct_lung, corse.ct_tempo, corse.codlinea, corse.verso, itiner.denom, "
                   "itiner.codperc");
    rows.SetFrom("corse, itiner");
    rows.SetWhere("itiner.ID = corse.id_perc");
    rows.SetOrderBy("corse.ID");
    return writeRows(run, tripHeaderLayout(), rows, [&](RecordBuilder& record) {
        const std::string direction = text(rows, "verso");
        record.number(wholeNumber(rows, "ID"))
            .text(run.encoder.encode(text(rows, "codcorsa")))
            .number(wholeNumber(rows, "ente"))
            .number(0)
            .number(wholeNumber(rows, "lung"))
            .number(wholeNumber(rows, "tempo"))
            .number(wholeNumber(rows, "ct_lung"))
            .number(wholeNumber(rows, "ct_tempo"))
            .text(run.encoder.encode(text(rows, "codlinea")))
            .letter(direction.empty() ? ' ' : direction[0])
            .text(run.encoder.encode(text(rows, "codperc")))
            .text(run.encoder.encode(text(rows, "itiner.denom")));
    });
}

namespace {

// A stop of a route as the detail lines need it, its texts already in Latin-1.
struct RouteStop {
    std::string code;
    std::string name;
    std::string location;
    long distance = 0;
    bool primary = false;
    bool optional = false;
};

// A row of a standard trip: minutes after the trip's departure.
struct StandardRow {
    long sub = 0;
    long arrival = 0;
    long departure = 0;
    bool passWithoutStopping = false;
};

// The stops of every route in order, found by route.
std::unordered_map<std::int32_t, std::vector<RouteStop>> loadRouteImage(RecordExport& run) {
    std::unordered_map<std::int32_t, std::vector<RouteStop>> routes;
    QueryCursor rows(run.connection);
    rows.SetSelect("fermitin.ID, fermitin.sub, fermate.fermata, fermate.denom, fermate.ubicaz, "
                   "fermitin.condist, fermitin.primaria, fermitin.facolt");
    rows.SetFrom("fermitin, fermate");
    rows.SetWhere("fermate.ID = fermitin.fermata");
    rows.SetOrderBy("fermitin.ID, fermitin.sub");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::int32_t route = 0;
        rows.GetLong(0, route);
        RouteStop stop;
        stop.code = run.encoder.encode(text(rows, "fermata"));
        stop.name = run.encoder.encode(text(rows, "fermate.denom"));
        stop.location = run.encoder.encode(text(rows, "ubicaz"));
        stop.distance = wholeNumber(rows, "condist");
        stop.primary = flag(rows, 6);
        stop.optional = flag(rows, 7);
        routes[route].push_back(std::move(stop));
    }
    return routes;
}

// The rows of every standard trip in order, found by standard trip.
std::unordered_map<std::int32_t, std::vector<StandardRow>> loadStandardImage(RecordExport& run) {
    std::unordered_map<std::int32_t, std::vector<StandardRow>> standards;
    QueryCursor rows(run.connection);
    rows.SetSelect("ID, sub, arriva, parte, nonferma");
    rows.SetFrom("detstd");
    rows.SetOrderBy("ID, sub");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::int32_t standard = 0;
        std::int16_t sub = 0;
        std::int16_t arrival = 0;
        std::int16_t departure = 0;
        rows.GetLong(0, standard);
        rows.GetShort(1, sub);
        rows.GetShort(2, arrival);
        rows.GetShort(3, departure);
        standards[standard].push_back({sub, arrival, departure, flag(rows, 4)});
    }
    return standards;
}

} // namespace

std::optional<long> writeTripDetailFile(RecordExport& run) {
    workspace::TextFileWriter file;
    if (!workspace::openOrReport(file, run.folder / tripDetailLayout().file, run.connection.ui())) {
        return std::nullopt;
    }
    const auto routes = loadRouteImage(run);
    const auto standards = loadStandardImage(run);

    long total = 0;
    if (run.progress) {
        QueryCursor count(run.connection);
        count.SetSelect("COUNT(*)");
        count.SetFrom("corse");
        std::int32_t rows = 0;
        if (count.Execute()) {
            count.GetLong(0, rows);
        }
        total = rows;
    }
    long done = 0;
    QueryCursor trips(run.connection);
    trips.SetSelect("ID, parte, id_perc, standard, codcorsa");
    trips.SetFrom("corse");
    trips.SetOrderBy("ID");
    RecordBuilder record(tripDetailLayout());
    long count = 0;
    for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
        std::int32_t trip = 0;
        std::int16_t departure = 0;
        std::int32_t route = 0;
        std::int32_t standard = 0;
        trips.GetLong(0, trip);
        trips.GetShort(1, departure);
        trips.GetLong(2, route);
        trips.GetLong(3, standard);
        if (run.progress) {
            run.progress(++done, total);
        }
        const auto stops = routes.find(route);
        const auto times = standards.find(standard);
        // Rows and stops are paired by position: both lists must exist and match in length.
        if (stops == routes.end() || times == standards.end() ||
            stops->second.size() != times->second.size()) {
            run.skippedTrips.push_back(fmt::format("{:06d} ({})", trip, text(trips, "codcorsa")));
            continue;
        }
        // Offsets are minutes after the departure: a trip leaving at 23:50 reaches a stop
        // 20 minutes later at 00:10.
        const long start = minutesFromHhmm(departure);
        const size_t last = times->second.size() - 1;
        for (size_t i = 0; i <= last; ++i) {
            const RouteStop& stop = stops->second[i];
            const StandardRow& time = times->second[i];
            record.start()
                .number(run.company)
                .number(trip)
                .number(time.sub)
                .text(stop.code)
                .text(stop.name)
                .text(stop.location)
                .number(stop.distance)
                .time(i == 0 ? 9999 : hhmmFromMinutes(start + time.arrival))
                .time(i == last ? 9999 : hhmmFromMinutes(start + time.departure))
                .flag(stop.primary)
                .flag(stop.optional)
                .flag(time.passWithoutStopping);
            file.writeLine(record.line());
            ++count;
        }
    }
    return complete(file, run, tripDetailLayout(), !trips.failed(), count);
}

std::optional<long> writePeriodFile(RecordExport& run) {
    QueryCursor rows(run.connection);
    rows.SetSelect("ID, inizio, fine, caden, escluso");
    rows.SetFrom("period");
    rows.SetOrderBy("ID");
    return writeRows(run, periodLayout(), rows, [&](RecordBuilder& record) {
        record.number(wholeNumber(rows, "ID"))
            .text(run.encoder.encode(text(rows, "caden")))
            .date(dateText(rows, 1))
            .date(dateText(rows, 2))
            .flag(flag(rows, 4));
    });
}

std::optional<long> writeExtendedCodeFile(RecordExport& run) {
    QueryCursor rows(run.connection);
    rows.SetSelect("ID, lotto, aziges, azisub");
    rows.SetFrom("extcod");
    rows.SetOrderBy("ID");
    return writeRows(run, extendedCodeLayout(), rows, [&](RecordBuilder& record) {
        record.number(wholeNumber(rows, "ID"))
            .number(wholeNumber(rows, "lotto"))
            .number(wholeNumber(rows, "aziges"))
            .number(wholeNumber(rows, "azisub"));
    });
}

} // namespace tramela::comm
