#pragma once

#include "reports/report_document.h"
#include "ui/ui.h"

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// The cadence register as a printed list, one cadence a row, by code.
ReportDocument cadencesDocument(ReportDocument document, store::DatabaseConnection& connection);

// The calendar as a printed list: every day of the communication period (only the days that
// have cadences when no period is set), one row per cadence of the day with its annotation, the
// weekday and the holiday; Sundays and holidays on light grey, days without service on grey.
ReportDocument calendarDocument(ReportDocument document, store::DatabaseConnection& connection);

// "rubrica Ca&denze" and "rubrica Ca&lendario": the list previewed.
ui::Outcome PrintCadences(workspace::Workspace& workspace);
ui::Outcome PrintCalendar(workspace::Workspace& workspace);

} // namespace tramela::reports
