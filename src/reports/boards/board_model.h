#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::reports {

// The timetable boards ("Quadri Orari") as data: one board per route, its trips as columns and
// its stops as rows. The HTML pages, the text files and the printed boards are all drawn from it.

// One period of validity of a trip, as the legend writes it.
struct BoardPeriod {
    std::string cadence;     // period.caden, without trailing blanks
    std::string cadenceName; // cadenz.denom; empty when the cadence is not registered
    std::string start;       // "GG/MM/AAAA"
    std::string end;
    bool excluded = false;

    bool operator==(const BoardPeriod&) const = default;
};

// A trip, one column of its route's board.
struct BoardColumn {
    std::int32_t id = 0;
    std::string tripCode;                     // codcorsa
    std::string line;                         // codlinea
    char direction = ' ';                     // verso
    std::optional<double> contractLength;     // ct_lung, metres
    std::optional<std::int32_t> contractTime; // ct_tempo, minutes
    std::int32_t standard = 0;                // the standard trip
    std::optional<std::int32_t> start;        // corse.parte, hours x 100 + minutes
    std::vector<BoardPeriod> periods;         // in order of start, then end
    int note = 0;                             // ordinal of the cadence note in the set
    int runningDays = 0;                      // days the trip runs in the company's period
};

// A stop of the route, one row of the board.
struct BoardStop {
    std::int32_t sub = 0;
    std::string code;                  // fermate.fermata
    std::string name;                  // fermate.denom
    std::optional<double> progressive; // fermitin.condist, metres
    bool primary = false;
    bool optional = false;
};

// The time of one trip at one stop, in minutes from the midnight before the trip's start (hours
// are not reduced modulo 24, so a trip past midnight reads 24:05). No times when the trip's
// standard trip has no row for the stop.
struct BoardCell {
    static constexpr std::int32_t kNoTime = INT32_MIN;
    std::int32_t arrival = kNoTime;
    std::int32_t departure = kNoTime;
    bool nonStopping = false;

    bool hasTimes() const { return arrival != kNoTime; }
};

struct Board {
    std::int32_t route = 0;
    std::string routeCode; // "??????" when the route is not in itiner
    std::string routeName; // "SCONOSCIUTO" likewise
    std::vector<BoardColumn> columns;
    std::vector<BoardStop> stops;
    std::vector<BoardCell> cells; // stops x columns, row after row
    // The distinct notes of the columns, ascending, at most kLegendLimit.
    std::vector<int> legend;

    const BoardCell& cell(size_t stop, size_t column) const {
        return cells[stop * columns.size() + column];
    }
};

// Which boards to build: every route, or those of one route code or one line (or both).
struct BoardSelection {
    std::string routeCode; // itiner.codperc; empty: any
    std::string line;      // corse.codlinea; empty: any
};

struct BoardSet {
    static constexpr size_t kLegendLimit = 64;

    std::string title;              // Tramela - "Acquisizione DataBase Corse - Regione Valmora"
    std::string companyLine;        // "Azienda %ld - %s [periodo dal %s al %s]"
    std::vector<Board> boards;      // in order of route code, then route
    std::vector<std::string> notes; // legend text of each note ordinal

    size_t columnCount() const;
};

// Reads the boards from the database; nothing when a query failed (the failure has been shown).
std::optional<BoardSet> buildBoardSet(store::DatabaseConnection& connection,
                                      const BoardSelection& selection = {});

// The two characters of a note ordinal: " A" ... " Z", " a" ... " z", "AA" ... "Az", "BA", ...
// up to "zz"; "**" past the last.
std::array<char, 2> noteCode(int ordinal);

// The texts of a board, as every output writes them.
std::string clockText(std::int32_t minutes); // "%d:%02d", hours beyond 24 kept
// Arrival and departure as one text: one time when they agree (or one is "99:99"), else
// "A: arr / P: dep"; empty when the trip has no time there.
std::string cellText(const BoardCell& cell);
std::string kilometresText(std::optional<double> metres, const char* format); // comma decimal
std::string durationText(std::optional<std::int64_t> minutes, bool padHours);
std::string routeTitle(const Board& board); // "Itinerario: %ld [%s] %s"

// The five total rows: caption, then the value of a column.
struct BoardTotal {
    const char* caption;
    std::string (*value)(const BoardColumn&);
};

const std::array<BoardTotal, 5>& boardTotals();

} // namespace tramela::reports
