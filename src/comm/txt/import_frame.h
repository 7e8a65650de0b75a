#pragma once

#include "store/date.h"
#include "ui/ui.h"
#include "workspace/report_header.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm {

struct LayoutField;
struct RecordLayout;

// The record files of the communication, as the import's messages tell them apart.
enum class ImportFile {
    Protocol,
    Cadences,
    Calendar,
    TripHeader,
    TripDetail,
    Periods,
    ExtendedCodes
};

// The kinds of problem the first pass finds. The first six block the import; the others can be
// remedied and only ask whether to go on. Their order is the order of the messages' paragraphs.
enum class ImportProblem : std::uint8_t {
    LineLength,
    IllegalNumber, // a number field that holds anything but digits, where nothing can stand for it
    IllegalDate,
    InvertedPeriod,
    UnknownCadence,
    IllegalTime,
    CompanyCode,
    DateOutsidePeriod,
    UnknownTrip,
    UnknownAuthority,
    NonNumericContract,
    UnknownLot,
    UnknownCompany,
};

bool isBlocking(ImportProblem problem);

// The texts of the entries of the error list.
namespace entry {
inline constexpr std::string_view kIllegalDate = "data in formato illegale";
inline constexpr std::string_view kInvertedPeriod =
    "data fine periodo antecedente data inizio periodo";
inline constexpr std::string_view kOutsidePeriod =
    "data calendario non compresa nel periodo della comunicazione";
inline constexpr std::string_view kNonNumericCompany =
    "il codice azienda contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericProtocol =
    "il Protocollo contiene caratteri non numerici";
inline constexpr std::string_view kIllegalTime = "orario espresso in forma illegale";
inline constexpr std::string_view kNonNumericAuthority =
    "il codice ente contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericContract =
    "il codice contratto contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericLot =
    "il codice lotto contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericManaging =
    "il codice Azienda Gestione contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericSubcontractor =
    "il codice Azienda Subappalto contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericTrip = "l'ID corsa contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericLength =
    "la lunghezza corsa contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericDuration =
    "il tempo corsa contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericContractLength =
    "la lunghezza contrattuale contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericContractDuration =
    "il tempo contrattuale contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericProgressive =
    "il progressivo fermata contiene caratteri non numerici";
inline constexpr std::string_view kNonNumericDistance =
    "la distanza progressiva contiene caratteri non numerici";

// "Lunghezza riga 73 [deve essere 74]" for the protocol and the calendar, "la riga è lunga 73
// [deve essere 74]" for the other files.
std::string lineLength(ImportFile file, long length, int expected);
std::string unknownCadence(std::string_view code); // the code without its trailing blanks
std::string unknownTrip(long trip);
std::string unknownAuthority(long code);
std::string unknownLot(long code);
std::string unknownCompany(long code);
std::string companyChanged(long first, long now);
std::string companyUndeclared(long master, long file);
} // namespace entry

// The problems found in one file: its path and the entries in the order found, each with its
// line (1-based; 0 for none), its column offset (0-based; -1 for none) and its text. Equal texts
// are held once, so a file of many lines with the same fault stays small.
class ImportErrors {
public:
    static constexpr long kNoLine = 0;
    static constexpr int kNoOffset = -1;

    struct Entry {
        long line;
        int offset;
        std::string_view text;
    };

    explicit ImportErrors(std::filesystem::path file = {})
        : m_file(std::move(file)) {}

    void add(ImportProblem problem, long line, int offset, std::string_view text);

    bool has(ImportProblem problem) const { return (m_kinds >> static_cast<int>(problem)) & 1U; }

    bool blocking() const;
    bool remediable() const;

    bool empty() const { return m_entries.empty(); }

    size_t size() const { return m_entries.size(); }

    Entry at(size_t index) const;

    const std::filesystem::path& file() const { return m_file; }

private:
    struct Stored {
        std::int64_t line;
        std::int32_t offset;
        std::uint32_t text; // index in m_texts
    };

    std::filesystem::path m_file;
    std::vector<Stored> m_entries;
    std::vector<std::string> m_texts;
    std::unordered_map<std::string, std::uint32_t> m_textIndex;
    std::uint32_t m_kinds = 0;
};

// The message that refuses a file with blocking problems; it ends asking whether to save the
// report.
std::string blockingMessage(ImportFile file, const ImportErrors& errors);
// The message that explains remediable problems; it ends with "Proseguo comunque?".
std::string remediableMessage(ImportFile file, const ImportErrors& errors);

// Writes the error report to `target` (ISO-8859-1, CR LF); false when it cannot be written.
bool writeImportReport(const std::filesystem::path& target,
                       const ImportErrors& errors,
                       const std::filesystem::path& database,
                       const workspace::ReportTime& time = workspace::ReportTime::now());
// Offers the save dialog "Report Errori Riscontrati" and writes the report there; cancelling
// writes nothing, a file that cannot be created is reported.
void offerImportReport(const ImportErrors& errors,
                       const std::filesystem::path& database,
                       ui::Ui& ui,
                       std::string_view key = ui::keys::kReport);

// The open-file dialog of an importer: "TXT", the text-file filter, the proposed name.
ui::FileDialog importFileDialog(std::string title, std::string initialName);
// The key of the question that asks for a record file: its name in lower case without the
// extension ("rt_proto" for RT_PROTO.TXT).
std::string importFileKey(const RecordLayout& layout);

// The folder of the protocol and cadence files chosen in the combined import, where the later
// importers of the combined import find their files. It lasts for the whole session.
const std::filesystem::path& combinedImportFolder();
void setCombinedImportFolder(std::filesystem::path folder);

// What the importers take from the master record: the company code and the communication period.
struct ImportMaster {
    long company = 0;
    Date first;
    Date last;
};

// Finds the master record; when it is missing says so (stop icon) and gives nothing.
std::optional<ImportMaster> readImportMaster(store::DatabaseConnection& connection);

// The prerequisite messages: no trip registered (the import of `what` needs them), no cadence
// registered, no trip header read.
std::string missingTripsMessage(std::string_view what);
std::string missingCadencesMessage(std::string_view what);
std::string missingTripHeadersMessage();

// The value of a number field: its digits, or nothing when it holds any other character (a
// sign, a blank, a letter), so that "00002X" is never read as 2.
std::optional<long> digitsValue(std::string_view text);
// The field of a layout that carries this column ("cadenz.codice"); the layouts are the one
// place that knows offsets and widths.
const LayoutField& layoutField(const RecordLayout& layout, std::string_view content);
// The text of a field in a line of the right length.
std::string_view fieldIn(std::string_view line, const LayoutField& field);
// A text field as the database keeps it: UTF-8, without trailing blanks.
std::string storedText(std::string_view latin1);
// A required text column holds a single blank when the file leaves it empty, as the sibling
// product stores an empty annotation.
std::string requiredText(std::string_view latin1);

// The code lists the checks use, loaded before the first pass: the codes of a table (trailing
// blanks removed) and the numbers of a column. A missing table gives an empty list.
std::unordered_set<std::string> loadCodeTexts(store::DatabaseConnection& connection,
                                              std::string_view table);
std::unordered_set<long> loadCodeNumbers(store::DatabaseConnection& connection,
                                         std::string_view table,
                                         std::string_view column);

// A register code as it is stored: the code read, or 0 (every register's "non assegnato") when
// the field is not all digits or the register lacks the code, as the remediable question
// announces ("verranno automaticamente riclassificati").
struct RegisterCode {
    long code = 0;
    bool reclassified = false;
};

RegisterCode registerCode(std::string_view digits, const std::unordered_set<long>& codes);

// The rules of the first pass for the fields of a file. A file's rules run in their order on
// every line of the right length, and their entries enter the report in that order. Every number,
// date and time field of the layout has a rule (the company code, first of every layout, is the
// frame's own), so that no field is read without being checked.
//
// A number field: all digits, and one of the known values when the rule knows them. Both faults
// are of the rule's class, the class of the field's other faults: remediable where the write can
// do without the value (the line of an unknown trip is left out, an unknown register code is
// reclassified), blocking where nothing can stand for it (a protocol number, a trip's length).
struct NumberRule {
    std::string_view field; // the layout's content of the field
    ImportProblem problem;
    std::string_view notDigits;             // the entry of a field that is not all digits
    std::function<bool(long)> known = {};   // the values it may hold; any when empty
    std::string (*unknown)(long) = nullptr; // the entry of a value it may not hold
};

// The known values of a number rule: those of a code list, which must outlive the rule.
inline std::function<bool(long)> among(const std::unordered_set<long>& codes) {
    return [&codes](long value) { return codes.contains(value); };
}

// A day AAAAMMGG: a real one (blocking), inside the communication period when asked (remediable).
struct DateRule {
    std::string_view field;
    bool withinPeriod = false;
};

// A time HHMM with hours 0-23 and minutes 0-59, or 9999 for no time (blocking).
struct TimeRule {
    std::string_view field;
};

// A cadence code, trailing blanks removed, among the registered ones (blocking).
struct CadenceRule {
    std::string_view field;
    const std::unordered_set<std::string>* cadences;
};

// The last day of a period not before its first, checked when every day the rules before it read
// is real (blocking); the entry carries the last day's offset, or none.
struct PeriodRule {
    std::string_view first;
    std::string_view field; // the last day
    bool atLast = true;
};

using FieldRule = std::variant<NumberRule, DateRule, TimeRule, CadenceRule, PeriodRule>;

// Checks the lines of one file against its rules; the rules' fields are found in the layout once.
// A rule naming no field of the layout, or a number, date or time field left without a rule, is
// a fault of the importer (std::logic_error).
class LineChecker {
public:
    LineChecker(const RecordLayout& layout,
                const std::vector<FieldRule>& rules,
                const ImportMaster& master);

    // Adds the entries of one line of the right length.
    void check(std::string_view line, long number, ImportErrors& errors) const;

private:
    struct Bound {
        FieldRule rule;
        const LayoutField* field;
        const LayoutField* first; // a period's first day
    };

    std::vector<Bound> m_rules;
    ImportMaster m_master;
};

// Reads a record file line by line. Lines end with CR LF or LF; the end is removed. Lines are
// ISO-8859-1, one byte per character; a file that begins with the UTF-8 byte order mark is read
// as UTF-8 and its lines are given in ISO-8859-1, so that widths still count characters (a
// character ISO-8859-1 lacks becomes "?").
class RecordFileReader {
public:
    RecordFileReader() = default;
    ~RecordFileReader();
    RecordFileReader(const RecordFileReader&) = delete;
    RecordFileReader& operator=(const RecordFileReader&) = delete;

    // A record is a few hundred characters. A longer line is kept only up to this bound, its
    // length still counted, so that a file with no line ends takes no more memory than a line.
    static constexpr size_t kMaxLineBytes = size_t{64} << 10;

    bool open(const std::filesystem::path& path);
    // The next line, without its end, in ISO-8859-1; false at the end of the file.
    bool next(std::string& line);

    // The length of the last line as the file has it: its characters, or the bytes of a line
    // cut at the bound.
    size_t length() const { return m_length; }

    bool rewind();

private:
    bool fill();

    std::FILE* m_file = nullptr;
    bool m_utf8 = false;
    std::vector<char> m_chunk = std::vector<char>(size_t{64} << 10);
    size_t m_position = 0; // the next byte of the chunk
    size_t m_end = 0;      // past the last byte read into the chunk
    std::string m_bytes;
    size_t m_length = 0;
};

// What one importer plugs into the two passes.
struct ImportSteps {
    ImportFile file;
    const RecordLayout& layout;
    std::string_view writeCaption;
    std::vector<FieldRule> rules = {};
    // The class of a company code that is not all digits: the protocol stores the code and
    // refuses the file; the other files assume the company's own code and only ask.
    ImportProblem companyNotDigits = ImportProblem::CompanyCode;
    // Writes one line; the importer counts what it wrote.
    std::function<void(std::string_view line)> write;
};

struct ImportPasses {
    long read = -1;        // lines of the file; -1 when it could not be opened
    bool written = false;  // the write pass ran
    bool declined = false; // the user did not go on past remediable problems
};

// How an import of one file ended: done when every line was written, cancelled when the user
// did not go on past remediable problems, failed otherwise.
ui::Outcome importOutcome(bool success, const ImportPasses& passes);

// The two passes over one file. The first checks every line (length, company code, the steps'
// rules) into an error list; blocking problems are refused with the offer of the report,
// remediable ones ask whether to go on. The second pass writes every line inside one
// transaction, with the write caption and the progress bar. A file that cannot be opened is
// reported.
ImportPasses runImportPasses(workspace::Workspace& window,
                             const std::filesystem::path& path,
                             const ImportMaster& master,
                             const ImportSteps& steps);

// The closing message of an importer: the title line, the count lines, then the success or the
// failure text (information or stop icon). In the combined import only a failure is shown.
void showImportClosing(ui::Ui& ui,
                       bool completeImport,
                       bool success,
                       std::string_view title,
                       std::string_view counts,
                       std::string_view successText,
                       std::string_view failureText);

} // namespace tramela::comm
