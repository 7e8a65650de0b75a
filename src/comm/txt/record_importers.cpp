#include "comm/txt/record_importers.h"

#include "comm/txt/import_frame.h"
#include "comm/txt/record_layouts.h"
#include "store/database_connection.h"
#include "store/table_cursor.h"
#include "ui/ui.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>
#include <functional>
#include <string>
#include <unordered_set>

namespace tramela::comm {

namespace {

// What writing one line did.
struct Written {
    bool row = false;          // a row was added or changed
    bool changed = false;      // the row existed before
    bool reclassified = false; // unknown codes of the line were stored as 0
};

// One record importer: its file, the dialog that asks for it, the rules of the first pass, the
// table and the write of each line, and the texts of its closing message.
struct RecordImport {
    ImportFile file;
    const RecordLayout& layout;
    std::string_view dialogTitle;
    // The protocol and the cadences ask for their file also in the combined import.
    bool asksInCombined = false;
    std::vector<FieldRule> rules = {};
    ImportProblem companyNotDigits = ImportProblem::CompanyCode;
    std::string_view table;
    std::string_view writeCaption;
    std::function<Written(std::string_view line, store::TableCursor& table)> write;
    std::string_view closingTitle;
    std::string_view successText;
    std::string_view failureText;
    // The closing counts the rows changed, not those added (the extended codes).
    bool countsChanged = false;
    // A file without a line imports nothing (the protocol: the master stays as it was).
    bool needsALine = false;
};

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
    ui::FileDialog dialog = importFileDialog(std::move(title), std::string(name));
    dialog.key = importFileKey(layout);
    auto chosen = window.ui().OpenFile(dialog);
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

// Chooses the file, runs the two passes and closes with the counts. Done when every line read
// was written.
ui::Outcome runRecordImport(workspace::Workspace& window,
                            bool completeImport,
                            const ImportMaster& master,
                            const RecordImport& import) {
    const auto path = chooseFile(window,
                                 completeImport,
                                 import.asksInCombined,
                                 import.layout,
                                 std::string(import.dialogTitle));
    if (!path) {
        return ui::Outcome::Cancelled;
    }
    store::TableCursor table(window.connection(), import.table);
    long added = 0;
    long changed = 0;
    long reclassified = 0;
    const ImportSteps steps{
        .file = import.file,
        .layout = import.layout,
        .writeCaption = import.writeCaption,
        .rules = import.rules,
        .companyNotDigits = import.companyNotDigits,
        .write =
            [&](std::string_view line) {
                const Written written = import.write(line, table);
                if (written.row) {
                    ++(written.changed ? changed : added);
                    reclassified += written.reclassified ? 1 : 0;
                }
            },
    };
    const ImportPasses passes = runImportPasses(window, *path, master, steps);
    if (passes.read < 0) {
        return ui::Outcome::Failed;
    }
    if (!passes.written) {
        // Refused, declined, or a commit the engine refused: no row of the file was kept.
        added = changed = reclassified = 0;
    }
    const bool success = passes.read == added + changed && (passes.read > 0 || !import.needsALine);
    std::string counts =
        import.countsChanged
            ? fmt::format("Lette {} righe dal file testo.\nModificate {} righe esistenti.\n",
                          passes.read,
                          changed)
            : fmt::format("Lette {} righe dal file testo.\nInserite {} righe nel database.\n",
                          passes.read,
                          added);
    if (reclassified > 0) {
        counts += fmt::format("Riclassificate {} righe con codici sconosciuti.\n", reclassified);
    }
    showImportClosing(window.ui(),
                      completeImport,
                      success,
                      import.closingTitle,
                      counts + "\n",
                      import.successText,
                      import.failureText);
    return importOutcome(success, passes);
}

// A trip identifier of the period and extended-code files: a trip of the database; one that is
// not, or is not a number, is left out after the question.
NumberRule tripRule(std::string_view field, const std::unordered_set<long>& trips) {
    return {field,
            ImportProblem::UnknownTrip,
            entry::kNonNumericTrip,
            among(trips),
            entry::unknownTrip};
}

} // namespace

ui::Outcome ImportProtocol(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return ui::Outcome::Failed;
    }
    const RecordLayout& layout = protocolLayout();
    const LayoutField& company = layoutField(layout, "master.azienda");
    const LayoutField& sent = layoutField(layout, "master.p_data");
    const LayoutField& protocol = layoutField(layout, "master.protoc");
    const LayoutField& first = layoutField(layout, "master.datini");
    const LayoutField& last = layoutField(layout, "master.datfin");
    const LayoutField& responsible = layoutField(layout, "master.resple");
    return runRecordImport(
        window,
        completeImport,
        *master,
        {.file = ImportFile::Protocol,
         .layout = layout,
         .dialogTitle = "Importazione Protocollo Comunicazione Orari",
         .asksInCombined = true,
         // The period is checked only when all three days of the line are real.
         .rules = {DateRule{"master.p_data"},
                   DateRule{"master.datini"},
                   DateRule{"master.datfin"},
                   PeriodRule{"master.datini", "master.datfin", false},
                   NumberRule{
                       "master.protoc", ImportProblem::IllegalNumber, entry::kNonNumericProtocol}},
         .companyNotDigits = ImportProblem::IllegalNumber,
         .table = "master",
         .writeCaption = "Importazione Protocollo",
         .write =
             [&](std::string_view line, store::TableCursor& record) {
                 const auto day = [&](const LayoutField& field) {
                     return parseCompactDate(fieldIn(line, field)).value_or(Date{}).display();
                 };
                 // Each line updates the master record; the last one wins.
                 if (!record.SelectIndex("codice") || !record.Seek({"0"}) || !record.Edit()) {
                     return Written{};
                 }
                 record.SetField("azienda", fieldIn(line, company));
                 record.SetField("p_data", day(sent));
                 record.SetField("protoc", fieldIn(line, protocol));
                 record.SetField("datini", day(first));
                 record.SetField("resple", storedText(fieldIn(line, responsible)));
                 record.SetField("datfin", day(last));
                 return Written{.row = record.Update()};
             },
         .closingTitle = "Risultati dell'importazione Protocollo:\n\n",
         .successText = "L'importazione del Protocollo ha avuto termine con successo.",
         .failureText = "Si sono verificati problemi durante l'importazione del Protocollo.",
         .needsALine = true});
}

ui::Outcome ImportCadences(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return ui::Outcome::Failed;
    }
    const RecordLayout& layout = cadenceLayout();
    const LayoutField& code = layoutField(layout, "cadenz.codice");
    const LayoutField& name = layoutField(layout, "cadenz.denom");
    return runRecordImport(
        window,
        completeImport,
        *master,
        {.file = ImportFile::Cadences,
         .layout = layout,
         .dialogTitle = "Importazione Dati Cadenze",
         .asksInCombined = true,
         .table = "cadenz",
         .writeCaption = "Importazione Cadenze",
         .write =
             [&](std::string_view line, store::TableCursor& cadences) {
                 return Written{.row =
                                    cadences.AddNew() &&
                                    cadences.SetField("codice", storedText(fieldIn(line, code))) &&
                                    cadences.SetField("denom", requiredText(fieldIn(line, name))) &&
                                    cadences.Update()};
             },
         .closingTitle = "Risultati dell'importazione Cadenze:\n\n",
         .successText = "L'importazione delle Cadenze ha avuto termine con successo.",
         .failureText = "Si sono verificati problemi durante l'importazione delle Cadenze."});
}

ui::Outcome ImportCalendar(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return ui::Outcome::Failed;
    }
    const auto cadences = loadCodeTexts(*window.connection(), "cadenz");
    if (cadences.empty()) {
        window.ui().Message(missingCadencesMessage("l'importazione del Calendario."),
                            ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    const RecordLayout& layout = calendarLayout();
    const LayoutField& dayField = layoutField(layout, "calend.data");
    const LayoutField& note = layoutField(layout, "calend.note");
    const LayoutField& cadence = layoutField(layout, "calend.caden");
    return runRecordImport(
        window,
        completeImport,
        *master,
        {.file = ImportFile::Calendar,
         .layout = layout,
         .dialogTitle = "Importazione Dati Calendario",
         .rules = {DateRule{"calend.data", true}, CadenceRule{"calend.caden", &cadences}},
         .table = "calend",
         .writeCaption = "Importazione Calendario",
         .write =
             [&](std::string_view line, store::TableCursor& calendar) {
                 const auto day = parseCompactDate(fieldIn(line, dayField));
                 // Days outside the communication period are left out, as the question
                 // announced.
                 if (!day || *day < master->first || *day > master->last) {
                     return Written{};
                 }
                 return Written{
                     .row = calendar.AddNew() && calendar.SetField("data", day->display()) &&
                            calendar.SetField("caden", storedText(fieldIn(line, cadence))) &&
                            calendar.SetField("giorno", std::to_string(day->weekday())) &&
                            calendar.SetField("note", requiredText(fieldIn(line, note))) &&
                            calendar.Update()};
             },
         .closingTitle = "Risultati dell'importazione Calendario:\n\n",
         .successText = "L'importazione del Calendario ha avuto termine con successo.",
         .failureText = "Si sono verificati problemi durante l'importazione del Calendario."});
}

ui::Outcome ImportPeriods(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return ui::Outcome::Failed;
    }
    store::DatabaseConnection& connection = *window.connection();
    constexpr std::string_view kWhat = "l'importazione dei Periodi di Validità Corsa.";
    const auto trips = loadCodeNumbers(connection, "corse", "ID");
    if (trips.empty()) {
        window.ui().Message(missingTripsMessage(kWhat), ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    const auto cadences = loadCodeTexts(connection, "cadenz");
    if (cadences.empty()) {
        window.ui().Message(missingCadencesMessage(kWhat), ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    const RecordLayout& layout = periodLayout();
    const LayoutField& trip = layoutField(layout, "period.ID");
    const LayoutField& cadence = layoutField(layout, "period.caden");
    const LayoutField& start = layoutField(layout, "period.inizio");
    const LayoutField& end = layoutField(layout, "period.fine");
    const LayoutField& excluded = layoutField(layout, "period.escluso");
    return runRecordImport(
        window,
        completeImport,
        *master,
        {.file = ImportFile::Periods,
         .layout = layout,
         .dialogTitle = "Importazione Dati Periodi Validità Corse",
         .rules = {tripRule("period.ID", trips),
                   CadenceRule{"period.caden", &cadences},
                   DateRule{"period.inizio", true},
                   DateRule{"period.fine", true},
                   PeriodRule{"period.inizio", "period.fine"}},
         .table = "period",
         .writeCaption = "Importazione Periodi Effettuazione Corse",
         .write =
             [&](std::string_view line, store::TableCursor& periods) {
                 const auto id = digitsValue(fieldIn(line, trip));
                 auto from = parseCompactDate(fieldIn(line, start));
                 auto to = parseCompactDate(fieldIn(line, end));
                 if (!id || !trips.contains(*id) || !from || !to) {
                     return Written{};
                 }
                 // A period is cut to the communication period: from 01/01 to 31/12 of a
                 // communication covering March to June it runs March to June; a period wholly
                 // outside (August) is left out.
                 from = std::max(*from, master->first);
                 to = std::min(*to, master->last);
                 if (*from > master->last || *to < master->first) {
                     return Written{};
                 }
                 return Written{
                     .row =
                         periods.AddNew() && periods.SetField("ID", std::to_string(*id)) &&
                         periods.SetField("caden", storedText(fieldIn(line, cadence))) &&
                         periods.SetField("inizio", from->display()) &&
                         periods.SetField("fine", to->display()) &&
                         periods.SetField("escluso", fieldIn(line, excluded) == "1" ? "1" : "0") &&
                         periods.Update()};
             },
         .closingTitle = "Risultati dell'importazione Periodi Validità Corse:\n\n",
         .successText = "L'importazione dei Periodi Validità ha avuto termine con successo.",
         .failureText =
             "Si sono verificati problemi durante l'importazione dei Periodi Validità."});
}

ui::Outcome ImportExtendedCodes(workspace::Workspace& window, bool completeImport) {
    const auto master = start(window);
    if (!master) {
        return ui::Outcome::Failed;
    }
    store::DatabaseConnection& connection = *window.connection();
    const auto trips = loadCodeNumbers(connection, "corse", "ID");
    if (trips.empty()) {
        window.ui().Message(missingTripsMessage("l'importazione delle Codifiche Estese."),
                            ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    const auto lots = loadCodeNumbers(connection, "reglot", "codice");
    const auto companies = loadCodeNumbers(connection, "regazi", "codice");
    const RecordLayout& layout = extendedCodeLayout();
    const LayoutField& trip = layoutField(layout, "extcod.ID");
    const LayoutField& lot = layoutField(layout, "extcod.lotto");
    const LayoutField& managing = layoutField(layout, "extcod.aziges");
    const LayoutField& subcontractor = layoutField(layout, "extcod.azisub");
    return runRecordImport(
        window,
        completeImport,
        *master,
        {.file = ImportFile::ExtendedCodes,
         .layout = layout,
         .dialogTitle = "Importazione Codifiche Estese",
         // Unknown or illegible register codes are reclassified as the register's 0.
         .rules = {tripRule("extcod.ID", trips),
                   NumberRule{"extcod.lotto",
                              ImportProblem::UnknownLot,
                              entry::kNonNumericLot,
                              among(lots),
                              entry::unknownLot},
                   NumberRule{"extcod.aziges",
                              ImportProblem::UnknownCompany,
                              entry::kNonNumericManaging,
                              among(companies),
                              entry::unknownCompany},
                   NumberRule{"extcod.azisub",
                              ImportProblem::UnknownCompany,
                              entry::kNonNumericSubcontractor,
                              among(companies),
                              entry::unknownCompany}},
         .table = "extcod",
         .writeCaption = "Importazione Codifiche Estese",
         .write =
             [&](std::string_view line, store::TableCursor& codes) {
                 const auto id = digitsValue(fieldIn(line, trip));
                 // The codes of a trip that does not exist are left out, as the question
                 // announced.
                 if (!id || !trips.contains(*id)) {
                     return Written{};
                 }
                 const RegisterCode codeOfLot = registerCode(fieldIn(line, lot), lots);
                 const RegisterCode codeOfManaging =
                     registerCode(fieldIn(line, managing), companies);
                 const RegisterCode codeOfSubcontractor =
                     registerCode(fieldIn(line, subcontractor), companies);
                 const std::string key = std::to_string(*id);
                 const bool exists = codes.SelectIndex("codice") && codes.Seek({key});
                 return Written{
                     .row = (exists ? codes.Edit() : codes.AddNew() && codes.SetField("ID", key)) &&
                            codes.SetField("lotto", std::to_string(codeOfLot.code)) &&
                            codes.SetField("aziges", std::to_string(codeOfManaging.code)) &&
                            codes.SetField("azisub", std::to_string(codeOfSubcontractor.code)) &&
                            codes.Update(),
                     .changed = exists,
                     .reclassified = codeOfLot.reclassified || codeOfManaging.reclassified ||
                                     codeOfSubcontractor.reclassified};
             },
         .closingTitle = "Risultati dell'importazione Codifiche Estese:\n\n",
         .successText = "L'importazione delle Codifiche Estese ha avuto termine con successo.",
         .failureText =
             "Si sono verificati problemi durante l'importazione delle Codifiche Estese.",
         .countsChanged = true});
}

} // namespace tramela::comm
