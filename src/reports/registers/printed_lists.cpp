#include "reports/registers/printed_lists.h"

#include "calendar/cadences.h"
#include "calendar/calendar.h"
#include "reports/document_viewer.h"
#include "store/value_text.h"
#include "workspace/workspace.h"

namespace tramela::reports {

ReportDocument cadencesDocument(ReportDocument document, store::DatabaseConnection& connection) {
    document.columns = {{"Codice Cadenza", 20, Align::Left}, {"Denominazione", 80, Align::Left}};
    for (const calendar::Cadence& cadence : calendar::listCadences(connection)) {
        document.rows.push_back({{cadence.code, cadence.name}});
    }
    return document;
}

ReportDocument calendarDocument(ReportDocument document, store::DatabaseConnection& connection) {
    document.columns = {{"Data", 12, Align::Left},
                        {"Giorno", 12, Align::Left},
                        {"Festività", 22, Align::Left},
                        {"Cadenza", 14, Align::Left},
                        {"Note", 40, Align::Left}};
    const auto [first, last] = calendar::communicationPeriod(connection);
    // The span communicationPeriod() falls back on when the header sets none.
    const bool periodSet = !(first.iso() == "1900-01-01" && last.iso() == "2099-12-31");
    calendar::DayList days(first, last);
    if (!days.LoadCalendar(connection)) {
        return document;
    }
    for (const calendar::CalendarDay& day : days.days()) {
        const Shading shading = day.cadences.empty()                       ? Shading::Grey
                                : day.weekday == 7 || !day.holiday.empty() ? Shading::LightGrey
                                                                           : Shading::White;
        const std::vector<std::string> common = {day.date.display(),
                                                 std::string(calendar::weekdayName(day.weekday)),
                                                 std::string(day.holiday)};
        if (day.cadences.empty()) {
            // Without a period of its own the calendar's span is a century: its empty days
            // are not listed.
            if (periodSet) {
                document.rows.push_back({common, shading});
            }
            continue;
        }
        for (const calendar::DayCadence& cadence : day.cadences) {
            Row row{common, shading};
            row.cells.push_back(cadence.code);
            std::string note = cadence.note;
            store::TrimTrailingBlanks(note);
            row.cells.push_back(std::move(note));
            document.rows.push_back(std::move(row));
        }
    }
    return document;
}

ui::Outcome PrintCadences(workspace::Workspace& workspace) {
    return presentDocument(
        workspace,
        cadencesDocument(newDocument(workspace, "Rubrica Cadenze"), *workspace.connection()),
        PrintMode::Preview);
}

ui::Outcome PrintCalendar(workspace::Workspace& workspace) {
    return presentDocument(
        workspace,
        calendarDocument(newDocument(workspace, "Rubrica Calendario"), *workspace.connection()),
        PrintMode::Preview);
}

} // namespace tramela::reports
