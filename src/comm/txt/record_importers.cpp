#include "comm/txt/record_importers.h"

#include "comm/text_output.h"
#include "comm/txt/import_frame.h"
#include "comm/txt/record_layouts.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/value_text.h"
#include "ui/ui.h"
#include "workspace/workspace.h"

#include <fmt/format.h>
#include <string>
#include <unordered_set>

namespace tramela::comm {

namespace {

constexpr std::string_view kReadWritten = "Lette {} righe dal file testo.\n"
                                          "Inserite {} righe nel database.\n\n";

// A text field as the database keeps it: UTF-8, without trailing blanks.
std::string storedText(std::string_view latin1) {
    std::string text = latin1ToUtf8(latin1);
    store::TrimTrailingBlanks(text);
    return text;
}

// A required text column holds a single blank when the file leaves it empty, as the sibling
// product stores an empty annotation.
std::string requiredText(std::string_view latin1) {
    std::string text = storedText(latin1);
    return text.empty() ? std::string(" ") : text;
}

std::unordered_set<std::string> loadTexts(store::DatabaseConnection& connection,
                                          std::string_view table) {
    std::unordered_set<std::string> codes;
    if (!connection.tableExists(table)) {
        return codes;
    }
    store::QueryCursor rows(connection);
    rows.SetSelect("codice");
    rows.SetFrom(table);
    std::string code;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        rows.GetText("codice", code); // trailing blanks removed
        codes.insert(code);
    }
    return codes;
}

std::unordered_set<long> loadNumbers(store::DatabaseConnection& connection,
                                     std::string_view table,
                                     std::string_view column) {
    std::unordered_set<long> numbers;
    if (!connection.tableExists(table)) {
        return numbers;
    }
    store::QueryCursor rows(connection);
    rows.SetSelect(column);
    rows.SetFrom(table);
    // Read as text: the registers hold small integers, the trips long ones.
    std::string value;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        if (rows.GetText(column, value) && !value.empty()) {
            numbers.insert(leadingInteger(value));
        }
    }
    return numbers;
}

// The file of an importer: asked for alone and, for the first two files, also in the combined
// import (whose folder they remember); else the fixed name in the remembered folder.
std::optional<std::filesystem::path> chooseFile(workspace::Workspace& window,
                                                bool completeImport,
                                                bool asksInCombined,
                                                const RecordLayout& layout,
                                                std::string title) {
    if (completeImport && !asksInCombined) {
        return combinedImportFolder() / layout.file;
    }
    std::string_view name = layout.file;
    name.remove_suffix(4); // ".TXT"
    auto chosen = window.ui().OpenFile(importFileDialog(std::move(title), std::string(name)));
    if (chosen && completeImport) {
        setCombinedImportFolder(chosen->parent_path());
    }
    return chosen;
}

// The connection and the master record every importer starts from.
std::optional<ImportMaster> start(workspace::Workspace& window) {
    if (!window.isConnected()) {
        return std::nullopt;
    }
    return readImportMaster(*window.connection());
}

// A date field: a blocking entry when it is not a real day, a remediable one when it lies
// outside the communication period.
std::optional<Date> checkDate(std::string_view line,
                              long number,
                              const LayoutField& field,
                              const ImportMaster& master,
                              bool checkPeriod,
                              ImportErrors& errors) {
    const auto day = parseCompactDate(fieldIn(line, field));
    if (!day) {
        errors.add(ImportProblem::IllegalDate, number, field.offset, entry::kIllegalDate);
    } else if (checkPeriod && (*day < master.first || *day > master.last)) {
        errors.add(ImportProblem::DateOutsidePeriod, number, field.offset, entry::kOutsidePeriod);
    }
    return day;
}

void checkCadence(std::string_view line,
                  long number,
                  const LayoutField& field,
                  const std::unordered_set<std::string>& cadences,
                  ImportErrors& errors) {
    const std::string code = storedText(fieldIn(line, field));
    if (!cadences.contains(code)) {
        errors.add(
            ImportProblem::UnknownCadence, number, field.offset, entry::unknownCadence(code));
    }
}

// A register code: remediable when not all digits or not in the register.
void checkRegisterCode(std::string_view line,
                       long number,
                       const LayoutField& field,
                       ImportProblem problem,
                       std::string_view nonNumeric,
                       std::string (*unknown)(long),
                       const std::unordered_set<long>& codes,
                       ImportErrors& errors) {
    const std::string_view digits = fieldIn(line, field);
    if (!allDigits(digits)) {
        errors.add(problem, number, field.offset, nonNumeric);
    } else if (!codes.contains(fieldNumber(digits))) {
        errors.add(problem, number, field.offset, unknown(fieldNumber(digits)));
    }
}

} // namespace

bool ImportProtocol(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return false;
    }
    const RecordLayout& layout = protocolLayout();
    const auto path = chooseFile(
        window, completeImport, true, layout, "Importazione Protocollo Comunicazione Orari");
    if (!path) {
        return false;
    }
    const LayoutField& company = layoutField(layout, "master.azienda");
    const LayoutField& sent = layoutField(layout, "master.p_data");
    const LayoutField& protocol = layoutField(layout, "master.protoc");
    const LayoutField& first = layoutField(layout, "master.datini");
    const LayoutField& last = layoutField(layout, "master.datfin");
    const LayoutField& responsible = layoutField(layout, "master.resple");

    store::TableCursor record(window.connection(), "master");
    long written = 0;
    ImportSteps steps{
        ImportFile::Protocol,
        layout,
        "Importazione Protocollo",
        [&](std::string_view line, long number, ImportErrors& errors) {
            if (!allDigits(fieldIn(line, company))) {
                errors.add(ImportProblem::IllegalNumber,
                           number,
                           company.offset,
                           entry::kNonNumericCompany);
            }
            checkDate(line, number, sent, *master, false, errors);
            const auto from = checkDate(line, number, first, *master, false, errors);
            const auto to = checkDate(line, number, last, *master, false, errors);
            if (parseCompactDate(fieldIn(line, sent)) && from && to && *to < *from) {
                errors.add(ImportProblem::InvertedPeriod,
                           number,
                           ImportErrors::kNoOffset,
                           entry::kInvertedPeriod);
            }
            if (!allDigits(fieldIn(line, protocol))) {
                errors.add(ImportProblem::IllegalNumber,
                           number,
                           protocol.offset,
                           entry::kNonNumericProtocol);
            }
        },
        [&](std::string_view line, long) {
            const auto day = [&](const LayoutField& field) {
                return parseCompactDate(fieldIn(line, field)).value_or(Date{}).display();
            };
            if (!record.SelectIndex("codice") || !record.Seek({"0"}) || !record.Edit()) {
                return;
            }
            record.SetField("azienda", fieldIn(line, company));
            record.SetField("p_data", day(sent));
            record.SetField("protoc", fieldIn(line, protocol));
            record.SetField("datini", day(first));
            record.SetField("resple", storedText(fieldIn(line, responsible)));
            record.SetField("datfin", day(last));
            if (record.Update()) {
                ++written;
            }
        }};
    const ImportPasses passes = runImportPasses(window, *path, *master, steps);
    if (passes.read < 0) {
        return false;
    }
    // A file without a line leaves the master as it was: that is no protocol imported.
    const bool success = passes.read > 0 && passes.read == written;
    showImportClosing(window.ui(),
                      completeImport,
                      success,
                      "Risultati dell'importazione Protocollo:\n\n",
                      fmt::format(kReadWritten, passes.read, written),
                      "L'importazione del Protocollo ha avuto termine con successo.",
                      "Si sono verificati problemi durante l'importazione del Protocollo.");
    return success;
}

bool ImportCadences(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return false;
    }
    const RecordLayout& layout = cadenceLayout();
    const auto path = chooseFile(window, completeImport, true, layout, "Importazione Dati Cadenze");
    if (!path) {
        return false;
    }
    const LayoutField& code = layoutField(layout, "cadenz.codice");
    const LayoutField& name = layoutField(layout, "cadenz.denom");
    store::TableCursor cadences(window.connection(), "cadenz");
    long written = 0;
    ImportSteps steps{ImportFile::Cadences,
                      layout,
                      "Importazione Cadenze",
                      [](std::string_view, long, ImportErrors&) {},
                      [&](std::string_view line, long) {
                          if (cadences.AddNew() &&
                              cadences.SetField("codice", storedText(fieldIn(line, code))) &&
                              cadences.SetField("denom", requiredText(fieldIn(line, name))) &&
                              cadences.Update()) {
                              ++written;
                          }
                      }};
    const ImportPasses passes = runImportPasses(window, *path, *master, steps);
    if (passes.read < 0) {
        return false;
    }
    const bool success = passes.read == written;
    showImportClosing(window.ui(),
                      completeImport,
                      success,
                      "Risultati dell'importazione Cadenze:\n\n",
                      fmt::format(kReadWritten, passes.read, written),
                      "L'importazione delle Cadenze ha avuto termine con successo.",
                      "Si sono verificati problemi durante l'importazione delle Cadenze.");
    return success;
}

bool ImportCalendar(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return false;
    }
    store::DatabaseConnection& connection = *window.connection();
    const auto cadences = loadTexts(connection, "cadenz");
    if (cadences.empty()) {
        window.ui().Message(missingCadencesMessage("l'importazione del Calendario."),
                            ui::Icon::Stop);
        return false;
    }
    const RecordLayout& layout = calendarLayout();
    const auto path =
        chooseFile(window, completeImport, false, layout, "Importazione Dati Calendario");
    if (!path) {
        return false;
    }
    const LayoutField& dayField = layoutField(layout, "calend.data");
    const LayoutField& note = layoutField(layout, "calend.note");
    const LayoutField& cadence = layoutField(layout, "calend.caden");
    store::TableCursor calendar(&connection, "calend");
    long written = 0;
    ImportSteps steps{ImportFile::Calendar,
                      layout,
                      "Importazione Calendario",
                      [&](std::string_view line, long number, ImportErrors& errors) {
                          checkDate(line, number, dayField, *master, true, errors);
                          checkCadence(line, number, cadence, cadences, errors);
                      },
                      [&](std::string_view line, long) {
                          const auto day = parseCompactDate(fieldIn(line, dayField));
                          // Days outside the communication period are left out, as the question
                          // announced.
                          if (!day || *day < master->first || *day > master->last) {
                              return;
                          }
                          if (calendar.AddNew() && calendar.SetField("data", day->display()) &&
                              calendar.SetField("caden", storedText(fieldIn(line, cadence))) &&
                              calendar.SetField("giorno", std::to_string(day->weekday())) &&
                              calendar.SetField("note", requiredText(fieldIn(line, note))) &&
                              calendar.Update()) {
                              ++written;
                          }
                      }};
    const ImportPasses passes = runImportPasses(window, *path, *master, steps);
    if (passes.read < 0) {
        return false;
    }
    const bool success = passes.read == written;
    showImportClosing(window.ui(),
                      completeImport,
                      success,
                      "Risultati dell'importazione Calendario:\n\n",
                      fmt::format(kReadWritten, passes.read, written),
                      "L'importazione del Calendario ha avuto termine con successo.",
                      "Si sono verificati problemi durante l'importazione del Calendario.");
    return success;
}

bool ImportPeriods(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return false;
    }
    store::DatabaseConnection& connection = *window.connection();
    constexpr std::string_view kWhat = "l'importazione dei Periodi di Validità Corsa.";
    const auto trips = loadNumbers(connection, "corse", "ID");
    if (trips.empty()) {
        window.ui().Message(missingTripsMessage(kWhat), ui::Icon::Stop);
        return false;
    }
    const auto cadences = loadTexts(connection, "cadenz");
    if (cadences.empty()) {
        window.ui().Message(missingCadencesMessage(kWhat), ui::Icon::Stop);
        return false;
    }
    const RecordLayout& layout = periodLayout();
    const auto path = chooseFile(
        window, completeImport, false, layout, "Importazione Dati Periodi Validità Corse");
    if (!path) {
        return false;
    }
    const LayoutField& trip = layoutField(layout, "period.ID");
    const LayoutField& cadence = layoutField(layout, "period.caden");
    const LayoutField& start = layoutField(layout, "period.inizio");
    const LayoutField& end = layoutField(layout, "period.fine");
    const LayoutField& excluded = layoutField(layout, "period.escluso");
    store::TableCursor periods(&connection, "period");
    long written = 0;
    ImportSteps steps{
        ImportFile::Periods,
        layout,
        "Importazione Periodi Effettuazione Corse",
        [&](std::string_view line, long number, ImportErrors& errors) {
            const long id = fieldNumber(fieldIn(line, trip));
            if (!trips.contains(id)) {
                errors.add(ImportProblem::UnknownTrip, number, trip.offset, entry::unknownTrip(id));
            }
            checkCadence(line, number, cadence, cadences, errors);
            const auto from = checkDate(line, number, start, *master, true, errors);
            const auto to = checkDate(line, number, end, *master, true, errors);
            if (from && to && *to < *from) {
                errors.add(
                    ImportProblem::InvertedPeriod, number, end.offset, entry::kInvertedPeriod);
            }
        },
        [&](std::string_view line, long) {
            const long id = fieldNumber(fieldIn(line, trip));
            auto from = parseCompactDate(fieldIn(line, start));
            auto to = parseCompactDate(fieldIn(line, end));
            if (!trips.contains(id) || !from || !to) {
                return;
            }
            // A period is cut to the communication period: from 01/01 to 31/12 of a
            // communication covering March to June it runs March to June; a period wholly
            // outside (August) is left out.
            from = std::max(*from, master->first);
            to = std::min(*to, master->last);
            if (*from > master->last || *to < master->first) {
                return;
            }
            if (periods.AddNew() && periods.SetField("ID", std::to_string(id)) &&
                periods.SetField("caden", storedText(fieldIn(line, cadence))) &&
                periods.SetField("inizio", from->display()) &&
                periods.SetField("fine", to->display()) &&
                periods.SetField("escluso", fieldIn(line, excluded) == "1" ? "1" : "0") &&
                periods.Update()) {
                ++written;
            }
        }};
    const ImportPasses passes = runImportPasses(window, *path, *master, steps);
    if (passes.read < 0) {
        return false;
    }
    const bool success = passes.read == written;
    showImportClosing(window.ui(),
                      completeImport,
                      success,
                      "Risultati dell'importazione Periodi Validità Corse:\n\n",
                      fmt::format(kReadWritten, passes.read, written),
                      "L'importazione dei Periodi Validità ha avuto termine con successo.",
                      "Si sono verificati problemi durante l'importazione dei Periodi Validità.");
    return success;
}

bool ImportExtendedCodes(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return false;
    }
    store::DatabaseConnection& connection = *window.connection();
    const auto trips = loadNumbers(connection, "corse", "ID");
    if (trips.empty()) {
        window.ui().Message(missingTripsMessage("l'importazione delle Codifiche Estese."),
                            ui::Icon::Stop);
        return false;
    }
    const auto lots = loadNumbers(connection, "reglot", "codice");
    const auto companies = loadNumbers(connection, "regazi", "codice");
    const RecordLayout& layout = extendedCodeLayout();
    const auto path =
        chooseFile(window, completeImport, false, layout, "Importazione Codifiche Estese");
    if (!path) {
        return false;
    }
    const LayoutField& trip = layoutField(layout, "extcod.ID");
    const LayoutField& lot = layoutField(layout, "extcod.lotto");
    const LayoutField& managing = layoutField(layout, "extcod.aziges");
    const LayoutField& subcontractor = layoutField(layout, "extcod.azisub");
    store::TableCursor codes(&connection, "extcod");
    long inserted = 0;
    long modified = 0;
    ImportSteps steps{
        ImportFile::ExtendedCodes,
        layout,
        "Importazione Codifiche Estese",
        [&](std::string_view line, long number, ImportErrors& errors) {
            const long id = fieldNumber(fieldIn(line, trip));
            if (!trips.contains(id)) {
                errors.add(ImportProblem::UnknownTrip, number, trip.offset, entry::unknownTrip(id));
            }
            checkRegisterCode(line,
                              number,
                              lot,
                              ImportProblem::UnknownLot,
                              entry::kNonNumericLot,
                              entry::unknownLot,
                              lots,
                              errors);
            checkRegisterCode(line,
                              number,
                              managing,
                              ImportProblem::UnknownCompany,
                              entry::kNonNumericManaging,
                              entry::unknownCompany,
                              companies,
                              errors);
            checkRegisterCode(line,
                              number,
                              subcontractor,
                              ImportProblem::UnknownCompany,
                              entry::kNonNumericSubcontractor,
                              entry::unknownCompany,
                              companies,
                              errors);
        },
        [&](std::string_view line, long) {
            const long id = fieldNumber(fieldIn(line, trip));
            // The codes of a trip that does not exist are left out, as the question announced.
            if (!trips.contains(id)) {
                return;
            }
            const std::string key = std::to_string(id);
            const bool exists = codes.SelectIndex("codice") && codes.Seek({key});
            if ((exists ? codes.Edit() : codes.AddNew() && codes.SetField("ID", key)) &&
                codes.SetField("lotto", fieldIn(line, lot)) &&
                codes.SetField("aziges", fieldIn(line, managing)) &&
                codes.SetField("azisub", fieldIn(line, subcontractor)) && codes.Update()) {
                ++(exists ? modified : inserted);
            }
        }};
    const ImportPasses passes = runImportPasses(window, *path, *master, steps);
    if (passes.read < 0) {
        return false;
    }
    const bool success = passes.read == inserted + modified;
    showImportClosing(window.ui(),
                      completeImport,
                      success,
                      "Risultati dell'importazione Codifiche Estese:\n\n",
                      fmt::format("Lette {} righe dal file testo.\n"
                                  "Modificate {} righe esistenti.\n\n",
                                  passes.read,
                                  modified),
                      "L'importazione delle Codifiche Estese ha avuto termine con successo.",
                      "Si sono verificati problemi durante l'importazione delle Codifiche Estese.");
    return success;
}

} // namespace tramela::comm
