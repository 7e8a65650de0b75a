#include "comm/txt/standard_lines_file.h"

#include "comm/txt/side_files.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "ui/ui.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fmt/format.h>
#include <limits>
#include <optional>

namespace tramela::comm {

namespace {

constexpr std::string_view kFirstMarker = "LiNeEsTaNdArD";
constexpr std::string_view kLastMarker = "lInEeStAnDaRd";

constexpr std::string_view kHeaderMissing =
    "ATTENZIONE: le informazioni generali relative alla comunicazione\n"
    "sono assenti oppure incomplete.\n\n"
    "E' assolutamente necessario specificare:\n"
    "    * Il codice Azienda\n"
    "Verificare utilizzando la funzione Azienda nel menu Archivi\n"
    "prima di procedere all'esportazione di LineeStandard";

// The problems listed one by one in the message; beyond them only their number is given.
constexpr size_t kListedProblems = 20;

ui::FileDialog standardLinesDialog(std::string title, std::string_view textFilter) {
    ui::FileDialog dialog;
    dialog.key = kStandardLinesFileKey;
    dialog.title = std::move(title);
    dialog.defaultExtension = "TXT";
    dialog.initialName = "LineeStandard";
    dialog.filters = {{std::string(textFilter), "*.txt"}, {"Tutti i files (*.*)", "*.*"}};
    return dialog;
}

// The company code of the header row (codice 0); nothing when the row or its code is missing.
std::optional<long> headerCompany(store::DatabaseConnection& connection) {
    if (!connection.tableExists("master")) {
        return std::nullopt;
    }
    store::QueryCursor header(connection);
    header.SetSelect("azienda");
    header.SetFrom("master");
    header.SetWhere("codice = 0");
    std::string company;
    if (!header.Execute() || !header.GetText("azienda", company) || company.empty()) {
        return std::nullopt;
    }
    return workspace::leadingInteger(company);
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    return store::withoutTrailingBlanks(text);
}

// A whole number written in a field, blanks around it allowed: "42", " -3 ". Unlike a C
// conversion, "4x" or "" is no number at all rather than 4 or 0.
std::optional<long long> wholeNumber(std::string_view field) {
    field = trimBlanks(field);
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> splitAtTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    while (true) {
        const size_t tab = line.find('\t');
        fields.push_back(store::withoutTrailingBlanks(line.substr(0, tab)));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

// Reads a "<T>" line of the company into `line`; the problem when a field is not a number the
// standard line tables can hold (16-bit integers).
std::optional<std::string> readStandardLine(const std::vector<std::string>& fields,
                                            StandardLineRecord& line) {
    struct Number {
        size_t field;
        std::string_view caption;
        int* value;
    };

    for (const Number& number : {Number{2, "Identificativo Lotto", &line.lot},
                                 Number{3, "Identificativo Linea", &line.id},
                                 Number{4, "Codice Ente", &line.authority}}) {
        const std::string& text = fields[number.field];
        const auto value = wholeNumber(text);
        if (!value) {
            return fmt::format("{} <{}> non è un numero intero", number.caption, text);
        }
        if (*value < std::numeric_limits<std::int16_t>::min() ||
            *value > std::numeric_limits<std::int16_t>::max()) {
            return fmt::format(
                "{} <{}> è fuori dall'intervallo da -32768 a 32767", number.caption, text);
        }
        *number.value = static_cast<int>(*value);
    }
    line.abbreviation = fields[5];
    line.name = fields[6];
    line.route = fields[7];
    return std::nullopt;
}

struct Counts {
    int linesRead = 0;
    int linesModified = 0;
    int linesInserted = 0;
    int linksRead = 0;
    int linksModified = 0;
    int linksInserted = 0;
};

// Writes one standard line: its row is modified when (lotto, id) exists, added otherwise. A
// refusal is shown by the table layer and leaves the row as it was.
bool writeStandardLine(store::TableCursor& lines, const StandardLineRecord& line, Counts& counts) {
    const std::string lot = fmt::format("{}", line.lot);
    const std::string id = fmt::format("{}", line.id);
    const bool exists = lines.Seek({lot, id});
    if (exists) {
        lines.Edit();
    } else {
        lines.AddNew();
        lines.SetField("lotto", lot);
        lines.SetField("id", id);
    }
    lines.SetField("ente", fmt::format("{}", line.authority));
    lines.SetField("sigla", line.abbreviation);
    lines.SetField("denom", line.name);
    lines.SetField("itiner", line.route);
    if (!lines.Update()) {
        return false;
    }
    ++(exists ? counts.linesModified : counts.linesInserted);
    return true;
}

// Links a company line code to a standard line, moving it when it is linked to another one.
void writeLink(store::TableCursor& links,
               const StandardLineRecord& line,
               const std::string& code,
               Counts& counts) {
    const bool exists = links.Seek({code});
    if (exists) {
        links.Edit();
    } else {
        links.AddNew();
        links.SetField("codlinea", code);
    }
    links.SetField("lotto", fmt::format("{}", line.lot));
    links.SetField("id", fmt::format("{}", line.id));
    if (links.Update()) {
        ++(exists ? counts.linksModified : counts.linksInserted);
    }
}

// A file of standard lines holds a line of text for each line of the company, far below this
// bound; a larger one is refused before it is read into memory.
constexpr size_t kMaxStandardLinesBytes = size_t{16} << 20;

// The file's bytes; none when it cannot be read, and none with `tooLarge` set beyond the bound.
std::optional<std::string> readWholeFile(const std::filesystem::path& path, bool& tooLarge) {
    tooLarge = false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[1 << 16];
    size_t read = 0;
    while (!tooLarge && (read = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, read);
        tooLarge = bytes.size() > kMaxStandardLinesBytes;
    }
    // A folder opens on some systems but cannot be read.
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || tooLarge) {
        return std::nullopt;
    }
    return bytes;
}

std::string problemsMessage(const std::filesystem::path& path,
                            const std::vector<std::string>& problems) {
    std::string text = fmt::format("Righe scartate dal file {}:\n\n", path.string());
    for (size_t i = 0; i < problems.size() && i < kListedProblems; ++i) {
        text += problems[i] + "\n";
    }
    if (problems.size() > kListedProblems) {
        text += fmt::format("... e altre {} righe\n", problems.size() - kListedProblems);
    }
    return text;
}

} // namespace

StandardLinesContent parseStandardLines(std::string_view bytes, long company) {
    StandardLinesContent content;
    // Where the "<D>" lines met now belong: to no "<T>" line yet, to the last standard line of
    // the list, or to a "<T>" line not taken (another company's, or refused). Attaching them to
    // the last standard line taken whatever stands between would move codes to a wrong line.
    enum class Owner { None, Taken, Dropped } owner = Owner::None;
    size_t number = 0;
    while (!bytes.empty()) {
        ++number;
        const size_t end = bytes.find('\n');
        std::string_view raw = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (raw.ends_with('\r')) {
            raw.remove_suffix(1);
        }
        const std::string line = workspace::latin1ToUtf8(raw);
        std::vector<std::string> fields;
        for (std::string_view field : splitAtTabs(line)) {
            fields.emplace_back(field);
        }
        const auto problem = [&](std::string_view text) {
            content.problems.push_back(fmt::format("riga {}: {}", number, text));
        };

        if (fields[0] == "<T>") {
            owner = Owner::Dropped;
            if (fields.size() < 9 || fields[8] != "</T>") {
                problem("linea standard incompleta (manca </T>)");
                continue;
            }
            const auto lineCompany = wholeNumber(fields[1]);
            if (!lineCompany) {
                problem(fmt::format("Codice Azienda <{}> non è un numero intero", fields[1]));
                continue;
            }
            if (*lineCompany != company) {
                continue;
            }
            StandardLineRecord record;
            if (auto refused = readStandardLine(fields, record)) {
                problem(*refused);
                continue;
            }
            content.lines.push_back(std::move(record));
            owner = Owner::Taken;
        } else if (fields[0] == "<D>") {
            const std::string code = fields.size() > 1 ? fields[1] : std::string();
            if (owner == Owner::Taken) {
                content.lines.back().companyLines.push_back(code);
            } else if (owner == Owner::None) {
                problem(fmt::format("corrispondenza <{}> senza linea standard", code));
            }
        }
    }
    return content;
}

ui::Outcome ExportStandardLines(workspace::Workspace& window) {
    store::DatabaseConnection* connection = window.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    const std::optional<long> company = headerCompany(*connection);
    if (!company) {
        ui.Message(kHeaderMissing, ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    ui::FileDialog dialog = standardLinesDialog(
        "Selezione Cartella per Esportazione File Linee Standard", "File TXT (*.txt)");
    dialog.confirmOverwrite = true;
    const std::optional<std::filesystem::path> path = ui.SaveFile(dialog);
    if (!path) {
        return ui::Outcome::Cancelled;
    }
    workspace::TextFileWriter file;
    if (!workspace::openOrReport(file, *path, ui)) {
        return ui::Outcome::Failed;
    }
    store::QueryCursor rows(*connection);
    // A standard line without company lines has no row in the join and is not exported.
    rows.SetSelect("reglinee.lotto, reglinee.id, reglinee.ente, reglinee.sigla, "
                   "reglinee.denom, reglinee.itiner, reglklin.codlinea");
    rows.SetFrom("reglinee, reglklin");
    rows.SetWhere("reglinee.lotto = reglklin.lotto AND reglinee.id = reglklin.id");
    rows.SetOrderBy("reglinee.lotto, reglinee.id, reglklin.codlinea");
    workspace::Latin1Encoder encoder;
    const auto text = [&](std::string_view column) {
        std::string value;
        rows.GetText(column, value);
        return exchangeField(encoder, value);
    };
    file.writeLine(kFirstMarker);
    long count = 0;
    std::optional<std::pair<std::string, std::string>> previous;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::pair<std::string, std::string> key{text("lotto"), text("id")};
        if (key != previous) {
            file.writeLine(fmt::format("<T>\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t</T>",
                                       *company,
                                       workspace::leadingInteger(key.first),
                                       workspace::leadingInteger(key.second),
                                       workspace::leadingInteger(text("ente")),
                                       text("sigla"),
                                       text("denom"),
                                       text("itiner")));
            ++count;
            previous = std::move(key);
        }
        file.writeLine(fmt::format("<D>\t{}\t</D>", text("codlinea")));
        ++count;
    }
    file.writeLine(kLastMarker);
    if (!file.close()) {
        ui.Message("Impossibile creare\n\n" + path->string(), ui::Icon::Exclamation);
        return ui::Outcome::Failed;
    }
    // The extraction's failure has been shown: a count would pass the file off as complete.
    if (rows.failed()) {
        return ui::Outcome::Failed;
    }
    std::string summary = fmt::format("Esportate {} righe", count);
    if (encoder.changed() > 0) {
        summary += fmt::format("\n\n{} testi contenevano caratteri non previsti da ISO-8859-1, "
                               "trascritti o sostituiti da \"?\"",
                               encoder.changed());
    }
    ui.Message(summary, ui::Icon::Information);
    return ui::Outcome::Done;
}

ui::Outcome ImportStandardLines(workspace::Workspace& window) {
    store::DatabaseConnection* connection = window.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    const std::optional<std::filesystem::path> path =
        ui.OpenFile(standardLinesDialog("Importazione Linee Standard", "File di testo (*.txt)"));
    if (!path) {
        return ui::Outcome::Cancelled;
    }
    const long company = headerCompany(*connection).value_or(0);
    bool tooLarge = false;
    const std::optional<std::string> bytes = readWholeFile(*path, tooLarge);
    if (tooLarge) {
        ui.Message(fmt::format("Il file\n\n{}\n\nsupera i {} MB: non è un file di Linee Standard.",
                               path->string(),
                               kMaxStandardLinesBytes >> 20),
                   ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    if (!bytes) {
        ui.Message("Impossibile aprire\n\n" + path->string(), ui::Icon::Exclamation);
        return ui::Outcome::Failed;
    }
    const StandardLinesContent content = parseStandardLines(*bytes, company);
    if (!content.problems.empty()) {
        ui.Message(problemsMessage(*path, content.problems), ui::Icon::Stop);
    }

    Counts counts;
    counts.linesRead = static_cast<int>(content.lines.size());
    for (const StandardLineRecord& line : content.lines) {
        counts.linksRead += static_cast<int>(line.companyLines.size());
    }
    // One transaction for the whole file: one sync, and nothing of it if the program stops
    // midway. A refused row is reported by the table layer and skipped; the others go on.
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    {
        store::TableCursor lines(connection, "reglinee");
        store::TableCursor links(connection, "reglklin");
        if (!lines.SelectIndex("codice") || !links.SelectIndex("codice")) {
            return ui::Outcome::Failed;
        }
        // The links of a standard line whose row was refused are not written either: the file's
        // standard line and its links go in together or not at all.
        std::vector<bool> written;
        for (const StandardLineRecord& line : content.lines) {
            written.push_back(writeStandardLine(lines, line, counts));
        }
        for (size_t i = 0; i < content.lines.size(); ++i) {
            if (!written[i]) {
                continue;
            }
            for (const std::string& code : content.lines[i].companyLines) {
                writeLink(links, content.lines[i], code, counts);
            }
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }

    ui.Message(fmt::format("Risultato dell'elaborazione:\n\n"
                           "Lette {} Linee Standard\n"
                           "\tModificate {} Linee Standard già esistenti\n"
                           "\tInserite {} nuove Linee Standard\n\n"
                           "Lette {} corrispondenze Linee Aziendali\n"
                           "\tModificate {} corrispondenze Linee Aziendali già esistenti\n"
                           "\tInserite {} nuove corrispondenze Linee Aziendali\n\n",
                           counts.linesRead,
                           counts.linesModified,
                           counts.linesInserted,
                           counts.linksRead,
                           counts.linksModified,
                           counts.linksInserted),
               ui::Icon::Information);
    // Lines refused by the file's own check were shown and not written.
    return content.problems.empty() ? ui::Outcome::Done : ui::Outcome::Failed;
}

} // namespace tramela::comm
