#include "comm/txt/import_frame.h"

#include "comm/txt/record_layouts.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "ui/progress_bar.h"
#include "ui/ui.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <stdexcept>
#include <stdio.h>

namespace tramela::comm {

namespace {

constexpr std::string_view kSaveReport = "Vuoi salvare il report analitico degli errori ?";
constexpr std::string_view kGoOn = "Proseguo comunque?";
constexpr std::string_view kNotToSpecification =
    "il file di testo proposto per l'importazione non risulta corrispondere\n"
    "alle specifiche stabilite dalla Regione Valmora.\n\n";
constexpr std::string_view kCompanyIncoherent =
    "***** il Codice Regionale Azienda indicato nel file di testo è incoerente\n"
    "oppure non corrisponde a quello dell'Azienda.\n";
constexpr std::string_view kReclassified =
    "L'acquisizione dei dati può comunque essere portata a buon fine, ma i codici\n"
    "sconosciuti verranno automaticamente riclassificati.\n\n";

bool isFirstOrSecondFile(ImportFile file) {
    return file == ImportFile::Protocol || file == ImportFile::Cadences;
}

std::string_view blockingParagraph(ImportProblem problem) {
    switch (problem) {
    case ImportProblem::LineLength:
        return "***** il file di testo proposto per l'importazione non risulta corrispondere\n"
               "alle specifiche stabilite dalla Regione Valmora.\n\n";
    case ImportProblem::IllegalNumber:
        return "***** il file di testo proposto contiene dei valori NUMERICI illegali.\n"
               "I valori NUMERICI devono essere espressi con le sole cifre da 0 a 9 !!!\n\n";
    case ImportProblem::IllegalDate:
        return "***** il file di testo proposto contiene dei valori DATA illegali.\n"
               "I valori DATA devono essere espressi nel formato AAAAMMGG !!!\n\n";
    case ImportProblem::InvertedPeriod:
        return "***** alcuni periodi di validità presentano la data di inizio e la data di fine\n"
               "invertite, cioè terminano prima di iniziare.\n\n";
    case ImportProblem::UnknownCadence:
        return "***** il file di testo proposto contiene dei CODICI CADENZA che risultano\n"
               "sconosciuti (violazione dell'integrità referenziale) !!!\n\n";
    case ImportProblem::IllegalTime:
        return "***** il file di testo proposto contiene dei valori ORARIO illegali.\n"
               "I valori ORARIO devono essere espressi nel formato HHMM !!!\n\n";
    default:
        return {};
    }
}

std::string remediableParagraph(ImportFile file, ImportProblem problem) {
    switch (problem) {
    case ImportProblem::CompanyCode: {
        // The files number this paragraph differently; the detail file does not number it.
        std::string_view number = file == ImportFile::Calendar     ? "1"
                                  : file == ImportFile::TripHeader ? "2"
                                  : file == ImportFile::TripDetail ? ""
                                                                   : "4";
        return std::string(number) + std::string(kCompanyIncoherent) +
               "E' comunque possibile proseguire assundo il Codice Azienda corretto.\n\n";
    }
    case ImportProblem::DateOutsidePeriod:
        return file == ImportFile::Periods
                   ? "***** alcune date del calendario non rientrano nel periodo dichiarato.\n"
                     "E' comunque possibile proseguire ignorando o aggiustando le date fuori "
                     "periodo.\n\n"
                   : "***** alcune date del calendario non rientrano nel periodo dichiarato.\n"
                     "E' comunque possibile proseguire ignorando le date fuori periodo.\n\n";
    case ImportProblem::UnknownTrip:
        if (file == ImportFile::TripDetail) {
            return "***** alcuni dettagli corsa si riferiscono a corse inesistenti.\n"
                   "E' comunque possibile proseguire ignorandoli.\n\n";
        }
        if (file == ImportFile::ExtendedCodes) {
            return "***** alcune codifiche estese si riferiscono a corse inesistenti.\n"
                   "E' comunque possibile proseguire ignorandole.\n\n";
        }
        return "***** alcuni periodi di validità si riferiscono a corse inesistenti.\n"
               "E' comunque possibile proseguire ignorandoli.\n\n";
    case ImportProblem::UnknownAuthority:
        return "***** alcuni Codici Enti Concedenti risultano sconosciuti.\n" +
               std::string(kReclassified);
    case ImportProblem::NonNumericContract:
        return "***** alcuni Codici Contratto non sono numerici.\n"
               "L'acquisizione dei dati può comunque essere portata a buon fine, ma i codici\n"
               "verranno automaticamente azzerati.\n\n";
    case ImportProblem::UnknownLot:
        return "***** alcuni Codici Lotto risultano sconosciuti.\n" + std::string(kReclassified);
    case ImportProblem::UnknownCompany:
        return "***** alcuni Codici Azienda risultano sconosciuti.\n" + std::string(kReclassified);
    default:
        return {};
    }
}

// The extended codes of unknown trips are announced after the other kinds of their file.
constexpr ImportProblem kRemediableOrder[] = {ImportProblem::CompanyCode,
                                              ImportProblem::DateOutsidePeriod,
                                              ImportProblem::UnknownTrip,
                                              ImportProblem::UnknownAuthority,
                                              ImportProblem::NonNumericContract,
                                              ImportProblem::UnknownLot,
                                              ImportProblem::UnknownCompany};

std::filesystem::path& rememberedFolder() {
    static std::filesystem::path folder;
    return folder;
}

// A UTF-8 line into ISO-8859-1, one byte per character; what ISO-8859-1 lacks becomes "?".
std::string utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            latin1 += static_cast<char>(lead);
            ++i;
            continue;
        }
        const size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 4;
        char32_t code = lead & (0x7F >> length);
        size_t k = 1;
        for (; k < length && i + k < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
             ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        const bool whole = k == length && (lead & 0xC0) == 0xC0 && lead < 0xF8;
        latin1 += whole && code <= 0xFF ? static_cast<char>(code) : '?';
        i += whole ? length : 1;
    }
    return latin1;
}

// A day of the master record, read from its display form ("00/00/0000" and "99/99/9999" are the
// lowest and highest days).
std::optional<Date> masterDate(store::TableCursor& master, std::string_view field) {
    std::string text;
    master.GetFieldText(field, text);
    const auto iso = store::storeDateToIso(text);
    return iso ? parseIsoDate(*iso) : std::nullopt;
}

// A time field: HHMM with hours 0-23 and minutes 0-59, or 9999 for none. 2400 and 1260 are
// illegal, and so is 9959: only the whole of 9999 means no time.
bool legalTime(std::string_view digits) {
    const auto value = digits.size() == 4 ? digitsValue(digits) : std::nullopt;
    return value && (*value == 9999 || (*value / 100 <= 23 && *value % 100 <= 59));
}

std::string prerequisite(std::string_view what, std::string_view plural, std::string_view tail) {
    return fmt::format("ATTENZIONE: non è stata estratta neppure una {} registrata.\n\n"
                       "Presumibilmente l'importazione {} non è stata ancora effettuata.\n\n"
                       "Occorre effettuare l'importazione {} prima di potere procedere con\n{}",
                       what,
                       plural,
                       plural,
                       tail);
}

} // namespace

bool isBlocking(ImportProblem problem) {
    return problem < ImportProblem::CompanyCode;
}

namespace entry {

std::string lineLength(ImportFile file, long length, int expected) {
    return file == ImportFile::Protocol || file == ImportFile::Calendar
               ? fmt::format("Lunghezza riga {} [deve essere {}]", length, expected)
               : fmt::format("la riga è lunga {} [deve essere {}]", length, expected);
}

std::string unknownCadence(std::string_view code) {
    return fmt::format("cadenza \"{:<4}\" non dichiarata in RT_CADEN.TXT", code);
}

std::string unknownTrip(long trip) {
    return fmt::format("ID corsa {:06d} non dichiarato in RT_HDORA.TXT", trip);
}

std::string unknownAuthority(long code) {
    return fmt::format("il codice ente {:04d} è illegale", code);
}

std::string unknownLot(long code) {
    return fmt::format("il codice lotto {:04d} è illegale", code);
}

std::string unknownCompany(long code) {
    return fmt::format("il codice Azienda {:04d} è illegale", code);
}

std::string companyChanged(long first, long now) {
    return fmt::format("il codice azienda è cambiato; era {:04d} diventa {:04d}", first, now);
}

std::string companyUndeclared(long master, long file) {
    return fmt::format(
        "il codice azienda non è quello dichiarato: {:04d} diventa {:04d}", master, file);
}

} // namespace entry

void ImportErrors::add(ImportProblem problem, long line, int offset, std::string_view text) {
    m_kinds |= 1U << static_cast<int>(problem);
    auto found = m_textIndex.find(std::string(text));
    if (found == m_textIndex.end()) {
        found = m_textIndex.emplace(std::string(text), static_cast<std::uint32_t>(m_texts.size()))
                    .first;
        m_texts.emplace_back(text);
    }
    m_entries.push_back({line, offset, found->second});
}

bool ImportErrors::blocking() const {
    return (m_kinds & ((1U << static_cast<int>(ImportProblem::CompanyCode)) - 1)) != 0;
}

bool ImportErrors::remediable() const {
    return (m_kinds >> static_cast<int>(ImportProblem::CompanyCode)) != 0;
}

ImportErrors::Entry ImportErrors::at(size_t index) const {
    const Stored& stored = m_entries.at(index);
    return {static_cast<long>(stored.line), stored.offset, m_texts[stored.text]};
}

std::string blockingMessage(ImportFile file, const ImportErrors& errors) {
    if (isFirstOrSecondFile(file)) {
        return "ATTENZIONE: " + std::string(kNotToSpecification) +
               "L'acquisizione dati risulta quindi impossibile.\n\n" + std::string(kSaveReport);
    }
    std::string text = "SONO STATI RILEVATI ERRORI BLOCCANTI:\n\n";
    for (int kind = 0; kind < static_cast<int>(ImportProblem::CompanyCode); ++kind) {
        const auto problem = static_cast<ImportProblem>(kind);
        if (errors.has(problem)) {
            text += blockingParagraph(problem);
        }
    }
    return text + "L'acquisizione dati risulta pertanto impossibile.\n\n" +
           std::string(kSaveReport);
}

std::string remediableMessage(ImportFile file, const ImportErrors& errors) {
    if (isFirstOrSecondFile(file)) {
        return "ATTENZIONE: il Codice Regionale Azienda indicato nel file di testo è incoerente\n"
               "oppure non corrisponde a quello dell'Azienda.\n\n" +
               std::string(kGoOn);
    }
    std::string text = "SONO STATI RILEVATI ERRORI RIMEDIABILI:\n\n";
    for (const ImportProblem problem : kRemediableOrder) {
        if (errors.has(problem) &&
            !(problem == ImportProblem::UnknownTrip && file == ImportFile::ExtendedCodes)) {
            text += remediableParagraph(file, problem);
        }
    }
    if (file == ImportFile::ExtendedCodes && errors.has(ImportProblem::UnknownTrip)) {
        text += remediableParagraph(file, ImportProblem::UnknownTrip);
    }
    return text + std::string(kGoOn);
}

bool writeImportReport(const std::filesystem::path& target,
                       const ImportErrors& errors,
                       const std::filesystem::path& database,
                       const workspace::ReportTime& time) {
    workspace::TextFileWriter writer;
    if (!writer.open(target)) {
        return false;
    }
    workspace::writeReportHeader(
        writer,
        "Errori VkzTxt V1",
        {"Database: " + database.string(), "File: " + errors.file().string()},
        time);
    workspace::Latin1Encoder latin1;
    for (size_t i = 0; i < errors.size(); ++i) {
        const ImportErrors::Entry entry = errors.at(i);
        const std::string text = latin1.encode(entry.text);
        if (entry.line == ImportErrors::kNoLine) {
            writer.writeLine(text);
        } else if (entry.offset == ImportErrors::kNoOffset) {
            writer.writeLine(fmt::format("Riga {}: {}", entry.line, text));
        } else {
            writer.writeLine(fmt::format("Riga {} offset {}: {}", entry.line, entry.offset, text));
        }
    }
    return writer.close();
}

void offerImportReport(const ImportErrors& errors,
                       const std::filesystem::path& database,
                       ui::Ui& ui,
                       std::string_view key) {
    ui::FileDialog dialog = importFileDialog("Report Errori Riscontrati", "ERRORI_VKZTXT");
    dialog.key = key;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.confirmOverwrite = true;
    const auto target = ui.SaveFile(dialog);
    if (!target) {
        return;
    }
    if (!writeImportReport(*target, errors, database)) {
        ui.Message("Impossibile creare\n\n" + target->string(), ui::Icon::Exclamation);
    }
}

ui::FileDialog importFileDialog(std::string title, std::string initialName) {
    ui::FileDialog dialog;
    dialog.title = std::move(title);
    dialog.defaultExtension = "TXT";
    dialog.initialName = std::move(initialName);
    dialog.filters = {{"File di testo (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*.*"}};
    return dialog;
}

std::string importFileKey(const RecordLayout& layout) {
    std::string key(layout.file.substr(0, layout.file.rfind('.')));
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

const std::filesystem::path& combinedImportFolder() {
    return rememberedFolder();
}

void setCombinedImportFolder(std::filesystem::path folder) {
    rememberedFolder() = std::move(folder);
}

std::optional<ImportMaster> readImportMaster(store::DatabaseConnection& connection) {
    std::optional<ImportMaster> found;
    if (connection.tableExists("master")) {
        store::TableCursor master(&connection, "master");
        if (master.SelectIndex("codice") && master.Seek({"0"})) {
            std::string company;
            master.GetFieldText("azienda", company);
            ImportMaster values;
            values.company = workspace::leadingInteger(company);
            // Both days are required in the master record; an unreadable one leaves the period
            // empty, so no day falls inside it.
            const auto first = masterDate(master, "datini");
            const auto last = masterDate(master, "datfin");
            values.first = first.value_or(Date{2400, 12, 31});
            values.last = last.value_or(Date{1600, 1, 1});
            found = values;
        }
    }
    if (!found) {
        connection.ui().Message("ATTENZIONE: risulta impossibile trovare il MASTER\n\n"
                                "Presumibilmente il DataBase è corrotto !!!",
                                ui::Icon::Stop);
    }
    return found;
}

std::string missingTripsMessage(std::string_view what) {
    return prerequisite("Corsa", "delle Corse", what);
}

std::string missingCadencesMessage(std::string_view what) {
    return prerequisite("cadenza", "delle Cadenze", what);
}

std::string missingTripHeadersMessage() {
    return "ATTENZIONE: non è stata estratta neppure una Testa Corsa registrata.\n\n"
           "Presumibilmente l'importazione dei Teste Corsa non è stata ancora effettuata.\n\n"
           "Occorre effettuare l'importazione delle Teste Corsa prima di potere procedere con\n"
           "l'importazione dei Dettagli Corsa.";
}

std::optional<long> digitsValue(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

const LayoutField& layoutField(const RecordLayout& layout, std::string_view content) {
    for (const LayoutField& field : layout.fields) {
        if (field.content == content) {
            return field;
        }
    }
    throw std::logic_error(fmt::format("{} has no field {}", layout.file, content));
}

std::string_view fieldIn(std::string_view line, const LayoutField& field) {
    return line.substr(static_cast<size_t>(field.offset), static_cast<size_t>(field.width));
}

std::string storedText(std::string_view latin1) {
    std::string text = workspace::latin1ToUtf8(latin1);
    store::TrimTrailingBlanks(text);
    return text;
}

std::string requiredText(std::string_view latin1) {
    std::string text = storedText(latin1);
    return text.empty() ? std::string(" ") : text;
}

std::unordered_set<std::string> loadCodeTexts(store::DatabaseConnection& connection,
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

std::unordered_set<long> loadCodeNumbers(store::DatabaseConnection& connection,
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
            numbers.insert(workspace::leadingInteger(value));
        }
    }
    return numbers;
}

RegisterCode registerCode(std::string_view digits, const std::unordered_set<long>& codes) {
    const auto value = digitsValue(digits);
    if (!value || !codes.contains(*value)) {
        return {0, true};
    }
    return {*value, false};
}

LineChecker::LineChecker(const RecordLayout& layout,
                         const std::vector<FieldRule>& rules,
                         const ImportMaster& master)
    : m_master(master) {
    std::vector<bool> ruled(layout.fields.size(), false);
    const auto find = [&](std::string_view content) {
        const LayoutField& field = layoutField(layout, content);
        ruled[static_cast<size_t>(&field - layout.fields.data())] = true;
        return &field;
    };
    m_rules.reserve(rules.size());
    for (const FieldRule& rule : rules) {
        const auto* period = std::get_if<PeriodRule>(&rule);
        m_rules.push_back({rule,
                           find(std::visit([](const auto& any) { return any.field; }, rule)),
                           period != nullptr ? find(period->first) : nullptr});
    }
    for (size_t i = 1; i < layout.fields.size(); ++i) {
        const FieldForm form = layout.fields[i].form;
        if (!ruled[i] &&
            (form == FieldForm::Number || form == FieldForm::Date || form == FieldForm::Time)) {
            throw std::logic_error(
                fmt::format("{}: no rule for {}", layout.file, layout.fields[i].content));
        }
    }
}

void LineChecker::check(std::string_view line, long number, ImportErrors& errors) const {
    bool everyDayReal = true;
    for (const Bound& bound : m_rules) {
        const std::string_view text = fieldIn(line, *bound.field);
        const int offset = bound.field->offset;
        if (const auto* digits = std::get_if<NumberRule>(&bound.rule)) {
            const auto value = digitsValue(text);
            if (!value) {
                errors.add(digits->problem, number, offset, digits->notDigits);
            } else if (digits->known && !digits->known(*value)) {
                errors.add(digits->problem, number, offset, digits->unknown(*value));
            }
        } else if (const auto* date = std::get_if<DateRule>(&bound.rule)) {
            const auto day = parseCompactDate(text);
            if (!day) {
                everyDayReal = false;
                errors.add(ImportProblem::IllegalDate, number, offset, entry::kIllegalDate);
            } else if (date->withinPeriod && (*day < m_master.first || *day > m_master.last)) {
                errors.add(ImportProblem::DateOutsidePeriod, number, offset, entry::kOutsidePeriod);
            }
        } else if (std::holds_alternative<TimeRule>(bound.rule)) {
            if (!legalTime(text)) {
                errors.add(ImportProblem::IllegalTime, number, offset, entry::kIllegalTime);
            }
        } else if (const auto* cadence = std::get_if<CadenceRule>(&bound.rule)) {
            const std::string code = storedText(text);
            if (!cadence->cadences->contains(code)) {
                errors.add(
                    ImportProblem::UnknownCadence, number, offset, entry::unknownCadence(code));
            }
        } else if (const auto* period = std::get_if<PeriodRule>(&bound.rule);
                   period && everyDayReal) {
            const auto first = parseCompactDate(fieldIn(line, *bound.first));
            const auto last = parseCompactDate(text);
            if (first && last && *last < *first) {
                errors.add(ImportProblem::InvertedPeriod,
                           number,
                           period->atLast ? offset : ImportErrors::kNoOffset,
                           entry::kInvertedPeriod);
            }
        }
    }
}

RecordFileReader::~RecordFileReader() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool RecordFileReader::open(const std::filesystem::path& path) {
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr) {
        return false;
    }
    // A folder opens on some systems but cannot be read.
    const int first = std::fgetc(m_file);
    if (first == EOF && std::ferror(m_file) != 0) {
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    return rewind();
}

bool RecordFileReader::rewind() {
    if (m_file == nullptr || std::fseek(m_file, 0, SEEK_SET) != 0) {
        return false;
    }
    m_position = m_end = 0;
    char mark[3] = {};
    m_utf8 = std::fread(mark, 1, 3, m_file) == 3 && mark[0] == '\xEF' && mark[1] == '\xBB' &&
             mark[2] == '\xBF';
    if (!m_utf8) {
        std::fseek(m_file, 0, SEEK_SET);
    }
    return true;
}

bool RecordFileReader::fill() {
    m_position = 0;
    m_end = std::fread(m_chunk.data(), 1, m_chunk.size(), m_file);
    return m_end > 0;
}

bool RecordFileReader::next(std::string& line) {
    if (m_file == nullptr || (m_position == m_end && !fill())) {
        return false;
    }
    m_bytes.clear();
    size_t bytes = 0;
    char last = '\0';
    for (bool ended = false; !ended && (m_position < m_end || fill());) {
        const char* start = m_chunk.data() + m_position;
        const auto* end = static_cast<const char*>(std::memchr(start, '\n', m_end - m_position));
        ended = end != nullptr;
        const size_t taken = ended ? static_cast<size_t>(end - start) : m_end - m_position;
        m_bytes.append(start, std::min(taken, kMaxLineBytes - std::min(kMaxLineBytes, bytes)));
        if (taken > 0) {
            last = start[taken - 1];
        }
        bytes += taken;
        m_position += taken + (ended ? 1 : 0);
    }
    if (last == '\r' && bytes > 0) {
        if (m_bytes.size() == bytes) {
            m_bytes.pop_back();
        }
        --bytes;
    }
    line = m_utf8 ? utf8ToLatin1(m_bytes) : m_bytes;
    m_length = bytes > kMaxLineBytes ? bytes : line.size();
    return true;
}

ImportPasses runImportPasses(workspace::Workspace& window,
                             const std::filesystem::path& path,
                             const ImportMaster& master,
                             const ImportSteps& steps) {
    ui::Ui& ui = window.ui();
    const LineChecker checker(steps.layout, steps.rules, master);
    ImportPasses passes;
    RecordFileReader reader;
    if (!reader.open(path)) {
        ui.Message("Impossibile aprire\n\n" + path.string(), ui::Icon::Stop);
        return passes;
    }

    ImportErrors errors(path);
    const LayoutField& companyField = steps.layout.fields.front();
    std::optional<long> fileCompany;
    long fileCompanyLine = 0;
    bool companyChanged = false;
    std::string line;
    long number = 0;
    while (reader.next(line)) {
        ++number;
        if (static_cast<long>(reader.length()) != steps.layout.length) {
            errors.add(ImportProblem::LineLength,
                       number,
                       ImportErrors::kNoOffset,
                       entry::lineLength(
                           steps.file, static_cast<long>(reader.length()), steps.layout.length));
            continue;
        }
        // A company code that is not a number takes no part in the comparisons.
        const auto company = digitsValue(fieldIn(line, companyField));
        if (!company) {
            errors.add(
                steps.companyNotDigits, number, companyField.offset, entry::kNonNumericCompany);
        } else if (!fileCompany) {
            fileCompany = company;
            fileCompanyLine = number;
        } else if (*company != *fileCompany) {
            companyChanged = true;
            errors.add(ImportProblem::CompanyCode,
                       number,
                       companyField.offset,
                       entry::companyChanged(*fileCompany, *company));
        }
        checker.check(line, number, errors);
    }
    passes.read = number;
    if (!companyChanged && fileCompany && *fileCompany != master.company) {
        errors.add(ImportProblem::CompanyCode,
                   fileCompanyLine,
                   companyField.offset,
                   entry::companyUndeclared(master.company, *fileCompany));
    }

    if (errors.blocking()) {
        // The message says why nothing is imported and offers the report of the errors.
        if (ui.Confirm({std::string(ui::keys::kReport), ui::QuestionKind::Offer},
                       blockingMessage(steps.file, errors),
                       ui::Icon::Stop)) {
            const store::DatabaseConnection* connection = window.connection();
            offerImportReport(
                errors, connection ? connection->path() : std::filesystem::path(), ui);
        }
        return passes;
    }
    if (errors.remediable() && !ui.Confirm({std::string(ui::keys::kProceed)},
                                           remediableMessage(steps.file, errors),
                                           ui::Icon::Question)) {
        passes.declined = true;
        return passes;
    }

    window.ShowProgressCaption(steps.writeCaption);
    ui::ProgressBar progress(ui);
    store::Transaction transaction(*window.connection());
    if (!transaction.active()) {
        return passes;
    }
    // The write pass reads the file again. Should it no longer be the file checked (changed or
    // replaced meanwhile), nothing of it is written: its lines were never checked.
    bool same = reader.rewind();
    number = 0;
    while (same && reader.next(line)) {
        ++number;
        same = number <= passes.read && static_cast<long>(reader.length()) == steps.layout.length;
        if (same) {
            steps.write(line);
            progress.set(number, passes.read);
        }
    }
    if (!same || number != passes.read) {
        ui.Message(fmt::format("Il file\n\n{}\n\nè cambiato durante l'importazione: nessuna "
                               "riga è stata registrata.",
                               path.string()),
                   ui::Icon::Stop);
        return passes;
    }
    // A commit the engine refuses keeps nothing of the file: the import has not happened.
    passes.written = transaction.commit();
    return passes;
}

ui::Outcome importOutcome(bool success, const ImportPasses& passes) {
    if (success) {
        return ui::Outcome::Done;
    }
    return passes.declined ? ui::Outcome::Cancelled : ui::Outcome::Failed;
}

void showImportClosing(ui::Ui& ui,
                       bool completeImport,
                       bool success,
                       std::string_view title,
                       std::string_view counts,
                       std::string_view successText,
                       std::string_view failureText) {
    if (success && completeImport) {
        return;
    }
    ui.Message(std::string(title) + std::string(counts) +
                   std::string(success ? successText : failureText),
               success ? ui::Icon::Information : ui::Icon::Stop);
}

} // namespace tramela::comm
