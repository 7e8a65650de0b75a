#include "reports/boards/board_model.h"

#include "calendar/running_days.h"
#include "store/date.h"
#include "store/query_cursor.h"
#include "workspace/company_header.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>
#include <unordered_map>

namespace tramela::reports {

namespace {

constexpr std::string_view kUnknownRouteCode = "??????";
constexpr std::string_view kUnknownRouteName = "SCONOSCIUTO";
constexpr int kNoteLetters = 52; // A-Z then a-z
constexpr int kNoteCount = (1 + kNoteLetters) * kNoteLetters;

char noteLetter(int index) {
    return static_cast<char>(index < 26 ? 'A' + index : 'a' + (index - 26));
}

std::string companyLine(store::DatabaseConnection& connection,
                        std::optional<workspace::CompanyHeader>& header) {
    header = workspace::ReadCompanyHeader(connection);
    if (!header) {
        return "Azienda Non Definita";
    }
    long company = 0;
    try {
        company = std::stol(header->company);
    } catch (const std::exception&) {
        company = 0;
    }
    return fmt::format("Azienda {} - {} [periodo dal {} al {}]",
                       company,
                       header->companyName.empty() ? "Azienda non definita" : header->companyName,
                       header->start,
                       header->end);
}

// "GG/MM/AAAA" as a calendar day.
std::optional<Date> displayedDate(std::string_view text) {
    if (text.size() != 10 || text[2] != '/' || text[5] != '/') {
        return std::nullopt;
    }
    const std::string iso =
        fmt::format("{}-{}-{}", text.substr(6, 4), text.substr(3, 2), text.substr(0, 2));
    return parseIsoDate(iso);
}

// The calendar of the company's period; the whole calendar when the period is not stated.
std::optional<calendar::RunningDayCalendar>
periodCalendar(store::DatabaseConnection& connection,
               const std::optional<workspace::CompanyHeader>& header) {
    store::QueryCursor cursor(connection);
    cursor.SetSelect("data, caden");
    cursor.SetFrom("calend");
    const std::optional<Date> first = header ? displayedDate(header->start) : std::nullopt;
    const std::optional<Date> last = header ? displayedDate(header->end) : std::nullopt;
    if (first && last) {
        cursor.SetWhere("calend.data >= ?1 AND calend.data <= ?2");
        cursor.Bind(1, first->iso());
        cursor.Bind(2, last->iso());
    }
    cursor.SetOrderBy("data, caden");
    calendar::RunningDayCalendar days;
    std::string date;
    std::string cadence;
    for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
        cursor.GetDateText(0, date);
        cursor.GetText("caden", cadence);
        days.add(date, cadence);
    }
    if (cursor.failed()) {
        return std::nullopt;
    }
    return days;
}

bool readFlag(store::QueryCursor& cursor, int position) {
    std::int16_t value = 0;
    if (cursor.GetShort(position, value)) {
        return value != 0;
    }
    std::int32_t computed = 0; // a comparison computed by the query
    return cursor.GetLong(position, computed) && computed != 0;
}

std::optional<std::int32_t> readLong(store::QueryCursor& cursor, int position) {
    std::int32_t value = 0;
    if (cursor.GetLong(position, value)) {
        return value;
    }
    std::int16_t shortValue = 0;
    if (cursor.GetShort(position, shortValue)) {
        return shortValue;
    }
    return std::nullopt;
}

std::optional<double> readDouble(store::QueryCursor& cursor, int position) {
    double value = 0;
    if (cursor.GetDouble(position, value)) {
        return value;
    }
    if (const std::optional<std::int32_t> whole = readLong(cursor, position)) {
        return *whole;
    }
    return std::nullopt;
}

// The trips with their periods, one board per route, columns in order of start. Rows come
// grouped by route so that the columns of one route stay together, whatever the filter.
bool readColumns(store::QueryCursor& cursor,
                 const BoardSelection& selection,
                 std::vector<Board>& boards) {
    cursor.SetSelect("corse.id_perc, corse.id, corse.codcorsa, corse.codlinea, corse.verso, "
                     "corse.ct_lung, corse.ct_tempo, period.caden, cadenz.denom AS cadname, "
                     "period.inizio, period.fine, period.escluso, corse.standard, corse.parte, "
                     "itiner.id IS NOT NULL AS known, itiner.codperc, itiner.denom AS routename, "
                     "corse.ct_lung IS NULL, corse.ct_tempo IS NULL, corse.parte IS NULL");
    cursor.SetFrom("corse JOIN period ON period.id = corse.id "
                   "LEFT JOIN cadenz ON cadenz.codice = period.caden "
                   "LEFT JOIN itiner ON itiner.id = corse.id_perc");
    std::string where;
    int parameter = 0;
    if (!selection.routeCode.empty()) {
        where = "RTRIM(itiner.codperc) = ?1";
        cursor.Bind(++parameter, selection.routeCode);
    }
    if (!selection.line.empty()) {
        where += where.empty() ? "" : " AND ";
        where += fmt::format("RTRIM(corse.codlinea) = ?{}", parameter + 1);
        cursor.Bind(++parameter, selection.line);
    }
    cursor.SetWhere(where);
    cursor.SetOrderBy("itiner.codperc, corse.id_perc, corse.parte, corse.id, period.inizio, "
                      "period.fine");
    std::string text;
    for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
        const std::int32_t route = readLong(cursor, 0).value_or(0);
        const std::int32_t trip = readLong(cursor, 1).value_or(0);
        if (boards.empty() || boards.back().route != route) {
            Board& board = boards.emplace_back();
            board.route = route;
            if (readFlag(cursor, 14)) {
                cursor.GetText("codperc", board.routeCode);
                cursor.GetText("routename", board.routeName);
            } else {
                board.routeCode = kUnknownRouteCode;
                board.routeName = kUnknownRouteName;
            }
        }
        std::vector<BoardColumn>& columns = boards.back().columns;
        if (columns.empty() || columns.back().id != trip) {
            BoardColumn& column = columns.emplace_back();
            column.id = trip;
            cursor.GetText("codcorsa", column.tripCode);
            cursor.GetText("codlinea", column.line);
            cursor.GetText("verso", text);
            column.direction = text.empty() ? ' ' : text[0];
            // An empty field is a value that cannot be formed, not a zero.
            column.contractLength = readFlag(cursor, 17) ? std::nullopt : readDouble(cursor, 5);
            column.contractTime = readFlag(cursor, 18) ? std::nullopt : readLong(cursor, 6);
            column.standard = readLong(cursor, 12).value_or(0);
            column.start = readFlag(cursor, 19) ? std::nullopt : readLong(cursor, 13);
        }
        BoardPeriod& period = columns.back().periods.emplace_back();
        cursor.GetText("caden", period.cadence);
        cursor.GetText("cadname", period.cadenceName);
        cursor.GetDateText(9, period.start);
        cursor.GetDateText(10, period.end);
        period.excluded = readFlag(cursor, 11);
    }
    return !cursor.failed();
}

struct StandardRow {
    std::int32_t id = 0;
    std::int32_t sub = 0;
    std::int32_t arrival = 0;
    std::int32_t departure = 0;
    bool nonStopping = false;

    auto key() const { return std::pair(id, sub); }
};

std::optional<std::vector<StandardRow>> readStandardRows(store::DatabaseConnection& connection) {
    store::QueryCursor cursor(connection);
    cursor.SetSelect("id, sub, nonferma, arriva, parte, arriva IS NULL OR parte IS NULL");
    cursor.SetFrom("detstd");
    cursor.SetOrderBy("id, sub");
    std::vector<StandardRow> rows;
    for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
        const auto arrival = readLong(cursor, 3);
        const auto departure = readLong(cursor, 4);
        if (!arrival || !departure || readFlag(cursor, 5)) {
            continue; // a time that is not a number gives no time at that stop
        }
        rows.push_back({readLong(cursor, 0).value_or(0),
                        readLong(cursor, 1).value_or(0),
                        *arrival,
                        *departure,
                        readFlag(cursor, 2)});
    }
    if (cursor.failed()) {
        return std::nullopt;
    }
    // The order the database gave is kept for the search only when it is by key.
    std::stable_sort(rows.begin(), rows.end(), [](const StandardRow& a, const StandardRow& b) {
        return a.key() < b.key();
    });
    return rows;
}

// The stops of every route that has a board, in order of sub. A stop row whose stop is not in
// the stop table still has its row, without code and name.
bool readStops(store::DatabaseConnection& connection, std::vector<Board>& boards) {
    std::unordered_map<std::int32_t, std::vector<Board*>> byRoute;
    for (Board& board : boards) {
        byRoute[board.route].push_back(&board);
    }
    store::QueryCursor cursor(connection);
    cursor.SetSelect(
        "fermitin.id, fermitin.sub, fermate.fermata, fermate.denom, "
        "fermitin.condist, fermitin.primaria, fermitin.facolt, fermitin.condist IS NULL");
    cursor.SetFrom("fermitin LEFT JOIN fermate ON fermate.id = fermitin.fermata");
    cursor.SetOrderBy("fermitin.id, fermitin.sub");
    BoardStop stop;
    for (bool more = cursor.Execute(); more; more = cursor.MoveNext()) {
        const auto found = byRoute.find(readLong(cursor, 0).value_or(0));
        if (found == byRoute.end()) {
            continue;
        }
        stop.sub = readLong(cursor, 1).value_or(0);
        cursor.GetText("fermata", stop.code);
        cursor.GetText("denom", stop.name);
        stop.progressive = readFlag(cursor, 7) ? std::nullopt : readDouble(cursor, 4);
        stop.primary = readFlag(cursor, 5);
        stop.optional = readFlag(cursor, 6);
        for (Board* board : found->second) {
            board->stops.push_back(stop);
        }
    }
    return !cursor.failed();
}

void fillCells(Board& board, const std::vector<StandardRow>& standards) {
    board.cells.assign(board.stops.size() * board.columns.size(), BoardCell{});
    for (size_t c = 0; c < board.columns.size(); ++c) {
        const BoardColumn& column = board.columns[c];
        if (!column.start) {
            continue;
        }
        const std::int32_t minutes = (*column.start / 100) * 60 + *column.start % 100;
        auto row = std::lower_bound(
            standards.begin(),
            standards.end(),
            std::pair(column.standard, INT32_MIN),
            [](const StandardRow& r, const std::pair<std::int32_t, std::int32_t>& key) {
                return r.key() < key;
            });
        // Both lists run in order of sub: one walk pairs them.
        for (size_t s = 0; s < board.stops.size(); ++s) {
            while (row != standards.end() && row->id == column.standard &&
                   row->sub < board.stops[s].sub) {
                ++row;
            }
            if (row == standards.end() || row->id != column.standard ||
                row->sub != board.stops[s].sub) {
                continue;
            }
            BoardCell& cell = board.cells[s * board.columns.size() + c];
            cell.arrival = minutes + row->arrival;
            cell.departure = minutes + row->departure;
            cell.nonStopping = row->nonStopping;
        }
    }
}

std::string periodsKey(const std::vector<BoardPeriod>& periods) {
    std::string key;
    for (const BoardPeriod& period : periods) {
        fmt::format_to(std::back_inserter(key),
                       "{}\x1f{}\x1f{}\x1f{}\x1f{}\x1e",
                       period.cadence,
                       period.cadenceName,
                       period.start,
                       period.end,
                       period.excluded ? 1 : 0);
    }
    return key;
}

std::string noteText(const std::vector<BoardPeriod>& periods) {
    std::string text;
    for (const BoardPeriod& period : periods) {
        if (!text.empty()) {
            text += "; ";
        }
        text += fmt::format("{} {} al {} [{}] {}",
                            period.excluded ? "Esclusa dal" : "Si effettua dal",
                            period.start,
                            period.end,
                            period.cadence,
                            period.cadenceName);
    }
    return text;
}

// Notes across the whole set, in column order: identical period lists share one; then each
// board's legend.
void assignNotes(BoardSet& set, const calendar::RunningDayCalendar& days) {
    std::unordered_map<std::string, int> notes;
    std::vector<calendar::TripPeriod> periods;
    for (Board& board : set.boards) {
        for (BoardColumn& column : board.columns) {
            const auto [entry, added] =
                notes.try_emplace(periodsKey(column.periods), static_cast<int>(notes.size()));
            if (added) {
                set.notes.push_back(noteText(column.periods));
            }
            column.note = entry->second;
            periods.clear();
            for (const BoardPeriod& period : column.periods) {
                periods.push_back({period.start, period.end, period.cadence, period.excluded});
            }
            // Withdrawn periods are subtracted from the granted ones; a trip never runs on
            // fewer than no days.
            column.runningDays = std::max(0, calendar::runningDayCount(days, periods));
        }
        for (const BoardColumn& column : board.columns) {
            board.legend.push_back(column.note);
        }
        std::sort(board.legend.begin(), board.legend.end());
        board.legend.erase(std::unique(board.legend.begin(), board.legend.end()),
                           board.legend.end());
        if (board.legend.size() > BoardSet::kLegendLimit) {
            board.legend.resize(BoardSet::kLegendLimit);
        }
    }
}

std::string withComma(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

} // namespace

size_t BoardSet::columnCount() const {
    size_t count = 0;
    for (const Board& board : boards) {
        count += board.columns.size();
    }
    return count;
}

std::optional<BoardSet> buildBoardSet(store::DatabaseConnection& connection,
                                      const BoardSelection& selection) {
    BoardSet set;
    set.title = workspace::Workspace::kDefaultTitle;
    std::optional<workspace::CompanyHeader> header;
    set.companyLine = companyLine(connection, header);
    {
        store::QueryCursor cursor(connection);
        if (!readColumns(cursor, selection, set.boards)) {
            return std::nullopt;
        }
    }
    if (set.boards.empty()) {
        return set;
    }
    const auto days = periodCalendar(connection, header);
    const auto standards = days ? readStandardRows(connection) : std::nullopt;
    if (!standards || !readStops(connection, set.boards)) {
        return std::nullopt;
    }
    for (Board& board : set.boards) {
        fillCells(board, *standards);
    }
    assignNotes(set, *days);
    return set;
}

std::array<char, 2> noteCode(int ordinal) {
    if (ordinal < 0 || ordinal >= kNoteCount) {
        return {'*', '*'};
    }
    const int first = ordinal / kNoteLetters;
    return {first == 0 ? ' ' : noteLetter(first - 1), noteLetter(ordinal % kNoteLetters)};
}

namespace {

// "%d:%02d" of a time, written by hand: a page holds thousands of them.
void appendClock(std::string& out, std::int32_t minutes) {
    char digits[16];
    char* end = digits + sizeof digits;
    char* p = end;
    const std::int32_t minute = minutes % 60;
    *--p = static_cast<char>('0' + minute % 10);
    *--p = static_cast<char>('0' + minute / 10);
    *--p = ':';
    std::int32_t hours = minutes / 60;
    do {
        *--p = static_cast<char>('0' + hours % 10);
        hours /= 10;
    } while (hours > 0);
    out.append(p, end);
}

} // namespace

std::string clockText(std::int32_t minutes) {
    if (minutes < 0) {
        return "?"; // an offset before the trip's start of day cannot be shown as a time
    }
    std::string text;
    appendClock(text, minutes);
    return text;
}

std::string cellText(const BoardCell& cell) {
    if (!cell.hasTimes()) {
        return {};
    }
    if (cell.arrival == cell.departure) {
        return clockText(cell.arrival);
    }
    const std::string arrival = clockText(cell.arrival);
    const std::string departure = clockText(cell.departure);
    if (arrival == departure || departure == "99:99") {
        return arrival;
    }
    if (arrival == "99:99") {
        return departure;
    }
    std::string text;
    text.reserve(4 + arrival.size() + 6 + departure.size());
    text.append("A: ").append(arrival).append(" / P: ").append(departure);
    return text;
}

std::string kilometresText(std::optional<double> metres, const char* format) {
    if (!metres) {
        return "?";
    }
    return withComma(fmt::format(fmt::runtime(format), *metres * 0.001));
}

std::string durationText(std::optional<std::int64_t> minutes, bool padHours) {
    if (!minutes || *minutes < 0) {
        return "?";
    }
    if (*minutes < 60) {
        return fmt::format("00:{:02d}", *minutes);
    }
    return padHours ? fmt::format("{:02d}:{:02d}", *minutes / 60, *minutes % 60)
                    : fmt::format("{}:{:02d}", *minutes / 60, *minutes % 60);
}

std::string routeTitle(const Board& board) {
    return fmt::format("Itinerario: {} [{}] {}", board.route, board.routeCode, board.routeName);
}

const std::array<BoardTotal, 5>& boardTotals() {
    static const std::array<BoardTotal, 5> totals = {{
        {"Lunghezza contabile corsa Km",
         [](const BoardColumn& c) { return kilometresText(c.contractLength, "{:.3f}"); }},
        {"Durata contabile corsa",
         [](const BoardColumn& c) {
             return durationText(c.contractTime ? std::optional<std::int64_t>(*c.contractTime)
                                                : std::nullopt,
                                 true);
         }},
        {"Giorni effettuazione",
         [](const BoardColumn& c) { return fmt::format("{}", c.runningDays); }},
        {"Totale Contabile Periodo Km",
         [](const BoardColumn& c) {
             return kilometresText(c.contractLength
                                       ? std::optional<double>(*c.contractLength * c.runningDays)
                                       : std::nullopt,
                                   "{:.1f}");
         }},
        {"Durata Contabile Totale Periodo",
         [](const BoardColumn& c) {
             return durationText(c.contractTime ? std::optional<std::int64_t>(
                                                      std::int64_t{*c.contractTime} * c.runningDays)
                                                : std::nullopt,
                                 false);
         }},
    }};
    return totals;
}

} // namespace tramela::reports
