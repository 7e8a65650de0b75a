#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::calendar {

// The cadence register and the calendar, one operation at a time: each asks for what it needs
// in one dialog (the form ids and fields below), checks it, writes in one transaction and says
// what it did.

// The cadence dialog: "code" and, except for deleting, "name".
inline constexpr std::string_view kCadenceFormId = "cadence";
// The calendar dialogs: a range of days ("from", "to", the communication period when empty),
// with a cadence ("cadence") for filling and clearing, and the weekdays ("weekdays", digits
// 1 Monday ... 7 Sunday) for filling; or one day ("day") with a cadence or an annotation
// ("text").
inline constexpr std::string_view kDaysFormId = "calendar-days";
inline constexpr std::string_view kFillFormId = "calendar-fill";
inline constexpr std::string_view kClearFormId = "calendar-clear";
inline constexpr std::string_view kDayCadenceFormId = "calendar-day";
inline constexpr std::string_view kNoteFormId = "calendar-note";

// The register, one cadence a line: its code in 10 characters, a blank, its name.
ui::Outcome ListCadences(workspace::Workspace& workspace);
ui::Outcome AddCadence(workspace::Workspace& workspace);
ui::Outcome ModifyCadence(workspace::Workspace& workspace);
ui::Outcome DeleteCadence(workspace::Workspace& workspace);

// The days of a range, one a line: date, weekday digit and name, holiday, then the active
// cadences with their annotations in brackets.
ui::Outcome ListCalendarDays(workspace::Workspace& workspace);
// Adds a cadence to the chosen weekdays of a range, or takes it from every day of a range; tells
// how many days changed.
ui::Outcome FillCalendar(workspace::Workspace& workspace);
ui::Outcome ClearCalendar(workspace::Workspace& workspace);
// Makes a cadence active, or no longer active, on one day; sets the annotation of a day.
ui::Outcome AddDayCadence(workspace::Workspace& workspace);
ui::Outcome RemoveDayCadence(workspace::Workspace& workspace);
ui::Outcome AnnotateDay(workspace::Workspace& workspace);

} // namespace tramela::calendar
