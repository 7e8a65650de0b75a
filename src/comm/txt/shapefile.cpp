#include "comm/txt/shapefile.h"

#include "network/geometry_loader.h"
#include "network/route_polyline.h"
#include "network/route_set.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "ui/ui.h"
#include "workspace/text_output.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fmt/format.h>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace tramela::comm {

namespace {

// Integers and doubles are assembled byte by byte, so the files are the same on a big-endian
// host: 9994 big-endian is 00 00 27 0A, 1000 little-endian is E8 03 00 00.
void appendLittleEndian(std::string& out, std::uint64_t bits, int bytes) {
    for (int k = 0; k < bytes; ++k) {
        out += static_cast<char>(bits & 0xFFu);
        bits >>= 8;
    }
}

void appendBigEndian32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((bits >> shift) & 0xFFu);
    }
}

void appendLittleEndian32(std::string& out, std::int32_t value) {
    appendLittleEndian(out, static_cast<std::uint32_t>(value), 4);
}

void appendLittleEndian16(std::string& out, int value) {
    appendLittleEndian(out, static_cast<std::uint16_t>(value), 2);
}

void appendDouble(std::string& out, double value) {
    appendLittleEndian(out, std::bit_cast<std::uint64_t>(value), 8);
}

// One of the three files of a shapefile, written through a large buffer. Its header is written
// twice: zeros first, the real values once every record is known.
class BinaryFile {
public:
    BinaryFile() = default;

    ~BinaryFile() { close(); }

    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Creates (or empties) the file; false when it cannot be created (shown). The three files
    // of a shapefile are written in place: one that fails takes the other two with it.
    bool create(const std::filesystem::path& path, ui::Ui& ui) {
        m_file = std::fopen(path.c_str(), "w+b");
        if (m_file == nullptr) {
            ui.Message("Impossibile creare\n\n" + path.string(), ui::Icon::Exclamation);
            return false;
        }
        m_path = path;
        m_failed = false;
        std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
        return true;
    }

    bool created() const { return !m_path.empty(); }

    const std::filesystem::path& path() const { return m_path; }

    void write(std::string_view bytes) {
        if (m_file == nullptr ||
            std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
            m_failed = true;
        }
    }

    // Writes `bytes` over the start of the file (its header) and goes back to the end.
    void rewriteStart(std::string_view bytes) {
        if (m_file == nullptr || std::fseek(m_file, 0, SEEK_SET) != 0) {
            m_failed = true;
            return;
        }
        write(bytes);
        if (std::fseek(m_file, 0, SEEK_END) != 0) {
            m_failed = true;
        }
    }

    // Flushes and closes; false when any write failed (a full disk, say).
    bool close() {
        if (m_file != nullptr) {
            m_failed = std::fclose(m_file) != 0 || m_failed;
            m_file = nullptr;
        }
        return !m_failed;
    }

    // Closes and deletes what was created.
    void remove() {
        close();
        if (created()) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }

private:
    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
    bool m_failed = false;
};

enum class ShapeType : std::int32_t { Point = 1, PolyLine = 3 };

// A field of the attribute table. Every value, numbers included, is written at the left of its
// width and padded with blanks: company 42 in a width of 5 is "42   ".
struct DbfField {
    std::string_view name; // ASCII, at most 10 characters
    char type = 'C';       // 'N' numeric, 'C' character
    std::uint8_t width = 0;
};

// The box of a whole file. It starts empty so that the first shape sets it; a file without
// shapes carries the empty-box marks: minima at the largest double, maxima at the smallest
// positive normal double. The maxima do not start at that mark: a network west of the origin,
// its X from -900 to -100, would then get Xmax 2.2e-308 instead of -100.
class FileBox {
public:
    void widen(const network::Box& box) {
        m_empty = false;
        m_box.minX = std::min(m_box.minX, box.minX);
        m_box.minY = std::min(m_box.minY, box.minY);
        m_box.maxX = std::max(m_box.maxX, box.maxX);
        m_box.maxY = std::max(m_box.maxY, box.maxY);
    }

    // Xmin, Ymin, Xmax, Ymax.
    void append(std::string& out) const {
        constexpr double kEmptyMax = std::numeric_limits<double>::min();
        appendDouble(out, m_box.minX);
        appendDouble(out, m_box.minY);
        appendDouble(out, m_empty ? kEmptyMax : m_box.maxX);
        appendDouble(out, m_empty ? kEmptyMax : m_box.maxY);
    }

private:
    network::Box m_box;
    bool m_empty = true;
};

// Writes the three files of one shapefile, shape by shape. Lengths and offsets in .SHP and
// .SHX are counted in 16-bit words.
//
// .SHP and .SHX header, 100 bytes:
//   offset  width  form
//   0       4      9994, big-endian (file code)
//   4       20     zeros
//   24      4      file length in words, header (50) included, big-endian
//   28      4      1000, little-endian (version)
//   32      4      shape type, little-endian: 1 point, 3 polyline
//   36      32     Xmin, Ymin, Xmax, Ymax, doubles little-endian
//   68      32     Zmin, Zmax, Mmin, Mmax: 0.0
//
// .SHP record: number (from 1) and content length in words, both big-endian, then the content.
// .SHX record: offset of the .SHP record in words (the first is 50) and its content length in
// words, both big-endian.
//
// .DBF (dBASE III), header:
//   offset  width  form
//   0       1      0x03
//   1       3      day of writing: year - 1900, month, day
//   4       4      number of records, little-endian
//   8       2      header length, 32 + 32 x fields + 1, little-endian
//   10      2      record length, 1 + the field widths, little-endian
//   12      20     zeros
//   32      32     per field: name padded with zeros to 11 bytes, type byte, 4 zeros, width,
//                  decimals (0), 14 zeros
//   ...     1      0x0D
// then the records (a blank deletion flag, then the fields) and 0x1A at the end.
class ShapefileWriter {
public:
    ShapefileWriter(ShapeType type, std::span<const DbfField> fields, ui::Ui& ui)
        : m_type(type)
        , m_fields(fields)
        , m_ui(ui) {}

    // Creates base.SHP, base.SHX and base.DBF in the folder with placeholder headers. False when
    // one cannot be created (shown); those already created are removed.
    bool create(const std::filesystem::path& folder, std::string_view base) {
        const std::string name(base);
        if (!m_shp.create(folder / (name + ".SHP"), m_ui) ||
            !m_shx.create(folder / (name + ".SHX"), m_ui) ||
            !m_dbf.create(folder / (name + ".DBF"), m_ui)) {
            abandon();
            return false;
        }
        const std::string zeros(kHeaderBytes, '\0');
        m_shp.write(zeros);
        m_shx.write(zeros);
        m_dbf.write(std::string_view(zeros).substr(0, 32));
        std::string descriptors;
        for (const DbfField& field : m_fields) {
            descriptors += field.name;
            descriptors.append(11 - field.name.size(), '\0');
            descriptors += field.type;
            descriptors.append(4, '\0');
            descriptors += static_cast<char>(field.width);
            descriptors.append(15, '\0'); // no decimals, then fourteen zeros
        }
        descriptors += '\x0D';
        m_dbf.write(descriptors);
        return true;
    }

    // The attributes are bytes already in ISO-8859-1, one per field, cut to the field's width.
    void addPoint(std::span<const std::string> attributes, network::Point at) {
        m_content.clear();
        appendLittleEndian32(m_content, static_cast<std::int32_t>(ShapeType::Point));
        appendDouble(m_content, at.x);
        appendDouble(m_content, at.y);
        m_box.widen({at.x, at.y, at.x, at.y});
        addShape(attributes);
    }

    // One part holding every vertex, with the box given (as stored with the geometry).
    void addPolyline(std::span<const std::string> attributes,
                     std::span<const network::Point> vertices,
                     const network::Box& box) {
        m_content.clear();
        m_content.reserve(48 + 16 * vertices.size());
        appendLittleEndian32(m_content, static_cast<std::int32_t>(ShapeType::PolyLine));
        appendDouble(m_content, box.minX);
        appendDouble(m_content, box.minY);
        appendDouble(m_content, box.maxX);
        appendDouble(m_content, box.maxY);
        appendLittleEndian32(m_content, 1); // parts
        appendLittleEndian32(m_content, static_cast<std::int32_t>(vertices.size()));
        appendLittleEndian32(m_content, 0); // the part starts at the first vertex
        for (const network::Point& vertex : vertices) {
            appendDouble(m_content, vertex.x);
            appendDouble(m_content, vertex.y);
        }
        m_box.widen(box);
        addShape(attributes);
    }

    long count() const { return m_count; }

    // Writes the real headers and closes. False when a write failed: shown, files removed.
    bool finish() {
        m_dbf.write("\x1A");
        m_shp.rewriteStart(fileHeader(m_shpWords));
        m_shx.rewriteStart(fileHeader(kHeaderWords + 4 * m_count));
        m_dbf.rewriteStart(dbfHeader());
        for (BinaryFile* file : {&m_shp, &m_shx, &m_dbf}) {
            if (!file->close()) {
                m_ui.Message("Errore scrittura\n\n" + file->path().string(), ui::Icon::Exclamation);
                abandon();
                return false;
            }
        }
        return true;
    }

    // Closes and removes the files created.
    void abandon() {
        m_shp.remove();
        m_shx.remove();
        m_dbf.remove();
    }

private:
    static constexpr std::size_t kHeaderBytes = 100;
    static constexpr long kHeaderWords = 50;

    void addShape(std::span<const std::string> attributes) {
        ++m_count;
        const auto contentWords = static_cast<std::int32_t>(m_content.size() / 2);
        m_record.clear();
        appendBigEndian32(m_record, static_cast<std::int32_t>(m_shpWords));
        appendBigEndian32(m_record, contentWords);
        m_shx.write(m_record);

        m_record.clear();
        appendBigEndian32(m_record, static_cast<std::int32_t>(m_count));
        appendBigEndian32(m_record, contentWords);
        m_shp.write(m_record);
        m_shp.write(m_content);
        m_shpWords += 4 + contentWords;

        m_record.assign(1, ' ');
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            const std::size_t width = m_fields[i].width;
            const std::string_view value =
                i < attributes.size() ? std::string_view(attributes[i]).substr(0, width) : "";
            m_record += value;
            m_record.append(width - value.size(), ' ');
        }
        m_dbf.write(m_record);
    }

    std::string fileHeader(long lengthWords) const {
        std::string header;
        header.reserve(kHeaderBytes);
        appendBigEndian32(header, 9994);
        header.append(20, '\0');
        appendBigEndian32(header, static_cast<std::int32_t>(lengthWords));
        appendLittleEndian32(header, 1000);
        appendLittleEndian32(header, static_cast<std::int32_t>(m_type));
        m_box.append(header);
        header.append(32, '\0'); // Z and M ranges: four times 0.0
        return header;
    }

    std::string dbfHeader() const {
        const std::time_t now = std::time(nullptr);
        std::tm today{};
        localtime_r(&now, &today);
        int recordLength = 1;
        for (const DbfField& field : m_fields) {
            recordLength += field.width;
        }
        std::string header;
        header += '\x03';
        header += static_cast<char>(today.tm_year); // years since 1900
        header += static_cast<char>(today.tm_mon + 1);
        header += static_cast<char>(today.tm_mday);
        appendLittleEndian32(header, static_cast<std::int32_t>(m_count));
        appendLittleEndian16(header, static_cast<int>(32 + 32 * m_fields.size() + 1));
        appendLittleEndian16(header, recordLength);
        header.append(20, '\0');
        return header;
    }

    ShapeType m_type;
    std::span<const DbfField> m_fields;
    ui::Ui& m_ui;
    BinaryFile m_shp;
    BinaryFile m_shx;
    BinaryFile m_dbf;
    FileBox m_box;
    long m_count = 0;
    long m_shpWords = kHeaderWords; // where the next .SHP record starts
    std::string m_content;          // reused for every shape
    std::string m_record;
};

// A numeric field of 4 digits with its sign.
constexpr DbfField kStopFields[] = {{"AZIENDA", 'N', 5}, {"COD_FERM", 'C', 10}, {"DENOM", 'C', 40}};
constexpr DbfField kRouteFields[] = {
    {"AZIENDA", 'N', 5}, {"COD_PERC", 'C', 20}, {"DESCR", 'C', 120}};

std::string columnText(store::QueryCursor& rows, std::string_view column) {
    std::string text;
    rows.GetText(column, text); // trailing blanks removed
    return text;
}

// Ends a writer whose query ran: a failed query (shown by the query layer) leaves no files.
std::optional<long> finishAfter(const store::QueryCursor& rows, ShapefileWriter& shapes) {
    if (rows.failed()) {
        shapes.abandon();
        return std::nullopt;
    }
    return shapes.finish() ? std::optional<long>(shapes.count()) : std::nullopt;
}

} // namespace

std::optional<long> writeStopShapefile(store::DatabaseConnection& connection,
                                       const std::filesystem::path& folder,
                                       long company,
                                       workspace::Latin1Encoder* encoder) {
    workspace::Latin1Encoder ownEncoder;
    workspace::Latin1Encoder& latin1 = encoder != nullptr ? *encoder : ownEncoder;
    ShapefileWriter shapes(ShapeType::Point, kStopFields, connection.ui());
    if (!shapes.create(folder, "RT_NODI")) {
        return std::nullopt;
    }
    store::QueryCursor stops(connection);
    stops.SetSelect("fermata, denom, coord_x, coord_y");
    stops.SetFrom("fermate");
    stops.SetOrderBy("fermata");
    for (bool row = stops.Execute(); row; row = stops.MoveNext()) {
        const std::string attributes[] = {fmt::format("{}", company),
                                          latin1.encode(columnText(stops, "fermata")),
                                          latin1.encode(columnText(stops, "denom"))};
        network::Point at;
        stops.GetDouble(2, at.x);
        stops.GetDouble(3, at.y);
        shapes.addPoint(attributes, at);
    }
    return finishAfter(stops, shapes);
}

std::optional<long> writeRouteShapefile(store::DatabaseConnection& connection,
                                        const std::filesystem::path& folder,
                                        long company,
                                        workspace::Latin1Encoder* encoder) {
    workspace::Latin1Encoder ownEncoder;
    workspace::Latin1Encoder& latin1 = encoder != nullptr ? *encoder : ownEncoder;
    ShapefileWriter shapes(ShapeType::PolyLine, kRouteFields, connection.ui());
    if (!shapes.create(folder, "RT_ITIN")) {
        return std::nullopt;
    }
    store::QueryCursor routes(connection);
    routes.SetSelect("itiner.ID, itiner.codperc, itiner.denom, geoitin.punti, geoitin.coord,"
                     " geoitin.minx, geoitin.miny, geoitin.maxx, geoitin.maxy");
    routes.SetFrom("itiner, geoitin");
    routes.SetWhere("itiner.ID = geoitin.ID");
    routes.SetOrderBy("itiner.codperc");
    for (bool row = routes.Execute(); row; row = routes.MoveNext()) {
        std::int32_t id = 0;
        routes.GetLong(0, id);
        // A corrupt geometry is shown here (plain message box) and its route left out.
        const auto polyline =
            network::readGeometryColumns(routes, 3, network::RouteId{id}, connection.ui());
        if (!polyline) {
            continue;
        }
        const std::string attributes[] = {fmt::format("{}", company),
                                          latin1.encode(columnText(routes, "codperc")),
                                          latin1.encode(columnText(routes, "denom"))};
        shapes.addPolyline(attributes, polyline->vertices(), polyline->box());
    }
    return finishAfter(routes, shapes);
}

} // namespace tramela::comm
