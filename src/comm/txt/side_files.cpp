#include "comm/txt/side_files.h"

#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/value_text.h"
#include "ui/ui.h"

#include <fmt/format.h>

namespace tramela::comm {

namespace {

using store::QueryCursor;

// What one writer works with: the query whose rows it writes, the file and the encoder.
class SideFile {
public:
    SideFile(store::DatabaseConnection& connection,
             const std::filesystem::path& folder,
             std::string_view name,
             workspace::Latin1Encoder* encoder)
        : m_connection(connection)
        , m_path(folder / name)
        , m_encoder(encoder != nullptr ? *encoder : m_ownEncoder)
        , m_rows(connection) {}

    bool open() { return workspace::openOrReport(m_file, m_path, m_connection.ui()); }

    QueryCursor& rows() { return m_rows; }

    // A text column by name (an alias where two tables share a column name), ready for a field.
    std::string text(std::string_view column) {
        std::string value;
        m_rows.GetText(column, value);
        return exchangeField(m_encoder, value);
    }

    // The integer part of a numeric column, whatever numeric type the cartography declared it
    // with: a distance of 1914.21 m reads "000000000001914,2100" and gives 1914.
    long integer(std::string_view column) {
        std::string value;
        m_rows.GetText(column, value);
        return workspace::leadingInteger(value);
    }

    void writeLine(std::string_view line) { m_file.writeLine(line); }

    // Completes the file; the count of data lines, or nothing when the rows could not all be
    // read or the file could not be written to the end (shown; no file cut short is left).
    std::optional<long> finish(long count) {
        if (m_rows.failed()) {
            m_file.abandon();
            return std::nullopt;
        }
        if (!workspace::closeOrReport(m_file, m_path, m_connection.ui())) {
            return std::nullopt;
        }
        return count;
    }

private:
    store::DatabaseConnection& m_connection;
    std::filesystem::path m_path;
    workspace::Latin1Encoder m_ownEncoder;
    workspace::Latin1Encoder& m_encoder;
    QueryCursor m_rows;
    workspace::TextFileWriter m_file;
};

} // namespace

std::string exchangeField(workspace::Latin1Encoder& encoder, std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    store::TrimTrailingBlanks(field);
    return encoder.encode(field);
}

std::optional<long> writeNormalizedStopsFile(store::DatabaseConnection& connection,
                                             const std::filesystem::path& folder,
                                             long company,
                                             workspace::Latin1Encoder* encoder) {
    SideFile file(connection, folder, kNormalizedStopsFile, encoder);
    if (!file.open()) {
        return std::nullopt;
    }
    QueryCursor& rows = file.rows();
    rows.SetSelect("fermate.fermata, fermate.denom, fermate.ubicaz, local.istat, "
                   "local.denom AS localita");
    rows.SetFrom("fermate, local");
    // A stop outside every municipality (local 0) has no place in this file.
    rows.SetWhere("fermate.local > 0 AND fermate.local = local.id");
    rows.SetOrderBy("fermate.denom, fermate.ubicaz, fermate.fermata, local.istat, local.denom");
    file.writeLine("Azienda\tFermata\tDenominazione\tUbicazione\tIstat\tLocalita");
    long count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        file.writeLine(fmt::format("{}\t{}\t{}\t{}\t{}\t{}",
                                   company,
                                   file.text("fermata"),
                                   file.text("denom"),
                                   file.text("ubicaz"),
                                   file.text("istat"),
                                   file.text("localita")));
        ++count;
    }
    return file.finish(count);
}

std::optional<long> writeNuvoStopsFile(store::DatabaseConnection& connection,
                                       const std::filesystem::path& folder,
                                       long company,
                                       workspace::Latin1Encoder* encoder) {
    SideFile file(connection, folder, kNuvoStopsFile, encoder);
    if (!file.open()) {
        return std::nullopt;
    }
    QueryCursor& rows = file.rows();
    // The cartography may hold one stop twice (two platforms under one code, say): grouping
    // writes each code, name and location once.
    rows.SetSelect("fermata, denom, ubicaz");
    rows.SetFrom("fermate");
    rows.SetGroupBy("fermata, denom, ubicaz");
    rows.SetOrderBy("fermata, denom, ubicaz");
    file.writeLine("Azienda\tFermata\tDenominazione\tUbicazione");
    long count = 0;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        file.writeLine(fmt::format("{}\t{}\t{}\t{}",
                                   company,
                                   file.text("fermata"),
                                   file.text("denom"),
                                   file.text("ubicaz")));
        ++count;
    }
    return file.finish(count);
}

std::optional<long> writeNuvoRoutesFile(store::DatabaseConnection& connection,
                                        const std::filesystem::path& folder,
                                        long company,
                                        workspace::Latin1Encoder* encoder) {
    SideFile file(connection, folder, kNuvoRoutesFile, encoder);
    if (!file.open()) {
        return std::nullopt;
    }
    QueryCursor& rows = file.rows();
    constexpr std::string_view kColumns =
        "itiner.codperc, itiner.denom, itiner.conlung, fermitin.sub, fermitin.condist, "
        "fermate.fermata, fermate.denom, fermate.ubicaz";
    // The two names are aliased: both columns are called denom.
    rows.SetSelect("itiner.codperc, itiner.denom AS percorso, itiner.conlung, fermitin.sub, "
                   "fermitin.condist, fermate.fermata, fermate.denom AS fermata_denom, "
                   "fermate.ubicaz");
    rows.SetFrom("itiner, fermitin, fermate");
    rows.SetWhere("fermitin.ID = itiner.ID AND fermate.ID = fermitin.fermata");
    rows.SetGroupBy(kColumns);
    rows.SetOrderBy(kColumns);
    file.writeLine("PeRcOrSiVkZnUvO");
    long count = 0;
    bool first = true;
    std::string route;
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        std::string code = file.text("codperc");
        if (first || code != route) {
            file.writeLine(fmt::format("<T>\t{}\t{}\t{}\t{}\t</T>",
                                       company,
                                       code,
                                       file.text("percorso"),
                                       file.integer("conlung")));
            ++count;
            route = std::move(code);
            first = false;
        }
        file.writeLine(fmt::format("<D>\t{}\t{}\t{}\t{}\t{}\t</D>",
                                   file.integer("sub"),
                                   file.integer("condist"),
                                   file.text("fermata"),
                                   file.text("fermata_denom"),
                                   file.text("ubicaz")));
        ++count;
    }
    file.writeLine("pErCoRsIvKzNuVo");
    return file.finish(count);
}

} // namespace tramela::comm
