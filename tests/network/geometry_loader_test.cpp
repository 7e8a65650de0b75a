#include "network/geometry_codec.h"
#include "network/geometry_loader.h"
#include "store/cartography.h"
#include "support/store_fixture.h"

#include <cmath>
#include <cstring>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <limits>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using test::StoreFixture;
using ui::Icon;

using Bytes = std::vector<unsigned char>;

TEST(GeometryCodec, VerticesAreLittleEndianDoublesSixteenBytesEach) {
    const std::vector<Point> vertices = {{1.0, -2.0}, {0.5, 1e6}};
    const Bytes coord = encodeCoord(vertices);
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, // 1.0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, // -2.0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F, // 0.5
        0x00, 0x00, 0x00, 0x00, 0x80, 0x84, 0x2E, 0x41, // 1e6
    };
    EXPECT_EQ(coord, expected);
    EXPECT_EQ(decodeCoord(2, coord), vertices);

    // Every bit survives the round trip, signs of zero and the extremes included.
    const std::vector<Point> awkward = {{0.1, -0.0},
                                        {std::numeric_limits<double>::max(), kNoPosition},
                                        {std::numeric_limits<double>::denorm_min(), -1e-300},
                                        {std::numeric_limits<double>::infinity(), 512345.678}};
    const auto decoded = decodeCoord(4, encodeCoord(awkward));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->size(), awkward.size());
    EXPECT_EQ(std::memcmp(decoded->data(), awkward.data(), sizeof(Point) * awkward.size()), 0);
}

TEST(GeometryCodec, OnlyExactlyPuntiTimesSixteenBytesDecode) {
    const Bytes threeVertices(48, 0);
    EXPECT_EQ(decodeCoord(3, threeVertices)->size(), 3u);
    EXPECT_EQ(decodeCoord(4, threeVertices), std::nullopt);
    EXPECT_EQ(decodeCoord(2, threeVertices), std::nullopt);
    EXPECT_EQ(decodeCoord(3, Bytes(47, 0)), std::nullopt);
    EXPECT_EQ(decodeCoord(-3, threeVertices), std::nullopt);
    EXPECT_EQ(decodeCoord(std::int64_t{1} << 60, threeVertices), std::nullopt);
    EXPECT_EQ(decodeCoord(0, {})->size(), 0u);
}

class GeometryLoader : public ::testing::Test {
protected:
    GeometryLoader()
        : db(store::cartographyTables()) {}

    // A geoitin row; the box is given, not derived, as a writer may store any box.
    void insert(std::int64_t id, std::int64_t punti, const Bytes& coord, const Box& box) {
        std::string hex;
        for (unsigned char byte : coord) {
            hex += fmt::format("{:02X}", byte);
        }
        db.sql(fmt::format("INSERT INTO geoitin (ID, punti, coord, minx, miny, maxx, maxy) "
                           "VALUES ({}, {}, X'{}', {}, {}, {}, {})",
                           id,
                           punti,
                           hex,
                           box.minX,
                           box.minY,
                           box.maxX,
                           box.maxY));
    }

    StoreFixture db;
};

TEST_F(GeometryLoader, OneRouteIsLoadedWithItsStoredBoxOrReportedMissingOrCorrupt) {
    const std::vector<Point> vertices = {{1000.5, 2000.25}, {1100, 2000.25}, {1100, 2300}};
    insert(7, 3, encodeCoord(vertices), Box{900, 1900, 1200, 2400});
    insert(8, 4, encodeCoord(vertices), Box{0, 0, 1, 1});
    insert(9, -1, {}, Box{0, 0, 0, 0});
    db.sql("INSERT INTO geoitin (ID, punti) VALUES (10, 0)");

    LoadedGeometry loaded = LoadRouteGeometry(db.connection(), RouteId{7});
    EXPECT_EQ(loaded.status, GeometryStatus::Sound);
    ASSERT_TRUE(loaded.polyline);
    EXPECT_EQ(
        std::vector<Point>(loaded.polyline->vertices().begin(), loaded.polyline->vertices().end()),
        vertices);
    EXPECT_EQ(loaded.polyline->box(), (Box{900, 1900, 1200, 2400}));
    EXPECT_EQ(loaded.polyline->Length(), 99.5 + 299.75);
    EXPECT_TRUE(db.ui().messages().empty());

    loaded = LoadRouteGeometry(db.connection(), RouteId{99});
    EXPECT_EQ(loaded.status, GeometryStatus::Missing);
    EXPECT_FALSE(loaded.polyline);
    EXPECT_TRUE(db.ui().messages().empty());

    // 48 bytes are not four vertices; a negative count holds nothing.
    for (const std::int32_t id : {8, 9}) {
        db.ui().clear();
        loaded = LoadRouteGeometry(db.connection(), RouteId{id});
        EXPECT_EQ(loaded.status, GeometryStatus::Corrupt);
        EXPECT_FALSE(loaded.polyline);
        ASSERT_EQ(db.ui().messages().size(), 1u);
        EXPECT_EQ(
            db.ui().messages()[0],
            (ui::ScriptedUi::ShownMessage{
                fmt::format("Itinerari: Entità Lineare corrotta {} !!!", id), Icon::None, ""}));
    }

    // No vertices and no BLOB agree: a sound geometry without vertices.
    db.ui().clear();
    loaded = LoadRouteGeometry(db.connection(), RouteId{10});
    EXPECT_EQ(loaded.status, GeometryStatus::Sound);
    ASSERT_TRUE(loaded.polyline);
    EXPECT_EQ(loaded.polyline->vertexCount(), 0);
    EXPECT_TRUE(db.ui().messages().empty());

    // A query that cannot run has been reported by the query layer.
    db.sql("DROP TABLE geoitin");
    db.ui().clear();
    EXPECT_EQ(LoadRouteGeometry(db.connection(), RouteId{7}).status, GeometryStatus::Failed);
    EXPECT_EQ(db.ui().messages().size(), 1u);
}

int countStatement(unsigned, void* context, void*, void*) {
    ++*static_cast<int*>(context);
    return 0;
}

TEST_F(GeometryLoader, AllRoutesComeInIdOrderFromOneQuery) {
    insert(30, 2, encodeCoord(std::vector<Point>{{0, 0}, {30, 40}}), Box{0, 0, 30, 40});
    insert(10, 1, encodeCoord(std::vector<Point>{{5, 5}}), Box{5, 5, 5, 5});
    insert(25, 3, Bytes(40, 0), Box{0, 0, 0, 0});
    insert(20, 2, encodeCoord(std::vector<Point>{{0, 0}, {0, 7}}), Box{0, 0, 0, 7});
    insert(5000000000, 1, encodeCoord(std::vector<Point>{{5, 5}}), Box{5, 5, 5, 5});

    int statements = 0;
    sqlite3_trace_v2(db.connection().handle(), SQLITE_TRACE_STMT, countStatement, &statements);
    RouteSet routes;
    std::vector<std::size_t> progress;
    EXPECT_TRUE(LoadAllGeometries(
        db.connection(), routes, [&](std::size_t rowsRead) { progress.push_back(rowsRead); }));
    sqlite3_trace_v2(db.connection().handle(), 0, nullptr, nullptr);
    EXPECT_EQ(statements, 1);

    std::vector<std::int32_t> ids;
    for (const RouteWithStops& route : routes) {
        ids.push_back(route.id.value);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{10, 20, 25, 30}));
    EXPECT_EQ(progress, (std::vector<std::size_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(db.ui().messageTexts(),
              (std::vector<std::string>{"Itinerari: Entità Lineare corrotta 25 !!!",
                                        "Itinerari: Entità Lineare corrotta 5000000000 !!!"}));

    // The corrupt route is there without geometry, so its stops know it has none.
    ASSERT_TRUE(routes.find(RouteId{25}));
    EXPECT_FALSE(routes.find(RouteId{25})->polyline);
    ASSERT_TRUE(routes.find(RouteId{30}));
    EXPECT_EQ(routes.find(RouteId{30})->polyline->Length(), 50.0);
    EXPECT_EQ(routes.find(RouteId{99}), nullptr);

    // Routes stay where they are as more are appended; a repeated id finds the first one.
    RouteWithStops* twenty = routes.find(RouteId{20});
    routes.appendStop(*twenty, StopOnRoute{1, StopId{400}, {0, 3}, kNoPosition, {}});
    for (int i = 0; i < 100; ++i) {
        routes.append(RouteId{20}, std::nullopt);
    }
    EXPECT_EQ(routes.find(RouteId{20}), twenty);
    ASSERT_EQ(twenty->stops.size(), 1u);
    EXPECT_EQ(twenty->stops.front().progressive, kNoPosition);
    EXPECT_TRUE(twenty->polyline);
    routes.clear();
    EXPECT_EQ(routes.find(RouteId{20}), nullptr);

    db.sql("DROP TABLE geoitin");
    EXPECT_FALSE(LoadAllGeometries(db.connection(), routes));
    EXPECT_TRUE(routes.empty());
}

} // namespace
} // namespace tramela::network
