#include "utilities/standard_lines.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "ui/ui.h"
#include "workspace/report_header.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fmt/format.h>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tramela::utilities {

namespace {

constexpr std::string_view kAlreadyPresent =
    "La struttura di definizione delle Linee Standard risulta già presente\n\n"
    "Non è possibile procedere oltre";

constexpr std::string_view kInconsistent =
    "ATTENZIONE: sono stati riscontrati errori di coerenza !!!\n\n"
    "Non è possibile generare le linee standard; verrà generato\n"
    "un report che identifica le cause che impediscono la generazione";

constexpr std::string_view kGenerated =
    "Le definizioni delle Linee Standard sono state generate:\n\n"
    "Inserite {} [su {}] Linee Standard\n"
    "Inserite {} [su {}] associazioni Linea Aziendale - Linea "
    "Standard\n\n";

constexpr std::string_view kVerifyByHand =
    "ATTENZIONE: la generazione automatica delle Linee Standard deve essere\n"
    "intesa come un utile ausilio che velocizza le operazioni.\n"
    "Tuttavia resta necessario VERIFICARE e COMPLETARE MANUALMENTE le definizioni\n"
    "per potere ottenere una definizione delle Linee Standard utilizzabile !!!!";

constexpr std::string_view kRailwayWarning =
    "ATTENZIONE: questa versione dell'utilità di Identificazione Automatica delle\n"
    "Codifiche Linee Ufficiali è ASSOLUTAMENTE SPECIFICA per i gestori FERROVIARI\n"
    "Utilizzare questa utilità per un'azienda esercente TPL SU GOMMA può causare\n"
    "effetti indesiderati e gravi conseguenze per l'integrità dei dati\n\n"
    "Intendi procedere ?";

constexpr std::string_view kRailwayTrips = "Modificate {} [su {}] corse\n\n"
                                           "I Codici Linea assegnati vanno intesi come RELAZIONI "
                                           "FERROVIARIE";

constexpr std::string_view kRemoveQuestion =
    "ATTENZIONE: stanno per essere ELIMINATE IN MODO IRREVERSIBILE\n"
    "tutte le informazioni relative alla codifica delle LINEE STANDARD\n\n"
    "Intendi procedere ?";

constexpr std::string_view kRemoveLastWarning =
    "ULTIMO AVVERTIMENTO: le LINEE STANDARD stanno per essere eliminate\n"
    "Intendi realmente procedere ?";

constexpr std::string_view kRemoved = "Le definizioni delle Linee Standard sono state azzerate:\n\n"
                                      "Eliminate {} [su {}] Linee Standard\n"
                                      "Eliminate {} [su {}] associazioni Linea Aziendale - Linea "
                                      "Standard\n\n";

constexpr std::string_view kReportDialogTitle = "Report Errori Riscontrati";
constexpr std::string_view kReportTitle = "Errori Codifica Linee Standard";
constexpr std::string_view kOneLotRule[] = {
    "Tutte le corse appartenenti ad una medesima LINEA AZIENDALE",
    "devono necessariamente appartenere ad un unico LOTTO"};
constexpr std::string_view kReportHeading = "Sigla Linea Aziendale\tIdCorsa\tLotto\tDenominazione";

// What an identification writes where the user still has to complete the standard line.
constexpr std::string_view kToBeEntered = "Da inserire";

// The railway lines: one tender lot and one authority (the region) for all of them.
constexpr std::string_view kRailwayLot = "1";
constexpr std::string_view kRailwayAuthority = "1";
// A railway line's name is the route name cut to this many characters.
constexpr size_t kRailwayNameLength = 48;

store::DatabaseConnection* openConnection(workspace::Workspace& window) {
    store::DatabaseConnection* connection = window.connection();
    return connection != nullptr && connection->IsOpen() ? connection : nullptr;
}

// Neither identification runs over standard lines already defined, whole or in part. False also
// when a table cannot be read (the query layer has said why): the identification would then
// fail on every row it writes.
bool standardLinesAbsent(store::DatabaseConnection& connection) {
    bool present = false;
    for (std::string_view table : {"reglinee", "reglklin"}) {
        store::QueryCursor rows(connection);
        rows.SetSelect("ID");
        rows.SetFrom(table);
        present = rows.Execute() || present;
        if (rows.failed()) {
            return false;
        }
    }
    if (present) {
        connection.ui().Message(kAlreadyPresent, ui::Icon::Exclamation);
    }
    return !present;
}

// Company line codes are the same line whatever their case: "l7" is line "L7".
std::string foldCase(std::string_view code) {
    std::string folded(code);
    std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return folded;
}

// The first `characters` characters of a UTF-8 text.
std::string_view firstCharacters(std::string_view text, size_t characters) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && count++ == characters) {
            return text.substr(0, i);
        }
    }
    return text;
}

// Cuts a text to the characters its column holds, so that the row is written rather than
// refused: a railway line must exist for the trips whose line code is rewritten to it.
std::string_view
fitToColumn(const store::TableCursor& cursor, std::string_view field, std::string_view text) {
    for (const store::ColumnInfo& column : cursor.columns()) {
        if (store::equalsIgnoreCase(column.name, field) && column.type == store::FieldType::Text &&
            column.size > 0) {
            return firstCharacters(text, static_cast<size_t>(column.size));
        }
    }
    return text;
}

// Adds one standard line and its link; each row counts when the table accepts it.
struct InsertCounts {
    int lines = 0;
    int links = 0;
};

void addStandardLine(store::TableCursor& lines,
                     store::TableCursor& links,
                     std::string_view lot,
                     std::string_view id,
                     std::string_view authority,
                     std::string_view abbreviation,
                     std::string_view name,
                     std::string_view route,
                     InsertCounts& inserted) {
    lines.AddNew();
    lines.SetField("lotto", lot);
    lines.SetField("id", id);
    lines.SetField("ente", authority);
    lines.SetField("sigla", abbreviation);
    lines.SetField("denom", name);
    lines.SetField("itiner", route);
    if (lines.Update()) {
        ++inserted.lines;
    }
    links.AddNew();
    links.SetField("codlinea", abbreviation);
    links.SetField("lotto", lot);
    links.SetField("id", id);
    if (links.Update()) {
        ++inserted.links;
    }
}

// One (tender lot, company line) of the trips, with its trips counted per managing authority in
// the order the authorities were met.
struct LinePair {
    std::int16_t lot = 0;
    std::string line;
    std::vector<std::pair<std::int16_t, long>> authorities;

    void countTrip(std::int16_t authority) {
        for (auto& [code, trips] : authorities) {
            if (code == authority) {
                ++trips;
                return;
            }
        }
        authorities.emplace_back(authority, 1);
    }

    // The authority of most trips; of two with as many trips, the one met first.
    std::int16_t authority() const {
        std::pair<std::int16_t, long> best{0, 0};
        for (const auto& tally : authorities) {
            if (tally.second > best.second) {
                best = tally;
            }
        }
        return best.first;
    }
};

struct LinePairs {
    std::vector<LinePair> pairs;           // in the order first met
    std::vector<std::string> linesInError; // company lines met under a second lot, each once
};

// Walks the trips that have extended codes, by lot and line. A line is the pair of the first lot
// it is met in; meeting it under another lot puts it among the lines in error.
std::optional<LinePairs> collectLinePairs(store::DatabaseConnection& connection) {
    store::QueryCursor trips(connection);
    trips.SetSelect("corse.id, extcod.lotto, corse.codlinea, corse.ente");
    trips.SetFrom("corse, extcod");
    trips.SetWhere("corse.ID = extcod.ID");
    trips.SetOrderBy("extcod.lotto, corse.codlinea");
    LinePairs found;
    std::unordered_map<std::string, size_t> pairOfLine; // folded line code -> its pair
    std::unordered_set<std::string> inError;            // folded line codes
    for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
        std::int16_t lot = 0;
        std::int16_t authority = 0;
        std::string line;
        trips.GetShort(1, lot);
        trips.GetText("codlinea", line);
        trips.GetShort(3, authority);
        std::string folded = foldCase(line);
        const auto known = pairOfLine.find(folded);
        if (known == pairOfLine.end()) {
            pairOfLine.emplace(std::move(folded), found.pairs.size());
            found.pairs.push_back(LinePair{lot, std::move(line), {{authority, 1}}});
        } else if (LinePair& pair = found.pairs[known->second]; pair.lot == lot) {
            pair.countTrip(authority);
        } else if (inError.insert(std::move(folded)).second) {
            found.linesInError.push_back(std::move(line));
        }
    }
    if (trips.failed()) {
        return std::nullopt;
    }
    return found;
}

void writeOneLotRule(workspace::TextFileWriter& writer) {
    writer.writeLine("");
    writer.writeLine("");
    for (std::string_view line : kOneLotRule) {
        writer.writeLine(line);
    }
}

// The report of the company lines met under more than one lot: every trip of each line, with its
// lot, in the order of the trips' identifiers. A trip belongs to a line in error when its code
// is that line's, compared as the identification compares them (trailing blanks removed, case
// ignored); the trip's own code is shown.
void writeLinesInErrorReport(store::DatabaseConnection& connection,
                             const std::vector<std::string>& linesInError) {
    ui::Ui& ui = connection.ui();
    ui::FileDialog dialog;
    dialog.key = ui::keys::kReport;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.title = kReportDialogTitle;
    dialog.defaultExtension = "TXT";
    dialog.initialName = "ERRORI_LINEE_STD";
    dialog.filters = {{"File di testo (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    dialog.confirmOverwrite = true;
    const std::optional<std::filesystem::path> path = ui.SaveFile(dialog);
    if (!path) {
        return;
    }
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, *path, ui)) {
        return;
    }

    std::unordered_map<std::string, size_t> lineIndex;
    for (size_t i = 0; i < linesInError.size(); ++i) {
        lineIndex.emplace(foldCase(linesInError[i]), i);
    }
    workspace::Latin1Encoder latin1;
    std::vector<std::vector<std::string>> tripsOfLine(linesInError.size());
    store::QueryCursor trips(connection);
    trips.SetSelect("corse.codlinea, corse.id, extcod.lotto, reglot.denom");
    trips.SetFrom("corse JOIN extcod ON corse.ID = extcod.ID "
                  "LEFT JOIN reglot ON reglot.codice = extcod.lotto");
    trips.SetOrderBy("corse.id");
    for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
        std::string line;
        trips.GetText("codlinea", line);
        const auto found = lineIndex.find(foldCase(line));
        if (found == lineIndex.end()) {
            continue;
        }
        std::int32_t id = 0;
        std::int16_t lot = 0;
        std::string lotName;
        trips.GetLong(1, id);
        trips.GetShort(2, lot);
        trips.GetText("denom", lotName);
        tripsOfLine[found->second].push_back(
            latin1.encode(fmt::format("{}\t{}\t{}\t{}", line, id, lot, lotName)));
    }

    workspace::writeReportHeader(writer, kReportTitle, {"Database: " + connection.path().string()});
    writeOneLotRule(writer);
    for (const std::vector<std::string>& rows : tripsOfLine) {
        writer.writeLine("");
        writer.writeLine(kReportHeading);
        for (const std::string& row : rows) {
            writer.writeLine(row);
        }
    }
    writeOneLotRule(writer);
    // A full disk must not pass for a written report.
    if (!writer.close()) {
        ui.Message("Errore durante la scrittura del file\n\n" + path->string(),
                   ui::Icon::Exclamation);
    }
}

struct DeleteCounts {
    long read = 0;
    long deleted = 0;
};

// Deletes through the table layer, with index codice, each row the query finds, seeking it by the
// key values `keyOf` reads from the query's row; a row that cannot go is shown by the table layer
// and counted as read only. False when the query failed (it has said why).
template <typename KeyOf>
bool deleteEachRow(store::DatabaseConnection& connection,
                   std::string_view table,
                   std::string_view select,
                   KeyOf keyOf,
                   DeleteCounts& counts) {
    store::QueryCursor rows(connection);
    rows.SetSelect(select);
    rows.SetFrom(table);
    bool row = rows.Execute();
    if (rows.failed()) {
        return false;
    }
    store::TableCursor cursor(&connection, table);
    cursor.SelectIndex("codice");
    for (; row; row = rows.MoveNext()) {
        const std::vector<std::string> keys = keyOf(rows);
        const std::vector<std::string_view> values(keys.begin(), keys.end());
        ++counts.read;
        if (cursor.Seek(values) && cursor.Delete()) {
            ++counts.deleted;
        }
    }
    return !rows.failed();
}

} // namespace

ui::Outcome IdentifyStandardLines(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr || !standardLinesAbsent(*connection)) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    window.BeginBusy(true);
    const std::optional<LinePairs> found = collectLinePairs(*connection);
    if (!found) {
        return ui::Outcome::Failed;
    }
    if (!found->linesInError.empty()) {
        ui.Message(kInconsistent, ui::Icon::Stop);
        writeLinesInErrorReport(*connection, found->linesInError);
        return ui::Outcome::Failed;
    }

    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    InsertCounts inserted;
    {
        store::TableCursor lines(connection, "reglinee");
        store::TableCursor links(connection, "reglklin");
        // The standard lines of each lot are numbered from 1 in the order their pairs were met.
        std::map<std::int16_t, int> lastId;
        for (const LinePair& pair : found->pairs) {
            const int id = ++lastId[pair.lot];
            addStandardLine(lines,
                            links,
                            fmt::format("{}", pair.lot),
                            fmt::format("{}", id),
                            fmt::format("{}", pair.authority()),
                            pair.line,
                            kToBeEntered,
                            kToBeEntered,
                            inserted);
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    const int pairs = static_cast<int>(found->pairs.size());
    ui.Message(fmt::format(kGenerated, inserted.lines, pairs, inserted.links, pairs) +
                   std::string(kVerifyByHand),
               ui::Icon::Information);
    return ui::Outcome::Done;
}

ui::Outcome IdentifyRailwayStandardLines(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr || !standardLinesAbsent(*connection)) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!ui.Confirm({std::string(ui::keys::kProceed)}, kRailwayWarning, ui::Icon::Exclamation)) {
        return ui::Outcome::Cancelled;
    }
    window.BeginBusy(true);

    // The distinct route names in name order. Two names that differ only by trailing blanks are
    // one relation: the second would give a standard line no trip is coded to.
    std::vector<std::string> names;
    std::unordered_map<std::string, size_t> positionOfName;
    {
        store::QueryCursor routes(*connection);
        routes.SetSelect("denom");
        routes.SetFrom("itiner");
        routes.SetGroupBy("denom");
        routes.SetOrderBy("denom");
        for (bool row = routes.Execute(); row; row = routes.MoveNext()) {
            std::string name;
            routes.GetText("denom", name);
            if (positionOfName.emplace(name, names.size()).second) {
                names.push_back(std::move(name));
            }
        }
        if (routes.failed()) {
            return ui::Outcome::Failed;
        }
    }
    const auto relation = [](size_t position) { return fmt::format("REL_{:04d}", position + 1); };

    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    InsertCounts inserted;
    {
        store::TableCursor lines(connection, "reglinee");
        store::TableCursor links(connection, "reglklin");
        for (size_t p = 0; p < names.size(); ++p) {
            const std::string_view name = names[p];
            addStandardLine(lines,
                            links,
                            kRailwayLot,
                            fmt::format("{}", p),
                            kRailwayAuthority,
                            relation(p),
                            fitToColumn(lines, "denom", firstCharacters(name, kRailwayNameLength)),
                            fitToColumn(lines, "itiner", name),
                            inserted);
        }
    }

    long tripsRead = 0;
    long tripsModified = 0;
    {
        store::QueryCursor trips(*connection);
        trips.SetSelect("corse.id, itiner.denom");
        trips.SetFrom("corse, itiner");
        trips.SetWhere("corse.id_perc = itiner.id");
        store::TableCursor corse(connection, "corse");
        corse.SelectIndex("codice");
        for (bool row = trips.Execute(); row; row = trips.MoveNext()) {
            ++tripsRead;
            std::int32_t id = 0;
            std::string name;
            trips.GetLong(0, id);
            trips.GetText("denom", name);
            const auto position = positionOfName.find(name);
            if (position == positionOfName.end() || !corse.Seek({fmt::format("{}", id)})) {
                continue;
            }
            if (corse.Edit() && corse.SetField("codlinea", relation(position->second)) &&
                corse.Update()) {
                ++tripsModified;
            }
        }
        if (trips.failed()) {
            // The trips seen so far would be coded to relations and the others not.
            return ui::Outcome::Failed;
        }
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    const int lineCount = static_cast<int>(names.size());
    ui.Message(fmt::format(kGenerated, inserted.lines, lineCount, inserted.links, lineCount) +
                   fmt::format(kRailwayTrips, tripsModified, tripsRead),
               ui::Icon::Information);
    return ui::Outcome::Done;
}

ui::Outcome RemoveStandardLines(workspace::Workspace& window) {
    store::DatabaseConnection* connection = openConnection(window);
    if (connection == nullptr) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();
    if (!ui.Confirm({std::string(ui::keys::kProceed)}, kRemoveQuestion, ui::Icon::Question) ||
        !ui.Confirm({std::string(kLastWarningKey)}, kRemoveLastWarning, ui::Icon::Question)) {
        return ui::Outcome::Cancelled;
    }
    store::Transaction transaction(*connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    // The links go first: a standard line still linked cannot be deleted.
    DeleteCounts links;
    DeleteCounts lines;
    const bool deleted =
        deleteEachRow(
            *connection,
            "reglklin",
            "codlinea",
            [](store::QueryCursor& rows) {
                // The code as stored, trailing blanks included, or the seek would
                // miss it.
                std::string code;
                rows.GetDateText(0, code);
                return std::vector<std::string>{code};
            },
            links) &&
        deleteEachRow(
            *connection,
            "reglinee",
            "Lotto, ID",
            [](store::QueryCursor& rows) {
                std::int16_t lot = 0;
                std::int16_t id = 0;
                rows.GetShort(0, lot);
                rows.GetShort(1, id);
                return std::vector<std::string>{fmt::format("{}", lot), fmt::format("{}", id)};
            },
            lines);
    if (!deleted) {
        return ui::Outcome::Failed;
    }
    if (!transaction.commit()) {
        return ui::Outcome::Failed;
    }
    ui.Message(fmt::format(kRemoved, lines.deleted, lines.read, links.deleted, links.read),
               ui::Icon::Information);
    return ui::Outcome::Done;
}

} // namespace tramela::utilities
