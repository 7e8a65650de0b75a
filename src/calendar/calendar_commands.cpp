#include "calendar/calendar_commands.h"

#include "calendar/cadences.h"
#include "calendar/calendar.h"
#include "store/value_text.h"
#include "workspace/typed_date.h"
#include "workspace/workspace.h"

#include <fmt/format.h>

namespace tramela::calendar {

namespace {

using ui::Outcome;

constexpr std::string_view kBadDate =
    "ATTENZIONE: la data del giorno è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
    "I dati immessi non saranno registrati !!!";
constexpr std::string_view kBadWeekdays =
    "ATTENZIONE: i giorni della settimana si indicano con le cifre da 1 (Lunedi) a 7 "
    "(Domenica).\n\n"
    "I dati immessi non saranno registrati !!!";

const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

ui::FormField textField(std::string_view id, std::string_view caption, int maxLength = 0) {
    ui::FormField field;
    field.id = id;
    field.caption = caption;
    field.maxLength = maxLength;
    return field;
}

ui::FormField dateField(std::string_view id, std::string_view caption, std::string value = {}) {
    ui::FormField field = textField(id, caption);
    field.kind = ui::FieldKind::Date;
    field.value = std::move(value);
    return field;
}

// The dialog of an operation: its fields, and the check of the dates and weekdays among them.
ui::FormSpec
operationForm(std::string_view id, std::string_view title, std::vector<ui::FormField> fields) {
    ui::FormSpec spec;
    spec.id = id;
    spec.title = title;
    spec.groups.push_back({"", std::move(fields)});
    std::vector<std::string> dates;
    for (const ui::FormField& field : spec.groups.front().fields) {
        if (field.kind == ui::FieldKind::Date) {
            dates.push_back(field.id);
        }
    }
    spec.validate = [dates](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        for (const std::string& date : dates) {
            if (!workspace::parseTypedDate(valueOf(values, date))) {
                return ui::Refusal{std::string(kBadDate), ui::Icon::Stop, {}};
            }
        }
        if (values.contains("weekdays") && !parseWeekdays(valueOf(values, "weekdays"))) {
            return ui::Refusal{std::string(kBadWeekdays), ui::Icon::Stop, {}};
        }
        return std::nullopt;
    };
    return spec;
}

// The range fields, proposing the communication period.
std::vector<ui::FormField> rangeFields(store::DatabaseConnection& connection) {
    const auto [first, last] = communicationPeriod(connection);
    return {dateField("from", "Primo giorno", first.display()),
            dateField("to", "Ultimo giorno", last.display())};
}

Date dateOf(const ui::FormValues& values, std::string_view id) {
    return *workspace::parseTypedDate(valueOf(values, id)); // checked by the dialog
}

// The calendar of a range as it stands; nothing when it cannot be read (said so).
std::optional<DayList> loadDays(store::DatabaseConnection& connection, Date first, Date last) {
    DayList days(first, last);
    if (!days.LoadCalendar(connection)) {
        return std::nullopt;
    }
    return days;
}

std::string dayLine(const CalendarDay& day) {
    std::string line = fmt::format("{} {} {:<9} {:<10}",
                                   day.date.display(),
                                   day.weekday,
                                   weekdayName(day.weekday),
                                   day.holiday);
    for (const DayCadence& cadence : day.cadences) {
        line += " " + cadence.code;
        const std::string_view note = store::withoutTrailingBlanks(cadence.note);
        if (!note.empty()) {
            line += fmt::format(" [{}]", note);
        }
    }
    return std::string(store::withoutTrailingBlanks(line));
}

Outcome doneIf(bool done) {
    return done ? Outcome::Done : Outcome::Failed;
}

} // namespace

Outcome ListCadences(workspace::Workspace& workspace) {
    std::string text;
    for (const Cadence& cadence : listCadences(*workspace.connection())) {
        text += fmt::format("{:<10} {}\n", cadence.code, cadence.name);
    }
    if (!text.empty()) {
        workspace.ui().Message(text, ui::Icon::None);
    }
    return Outcome::Done;
}

Outcome AddCadence(workspace::Workspace& workspace) {
    const auto values = workspace.ui().Form(
        operationForm(kCadenceFormId,
                      "Inserimento Cadenza",
                      {textField("code", "Codice della cadenza (al massimo 10 caratteri)"),
                       textField("name", "Denominazione della cadenza")}));
    if (!values) {
        return Outcome::Cancelled;
    }
    return doneIf(
        addCadence(*workspace.connection(), valueOf(*values, "code"), valueOf(*values, "name")));
}

Outcome ModifyCadence(workspace::Workspace& workspace) {
    const auto values = workspace.ui().Form(operationForm(
        kCadenceFormId,
        "Modifica Cadenza",
        {textField("code", "Codice della cadenza"), textField("name", "Nuova denominazione")}));
    if (!values) {
        return Outcome::Cancelled;
    }
    return doneIf(
        modifyCadence(*workspace.connection(), valueOf(*values, "code"), valueOf(*values, "name")));
}

Outcome DeleteCadence(workspace::Workspace& workspace) {
    const auto values = workspace.ui().Form(operationForm(
        kCadenceFormId, "Eliminazione Cadenza", {textField("code", "Codice della cadenza")}));
    if (!values) {
        return Outcome::Cancelled;
    }
    return doneIf(deleteCadence(*workspace.connection(), valueOf(*values, "code")));
}

Outcome ListCalendarDays(workspace::Workspace& workspace) {
    store::DatabaseConnection& connection = *workspace.connection();
    const auto values = workspace.ui().Form(
        operationForm(kDaysFormId, "Giorni del Calendario", rangeFields(connection)));
    if (!values) {
        return Outcome::Cancelled;
    }
    const auto days = loadDays(connection, dateOf(*values, "from"), dateOf(*values, "to"));
    if (!days) {
        return Outcome::Failed;
    }
    std::string text;
    for (const CalendarDay& day : days->days()) {
        text += dayLine(day) + "\n";
    }
    if (!text.empty()) {
        workspace.ui().Message(text, ui::Icon::None);
    }
    return Outcome::Done;
}

Outcome FillCalendar(workspace::Workspace& workspace) {
    store::DatabaseConnection& connection = *workspace.connection();
    std::vector<ui::FormField> fields{textField("cadence", "Codice della cadenza")};
    for (ui::FormField& field : rangeFields(connection)) {
        fields.push_back(std::move(field));
    }
    ui::FormField weekdays = textField("weekdays", "Giorni della settimana (1=Lun ... 7=Dom)", 7);
    weekdays.value = "1234567";
    fields.push_back(std::move(weekdays));
    const auto values = workspace.ui().Form(
        operationForm(kFillFormId, "Generazione Cadenza nel Calendario", std::move(fields)));
    if (!values) {
        return Outcome::Cancelled;
    }
    auto days = loadDays(connection, dateOf(*values, "from"), dateOf(*values, "to"));
    if (!days) {
        return Outcome::Failed;
    }
    const std::string& cadence = valueOf(*values, "cadence");
    CalendarEditor editor(connection, *days);
    // The fill itself refuses a cadence the register does not hold; then there is no count.
    const auto added = editor.FillCadence(
        cadence, days->first(), days->last(), *parseWeekdays(valueOf(*values, "weekdays")));
    if (!added) {
        return Outcome::Failed;
    }
    workspace.ui().Message(
        fmt::format("Cadenza {}: aggiunti {} giorni al calendario.", cadence, *added),
        ui::Icon::Information);
    return Outcome::Done;
}

Outcome ClearCalendar(workspace::Workspace& workspace) {
    store::DatabaseConnection& connection = *workspace.connection();
    std::vector<ui::FormField> fields{textField("cadence", "Codice della cadenza")};
    for (ui::FormField& field : rangeFields(connection)) {
        fields.push_back(std::move(field));
    }
    const auto values = workspace.ui().Form(
        operationForm(kClearFormId, "Pulizia Cadenza dal Calendario", std::move(fields)));
    if (!values) {
        return Outcome::Cancelled;
    }
    auto days = loadDays(connection, dateOf(*values, "from"), dateOf(*values, "to"));
    if (!days) {
        return Outcome::Failed;
    }
    const std::string& cadence = valueOf(*values, "cadence");
    CalendarEditor editor(connection, *days);
    const auto cleared = editor.ClearCadence(cadence, days->first(), days->last());
    if (!cleared) {
        return Outcome::Failed;
    }
    workspace.ui().Message(
        fmt::format("Cadenza {}: tolti {} giorni dal calendario.", cadence, *cleared),
        ui::Icon::Information);
    return Outcome::Done;
}

namespace {

// The one-day operations: the day and a cadence, then the editor's operation on that day.
template <typename Operation>
Outcome onOneDay(workspace::Workspace& workspace, std::string_view title, Operation operation) {
    store::DatabaseConnection& connection = *workspace.connection();
    const auto values = workspace.ui().Form(operationForm(
        kDayCadenceFormId,
        title,
        {dateField("day", "Il giorno"), textField("cadence", "Codice della cadenza")}));
    if (!values) {
        return Outcome::Cancelled;
    }
    const Date day = dateOf(*values, "day");
    auto days = loadDays(connection, day, day);
    if (!days) {
        return Outcome::Failed;
    }
    CalendarEditor editor(connection, *days);
    return doneIf(operation(editor, day, valueOf(*values, "cadence")));
}

} // namespace

Outcome AddDayCadence(workspace::Workspace& workspace) {
    return onOneDay(workspace,
                    "Attivazione Cadenza in un Giorno",
                    [](CalendarEditor& editor, const Date& day, std::string_view cadence) {
                        return editor.AddCadence(day, cadence);
                    });
}

Outcome RemoveDayCadence(workspace::Workspace& workspace) {
    return onOneDay(workspace,
                    "Disattivazione Cadenza in un Giorno",
                    [](CalendarEditor& editor, const Date& day, std::string_view cadence) {
                        return editor.RemoveCadence(day, cadence);
                    });
}

Outcome AnnotateDay(workspace::Workspace& workspace) {
    store::DatabaseConnection& connection = *workspace.connection();
    const auto values = workspace.ui().Form(operationForm(
        kNoteFormId,
        "Annotazione di un Giorno",
        {dateField("day", "Il giorno"), textField("text", "L'annotazione (vuota: nessuna)")}));
    if (!values) {
        return Outcome::Cancelled;
    }
    const Date day = dateOf(*values, "day");
    auto days = loadDays(connection, day, day);
    if (!days) {
        return Outcome::Failed;
    }
    CalendarEditor editor(connection, *days);
    return doneIf(editor.SetAnnotation(day, valueOf(*values, "text")));
}

} // namespace tramela::calendar
