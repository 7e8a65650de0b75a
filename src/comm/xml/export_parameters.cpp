#include "comm/xml/export_parameters.h"

#include "network/standard_trips.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/value_text.h"
#include "workspace/typed_date.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fmt/format.h>
#include <string>
#include <variant>
#include <vector>

namespace tramela::comm::xml {

namespace {

using ui::FieldKind;

constexpr std::string_view kTitle = "Parametri Estrazione Comunicazione VkzXml";
constexpr std::string_view kAll = "Tutto";

constexpr std::string_view kBadDateHow =
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
constexpr std::string_view kBadFrom =
    "ATTENZIONE: la data di inizio validità è espressa in un formato illegale.\n\n";
constexpr std::string_view kBadTo =
    "ATTENZIONE: la data di fine validità è espressa in un formato illegale.\n\n";
constexpr std::string_view kBadLot =
    "ATTENZIONE: Il Codice Lotto di Gara non è valido.\n\n"
    "Occorre selezionare un Codice Lotto presente nella lista.\n\n";
constexpr std::string_view kBadAuthority =
    "ATTENZIONE: Il Codice Ente Contrattuale non è valido.\n\n"
    "Occorre selezionare un Codice Ente presente nella lista.\n\n";
constexpr std::string_view kCompanyHow =
    "Occorre selezionare un Codice Azienda presente nella lista.\n\n";
constexpr std::string_view kBadCompany = "ATTENZIONE: Il Codice Azienda Gestione non è valido.\n\n";
constexpr std::string_view kBadSubcontractor =
    "ATTENZIONE: Il Codice Azienda SubAppalto non è valido.\n\n";
constexpr std::string_view kBadLine = "ATTENZIONE: Il Codice Linea non è valido.\n\n"
                                      "Occorre selezionare un Codice Linea nella lista.\n\n";

// The filters whose list has a "Tutto" box: the box's id is the list's id with "_all".
constexpr std::string_view kFilteredLists[] = {"authority", "company", "subcontractor", "line"};

// The entries of each list, as the dialog shows them.
struct Lists {
    std::vector<std::string> lots;
    std::vector<std::string> authorities;
    std::vector<std::string> companies;
    std::vector<std::string> lines;
};

const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

bool isSet(const ui::FormValues& values, std::string_view box) {
    return valueOf(values, box) == "1";
}

std::string allBox(std::string_view list) {
    return std::string(list) + "_all";
}

// A code typed in a list's edit part: decimal digits only, and "%04d" of its value one of the
// list's entries.
std::optional<int> listedCode(std::string_view text, const std::vector<std::string>& entries) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    const std::string written = fmt::format("{:04d}", code);
    if (std::find(entries.begin(), entries.end(), written) == entries.end()) {
        return std::nullopt;
    }
    return code;
}

ui::Refusal refusal(std::string_view what, std::string_view how = {}) {
    return ui::Refusal{std::string(what) + std::string(how), ui::Icon::Exclamation, {}};
}

// The values examined in the dialog's order; the first fault is the one told.
std::variant<ExportParameters, ui::Refusal> examine(const ui::FormValues& values,
                                                    const Lists& lists) {
    ExportParameters parameters;
    const auto from = workspace::parseTypedDate(valueOf(values, "from"));
    if (!from) {
        return refusal(kBadFrom, kBadDateHow);
    }
    parameters.from = *from;
    const auto to = workspace::parseTypedDate(valueOf(values, "to"));
    if (!to) {
        return refusal(kBadTo, kBadDateHow);
    }
    parameters.to = *to;

    const std::string& type = valueOf(values, "type");
    parameters.flags.budget = type == kCommunicationTypes[0];
    parameters.flags.planning = type == kCommunicationTypes[1];
    parameters.flags.project = type == kCommunicationTypes[2];
    parameters.flags.test = type == kCommunicationTypes[3];

    calendar::SelectionFilters& filters = parameters.filters;
    filters.lot = listedCode(valueOf(values, "lot"), lists.lots);
    if (!filters.lot) {
        return refusal(kBadLot);
    }
    if (!isSet(values, "authority_all")) {
        filters.authority = listedCode(valueOf(values, "authority"), lists.authorities);
        if (!filters.authority) {
            return refusal(kBadAuthority);
        }
    }
    if (!isSet(values, "company_all")) {
        filters.company = listedCode(valueOf(values, "company"), lists.companies);
        if (!filters.company) {
            return refusal(kBadCompany, kCompanyHow);
        }
    }
    if (!isSet(values, "subcontractor_all")) {
        filters.subcontractor = listedCode(valueOf(values, "subcontractor"), lists.companies);
        if (!filters.subcontractor) {
            return refusal(kBadSubcontractor, kCompanyHow);
        }
    }
    if (!isSet(values, "line_all")) {
        // Line codes are the company's own texts, letters included: the one typed must be one
        // of the list as it stands.
        const std::string line(store::withoutTrailingBlanks(valueOf(values, "line")));
        if (line.empty() ||
            std::find(lists.lines.begin(), lists.lines.end(), line) == lists.lines.end()) {
            return refusal(kBadLine);
        }
        filters.line = line;
    }

    // Only the transmission's own entry sends anything; a local file is compressed unless
    // "non compresso" was chosen.
    parameters.transmit = valueOf(values, "mode") == kTransmission;
    parameters.compress = valueOf(values, "compression") != kUncompressed;
    return parameters;
}

// The codes of a register in ascending order, "%04d".
std::vector<std::string> registerCodes(store::DatabaseConnection& connection,
                                       std::string_view table) {
    std::vector<std::string> codes;
    store::QueryCursor rows(connection);
    rows.SetSelect("codice");
    rows.SetFrom(table);
    rows.SetOrderBy("codice");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::int16_t code = 0;
        rows.GetShort(0, code);
        codes.push_back(fmt::format("{:04d}", code));
    }
    return codes;
}

// The registered lot that most trips have: the one a company normally communicates.
std::string usualLot(store::DatabaseConnection& connection, const std::vector<std::string>& lots) {
    store::QueryCursor rows(connection);
    rows.SetSelect("extcod.lotto");
    rows.SetFrom("extcod, reglot");
    rows.SetWhere("reglot.codice = extcod.lotto");
    rows.SetGroupBy("extcod.lotto");
    rows.SetOrderBy("COUNT(*) DESC, extcod.lotto");
    if (rows.Execute()) {
        std::int16_t lot = 0;
        rows.GetShort(0, lot);
        return fmt::format("{:04d}", lot);
    }
    return lots.empty() ? std::string() : lots.front();
}

Lists listsOf(const ui::FormSpec& form) {
    const auto entries = [&form](std::string_view id) {
        const ui::FormField* field = form.field(id);
        return field != nullptr ? field->entries : std::vector<std::string>();
    };
    return {entries("lot"), entries("authority"), entries("company"), entries("line")};
}

ui::FormField radio(std::string id, std::vector<std::string> entries, std::string_view chosen) {
    return {std::move(id), "", FieldKind::Radio, std::string(chosen), std::move(entries), 0};
}

ui::FormField list(std::string id, std::vector<std::string> entries, std::string value = {}) {
    return {std::move(id), "", FieldKind::Choice, std::move(value), std::move(entries), 0};
}

ui::FormField allBoxField(std::string_view list) {
    return {allBox(list), std::string(kAll), FieldKind::Check, "1", {}, 0};
}

} // namespace

ui::FormSpec exportParametersForm(store::DatabaseConnection& connection,
                                  const Date& defaultFrom,
                                  const Date& defaultTo) {
    Lists lists{registerCodes(connection, "reglot"),
                registerCodes(connection, "regent"),
                registerCodes(connection, "regazi"),
                network::CompanyLineCodes(connection)};
    const std::string lot = usualLot(connection, lists.lots);

    ui::FormSpec spec;
    spec.id = kExportParametersFormId;
    spec.title = kTitle;
    spec.groups.push_back({"Filtro Periodo Validità",
                           {{"from", "Dal", FieldKind::Date, defaultFrom.display(), {}, 0},
                            {"to", "Al", FieldKind::Date, defaultTo.display(), {}, 0}}});
    spec.groups.push_back({"Tipo Comunicazione",
                           {radio("type",
                                  {kCommunicationTypes.begin(), kCommunicationTypes.end()},
                                  kCommunicationTypes[1])}});
    spec.groups.push_back({"Filtro Lotto di Gara", {list("lot", lists.lots, lot)}});
    spec.groups.push_back({"Filtro Ente Contrattuale",
                           {allBoxField("authority"), list("authority", lists.authorities)}});
    spec.groups.push_back(
        {"Filtro Azienda Gestione", {allBoxField("company"), list("company", lists.companies)}});
    spec.groups.push_back({"Filtro Azienda SubAppalto",
                           {allBoxField("subcontractor"), list("subcontractor", lists.companies)}});
    spec.groups.push_back({"Filtro Linea", {allBoxField("line"), list("line", lists.lines)}});
    spec.groups.push_back(
        {"Modalità estrazione",
         {radio(
             "mode", {std::string(kTransmission), std::string(kLocalGeneration)}, kTransmission)}});
    spec.groups.push_back(
        {"Modalità compressione",
         {radio(
             "compression", {std::string(kCompressed), std::string(kUncompressed)}, kCompressed)}});

    spec.validate =
        [lists = std::move(lists)](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        auto examined = examine(values, lists);
        if (auto* refused = std::get_if<ui::Refusal>(&examined)) {
            return std::move(*refused);
        }
        return std::nullopt;
    };
    // A list takes a code only while its "Tutto" box is clear.
    spec.editable = [](std::string_view fieldId, const ui::FormValues& values) {
        const auto* filtered =
            std::find(std::begin(kFilteredLists), std::end(kFilteredLists), fieldId);
        return filtered == std::end(kFilteredLists) || !isSet(values, allBox(fieldId));
    };
    return spec;
}

std::optional<ExportParameters> exportParametersFromValues(const ui::FormSpec& form,
                                                           const ui::FormValues& values) {
    auto examined = examine(values, listsOf(form));
    if (auto* parameters = std::get_if<ExportParameters>(&examined)) {
        return std::move(*parameters);
    }
    return std::nullopt;
}

std::optional<std::string_view> communicationTypeEntry(std::string_view keyword) {
    constexpr std::string_view keywords[] = {"BUDGET", "PLANNING", "PROJECT", "TEST"};
    for (size_t i = 0; i < std::size(keywords); ++i) {
        if (keyword == keywords[i]) {
            return kCommunicationTypes[i];
        }
    }
    return std::nullopt;
}

} // namespace tramela::comm::xml
