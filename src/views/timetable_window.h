#pragma once

#include "ui/ui.h"
#include "views/edit_window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::views {

// A stop of the route, one row of the timetable.
struct TimetableStop {
    int sub = 0;           // fermitin.sub
    std::int32_t stop = 0; // fermitin.fermata
    std::string code;      // fermate.fermata
    std::string name;      // fermate.denom
};

// A trip at one stop: times of day in minutes after midnight and the flags of its standard
// trip's row.
struct TimetableCell {
    int sub = 0; // detstd.sub of the row shown
    int arrival = 0;
    int departure = 0;
    bool fixed = false;   // detstd.fisso
    bool passing = false; // detstd.nonferma: passed without stopping
    std::string text;     // "07.30", "07.30 / 07.32", with " F" for fixed and " NF" for passing
};

// A trip of the route, one column of the timetable. Its k-th cell belongs to the k-th stop; a
// standard trip with fewer rows than the route has stops leaves the last stops without a cell.
struct TimetableColumn {
    std::int32_t trip = 0;
    std::int32_t standard = 0;
    int start = 0; // corse.parte, hours × 100 + minutes
    std::string code;
    std::string line;
    std::string direction;
    std::vector<TimetableCell> cells;
};

// The special operations' ids of the timetable window, in menu order.
namespace timetable {
inline constexpr std::string_view kPassing = "passing";
inline constexpr std::string_view kFixed = "fixed";
inline constexpr std::string_view kTransit = "transit";
inline constexpr std::string_view kHead = "head";
inline constexpr std::string_view kPeriods = "periods"; // opened by the front end
inline constexpr std::string_view kParameters = "parameters";
inline constexpr std::string_view kRecompute = "recompute";
inline constexpr std::string_view kInsert = "insert";
inline constexpr std::string_view kClone = "clone";
inline constexpr std::string_view kCloneBand = "clone-band";
inline constexpr std::string_view kFilter = "filter";

inline constexpr std::string_view kFilterFormId = "validity-filter";
inline constexpr std::string_view kFilterDate = "date";
} // namespace timetable

// The timetable of one route: one column per trip (by start, then id), one row per stop of the
// route. It is an editing window whose entries are the trips: selecting an entry selects a
// column, and the window keeps the selected stop besides. Every operation asks its dialog
// through the connection's Ui, writes at once through the core inside the window's transaction
// and reloads, so that a change to a standard trip shows in every column that runs it.
class TimetableWindow {
public:
    // A window of its own transaction, or nested in `owner`'s (the routes window).
    TimetableWindow(store::DatabaseConnection& connection,
                    std::int32_t route,
                    EditWindow* owner = nullptr);
    ~TimetableWindow();
    TimetableWindow(const TimetableWindow&) = delete;
    TimetableWindow& operator=(const TimetableWindow&) = delete;

    bool open();

    EditWindow& window() { return *m_window; }

    std::int32_t route() const;
    std::string title() const;
    const std::vector<TimetableStop>& stops() const;
    // The trips shown (those the validity filter lets through), entry by entry of window().
    const std::vector<TimetableColumn>& columns() const;

    std::optional<size_t> selectedTrip() const { return m_window->selected(); }

    bool selectTrip(size_t column) { return m_window->select(column); }

    // The column of a trip; nothing when it is not shown.
    std::optional<size_t> columnOf(std::int32_t trip) const;
    std::optional<size_t> selectedStop() const;
    bool selectStop(size_t row);

    // The date of the validity filter ("GG/MM/AAAA"), empty when every trip is shown.
    const std::string& validOn() const;
    // Shows only the trips running on the date (empty: every trip); false when it is not a
    // date (said so) or the calendar could not be read.
    bool setValidOn(std::string_view date);

    // One of the operations of the context menu (timetable::k...), on the selected trip and
    // stop; the outcome of the last one.
    bool run(std::string_view id);
    ui::Outcome lastOutcome() const;
    // The trips the last insertion or cloning created, in order.
    const std::vector<std::int32_t>& created() const;

    bool deleteTrip() { return m_window->deleteSelected(); }

    bool refresh() { return m_window->refresh(); }

    bool restore() { return m_window->restore(); }

    bool close() { return m_window->close(); }

    // The periods of the selected trip, in this window's transaction; nothing without a trip.
    std::unique_ptr<EditWindow> periods();

    // The context menu; the insertion of a trip with a new standard trip and the validity filter
    // are offered on an empty timetable too.
    std::vector<MenuEntry> contextMenu() const;

    // The timetable as text: a heading row per trip attribute, then one row per stop; aligned
    // columns, or tab-separated.
    std::string text(bool aligned) const;

private:
    class Source;
    Source* m_source = nullptr; // owned by m_window
    std::unique_ptr<EditWindow> m_window;
};

} // namespace tramela::views
