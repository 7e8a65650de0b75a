#pragma once

#include "store/date.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::calendar {

// Which trips a communication takes; an absent value lets every trip through.
struct SelectionFilters {
    std::optional<int> lot;           // extcod.lotto
    std::optional<int> authority;     // corse.ente
    std::optional<int> company;       // extcod.aziges
    std::optional<int> subcontractor; // extcod.azisub
    std::optional<std::string> line;  // corse.codlinea, compared without trailing blanks
};

// The kind of communication the caller is preparing; the extraction keeps it for the caller.
struct CommunicationFlags {
    bool budget = false;
    bool planning = false;
    bool project = false;
    bool test = false;
};

// A trip the filters let through.
struct SelectedTrip {
    std::int32_t id = 0;
    std::int32_t standard = 0; // corse.standard
    std::int32_t route = 0;    // corse.id_perc
    bool active = false;       // runs on at least one day of the range
};

// The trips of a communication over a range of days, the days on which each runs, and the
// cadences, calendar days, stops, routes and standard trips the communication has to contain.
class ServiceDayExtraction {
public:
    // The progress captions of the nine steps, in the order they run.
    static constexpr std::array<std::string_view, 9> kStepCaptions = {
        "Estrazione Cadenze",
        "Estrazione Calendario di servizio",
        "Estrazione Fermate",
        "Estrazione Percorsi",
        "Estrazione Corse Standard",
        "Estrazione Corse",
        "Identificazione Corse Filtrate",
        "Identificazione Cadenze e Calendari Filtrati",
        "Identificazione Fermate, Tratte & Percorsi Filtrati",
    };

    // Runs the nine steps from the first to the last day inclusive, each with its caption and a
    // progress bar through the connection's Ui; the bar is hidden at the end. Nothing when a
    // query failed (the failure has been shown). A last day before the first gives an extraction
    // whose trips run on no day.
    static std::optional<ServiceDayExtraction> Run(store::DatabaseConnection& connection,
                                                   const Date& first,
                                                   const Date& last,
                                                   const SelectionFilters& filters,
                                                   const CommunicationFlags& flags = {});

    const Date& first() const { return m_first; }

    const Date& last() const { return m_last; }

    // Days from the first to the last inclusive; 0 when the last precedes the first.
    int dayCount() const { return m_dayCount; }

    // "GG/MM/AAAA".
    std::string startText() const { return m_first.display(); }

    std::string endText() const { return m_last.display(); }

    // The range's days as SQL constants of the database file: "'2024-09-02'".
    std::string startLiteral() const;
    std::string endLiteral() const;

    // A date "GG/MM/AAAA" moved into the range: before the first day it gives the first, after
    // the last it gives the last, otherwise (and when it is not a date) it gives itself.
    std::string clampDate(std::string_view date) const;

    const SelectionFilters& filters() const { return m_filters; }

    const CommunicationFlags& flags() const { return m_flags; }

    // The selected trips in ascending identifier.
    std::span<const SelectedTrip> trips() const { return m_trips; }

    // One character a day of the range, 'S' on the days the trip runs and 'N' on the others;
    // empty for a trip that is not selected.
    std::string_view dayVector(std::int32_t tripId) const;

    // Membership in the communication. An identifier or code that was never loaded answers no.
    bool containsTrip(std::int32_t tripId) const; // selected and active
    bool containsStop(std::int32_t stopId) const;
    bool containsRoute(std::int32_t routeId) const;
    bool containsStandardTrip(std::int32_t standardId) const;
    bool containsCadence(std::string_view code) const;
    // A calendar row of the range ("GG/MM/AAAA", cadence) whose cadence is in the communication.
    bool containsCalendarDay(std::string_view date, std::string_view cadence) const;

private:
    // Identifiers loaded in ascending order, each with the mark that puts it in the
    // communication.
    class MarkedIds {
    public:
        void add(std::int32_t id) { m_ids.push_back(id); }

        // Sorts the identifiers and drops repeats; every mark cleared.
        void seal();
        bool mark(std::int32_t id);
        bool isMarked(std::int32_t id) const;

        std::size_t size() const { return m_ids.size(); }

    private:
        std::vector<std::int32_t> m_ids;
        std::vector<char> m_marked;
    };

    struct CalendarRow {
        std::int32_t day = 0;         // index in the range
        std::string cadence;          // without trailing blanks
        std::int32_t registered = -1; // index in m_cadences; -1 when the register lacks it
        bool used = false;
    };

    class Runner;

    ServiceDayExtraction(const Date& first,
                         const Date& last,
                         const SelectionFilters& filters,
                         const CommunicationFlags& flags);

    std::int32_t cadenceIndex(std::string_view code) const;
    const SelectedTrip* findTrip(std::int32_t tripId) const;

    Date m_first;
    Date m_last;
    int m_dayCount = 0;
    SelectionFilters m_filters;
    CommunicationFlags m_flags;

    std::vector<std::string> m_cadences; // registered codes, ascending, without trailing blanks
    std::vector<char> m_cadenceUsed;
    std::vector<CalendarRow> m_calendar; // ordered by day, then cadence
    MarkedIds m_stops;
    MarkedIds m_routes;
    MarkedIds m_standards;
    std::vector<SelectedTrip> m_trips;
    std::vector<char> m_dayVectors; // the trips' day vectors end to end, m_dayCount each
};

} // namespace tramela::calendar
