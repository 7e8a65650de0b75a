#include "workspace/company_header.h"

#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/value_text.h"
#include "workspace/typed_date.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fmt/format.h>
#include <limits>
#include <variant>

namespace tramela::workspace {

namespace {

constexpr std::string_view kDialogTitle = "Intestazione Azienda e Comunicazione";

constexpr std::string_view kMasterMissing = "ATTENZIONE: risulta impossibile trovare il MASTER\n\n"
                                            "Presumibilmente il DataBase è corrotto !!!";

constexpr std::string_view kBadCompany =
    "ATTENZIONE: Il Codice Regionale Azienda non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Azienda presente nella lista.\n\n"
    "I dati immessi non saranno registrati !!!";
constexpr std::string_view kBadSendingDate =
    "ATTENZIONE: la data di invio della comunicazione è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
    "I dati immessi non saranno registrati !!!";
constexpr std::string_view kBadProtocol =
    "ATTENZIONE: il numero di protocollo della comunicazione non è valido.\n\n"
    "Il protocollo deve essere espresso come numero intero da 0 a 2147483647.\n\n"
    "I dati immessi non saranno registrati !!!";
constexpr std::string_view kBadStart =
    "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
    "I dati immessi non saranno registrati !!!";
constexpr std::string_view kBadEnd =
    "ATTENZIONE: la data di fine periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
    "I dati immessi non saranno registrati !!!";

// The header row of a new database: no company yet, a period wide enough for any service.
constexpr std::string_view kNewRowStart = "01/01/1900";
constexpr std::string_view kNewRowEnd = "31/12/2099";

constexpr size_t kCodeLength = 4;      // characters of the company list's edit part
constexpr size_t kProtocolLength = 20; // characters of the protocol that are read

constexpr std::string_view kNoCompanyName = "Azienda non definita";

// The header as the dialog examined it, ready to be written.
struct HeaderInput {
    int company = 0;
    std::string date; // empty: not sent yet
    long protocol = -1;
    std::string responsible;
    std::string start;
    std::string end;
};

// The leading decimal value of a text (blanks, a sign, digits), as C's "%ld" reads it; nothing
// when no digit leads or the value leaves the 64-bit range.
std::optional<std::int64_t> leadingValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string_view trimBlanks(std::string_view text) {
    text = store::withoutTrailingBlanks(text);
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    return text;
}

// The company field holds the code typed in the list's edit part ("42", "0042"); a front end
// that hands over a picked entry's whole text ("0042 - Autolinee Valmora") means its code. The
// code must be at most 4 decimal digits and name a company of the list exactly: matching
// "%04d - " rather than "%04d" alone keeps 1000 from being taken for the company 10000.
std::optional<int> companyCode(std::string_view text, const std::vector<std::string>& entries) {
    if (std::find(entries.begin(), entries.end(), text) != entries.end()) {
        text = text.substr(0, text.find(' '));
    }
    if (text.empty() || text.size() > kCodeLength ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int code = 0;
    std::from_chars(text.data(), text.data() + text.size(), code);
    const std::string prefix = fmt::format("{:04d} - ", code);
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
        return entry.starts_with(prefix);
    });
    return listed ? std::optional<int>(code) : std::nullopt;
}

const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

ui::Refusal refusal(std::string_view text) {
    return ui::Refusal{std::string(text), ui::Icon::Stop, {}};
}

// The fields in the order the user is told about them: the company first, even when a date is
// wrong as well. The two period dates are not compared: a period may be stated in either order.
std::variant<HeaderInput, ui::Refusal> examine(const ui::FormValues& values,
                                               const std::vector<std::string>& entries) {
    HeaderInput input;
    const std::optional<int> company = companyCode(valueOf(values, "code"), entries);
    if (!company) {
        return refusal(kBadCompany);
    }
    input.company = *company;

    if (const std::string& date = valueOf(values, "date"); !date.empty()) {
        std::optional<std::string> normal = normaliseTypedDate(date);
        if (!normal) {
            return refusal(kBadSendingDate);
        }
        input.date = std::move(*normal);
    }

    // A protocol is a 32-bit number and -1 stands for "none", so a negative or larger number
    // would be lost or cut on the next save; text that holds no number is refused likewise.
    const std::string_view protocol =
        trimBlanks(std::string_view(valueOf(values, "protocol")).substr(0, kProtocolLength));
    if (!protocol.empty()) {
        const std::optional<std::int64_t> number = leadingValue(protocol);
        if (!number || *number < 0 || *number > std::numeric_limits<std::int32_t>::max()) {
            return refusal(kBadProtocol);
        }
        input.protocol = static_cast<long>(*number);
    }

    input.responsible = store::withoutTrailingBlanks(valueOf(values, "responsible"));

    std::optional<std::string> start = normaliseTypedDate(valueOf(values, "start"));
    if (!start) {
        return refusal(kBadStart);
    }
    input.start = std::move(*start);
    std::optional<std::string> end = normaliseTypedDate(valueOf(values, "end"));
    if (!end) {
        return refusal(kBadEnd);
    }
    input.end = std::move(*end);
    return input;
}

// The header fields of the current master row; a protocol that is empty or negative reads as
// none (empty).
CompanyHeader readRow(store::TableCursor& master) {
    CompanyHeader header;
    master.GetFieldText("azienda", header.company);
    master.GetFieldText("p_data", header.date);
    std::string protocol;
    master.GetFieldText("protoc", protocol);
    if (const auto number = leadingValue(protocol); number && *number >= 0) {
        header.protocol = fmt::format("{}", *number);
    }
    master.GetFieldDisplayText("resple", header.responsible);
    master.GetFieldText("datini", header.start);
    master.GetFieldText("datfin", header.end);
    return header;
}

int companyNumber(std::string_view company) {
    return static_cast<int>(leadingValue(company).value_or(0));
}

// Characters that the responsible's column takes, so that the dialog takes no more.
int responsibleLength(const store::TableCursor& master) {
    for (const store::ColumnInfo& column : master.columns()) {
        if (store::equalsIgnoreCase(column.name, "resple") &&
            column.type == store::FieldType::Text) {
            return column.size;
        }
    }
    return 0;
}

ui::FormSpec headerForm(const CompanyHeader& header,
                        std::vector<std::string> entries,
                        int responsibleMaxLength) {
    using ui::FieldKind;
    ui::FormSpec spec;
    spec.id = kCompanyFormId;
    spec.title = kDialogTitle;

    // The edit part holds the code as "%04d", so that the entry beginning with it is the one
    // selected; a company not in the list (0 in a new database) selects none. Only the code and
    // the responsible (its column's size) are limited here: a date or protocol of any length
    // reaches the validator, which refuses it with the dialog's own text and in its order.
    ui::FormField code{"code",
                       "",
                       FieldKind::Choice,
                       fmt::format("{:04d}", companyNumber(header.company)),
                       entries,
                       static_cast<int>(kCodeLength)};
    spec.groups.push_back({"Codice Regionale Azienda", {std::move(code)}});
    spec.groups.push_back({"Estremi Comunicazione",
                           {{"date", "Data", FieldKind::Date, header.date, {}, 0},
                            {"protocol", "Protocollo", FieldKind::Integer, header.protocol, {}, 0},
                            {"responsible",
                             "Responsabile",
                             FieldKind::Text,
                             header.responsible,
                             {},
                             responsibleMaxLength}}});
    spec.groups.push_back({"Periodo",
                           {{"start", "Data Inizio", FieldKind::Date, header.start, {}, 0},
                            {"end", "Data Fine", FieldKind::Date, header.end, {}, 0}}});
    spec.validate =
        [entries = std::move(entries)](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        auto result = examine(values, entries);
        if (auto* refused = std::get_if<ui::Refusal>(&result)) {
            return std::move(*refused);
        }
        return std::nullopt;
    };
    return spec;
}

// The master row, created when a database has never had a header; nothing when it cannot be
// had (the failure shown).
bool seekHeaderRow(store::TableCursor& master, ui::Ui& ui) {
    if (!master.SelectIndex("codice")) {
        return false;
    }
    if (master.Seek({"0"})) {
        return true;
    }
    // Its failures are shown by the table layer, and a row still missing afterwards means the
    // table itself is unusable.
    if (master.AddNew()) {
        master.SetField("codice", "0");
        master.SetField("azienda", "0");
        master.SetField("datini", kNewRowStart);
        master.SetField("datfin", kNewRowEnd);
        master.Update();
    }
    if (!master.Seek({"0"})) {
        ui.Message(kMasterMissing, ui::Icon::Stop);
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> companyListEntries(store::DatabaseConnection& connection) {
    std::vector<std::string> entries;
    store::QueryCursor companies(connection);
    companies.SetSelect("codice, denom");
    companies.SetFrom("regazi");
    companies.SetOrderBy("denom, codice");
    for (bool row = companies.Execute(); row; row = companies.MoveNext()) {
        std::int16_t code = 0;
        std::string name;
        companies.GetShort(0, code);
        companies.GetText("denom", name);
        entries.push_back(fmt::format("{:04d} - {}", code, name));
    }
    return entries;
}

ui::Outcome EditCompanyHeader(Workspace& workspace) {
    store::DatabaseConnection* connection = workspace.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return ui::Outcome::Failed;
    }
    store::TableCursor master(connection, "master");
    if (!seekHeaderRow(master, workspace.ui())) {
        return ui::Outcome::Failed;
    }
    const CompanyHeader header = readRow(master);
    std::vector<std::string> entries = companyListEntries(*connection);
    const ui::FormSpec spec = headerForm(header, entries, responsibleLength(master));
    const std::optional<ui::FormValues> values = workspace.ui().Form(spec);
    ui::Outcome outcome = ui::Outcome::Cancelled;
    if (values) {
        const auto examined = examine(*values, entries);
        // The front end returns only values that the validator accepted.
        const auto* input = std::get_if<HeaderInput>(&examined);
        outcome = ui::Outcome::Failed;
        if (input && master.Edit()) {
            master.SetField("azienda", fmt::format("{}", input->company));
            master.SetField("p_data", input->date);
            master.SetField(
                "protoc", input->protocol < 0 ? std::string() : fmt::format("{}", input->protocol));
            master.SetField("resple", input->responsible);
            master.SetField("datini", input->start);
            master.SetField("datfin", input->end);
            if (master.Update()) {
                outcome = ui::Outcome::Done;
            }
        }
    }
    // Also after Annulla: the row may have just been created, and the title names its period.
    workspace.RefreshTitle();
    return outcome;
}

ui::Outcome ShowCompanyHeader(Workspace& workspace) {
    store::DatabaseConnection* connection = workspace.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return ui::Outcome::Failed;
    }
    {
        // The header the dialog would show: a database without one gets it, as the dialog's
        // opening would give it.
        store::TableCursor master(connection, "master");
        if (!seekHeaderRow(master, workspace.ui())) {
            return ui::Outcome::Failed;
        }
    }
    workspace.RefreshTitle();
    const std::optional<CompanyHeader> header = ReadCompanyHeader(*connection);
    if (!header) {
        return ui::Outcome::Failed;
    }
    workspace.ui().Message(formatCompanyHeader(*header), ui::Icon::None);
    return ui::Outcome::Done;
}

std::optional<CompanyHeader> ReadCompanyHeader(store::DatabaseConnection& connection) {
    store::TableCursor master(&connection, "master");
    if (!master.SelectIndex("codice") || !master.Seek({"0"})) {
        return std::nullopt;
    }
    CompanyHeader header = readRow(master);
    if (connection.tableExists("regazi")) {
        store::TableCursor companies(&connection, "regazi");
        if (companies.SelectIndex("codice") && companies.Seek({header.company})) {
            companies.GetFieldDisplayText("denom", header.companyName);
        }
    }
    return header;
}

std::string formatCompanyHeader(const CompanyHeader& header) {
    return fmt::format("Codice Regionale Azienda: {:04d} - {}\n"
                       "Data: {}\n"
                       "Protocollo: {}\n"
                       "Responsabile: {}\n"
                       "Data Inizio: {}\n"
                       "Data Fine: {}\n",
                       companyNumber(header.company),
                       header.companyName.empty() ? kNoCompanyName : header.companyName,
                       header.date,
                       header.protocol,
                       header.responsible,
                       header.start,
                       header.end);
}

} // namespace tramela::workspace
