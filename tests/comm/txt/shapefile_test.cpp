#include "comm/txt/shapefile.h"
#include "network/geometry_codec.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "support/file_size_limit.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/text_output.h"

#include <ctime>
#include <filesystem>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <memory>
#include <shapefil.h>
#include <string>

namespace tramela::comm {
namespace {

namespace fs = std::filesystem;

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

struct ShapeCloser {
    void operator()(SHPInfo* handle) const { SHPClose(handle); }

    void operator()(DBFInfo* handle) const { DBFClose(handle); }

    void operator()(SHPObject* object) const { SHPDestroyObject(object); }
};

// The shapefile as shapelib, the independent reader, reads it, as a GIS opens the files: the
// shape type and box of the file, the fields, then a line per shape with its type, the start of
// each part, its vertices, its attributes (in UTF-8) and its company read as a number.
std::string readWithShapelib(const fs::path& base) {
    const std::unique_ptr<SHPInfo, ShapeCloser> shp(SHPOpen(base.c_str(), "rb"));
    const std::unique_ptr<DBFInfo, ShapeCloser> dbf(DBFOpen(base.c_str(), "rb"));
    if (!shp || !dbf) {
        return "cannot open " + base.string();
    }
    int count = 0;
    int type = 0;
    double min[4] = {};
    double max[4] = {};
    SHPGetInfo(shp.get(), &count, &type, min, max);
    std::string text = fmt::format(
        "type {} box {} {} {} {} records {}\n", type, min[0], min[1], max[0], max[1], count);
    for (int f = 0; f < DBFGetFieldCount(dbf.get()); ++f) {
        char name[12] = {};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(dbf.get(), f, name, &width, &decimals);
        text += fmt::format(
            "field {} {} {}.{}\n", name, DBFGetNativeFieldType(dbf.get(), f), width, decimals);
    }
    for (int i = 0; i < std::max(count, DBFGetRecordCount(dbf.get())); ++i) {
        const std::unique_ptr<SHPObject, ShapeCloser> object(SHPReadObject(shp.get(), i));
        if (!object) {
            text += "no shape\n";
            continue;
        }
        text += fmt::format("{} parts", object->nSHPType);
        for (int p = 0; p < object->nParts; ++p) {
            text += fmt::format(" {}", object->panPartStart[p]);
        }
        for (int v = 0; v < object->nVertices; ++v) {
            text += fmt::format(" ({} {})", object->padfX[v], object->padfY[v]);
        }
        for (int f = 0; f < DBFGetFieldCount(dbf.get()); ++f) {
            text += " | " + workspace::latin1ToUtf8(DBFReadStringAttribute(dbf.get(), i, f));
        }
        text += fmt::format(" | company {}\n", DBFReadIntegerAttribute(dbf.get(), i, 0));
    }
    return text;
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

    std::optional<long> writeStops(workspace::Latin1Encoder* encoder = nullptr) {
        store::DatabaseConnection connection(ui, database());
        return writeStopShapefile(connection, dir.path(), 42, encoder);
    }

    std::optional<long> writeRoutes(workspace::Latin1Encoder* encoder = nullptr) {
        store::DatabaseConnection connection(ui, database());
        return writeRouteShapefile(connection, dir.path(), 42, encoder);
    }

    // The three files of `base` against the golden files golden/shapefile/<folder>/<base>.*, the
    // DBF's day of writing (bytes 1 to 3), which must be today's, as zeros.
    void expectFiles(std::string_view base, std::string_view folder) {
        for (const char* extension : {".SHP", ".SHX", ".DBF"}) {
            std::string bytes = test::readFile(dir / (std::string(base) + extension));
            if (extension == std::string_view(".DBF") && bytes.size() > 4) {
                const std::string day = bytes.substr(1, 3);
                EXPECT_TRUE(day == m_dayBefore || day == dbfDay());
                bytes.replace(1, 3, 3, '\0');
            }
            EXPECT_GOLDEN(bytes, fmt::format("shapefile/{}/{}{}", folder, base, extension));
        }
    }

    test::TempDir dir;
    ui::ScriptedUi ui;

private:
    fs::path m_database = dir / "rete.sqlite";
    std::string m_dayBefore = dbfDay();
};

// Stops by code, each a point record numbered from 1; the company code stands at the left of its
// numeric field; a name of ten characters takes ten bytes. Longer files of the same names are
// replaced, not overwritten in place.
TEST_F(Shapefile, ThreeStopsTakeExactlyTheFormatsBytesAndShapelibReadsThemBack) {
    test::runSql(database(), "DELETE FROM fermate WHERE ID IN (4, 5)");
    for (const char* name : {"RT_NODI.SHP", "RT_NODI.SHX", "RT_NODI.DBF"}) {
        test::writeFile(dir / name, std::string(1000, 'x'));
    }
    EXPECT_EQ(writeStops(), 3);
    EXPECT_TRUE(ui.messages().empty());
    expectFiles("RT_NODI", "stops");
    EXPECT_GOLDEN(readWithShapelib(dir / "RT_NODI"), "shapefile/stops/shapelib.txt");
}

// Route 4 claims four vertices but holds three: shown and left out. Route 3 has no geometry.
// Each route is one part holding every vertex.
TEST_F(Shapefile, RoutesWithSoundGeometryAreWrittenAndReadBack) {
    test::runSql(database(),
                 "INSERT INTO itiner VALUES (4, 'K1', 'Corrotto', 0, 0);"
                 "INSERT INTO geoitin VALUES (4, 4, " +
                     coordLiteral({{0, 0}, {1, 1}, {2, 2}}) + ", 0, 0, 2, 2);");
    EXPECT_EQ(writeRoutes(), 2);
    EXPECT_EQ(test::transcript(ui), "message None:\nItinerari: Entità Lineare corrotta 4 !!!\n");
    expectFiles("RT_ITIN", "routes");
    EXPECT_GOLDEN(readWithShapelib(dir / "RT_ITIN"), "shapefile/routes/shapelib.txt");
}

// Without records: minima at the largest double, maxima at the smallest positive normal one. A
// network west and south of the origin keeps its own maxima.
TEST_F(Shapefile, FileBoxIsTheTrueExtentOrTheEmptyMarks) {
    useEmptyDatabase();
    EXPECT_EQ(writeStops(), 0);
    EXPECT_EQ(writeRoutes(), 0);
    EXPECT_TRUE(ui.messages().empty());
    expectFiles("RT_NODI", "empty");
    expectFiles("RT_ITIN", "empty");
    std::string read = readWithShapelib(dir / "RT_NODI") + readWithShapelib(dir / "RT_ITIN");

    test::runSql(database(),
                 "INSERT INTO fermate VALUES (1, 'A', 'A', NULL, -900, -50, 0),"
                 " (2, 'B', 'B', NULL, -100, -400, 0);"
                 "INSERT INTO itiner VALUES (1, 'W', 'Ovest', 0, 0);"
                 "INSERT INTO geoitin VALUES (1, 2, " +
                     coordLiteral({{-900, -400}, {-100, -50}}) + ", -900, -400, -100, -50);");
    EXPECT_EQ(writeStops(), 2);
    EXPECT_EQ(writeRoutes(), 1);
    read += readWithShapelib(dir / "RT_NODI") + readWithShapelib(dir / "RT_ITIN");
    EXPECT_GOLDEN(read, "shapefile/boxes.txt");
}

// Texts are cut to their fields' widths in ISO-8859-1: "Łódź" becomes "Lodz" (one change
// counted), "È" one byte.
TEST_F(Shapefile, TextsAreLatin1AndNeverSpillIntoTheNextField) {
    test::runSql(database(),
                 "UPDATE fermate SET fermata = 'ABCDEFGHIJKL', denom = '" + std::string(45, 'N') +
                     "' WHERE ID = 4;"
                     "UPDATE fermate SET denom = 'Łódź' WHERE ID = 3;"
                     "UPDATE itiner SET denom = '" +
                     std::string(119, 'D') + "ÈX' WHERE ID = 1;");
    workspace::Latin1Encoder encoder;
    EXPECT_EQ(writeStops(&encoder), 5);
    EXPECT_EQ(writeRoutes(&encoder), 2);
    EXPECT_EQ(encoder.changed(), 1);
    EXPECT_EQ(test::readFile(dir / "RT_NODI.DBF").size(), 129u + 5 * 56 + 1);
    EXPECT_EQ(test::readFile(dir / "RT_ITIN.DBF").size(), 129u + 2 * 146 + 1);
    EXPECT_GOLDEN(readWithShapelib(dir / "RT_NODI") + readWithShapelib(dir / "RT_ITIN"),
                  "shapefile/texts.txt");
}

// A missing folder; a third file that cannot be created, which takes the two already made with
// it; a full disk, never reported as success; a query that fails, shown by the query layer. No
// shapefile claims to be complete.
TEST_F(Shapefile, FailuresAreShownAndLeaveNoHalfWrittenFiles) {
    {
        store::DatabaseConnection connection(ui, database());
        EXPECT_EQ(writeStopShapefile(connection, dir / "manca", 42), std::nullopt);
    }
    fs::create_directory(dir / "RT_ITIN.DBF");
    EXPECT_EQ(writeRoutes(), std::nullopt);
    EXPECT_FALSE(fs::exists(dir / "RT_ITIN.SHP"));
    EXPECT_FALSE(fs::exists(dir / "RT_ITIN.SHX"));
    {
        store::DatabaseConnection connection(ui, database());
        const test::FileSizeLimit full(150);
        EXPECT_EQ(writeStopShapefile(connection, dir.path(), 42), std::nullopt);
    }
    for (const char* name : {"RT_NODI.SHP", "RT_NODI.SHX", "RT_NODI.DBF"}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / name))) << name;
    }
    EXPECT_EQ(test::transcript(ui, dir.path()),
              "message Exclamation:\nImpossibile creare\n\n<dir>/manca/RT_NODI.SHP\n"
              "message Exclamation:\nImpossibile creare\n\n<dir>/RT_ITIN.DBF\n"
              "message Exclamation:\nErrore scrittura\n\n<dir>/RT_NODI.SHP\n");

    ui.clear();
    test::runSql(database(), "DROP TABLE fermate");
    EXPECT_EQ(writeStops(), std::nullopt);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Exclamation);
    EXPECT_FALSE(fs::exists(dir / "RT_NODI.SHP"));
}

} // namespace
} // namespace tramela::comm
