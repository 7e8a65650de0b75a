#include "comm/text_output.h"
#include "comm/txt/shapefile.h"
#include "network/geometry_codec.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <bit>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <shapefil.h>
#include <string>
#include <vector>

namespace tramela::comm {
namespace {

namespace fs = std::filesystem;
using ui::Icon;

// Numbers read from file bytes, in the byte order the format fixes.
std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + k));
    }
    return value;
}

std::uint64_t littleEndian(const std::string& bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t k = width; k-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + k));
    }
    return value;
}

// `count` little-endian doubles from `at` on.
std::vector<double> doubles(const std::string& bytes, std::size_t at, std::size_t count) {
    std::vector<double> values;
    for (std::size_t k = 0; k < count; ++k) {
        values.push_back(std::bit_cast<double>(littleEndian(bytes, at + 8 * k, 8)));
    }
    return values;
}

std::string left(std::string_view text, std::size_t width) {
    std::string field(text);
    field.resize(width, ' ');
    return field;
}

// A dBASE III field descriptor: name padded with zeros to 11 bytes, type, 4 zeros, width, no
// decimals, 14 zeros.
std::string descriptor(std::string_view name, char type, int width) {
    std::string bytes(32, '\0');
    bytes.replace(0, name.size(), name);
    bytes[11] = type;
    bytes[16] = static_cast<char>(width);
    return bytes;
}

// The day as the DBF header carries it: year - 1900, month, day.
std::string dbfDay() {
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    return {static_cast<char>(today.tm_year),
            static_cast<char>(today.tm_mon + 1),
            static_cast<char>(today.tm_mday)};
}

// A geoitin.coord value for SQL: x'...'.
std::string coordLiteral(const std::vector<network::Point>& vertices) {
    std::string hex = "x'";
    for (const unsigned char byte : network::encodeCoord(vertices)) {
        hex += "0123456789ABCDEF"[byte >> 4];
        hex += "0123456789ABCDEF"[byte & 0x0F];
    }
    return hex + "'";
}

// The independent reader: shapelib, as a GIS opens the files.
struct ShapeCloser {
    void operator()(SHPInfo* handle) const { SHPClose(handle); }

    void operator()(DBFInfo* handle) const { DBFClose(handle); }

    void operator()(SHPObject* object) const { SHPDestroyObject(object); }
};

using ShapeHandle = std::unique_ptr<SHPInfo, ShapeCloser>;
using TableHandle = std::unique_ptr<DBFInfo, ShapeCloser>;
using ShapeObject = std::unique_ptr<SHPObject, ShapeCloser>;

struct ReadShape {
    int type = -1;
    std::vector<network::Point> vertices;
    std::vector<int> partStarts;
    std::vector<std::string> attributes; // as shapelib gives them, ISO-8859-1
    int company = 0;
};

struct ReadShapefile {
    int shapeType = -1;
    double minBound[4] = {};
    double maxBound[4] = {};
    std::vector<std::string> fieldDescriptions; // "NAME C 10.0"
    std::vector<ReadShape> shapes;
};

ReadShapefile readWithShapelib(const fs::path& base) {
    ReadShapefile file;
    ShapeHandle shp(SHPOpen(base.c_str(), "rb"));
    TableHandle dbf(DBFOpen(base.c_str(), "rb"));
    EXPECT_TRUE(shp && dbf) << base;
    if (!shp || !dbf) {
        return file;
    }
    int count = 0;
    SHPGetInfo(shp.get(), &count, &file.shapeType, file.minBound, file.maxBound);
    EXPECT_EQ(DBFGetRecordCount(dbf.get()), count);
    for (int f = 0; f < DBFGetFieldCount(dbf.get()); ++f) {
        char name[12] = {};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(dbf.get(), f, name, &width, &decimals);
        file.fieldDescriptions.push_back(std::string(name) + " " +
                                         DBFGetNativeFieldType(dbf.get(), f) + " " +
                                         std::to_string(width) + "." + std::to_string(decimals));
    }
    for (int i = 0; i < count; ++i) {
        ReadShape shape;
        ShapeObject object(SHPReadObject(shp.get(), i));
        EXPECT_TRUE(object) << "shape " << i;
        if (object) {
            shape.type = object->nSHPType;
            for (int v = 0; v < object->nVertices; ++v) {
                shape.vertices.push_back({object->padfX[v], object->padfY[v]});
            }
            shape.partStarts.assign(object->panPartStart, object->panPartStart + object->nParts);
        }
        for (int f = 0; f < DBFGetFieldCount(dbf.get()); ++f) {
            shape.attributes.emplace_back(DBFReadStringAttribute(dbf.get(), i, f));
        }
        shape.company = DBFReadIntegerAttribute(dbf.get(), i, 0);
        file.shapes.push_back(std::move(shape));
    }
    return file;
}

class Shapefile : public ::testing::Test {
protected:
    Shapefile() { test::createSampleNetwork(m_database); }

    const fs::path& database() const { return m_database; }

    // Leaves the sample network for an empty one: the cartography tables without rows.
    void useEmptyDatabase() {
        m_database = dir / "vuoto.sqlite";
        ui::ScriptedUi quiet;
        ASSERT_TRUE(store::createCartographyDatabase(quiet, m_database));
    }

    std::string bytes(std::string_view name) const { return test::readFile(dir / name); }

    std::optional<long> writeStops(long company = 42) {
        store::DatabaseConnection connection(ui, database());
        return writeStopShapefile(connection, dir.path(), company);
    }

    std::optional<long> writeRoutes(long company = 42) {
        store::DatabaseConnection connection(ui, database());
        return writeRouteShapefile(connection, dir.path(), company);
    }

    test::TempDir dir;
    ui::ScriptedUi ui;

private:
    fs::path m_database = dir / "rete.sqlite";
};

TEST_F(Shapefile, ThreeStopsTakeExactlyTheFormatsBytesAndShapelibReadsThemBack) {
    test::runSql(database(), "DELETE FROM fermate WHERE ID IN (4, 5)");
    // Longer files of the same names are replaced, not overwritten in place.
    for (const char* name : {"RT_NODI.SHP", "RT_NODI.SHX", "RT_NODI.DBF"}) {
        test::writeFile(dir / name, std::string(1000, 'x'));
    }
    const std::string dayBefore = dbfDay();
    EXPECT_EQ(writeStops(), 3);
    const std::string dayAfter = dbfDay();
    EXPECT_TRUE(ui.messages().empty());

    const std::string shp = bytes("RT_NODI.SHP");
    const std::string shx = bytes("RT_NODI.SHX");
    const std::string dbf = bytes("RT_NODI.DBF");
    ASSERT_EQ(shp.size(), 184u);
    ASSERT_EQ(shx.size(), 124u);
    ASSERT_EQ(dbf.size(), 298u);

    for (const auto& [file, words] : {std::pair{&shp, 92u}, std::pair{&shx, 62u}}) {
        EXPECT_EQ(file->substr(0, 24), std::string("\x00\x00\x27\x0A", 4) + std::string(20, '\0'));
        EXPECT_EQ(bigEndian32(*file, 24), words);
        EXPECT_EQ(file->substr(28, 8), std::string("\xE8\x03\x00\x00\x01\x00\x00\x00", 8));
        EXPECT_EQ(doubles(*file, 36, 4), (std::vector<double>{1000, 2000, 2300, 3400}));
        EXPECT_EQ(file->substr(68, 32), std::string(32, '\0'));
    }
    // Stops by code: BOR01, VAL01, VAL02; each record 8 + 20 bytes, numbered from 1.
    const std::vector<std::vector<double>> points = {{2300, 3400}, {1000, 2000}, {1300, 2400}};
    for (std::uint32_t i = 0; i < 3; ++i) {
        const std::size_t at = 100 + 28 * i;
        EXPECT_EQ(bigEndian32(shp, at), i + 1);
        EXPECT_EQ(bigEndian32(shp, at + 4), 10u);
        EXPECT_EQ(littleEndian(shp, at + 8, 4), 1u);
        EXPECT_EQ(doubles(shp, at + 12, 2), points[i]);
        EXPECT_EQ(bigEndian32(shx, 100 + 8 * i), 50 + 14 * i);
        EXPECT_EQ(bigEndian32(shx, 104 + 8 * i), 10u);
    }

    const std::string header = std::string("\x03", 1) + dayBefore;
    EXPECT_TRUE(dbf.substr(0, 4) == header || dbf.substr(0, 4) == "\x03" + dayAfter);
    EXPECT_EQ(dbf.substr(4),
              std::string("\x03\x00\x00\x00\x81\x00\x38\x00", 8) + std::string(20, '\0') +
                  descriptor("AZIENDA", 'N', 5) + descriptor("COD_FERM", 'C', 10) +
                  descriptor("DENOM", 'C', 40) + "\x0D" +
                  // The company code stands at the left of its numeric field; a name of ten
                  // characters takes ten bytes.
                  " 42   BOR01     " + left("Borgo Alto Chiesa", 40) + " 42   VAL01     " +
                  left("Stazione Centrale", 40) + " 42   VAL02     " + left("Universit\xE0", 40) +
                  "\x1A");

    const ReadShapefile file = readWithShapelib(dir / "RT_NODI");
    EXPECT_EQ(file.shapeType, SHPT_POINT);
    EXPECT_EQ(std::vector<double>(file.minBound, file.minBound + 2),
              (std::vector<double>{1000, 2000}));
    EXPECT_EQ(std::vector<double>(file.maxBound, file.maxBound + 2),
              (std::vector<double>{2300, 3400}));
    EXPECT_EQ(file.fieldDescriptions,
              (std::vector<std::string>{"AZIENDA N 5.0", "COD_FERM C 10.0", "DENOM C 40.0"}));
    ASSERT_EQ(file.shapes.size(), 3u);
    const std::vector<std::string> names = {"Borgo Alto Chiesa", "Stazione Centrale", "Università"};
    for (std::size_t i = 0; i < 3; ++i) {
        const ReadShape& shape = file.shapes[i];
        EXPECT_EQ(shape.type, SHPT_POINT);
        EXPECT_EQ(shape.company, 42);
        EXPECT_EQ(shape.vertices, (std::vector<network::Point>{{points[i][0], points[i][1]}}));
        EXPECT_EQ(shape.attributes[1], i == 0 ? "BOR01" : i == 1 ? "VAL01" : "VAL02");
        EXPECT_EQ(latin1ToUtf8(shape.attributes[2]), names[i]);
    }
}

TEST_F(Shapefile, RoutesWithSoundGeometryAreWrittenAndReadBack) {
    // Route 4 claims four vertices but holds three: shown and left out. Route 3 has no geometry.
    test::runSql(database(),
                 "INSERT INTO itiner VALUES (4, 'K1', 'Corrotto', 0, 0);"
                 "INSERT INTO geoitin VALUES (4, 4, " +
                     coordLiteral({{0, 0}, {1, 1}, {2, 2}}) + ", 0, 0, 2, 2);");
    EXPECT_EQ(writeRoutes(), 2);
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {"Itinerari: Entità Lineare corrotta 4 !!!", Icon::None, ""}}));

    // L1A (3 vertices: 8 + 96 bytes), then L1R (2 vertices: 8 + 80 = 88 bytes).
    const std::string shp = bytes("RT_ITIN.SHP");
    const std::string shx = bytes("RT_ITIN.SHX");
    ASSERT_EQ(shp.size(), 100u + 104 + 88);
    ASSERT_EQ(shx.size(), 116u);
    EXPECT_EQ(bytes("RT_ITIN.DBF").size(), 129u + 2 * 146 + 1);
    EXPECT_EQ(bigEndian32(shp, 24), 146u);
    EXPECT_EQ(bigEndian32(shx, 24), 58u);
    EXPECT_EQ(littleEndian(shp, 32, 4), 3u);
    const std::size_t second = 100 + 104;
    EXPECT_EQ(bigEndian32(shp, second), 2u);
    EXPECT_EQ(bigEndian32(shp, second + 4), 40u);
    EXPECT_EQ(shp.substr(second + 8, 4), std::string("\x03\x00\x00\x00", 4));
    EXPECT_EQ(doubles(shp, second + 12, 4), (std::vector<double>{1000, 2000, 2300, 3400}));
    EXPECT_EQ(shp.substr(second + 44, 12),
              std::string("\x01\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00", 12));
    EXPECT_EQ(doubles(shp, second + 56, 4), (std::vector<double>{2300, 3400, 1000, 2000}));
    EXPECT_EQ(bigEndian32(shx, 100), 50u);
    EXPECT_EQ(bigEndian32(shx, 104), 48u);
    EXPECT_EQ(bigEndian32(shx, 108), 102u);
    EXPECT_EQ(bigEndian32(shx, 112), 40u);

    const ReadShapefile file = readWithShapelib(dir / "RT_ITIN");
    EXPECT_EQ(file.shapeType, SHPT_ARC);
    EXPECT_EQ(file.fieldDescriptions,
              (std::vector<std::string>{"AZIENDA N 5.0", "COD_PERC C 20.0", "DESCR C 120.0"}));
    ASSERT_EQ(file.shapes.size(), 2u);
    EXPECT_EQ(file.shapes[0].attributes,
              (std::vector<std::string>{"42", "L1A", "Stazione Centrale - Borgo Alto Chiesa"}));
    EXPECT_EQ(file.shapes[0].vertices,
              (std::vector<network::Point>{{1000, 2000}, {1300, 2400}, {2300, 3400}}));
    EXPECT_EQ(file.shapes[1].attributes,
              (std::vector<std::string>{"42", "L1R", "Borgo Alto Chiesa - Stazione Centrale"}));
    EXPECT_EQ(file.shapes[1].vertices, (std::vector<network::Point>{{2300, 3400}, {1000, 2000}}));
    for (const ReadShape& shape : file.shapes) {
        EXPECT_EQ(shape.type, SHPT_ARC);
        EXPECT_EQ(shape.partStarts, std::vector<int>{0});
        EXPECT_EQ(shape.company, 42);
    }
}

TEST_F(Shapefile, FileBoxIsTheTrueExtentOrTheEmptyMarks) {
    // Without records: minima at the largest double, maxima at the smallest positive normal one.
    useEmptyDatabase();
    EXPECT_EQ(writeStops(), 0);
    EXPECT_EQ(writeRoutes(), 0);
    EXPECT_TRUE(ui.messages().empty());
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kMin = std::numeric_limits<double>::min();
    for (const char* base : {"RT_NODI", "RT_ITIN"}) {
        const std::string shp = bytes(std::string(base) + ".SHP");
        ASSERT_EQ(shp.size(), 100u);
        EXPECT_EQ(bytes(std::string(base) + ".SHX"), shp);
        EXPECT_EQ(bigEndian32(shp, 24), 50u);
        EXPECT_EQ(doubles(shp, 36, 4), (std::vector<double>{kMax, kMax, kMin, kMin}));
        const std::string dbf = bytes(std::string(base) + ".DBF");
        ASSERT_EQ(dbf.size(), 130u);
        EXPECT_EQ(littleEndian(dbf, 4, 4), 0u);
        EXPECT_EQ(dbf.substr(128), "\x0D\x1A");
        EXPECT_TRUE(readWithShapelib(dir / base).shapes.empty());
    }

    // A network west and south of the origin keeps its own maxima.
    test::runSql(database(),
                 "INSERT INTO fermate VALUES (1, 'A', 'A', NULL, -900, -50, 0),"
                 " (2, 'B', 'B', NULL, -100, -400, 0);"
                 "INSERT INTO itiner VALUES (1, 'W', 'Ovest', 0, 0);"
                 "INSERT INTO geoitin VALUES (1, 2, " +
                     coordLiteral({{-900, -400}, {-100, -50}}) + ", -900, -400, -100, -50);");
    EXPECT_EQ(writeStops(), 2);
    EXPECT_EQ(writeRoutes(), 1);
    for (const char* base : {"RT_NODI", "RT_ITIN"}) {
        const ReadShapefile file = readWithShapelib(dir / base);
        EXPECT_EQ(std::vector<double>(file.minBound, file.minBound + 2),
                  (std::vector<double>{-900, -400}))
            << base;
        EXPECT_EQ(std::vector<double>(file.maxBound, file.maxBound + 2),
                  (std::vector<double>{-100, -50}))
            << base;
    }
}

TEST_F(Shapefile, TextsAreLatin1AndNeverSpillIntoTheNextField) {
    const std::string longName(45, 'N');
    const std::string longDescription = std::string(119, 'D') + "ÈX";
    test::runSql(database(),
                 "UPDATE fermate SET fermata = 'ABCDEFGHIJKL', denom = '" + longName +
                     "' WHERE ID = 4;"
                     "UPDATE fermate SET denom = 'Łódź' WHERE ID = 3;"
                     "UPDATE itiner SET denom = '" +
                     longDescription + "' WHERE ID = 1;");
    Latin1Encoder encoder;
    {
        store::DatabaseConnection connection(ui, database());
        EXPECT_EQ(writeStopShapefile(connection, dir.path(), 42, &encoder), 5);
        EXPECT_EQ(writeRouteShapefile(connection, dir.path(), 42, &encoder), 2);
    }
    EXPECT_EQ(encoder.changed(), 1); // "Łódź" became "Lodz"
    EXPECT_EQ(bytes("RT_NODI.DBF").size(), 129u + 5 * 56 + 1);
    EXPECT_EQ(bytes("RT_ITIN.DBF").size(), 129u + 2 * 146 + 1);

    const ReadShapefile stops = readWithShapelib(dir / "RT_NODI");
    ASSERT_EQ(stops.shapes.size(), 5u);
    EXPECT_EQ(stops.shapes[0].attributes,
              (std::vector<std::string>{"42", "ABCDEFGHIJ", std::string(40, 'N')}));
    EXPECT_EQ(stops.shapes[1].attributes[1], "BOR01");
    EXPECT_EQ(latin1ToUtf8(stops.shapes[1].attributes[2]), "Lódz");
    const ReadShapefile routes = readWithShapelib(dir / "RT_ITIN");
    ASSERT_EQ(routes.shapes.size(), 2u);
    EXPECT_EQ(routes.shapes[0].attributes[2], std::string(119, 'D') + "\xC8");
    EXPECT_EQ(routes.shapes[1].attributes[1], "L1R");
}

TEST_F(Shapefile, FailuresAreShownAndLeaveNoHalfWrittenFiles) {
    // A folder that does not exist.
    {
        store::DatabaseConnection connection(ui, database());
        EXPECT_EQ(writeStopShapefile(connection, dir / "manca", 42), std::nullopt);
    }
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {"Impossibile creare\n\n" + (dir / "manca" / "RT_NODI.SHP").string(),
                   Icon::Exclamation,
                   ""}}));

    // The third file cannot be created: the two already made are removed.
    ui.clear();
    fs::create_directory(dir / "RT_ITIN.DBF");
    EXPECT_EQ(writeRoutes(), std::nullopt);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossibile creare\n\n" + (dir / "RT_ITIN.DBF").string()});
    EXPECT_FALSE(fs::exists(dir / "RT_ITIN.SHP"));
    EXPECT_FALSE(fs::exists(dir / "RT_ITIN.SHX"));

    // A full disk is not reported as success.
    ui.clear();
    fs::create_symlink("/dev/full", dir / "RT_NODI.SHX");
    EXPECT_EQ(writeStops(), std::nullopt);
    EXPECT_EQ(
        ui.messages(),
        (std::vector<ui::ScriptedUi::ShownMessage>{
            {"Errore scrittura\n\n" + (dir / "RT_NODI.SHX").string(), Icon::Exclamation, ""}}));
    for (const char* name : {"RT_NODI.SHP", "RT_NODI.SHX", "RT_NODI.DBF"}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / name))) << name;
    }

    // A query that fails is shown by the query layer; no shapefile claims to be complete.
    ui.clear();
    test::runSql(database(), "DROP TABLE fermate");
    EXPECT_EQ(writeStops(), std::nullopt);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Exclamation);
    EXPECT_FALSE(fs::exists(dir / "RT_NODI.SHP"));
}

} // namespace
} // namespace tramela::comm
