#include "comm/verification.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/value_text.h"
#include "ui/ui.h"
#include "workspace/report_header.h"
#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>
#include <initializer_list>
#include <map>
#include <optional>
#include <utility>

namespace tramela::comm {

namespace {

// Groups and codes of the log, registered in this order before any check runs.
constexpr std::string_view kGen = "GEN";
constexpr std::string_view kBlock = "BLOCK";
constexpr std::string_view kWarn = "WARN";
constexpr std::string_view kStops = "NODI";
constexpr std::string_view kRoutes = "ITIN";
constexpr std::string_view kExtended = "EXTCOD";
constexpr std::string_view kLines = "LINEE";

constexpr std::string_view kMissingCode = "COD";
constexpr std::string_view kMissingName = "DEN";
constexpr std::string_view kMissingLocation = "UBI";
constexpr std::string_view kDuplicateCode = "DUPCOD";
constexpr std::string_view kDuplicateName = "DUPDEN";
constexpr std::string_view kDuplicateLocation = "DUPUBI";
constexpr std::string_view kNoExtended = "NULL";
constexpr std::string_view kNoStandardLine = "FAULT";
constexpr std::string_view kAuthority = "ENTE";

constexpr std::string_view kNoStops = "Non è stata registrata neppure una FERMATA.";
constexpr std::string_view kStopsBlocking =
    "Riscontrati errori bloccanti nella definizione delle FERMATE.";
constexpr std::string_view kStopsTolerable =
    "Riscontrati errori tollerabili nella definizione delle FERMATE.";
constexpr std::string_view kNoRoutes = "Non è stato registrato neppure un PERCORSO.";
constexpr std::string_view kRoutesBlocking =
    "Riscontrati errori bloccanti nella definizione dei PERCORSI.";
constexpr std::string_view kRoutesTolerable =
    "Riscontrati errori tollerabili nella definizione dei PERCORSI.";
constexpr std::string_view kNoLocalities =
    "Non è stata registrata neppure una FERMATA ASSOCIATA A LOCALITA'.";
constexpr std::string_view kTripsWithoutExtended = "Riscontrate CORSE prive di codifica estesa.";
constexpr std::string_view kLinesWithoutStandard =
    "Riscontrate LINEE aziendali prive di Linea Standard corrispondente.";
constexpr std::string_view kLinesWithOtherAuthority =
    "Riscontrate LINEE aziendali con Ente Gestione diverso da quello della Linea Standard "
    "corrispondente.";
constexpr std::string_view kSubcontractZero =
    "Presente Subappalto=0; correggere tramite apposita funzione di utilità";

constexpr std::string_view kMasterIncomplete =
    "ATTENZIONE: le informazioni generali relative alla comunicazione\n"
    "sono assenti oppure incomplete.\n\n"
    "E' assolutamente necessario specificare:\n"
    "    * Il codice Azienda\n"
    "    * La data ed il protocollo della comunicazione\n"
    "    * Il nominativo del responsabile\n\n"
    "Verificare utilizzando la funzione Azienda nel menu Archivi\n";
constexpr std::string_view kMasterIncompleteExport =
    "prima di procedere alla generazione della comunicazione";

constexpr std::string_view kBlockingFound =
    "ATTENZIONE: Sono state riscontrate delle condizioni di ERRORE BLOCCANTE.\n\n"
    "Verrà generato un report con gli errori riscontrati\n\n"
    "Non è pertanto possibile esportare la comunicazione ";
constexpr std::string_view kTolerableFound =
    "ATTENZIONE: Sono state riscontrate delle condizioni di ERRORE TOLLERABILE.\n"
    "Verrà comunque generato un report con gli errori riscontrati\n\n";
constexpr std::string_view kTolerableQuestion =
    "Si intende procedere con l'esportazione della comunicazione ";

constexpr std::string_view kReportDialogTitle = "Report Errori Riscontrati";

// The boxes that open a group in the report; LINEE has none and follows the group before it.
constexpr std::string_view kBoxRule =
    "************************************************************************";

struct GroupBox {
    std::string_view group;
    std::string_view middle;
};

constexpr GroupBox kBoxes[] = {
    {kGen, "*                  Errori di natura complessiva                        *"},
    {kStops, "*              Errori nella definizione delle FERMATE                  *"},
    {kRoutes, "*              Errori nella definizione dei PERCORSI                   *"},
    {kExtended, "*              Errori CODIFICHE ESTESE                                 *"},
};

static_assert(kBoxRule.size() == 72);
static_assert(std::all_of(std::begin(kBoxes), std::end(kBoxes), [](const GroupBox& box) {
    return box.middle.size() == kBoxRule.size();
}));

// The heading of a code's section: a title, then the rule, the error and the severity indented
// by eight blanks.
struct SectionHeading {
    std::string_view group;
    std::string_view code;
    std::string_view title;
    std::string_view rule;
    std::string_view error;
    bool blocking;
};

constexpr SectionHeading kHeadings[] = {
    {kStops,
     kMissingCode,
     "******* Codici Fermata Assenti *******",
     "REGOLA: tutte le fermate devono essere identificate da un codice aziendale",
     "ERRORE: le seguenti fermate non hanno nessun codice aziendale",
     true},
    {kStops,
     kMissingName,
     "******* Denominazioni Mancanti *******",
     "REGOLA: tutte le fermate devono essere identificate da una denominazione",
     "ERRORE: le seguenti fermate non hanno nessuna denominazione",
     true},
    {kStops,
     kMissingLocation,
     "******* Ubicazioni Assenti *******",
     "REGOLA: tutte le fermate dovrebbero essere caratterizzate da una ubicazione",
     "ERRORE: le seguenti fermate non hanno nessuna ubicazione",
     false},
    {kStops,
     kDuplicateCode,
     "******* Codici Fermata Duplicati *******",
     "REGOLA: tutte le fermate devono essere identificate da un codice aziendale univoco",
     "ERRORE: le seguenti coppie di fermate condividono il medesimo codice aziendale",
     true},
    {kStops,
     kDuplicateName,
     "******* Denominazioni Duplicate *******",
     "REGOLA: ogni fermata dovrebbe avere una denominazione univoca",
     "ERRORE: le seguenti coppie di fermate condividono la medesima denominazione",
     false},
    {kStops,
     kDuplicateLocation,
     "******* Ubicazioni Duplicate *******",
     "REGOLA: ogni fermata dovrebbe avere una ubicazione univoca",
     "ERRORE: le seguenti coppie di fermate condividono la medesima ubicazione",
     false},
    {kRoutes,
     kMissingCode,
     "******* Codici Percorso Assenti *******",
     "REGOLA: tutti i percorsi devono essere identificati da un codice aziendale",
     "ERRORE: i seguenti percorsi non hanno nessun codice aziendale",
     true},
    {kRoutes,
     kMissingName,
     "******* Denominazioni Mancanti *******",
     "REGOLA: tutti i percorsi dovrebbero essere identificati da una denominazione",
     "ERRORE: i seguenti percorsi non hanno nessuna denominazione",
     false},
    {kRoutes,
     kDuplicateCode,
     "******* Codici Percorso Duplicati *******",
     "REGOLA: tutti i percorsi devono essere identificati da un codice aziendale univoco",
     "ERRORE: le seguenti coppie di percorsi condividono il medesimo codice aziendale",
     true},
    {kRoutes,
     kDuplicateName,
     "******* Denominazioni Duplicate *******",
     "REGOLA: ogni percorso dovrebbe avere una denominazione univoca",
     "ERRORE: le seguenti coppie di percorsi condividono la medesima denominazione",
     false},
    {kExtended,
     kNoExtended,
     "******* Codifiche Estese Assenti *******",
     "REGOLA: tutte le corse devono essere qualificate in termini di codifiche estese",
     "ERRORE: le seguenti corse non sono associate a codifica estesa",
     true},
    {kLines,
     kNoStandardLine,
     "******* Codifiche Linee Standard Assenti *******",
     "REGOLA: tutti i Codici Linea Aziendali devono essere associati ad un Codice Linea Standard",
     "ERRORE: le seguenti Linee Aziendali non sono associate a Linea Standard",
     true},
    {kLines,
     kAuthority,
     "******* Codifiche Linee Standard Incoerenti *******",
     "REGOLA: tutte le Linee Standard devono essere associate ad un Codice Ente Gestione",
     "ERRORE: alcune corse associate alla Linea presentano un Ente Gestione non conforme",
     true},
};

constexpr std::string_view kIndent = "        ";

std::string_view questionName(ExportKind kind) {
    return kind == ExportKind::VkzXml ? "VkzXml Level 1?" : "VKZ-TXT v1?";
}

std::string_view headerName(ExportKind kind) {
    return kind == ExportKind::VkzXml ? "VkzXml Level 1" : "VkzTxt";
}

std::string_view reportFileName(ExportKind kind) {
    return kind == ExportKind::VkzXml ? "ERRORI_EXPORT_VKZXML" : "ERRORI_EXPORT_VKZTXT";
}

// Steps through the rows of the query, handing each to `row`; false when the query failed (the
// query layer has shown why), so that "no rows" is never mistaken for "nothing wrong".
template <typename RowFunction> bool forEachRow(store::QueryCursor& query, RowFunction&& row) {
    for (bool more = query.Execute(); more; more = query.MoveNext()) {
        row(query);
    }
    return !query.failed();
}

std::string text(store::QueryCursor& query, std::string_view column) {
    std::string value;
    query.GetText(column, value);
    return value;
}

long longAt(store::QueryCursor& query, int position) {
    std::int32_t value = 0;
    query.GetLong(position, value);
    return value;
}

int shortAt(store::QueryCursor& query, int position) {
    std::int16_t value = 0;
    query.GetShort(position, value);
    return value;
}

// One record as a duplicate walk shows it: "ID=<id> <code> <name>".
struct Record {
    long id = 0;
    std::string code;
    std::string name;
    std::string key; // the value compared with the previous record's
};

// The checks of one verification, each one query (or one join) on the database.
class Verifier {
public:
    Verifier(store::DatabaseConnection& connection, ExportKind kind)
        : m_connection(connection)
        , m_kind(kind) {}

    VerificationFindings run() {
        registerLog();
        checkStops();
        checkRoutes();
        checkLocalities();
        checkExtendedCodes();
        if (m_kind == ExportKind::VkzXml) {
            checkStandardLines();
            checkSubcontracting();
        }
        return std::move(m_findings);
    }

private:
    VerificationLog& log() { return m_findings.log; }

    void registerLog() {
        const std::pair<std::string_view, std::vector<std::string_view>> layout[] = {
            {kGen, {kBlock, kWarn}},
            {kStops,
             {kMissingCode,
              kMissingName,
              kDuplicateCode,
              kMissingLocation,
              kDuplicateName,
              kDuplicateLocation}},
            {kRoutes, {kMissingCode, kDuplicateCode, kMissingName, kDuplicateName}},
            {kExtended, {kNoExtended}},
            {kLines, {kNoStandardLine, kAuthority}},
        };
        for (const auto& [group, codes] : layout) {
            if (group == kLines && m_kind != ExportKind::VkzXml) {
                continue;
            }
            log().registerGroup(group);
            for (const std::string_view code : codes) {
                log().registerCode(group, code);
            }
        }
    }

    void block(std::string_view summary) {
        log().add(kGen, kBlock, std::string(summary));
        m_findings.blocking = true;
    }

    void warn(std::string_view summary) {
        log().add(kGen, kWarn, std::string(summary));
        m_findings.tolerable = true;
    }

    // A check whose query failed has not looked at the data: the verification cannot let the
    // communication go on what it did not see, so the failure is a blocking finding of its own
    // (once per table, however many of its checks failed).
    void readFailed(std::string_view tables) {
        const std::string summary =
            fmt::format("Verifica non completata: errore nella lettura di {}.", tables);
        const auto& done = log().entries(kGen, kBlock);
        if (std::find(done.begin(), done.end(), summary) == done.end()) {
            block(summary);
        }
    }

    bool any(std::string_view group, std::initializer_list<std::string_view> codes) const {
        return std::any_of(codes.begin(), codes.end(), [&](std::string_view code) {
            return m_findings.log.hasEntries(group, code);
        });
    }

    // Records sorted on one text column, compared with the record before: a code shared by
    // three records gives two lines, the second record against the first and the third against
    // the second. Sorting on the value without its trailing blanks (and byte by byte, as the
    // values are compared) keeps every run of equal values together; records with the same
    // value follow one another by ID.
    void findDuplicates(std::string_view table,
                        std::string_view codeColumn,
                        std::string_view keyColumn,
                        std::string_view group,
                        std::string_view code) {
        store::QueryCursor query(m_connection);
        std::string select = fmt::format("ID, {}, denom", codeColumn);
        if (keyColumn != codeColumn && keyColumn != "denom") {
            select += fmt::format(", {}", keyColumn);
        }
        query.SetSelect(select);
        query.SetFrom(table);
        query.SetOrderBy(fmt::format("rtrim({}), ID", keyColumn));
        Record previous;
        const bool read = forEachRow(query, [&](store::QueryCursor& row) {
            Record current{longAt(row, 0), text(row, codeColumn), text(row, "denom"), {}};
            current.key = text(row, keyColumn);
            if (!previous.key.empty() && previous.key == current.key) {
                log().add(group,
                          code,
                          fmt::format("ID={} {} {} (ID={} {} {})",
                                      current.id,
                                      current.code,
                                      current.name,
                                      previous.id,
                                      previous.code,
                                      previous.name));
            }
            previous = std::move(current);
        });
        if (!read) {
            readFailed(table);
        }
    }

    void checkStops() {
        store::QueryCursor query(m_connection);
        query.SetSelect("ID, fermata, denom, ubicaz");
        query.SetFrom("fermate");
        query.SetOrderBy("ID");
        bool none = true;
        const bool read = forEachRow(query, [&](store::QueryCursor& row) {
            none = false;
            const long id = longAt(row, 0);
            const std::string code = text(row, "fermata");
            const std::string name = text(row, "denom");
            if (code.empty()) {
                log().add(kStops, kMissingCode, fmt::format("ID={} {}", id, name));
            }
            if (name.empty()) {
                log().add(kStops, kMissingName, fmt::format("ID={} {}", id, code));
            }
            if (text(row, "ubicaz").empty()) {
                log().add(kStops, kMissingLocation, fmt::format("ID={} {} {}", id, code, name));
            }
        });
        if (!read) {
            readFailed("fermate");
        }
        findDuplicates("fermate", "fermata", "fermata", kStops, kDuplicateCode);
        findDuplicates("fermate", "fermata", "denom", kStops, kDuplicateName);
        findDuplicates("fermate", "fermata", "ubicaz", kStops, kDuplicateLocation);

        if (none) {
            block(kNoStops);
        } else if (any(kStops, {kMissingCode, kMissingName, kDuplicateCode})) {
            block(kStopsBlocking);
        } else if (any(kStops, {kMissingLocation, kDuplicateName, kDuplicateLocation})) {
            warn(kStopsTolerable);
        }
    }

    void checkRoutes() {
        store::QueryCursor query(m_connection);
        query.SetSelect("ID, codperc, denom");
        query.SetFrom("itiner");
        query.SetOrderBy("ID");
        bool none = true;
        const bool read = forEachRow(query, [&](store::QueryCursor& row) {
            none = false;
            const long id = longAt(row, 0);
            const std::string code = text(row, "codperc");
            const std::string name = text(row, "denom");
            if (code.empty()) {
                log().add(kRoutes, kMissingCode, fmt::format("ID={} {}", id, name));
            }
            if (name.empty()) {
                log().add(kRoutes, kMissingName, fmt::format("ID={} {}", id, code));
            }
        });
        if (!read) {
            readFailed("itiner");
        }
        findDuplicates("itiner", "codperc", "codperc", kRoutes, kDuplicateCode);
        findDuplicates("itiner", "codperc", "denom", kRoutes, kDuplicateName);

        if (none) {
            block(kNoRoutes);
        } else if (any(kRoutes, {kMissingCode, kDuplicateCode})) {
            block(kRoutesBlocking);
        } else if (any(kRoutes, {kMissingName, kDuplicateName})) {
            warn(kRoutesTolerable);
        }
    }

    void checkLocalities() {
        store::QueryCursor query(m_connection);
        query.SetSelect("local");
        query.SetFrom("fermate");
        query.SetWhere("local > 0");
        const bool found = query.Execute();
        if (query.failed()) {
            readFailed("fermate");
        }
        if (!found) {
            block(kNoLocalities);
        }
    }

    void checkExtendedCodes() {
        store::QueryCursor query(m_connection);
        query.SetSelect("ID");
        query.SetFrom("corse");
        query.SetWhere("NOT EXISTS (SELECT 1 FROM extcod WHERE extcod.id = corse.id)");
        query.SetOrderBy("ID");
        const bool read = forEachRow(query, [&](store::QueryCursor& row) {
            log().add(kExtended,
                      kNoExtended,
                      fmt::format("Corsa: ID={}  mancano codifiche estese", longAt(row, 0)));
        });
        if (!read) {
            readFailed("corse, extcod");
        }
        if (log().hasEntries(kExtended, kNoExtended)) {
            block(kTripsWithoutExtended);
        }
    }

    struct StandardLine {
        int id = 0;
        int authority = 0;
    };

    // Every company line of a lot must have a standard line of that lot, and the trips of the
    // line must belong to the standard line's authority. The trips are grouped by lot, line and
    // authority, so a line whose trips belong to two authorities is looked at once for each.
    void checkStandardLines() {
        std::map<std::pair<int, std::string>, StandardLine> standard;
        store::QueryCursor lines(m_connection);
        lines.SetSelect(
            "reglklin.lotto AS lotto, reglklin.id AS id, reglklin.codlinea AS codlinea, "
            "reglinee.ente AS ente");
        lines.SetFrom("reglklin, reglinee");
        lines.SetWhere("reglklin.id = reglinee.id AND reglklin.lotto = reglinee.lotto");
        lines.SetOrderBy("reglklin.lotto, reglklin.codlinea");
        const bool linesRead = forEachRow(lines, [&](store::QueryCursor& row) {
            const int lot = shortAt(row, 0);
            if (lot != 0) {
                standard.insert_or_assign({lot, text(row, "codlinea")},
                                          StandardLine{shortAt(row, 1), shortAt(row, 3)});
            }
        });
        if (!linesRead) {
            readFailed("reglklin, reglinee");
        }

        // Line codes are grouped without their trailing blanks, as they are compared.
        store::QueryCursor trips(m_connection);
        trips.SetSelect("extcod.lotto AS lotto, rtrim(corse.codlinea) AS codlinea, "
                        "corse.ente AS ente");
        trips.SetFrom("extcod, corse");
        trips.SetWhere("extcod.id = corse.id AND extcod.lotto <> 0");
        trips.SetGroupBy("extcod.lotto, rtrim(corse.codlinea), corse.ente");
        trips.SetOrderBy("extcod.lotto, rtrim(corse.codlinea), corse.ente");
        const bool tripsRead = forEachRow(trips, [&](store::QueryCursor& row) {
            const int lot = shortAt(row, 0);
            const std::string line = text(row, "codlinea");
            const int authority = shortAt(row, 2);
            const auto found = standard.find({lot, line});
            if (found == standard.end()) {
                log().add(kLines,
                          kNoStandardLine,
                          fmt::format("Lotto={} Linea Aziendale: \"{}\" manca Linea Standard "
                                      "corrispondente",
                                      lot,
                                      line));
            } else if (found->second.authority != authority) {
                log().add(kLines,
                          kAuthority,
                          fmt::format("Lotto={} Linea Aziendale: \"{}\" Ente Gestione={} diverso "
                                      "da Ente={} della Linea Standard ID={}",
                                      lot,
                                      line,
                                      authority,
                                      found->second.authority,
                                      found->second.id));
            }
        });
        if (!tripsRead) {
            readFailed("extcod, corse");
        }
        if (log().hasEntries(kLines, kNoStandardLine)) {
            block(kLinesWithoutStandard);
        }
        if (log().hasEntries(kLines, kAuthority)) {
            block(kLinesWithOtherAuthority);
        }
    }

    void checkSubcontracting() {
        store::QueryCursor query(m_connection);
        query.SetSelect("count(*)");
        query.SetFrom("extcod");
        query.SetWhere("azisub = 0 AND aziges <> 0");
        const bool counted = query.Execute();
        if (query.failed()) {
            readFailed("extcod");
        } else if (counted && longAt(query, 0) > 0) {
            block(kSubcontractZero);
        }
    }

    store::DatabaseConnection& m_connection;
    ExportKind m_kind;
    VerificationFindings m_findings;
};

// The general data are complete when the master row exists and names the responsible, the
// sending date and a protocol number. A protocol below 1 counts as missing: the header keeps
// "no protocol" as null, and a negative number is never a real protocol.
bool masterRecordComplete(store::DatabaseConnection& connection) {
    store::TableCursor master(&connection, "master");
    if (!master.IsOpen() || !master.SelectIndex("codice") || !master.Seek({"0"})) {
        return false;
    }
    std::string sent;
    std::string protocol;
    std::string responsible;
    master.GetFieldText("p_data", sent);
    master.GetFieldText("protoc", protocol);
    master.GetFieldText("resple", responsible);
    store::TrimTrailingBlanks(sent);
    store::TrimTrailingBlanks(responsible);
    return !responsible.empty() && !sent.empty() && workspace::leadingInteger(protocol) > 0;
}

const GroupBox* boxOf(std::string_view group) {
    const auto* found = std::find_if(
        std::begin(kBoxes), std::end(kBoxes), [&](const GroupBox& b) { return b.group == group; });
    return found != std::end(kBoxes) ? found : nullptr;
}

const SectionHeading* headingOf(std::string_view group, std::string_view code) {
    const auto* found =
        std::find_if(std::begin(kHeadings), std::end(kHeadings), [&](const SectionHeading& h) {
            return h.group == group && h.code == code;
        });
    return found != std::end(kHeadings) ? found : nullptr;
}

void writeHeading(workspace::TextFileWriter& writer,
                  std::string_view group,
                  std::string_view code) {
    if (group == kGen) {
        writer.writeLine(code == kBlock ? "******   ERRORI DI SEVERITA': BLOCCANTE"
                                        : "******   ERRORI DI SEVERITA': TOLLERABILE");
        writer.writeLine("");
        return;
    }
    const SectionHeading* heading = headingOf(group, code);
    if (heading == nullptr) {
        return;
    }
    writer.writeLine(heading->title);
    writer.writeLine(std::string(kIndent) + std::string(heading->rule));
    writer.writeLine(std::string(kIndent) + std::string(heading->error));
    writer.writeLine(std::string(kIndent) +
                     (heading->blocking ? "SEVERITA': BLOCCANTE" : "SEVERITA': TOLLERABILE"));
    writer.writeLine("");
}

} // namespace

std::string_view exportKindName(ExportKind kind) {
    return kind == ExportKind::VkzXml ? "VkzXml Level 1" : "VKZ-TXT v1";
}

VerificationLog::Code* VerificationLog::findCode(std::string_view group, std::string_view code) {
    for (Group& g : m_groups) {
        if (g.name != group) {
            continue;
        }
        for (Code& c : g.codes) {
            if (c.name == code) {
                return &c;
            }
        }
    }
    return nullptr;
}

void VerificationLog::registerGroup(std::string_view group) {
    m_groups.push_back({std::string(group), {}});
}

void VerificationLog::registerCode(std::string_view group, std::string_view code) {
    for (Group& g : m_groups) {
        if (g.name == group) {
            g.codes.push_back({std::string(code), {}});
            return;
        }
    }
}

void VerificationLog::add(std::string_view group, std::string_view code, std::string entry) {
    if (Code* found = findCode(group, code)) {
        found->entries.push_back(std::move(entry));
    }
}

const std::vector<std::string>& VerificationLog::entries(std::string_view group,
                                                         std::string_view code) const {
    static const std::vector<std::string> kNone;
    for (const Group& g : m_groups) {
        if (g.name != group) {
            continue;
        }
        for (const Code& c : g.codes) {
            if (c.name == code) {
                return c.entries;
            }
        }
    }
    return kNone;
}

VerificationFindings collectVerificationFindings(store::DatabaseConnection& connection,
                                                 ExportKind kind) {
    return Verifier(connection, kind).run();
}

bool checkMasterRecord(store::DatabaseConnection& connection) {
    if (masterRecordComplete(connection)) {
        return true;
    }
    connection.ui().Message(std::string(kMasterIncomplete) + std::string(kMasterIncompleteExport),
                            ui::Icon::Stop);
    return false;
}

ui::Outcome
runFormalVerification(store::DatabaseConnection& connection, bool ask, ExportKind kind) {
    const VerificationFindings findings = collectVerificationFindings(connection, kind);
    ui::Ui& ui = connection.ui();
    if (findings.blocking) {
        ui.Message(std::string(kBlockingFound) + std::string(exportKindName(kind)), ui::Icon::Stop);
        writeVerificationReport(findings.log, kind, ui);
        return ui::Outcome::Failed;
    }
    if (!findings.tolerable) {
        return ui::Outcome::Done;
    }
    bool goOn = true;
    if (ask) {
        goOn = ui.Confirm({std::string(ui::keys::kProceed)},
                          std::string(kTolerableFound) + std::string(kTolerableQuestion) +
                              std::string(questionName(kind)),
                          ui::Icon::Exclamation);
    } else {
        ui.Message(kTolerableFound, ui::Icon::Exclamation);
    }
    // The report is offered whatever the answer: the user is told it will be.
    writeVerificationReport(findings.log, kind, ui);
    return goOn ? ui::Outcome::Done : ui::Outcome::Cancelled;
}

void writeVerificationReport(const VerificationLog& log, ExportKind kind, ui::Ui& ui) {
    ui::FileDialog dialog;
    dialog.key = ui::keys::kReport;
    dialog.kind = ui::QuestionKind::Offer;
    dialog.title = kReportDialogTitle;
    dialog.defaultExtension = "TXT";
    dialog.initialName = reportFileName(kind);
    dialog.filters = {{"File di testo (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    dialog.confirmOverwrite = true;
    const auto path = ui.SaveFile(dialog);
    if (!path) {
        return;
    }
    workspace::TextFileWriter writer;
    if (!workspace::openOrReport(writer, *path, ui)) {
        return;
    }
    workspace::writeReportHeader(writer,
                                 fmt::format("verifica comunicazione {}", headerName(kind)));
    workspace::Latin1Encoder latin1;
    for (const VerificationLog::Group& group : log.groups()) {
        bool boxed = false;
        for (const VerificationLog::Code& code : group.codes) {
            if (code.entries.empty()) {
                continue;
            }
            if (!boxed) {
                boxed = true;
                if (const GroupBox* box = boxOf(group.name)) {
                    writer.writeLine(kBoxRule);
                    writer.writeLine(box->middle);
                    writer.writeLine(kBoxRule);
                    writer.writeLine("");
                }
            }
            writeHeading(writer, group.name, code.name);
            for (const std::string& entry : code.entries) {
                writer.writeLine(latin1.encode(entry));
            }
            for (int i = 0; i < 4; ++i) {
                writer.writeLine("");
            }
        }
    }
    // A full disk must not pass for a written report.
    if (!writer.close()) {
        ui.Message("Errore durante la scrittura del file\n\n" + path->string(),
                   ui::Icon::Exclamation);
    }
}

ui::Outcome VerifyCommand(workspace::Workspace& workspace) {
    store::DatabaseConnection* connection = workspace.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return ui::Outcome::Failed;
    }
    if (!masterRecordComplete(*connection)) {
        workspace.ui().Message(kMasterIncomplete, ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    workspace.ShowProgressCaption(kVerificationCaption);
    return runFormalVerification(*connection, false, ExportKind::VkzTxt);
}

} // namespace tramela::comm
