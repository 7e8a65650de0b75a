// The contract totals: every trip of a contract selection with its lengths and times, per trip and
// over its running days, with totals per line and direction and per contract.

#include "reports/analysis/contracts.h"

#include "calendar/running_days.h"
#include "reports/analysis/analysis_text.h"
#include "reports/document_viewer.h"
#include "reports/registers/distance_registers.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/value_text.h"
#include "workspace/company_header.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fmt/format.h>
#include <map>

namespace tramela::reports {

namespace {

constexpr std::string_view kMissingName = "*** INESISTENTE ***";
constexpr std::string_view kNoData = "Non ci sono dati da generare !!!";

// A code field: empty selects everything, otherwise a whole number.
struct Code {
    bool valid = true;
    std::optional<int> value;
};

Code codeOf(const ui::FormValues& values, std::string_view id) {
    const std::string text = valueOf(values, id);
    Code code;
    if (text.empty()) {
        return code;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    code.valid = error == std::errc() && end == text.data() + text.size() && value >= 0;
    if (code.valid) {
        code.value = value;
    }
    return code;
}

std::optional<ui::Refusal> validateSelection(const ui::FormValues& values) {
    const std::pair<std::string_view, std::string_view> codes[] = {
        {kContractLotField, "del Lotto"},
        {kContractCompanyField, "dell'Azienda di gestione"},
        {kContractSubcontractorField, "dell'Azienda subappaltatrice"},
    };
    for (const auto& [field, what] : codes) {
        if (!codeOf(values, field).valid) {
            return ui::Refusal{fmt::format("Il codice {} non è valido.\n\nIl codice deve essere "
                                           "un numero intero, oppure vuoto per tutti.\n\nI dati "
                                           "immessi non saranno registrati !!!",
                                           what),
                               ui::Icon::Stop,
                               {}};
        }
    }
    return std::nullopt;
}

// The vehicle kinds of corse.mezzo by their code.
std::string vehicleName(std::string_view code) {
    static const std::map<std::string_view, std::string_view> kNames = {{"U", "Bus Urbano"},
                                                                        {"X", "Bus Extraurbano"},
                                                                        {"W", "Tramvia"},
                                                                        {"F", "Funicolare"},
                                                                        {"T", "Treno"},
                                                                        {"N", "Traghetto"}};
    const auto found = kNames.find(code);
    return std::string(found == kNames.end() ? "???" : found->second);
}

std::string withComma(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// Metres as kilometres: first rounded to the centimetre, then to the ten metres.
std::string lengthText(double metres) {
    const double rounded = std::strtod(fmt::format("{:.2f}", metres).c_str(), nullptr);
    return withComma(fmt::format("{:.2f}", rounded * 0.001));
}

std::string kilometres(double metres) {
    return withComma(fmt::format("{:.2f}", metres * 0.001));
}

std::string durationText(int minutes) {
    return minutes < 60 ? fmt::format("{}m", minutes)
                        : fmt::format("{}h {}m", minutes / 60, minutes % 60);
}

std::string periodTimeText(long minutes) {
    return minutes < 60 ? fmt::format("0h {}m", minutes)
                        : fmt::format("{}h {}m", minutes / 60, minutes % 60);
}

std::optional<std::map<int, std::string>> loadNames(store::DatabaseConnection& connection,
                                                    const char* table) {
    std::map<int, std::string> names;
    store::QueryCursor cursor(connection);
    cursor.SetSelect("codice, denom");
    cursor.SetFrom(table);
    for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
        std::string name = textOf(cursor, "denom");
        store::TrimTrailingBlanks(name);
        names[integerAt(cursor, 0)] = std::move(name);
    }
    if (cursor.failed()) {
        return std::nullopt;
    }
    return names;
}

std::string nameOf(const std::map<int, std::string>& names, int code) {
    const auto found = names.find(code);
    return found == names.end() ? std::string(kMissingName) : found->second;
}

// One trip as read: the fields of its first row and the periods of all its rows.
struct TripRows {
    int agency = 0;
    std::int32_t id = 0;
    std::string code;
    std::string line;
    std::string direction;
    int parte = 0;
    double lung = 0;
    double contractLung = 0;
    int tempo = 0;
    int contractTempo = 0;
    std::string vehicle;
    double geoLength = 0;
    std::vector<calendar::TripPeriod> periods;
};

// Walks the trips in order, inserting the totals of each line and direction and of each
// contract (agency) where they change and after the last trip.
class Totaller {
public:
    Totaller(ContractReport& report,
             const std::map<int, std::string>& authorities,
             const calendar::RunningDayCalendar& days)
        : m_report(report)
        , m_authorities(authorities)
        , m_days(days) {}

    void add(const TripRows& trip) {
        if (m_agency == nullptr || m_agency->code != trip.agency) {
            close();
            m_agency = &m_report.agencies.emplace_back();
            m_agency->code = trip.agency;
            m_agency->name = nameOf(m_authorities, trip.agency);
        } else if (trip.line != m_line || trip.direction != m_direction) {
            closeLine();
        }
        m_line = trip.line;
        m_direction = trip.direction;
        const bool cartographic = m_report.selection.cartographic;
        // A trip whose withdrawn days outnumber its granted ones runs on none.
        const int days = std::max(0, calendar::runningDayCount(m_days, trip.periods));
        const double used = cartographic ? trip.geoLength : trip.contractLung;
        ContractRow row;
        row.line = trip.line;
        row.direction = trip.direction.substr(0, 1);
        row.id = trip.id;
        row.vehicle = vehicleName(trip.vehicle);
        row.code = trip.code;
        row.start = fmt::format("{}:{:02d}", trip.parte / 100, trip.parte % 100);
        row.length = lengthText(cartographic ? trip.geoLength : trip.lung);
        row.contractLength = lengthText(trip.contractLung);
        row.duration = durationText(trip.tempo);
        row.contractDuration = durationText(trip.contractTempo);
        row.days = days;
        row.periodLength = kilometres(used * days);
        row.periodTime = periodTimeText(static_cast<long>(trip.contractTempo) * days);
        row.cadence = calendar::tripCadenceSummary(trip.periods);
        row.from = calendar::tripFirstStart(trip.periods);
        row.to = calendar::tripLastEnd(trip.periods);
        m_agency->rows.push_back(std::move(row));
        m_lineLength += used * days;
        m_lineTime += static_cast<long>(trip.contractTempo) * days;
        m_agencyLength += used * days;
        m_agencyTime += static_cast<long>(trip.contractTempo) * days;
    }

    void close() {
        if (m_agency == nullptr) {
            return;
        }
        closeLine();
        m_agency->rows.push_back(totalsRow("TOTALI CONTRATTO", m_agencyLength, m_agencyTime));
        m_agencyLength = 0;
        m_agencyTime = 0;
    }

private:
    static ContractRow totalsRow(std::string label, double length, long time) {
        ContractRow row;
        row.totals = true;
        row.label = std::move(label);
        row.lengthSum = length;
        row.timeSum = time;
        return row;
    }

    void closeLine() {
        m_agency->rows.push_back(
            totalsRow(fmt::format("TOTALI {} {}", m_line, m_direction.substr(0, 1)),
                      m_lineLength,
                      m_lineTime));
        m_lineLength = 0;
        m_lineTime = 0;
    }

    ContractReport& m_report;
    const std::map<int, std::string>& m_authorities;
    const calendar::RunningDayCalendar& m_days;
    ContractAgency* m_agency = nullptr;
    std::string m_line;
    std::string m_direction;
    double m_lineLength = 0;
    long m_lineTime = 0;
    double m_agencyLength = 0;
    long m_agencyTime = 0;
};

ui::FileDialog textDialog() {
    ui::FileDialog dialog;
    dialog.key = kContractsTextKey;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.title = "Esportazione verifica Contratti";
    dialog.initialName = "Contratti";
    dialog.defaultExtension = "TXT";
    dialog.filters = {{"File TXT (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    dialog.confirmOverwrite = true;
    return dialog;
}

} // namespace

ui::FormSpec contractsDialog() {
    ui::FormSpec spec;
    spec.id = kContractsFormId;
    spec.title = "verifica Contratti";
    const auto field =
        [](std::string_view id, const char* caption, ui::FieldKind kind, int length) {
            ui::FormField made;
            made.id = id;
            made.caption = caption;
            made.kind = kind;
            made.maxLength = length;
            return made;
        };
    spec.groups.push_back(
        {"Selezione del contratto (vuoto: tutti)",
         {field(kContractLineField, "Linea", ui::FieldKind::Text, 10),
          field(kContractLotField, "Lotto", ui::FieldKind::Integer, 5),
          field(kContractCompanyField, "Azienda Gestione", ui::FieldKind::Integer, 5),
          field(kContractSubcontractorField, "Azienda Subappalto", ui::FieldKind::Integer, 5)}});
    ui::FormField basis = field(
        kCartographicField, "Distanze calcolate su base cartografica", ui::FieldKind::Check, 0);
    basis.value = "0";
    spec.groups.push_back({"Distanze", {std::move(basis)}});
    spec.validate = validateSelection;
    return spec;
}

std::optional<ContractSelection> contractSelectionOf(const ui::FormValues& values) {
    if (validateSelection(values)) {
        return std::nullopt;
    }
    ContractSelection selection;
    if (std::string line = valueOf(values, kContractLineField); !line.empty()) {
        selection.line = std::move(line);
    }
    selection.lot = codeOf(values, kContractLotField).value;
    selection.company = codeOf(values, kContractCompanyField).value;
    selection.subcontractor = codeOf(values, kContractSubcontractorField).value;
    selection.cartographic = valueOf(values, kCartographicField) == "1";
    return selection;
}

std::optional<ContractReport> buildContractReport(store::DatabaseConnection& connection,
                                                  const ContractSelection& selection) {
    ContractReport report;
    report.selection = selection;
    if (const auto header = workspace::ReadCompanyHeader(connection)) {
        report.companyName = header->companyName;
    }
    const auto authorities = loadNames(connection, "regent");
    const auto companies = loadNames(connection, "regazi");
    std::optional<calendar::RunningDayCalendar> days = calendar::loadRunningDayCalendar(connection);
    if (!authorities || !companies || !days) {
        return std::nullopt;
    }
    if (selection.company) {
        report.companyLine = fmt::format("Azienda Gestione: {} - {}",
                                         *selection.company,
                                         nameOf(*companies, *selection.company));
    }
    if (selection.subcontractor) {
        report.subcontractorLine = fmt::format("Azienda Subappalto: {} - {}",
                                               *selection.subcontractor,
                                               nameOf(*companies, *selection.subcontractor));
    }

    store::QueryCursor cursor(connection);
    cursor.SetSelect("corse.ente, corse.id, corse.codcorsa, corse.codlinea, corse.verso, "
                     "corse.parte, corse.lung, corse.ct_lung, corse.tempo, corse.ct_tempo, "
                     "period.caden, period.inizio, period.fine, period.escluso, corse.mezzo, "
                     "itiner.geolung");
    const bool extended = selection.lot || selection.company || selection.subcontractor;
    cursor.SetFrom(extended ? "corse, period, itiner, extcod" : "corse, period, itiner");
    std::string where = "period.id = corse.id AND itiner.id = corse.id_perc";
    int parameter = 0;
    if (selection.line) {
        where += " AND corse.codlinea = ?";
        cursor.Bind(++parameter, *selection.line);
    }
    const std::pair<const std::optional<int>*, const char*> codes[] = {
        {&selection.lot, " AND extcod.lotto = ?"},
        {&selection.company, " AND extcod.aziges = ?"},
        {&selection.subcontractor, " AND extcod.azisub = ?"},
    };
    for (const auto& [code, clause] : codes) {
        if (*code) {
            where += clause;
            cursor.Bind(++parameter, static_cast<std::int64_t>(**code));
        }
    }
    if (extended) {
        where += " AND corse.id = extcod.id";
    }
    cursor.SetWhere(where);
    cursor.SetOrderBy("corse.ente, corse.codlinea, corse.verso, corse.parte, corse.codcorsa, "
                      "corse.id");

    Totaller totaller(report, *authorities, *days);
    std::optional<TripRows> trip;
    for (bool row = cursor.Execute(); row; row = cursor.MoveNext()) {
        const std::int32_t id = integerAt(cursor, 1);
        if (!trip || trip->id != id) {
            if (trip) {
                totaller.add(*trip);
            }
            trip.emplace();
            trip->agency = integerAt(cursor, 0);
            trip->id = id;
            trip->code = textOf(cursor, "codcorsa");
            trip->line = textOf(cursor, "codlinea");
            trip->direction = textOf(cursor, "verso");
            trip->parte = integerAt(cursor, 5);
            trip->lung = doubleAt(cursor, 6);
            trip->contractLung = doubleAt(cursor, 7);
            trip->tempo = integerAt(cursor, 8);
            trip->contractTempo = integerAt(cursor, 9);
            trip->vehicle = textOf(cursor, "mezzo");
            trip->geoLength = doubleAt(cursor, 15);
        }
        calendar::TripPeriod& period = trip->periods.emplace_back();
        period.cadence = textOf(cursor, "caden");
        cursor.GetDateText(11, period.start);
        cursor.GetDateText(12, period.end);
        std::int16_t excluded = 0;
        cursor.GetShort(13, excluded);
        period.excluded = excluded != 0;
    }
    if (cursor.failed()) {
        return std::nullopt;
    }
    if (trip) {
        totaller.add(*trip);
    }
    totaller.close();
    return report;
}

std::string contractText(const ContractReport& report, const workspace::ReportTime& time) {
    std::string text = fmt::format("Azienda: {} [{:02d}/{:02d}/{:04d} {:02d}:{:02d}]\n\n",
                                   report.companyName,
                                   time.day,
                                   time.month,
                                   time.year,
                                   time.hour,
                                   time.minute);
    text += report.selection.cartographic ? "Distanze calcolate su base cartografica\n\n"
                                          : "Distanze calcolate su base convenzionale\n\n";
    for (const ContractAgency& agency : report.agencies) {
        text += fmt::format("Ente Gestore: {} - {}\n", agency.code, agency.name);
        if (!report.companyLine.empty()) {
            text += report.companyLine + "\n";
        }
        if (!report.subcontractorLine.empty()) {
            text += report.subcontractorLine + "\n";
        }
        text += "\tLinea\tIdCorsa\tMezzo\tCodCorsa\tPertenza\tLungEffKm\tLungContKm\tDurata\t"
                "DurataCont\tGiorni\tKmPeriodo\tDurataPeriodo\tCadenza\tDal\tAl\n";
        for (const ContractRow& row : agency.rows) {
            if (row.totals) {
                text += fmt::format("{}\t\t\t\t\t\t\t\t\t\t\t{}\t{}\n\n",
                                    row.label,
                                    kilometres(row.lengthSum),
                                    periodTimeText(row.timeSum));
                continue;
            }
            text += fmt::format("\t{} {}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\n",
                                row.line,
                                row.direction,
                                row.id,
                                row.vehicle,
                                row.code,
                                row.start,
                                row.length,
                                row.contractLength,
                                row.duration,
                                row.contractDuration,
                                row.days,
                                row.periodLength,
                                row.periodTime,
                                row.cadence,
                                row.from,
                                row.to);
        }
    }
    return text;
}

ReportDocument contractDocument(ReportDocument document, const ContractReport& report) {
    document.geometry = PageGeometry::landscape();
    // Thirteen columns across the sheet: a point smaller than the other registers so that every
    // caption fits its column.
    document.geometry.fontSize = 7;
    for (const std::string& line : {report.companyLine, report.subcontractorLine}) {
        if (!line.empty()) {
            document.subheading.push_back(line);
        }
    }
    document.subheading.push_back(report.selection.cartographic
                                      ? "Distanze calcolate su base cartografica"
                                      : "Distanze calcolate su base convenzionale");
    document.columns = {{"Codice Linea", 20, Align::Left},
                        {"ID Corsa", 8, Align::Right},
                        {"Mezzo", 16, Align::Left},
                        {"Codice Corsa", 21, Align::Left},
                        {"Ora Partenza", 13, Align::Right},
                        {"Km. Reali", 10, Align::Right},
                        {"Km. Contratto", 14, Align::Right},
                        {"Tempo Reale", 12, Align::Right},
                        {"Tempo Contratto", 16, Align::Right},
                        {"Giorni", 7, Align::Right},
                        {"Km Contratto Periodo", 21, Align::Right},
                        {"Tempo Contratto Periodo", 23, Align::Right},
                        {"Cadenza", 9, Align::Left}};
    for (const ContractAgency& agency : report.agencies) {
        // The agency opens its trips on a shaded row.
        Row caption;
        caption.cells = {fmt::format("Ente Gestore: {} - {}", agency.code, agency.name)};
        caption.shading = Shading::LightGrey;
        caption.spans = true;
        document.rows.push_back(std::move(caption));
        for (const ContractRow& row : agency.rows) {
            if (row.totals) {
                Row totals;
                totals.total = true;
                totals.cells = {row.label};
                totals.cells.resize(10);
                totals.cells.push_back(kilometres(row.lengthSum));
                totals.cells.push_back(periodTimeText(row.timeSum));
                document.rows.push_back(std::move(totals));
                continue;
            }
            document.rows.push_back({{fmt::format("{} {}", row.line, row.direction),
                                      std::to_string(row.id),
                                      row.vehicle,
                                      row.code,
                                      row.start,
                                      row.length,
                                      row.contractLength,
                                      row.duration,
                                      row.contractDuration,
                                      std::to_string(row.days),
                                      row.periodLength,
                                      row.periodTime,
                                      row.cadence}});
        }
    }
    return document;
}

ui::Outcome ContractTotals(workspace::Workspace& workspace) {
    store::DatabaseConnection& connection = *workspace.connection();
    ui::Ui& ui = workspace.ui();
    const std::optional<ui::FormValues> values = ui.Form(contractsDialog());
    if (!values) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<ContractSelection> selection = contractSelectionOf(*values);
    if (!selection) {
        return ui::Outcome::Failed; // the dialog accepts only valid selections
    }
    const std::optional<PrintMode> mode = askPrintMode(workspace, "verifica Contratti");
    if (!mode) {
        return ui::Outcome::Cancelled;
    }
    workspace.BeginBusy(true);
    const std::optional<ContractReport> report = buildContractReport(connection, *selection);
    if (!report) {
        return ui::Outcome::Failed;
    }
    if (report->agencies.empty()) {
        ui.Message(kNoData, ui::Icon::Information);
        return ui::Outcome::Done;
    }
    const workspace::ReportTime now = workspace::ReportTime::now();
    if (const std::optional<std::filesystem::path> path = ui.SaveFile(textDialog())) {
        if (refusedAsDatabase(workspace, *path)) {
            return ui::Outcome::Failed;
        }
        if (!writeTextFile(*path, contractText(*report, now), ui)) {
            return ui::Outcome::Failed;
        }
    }
    ReportDocument document =
        contractDocument(newDocument(workspace, "Rubrica Verifica Contratti"), *report);
    document.printedAt = now;
    return presentDocument(workspace, document, *mode);
}

} // namespace tramela::reports
