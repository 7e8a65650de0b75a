#include "network/route_editor.h"
#include "store/query_cursor.h"
#include "store/transaction.h"
#include "support/sample_workspace.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

using ui::Icon;

class RouteEditor : public test::SampleWorkspace {
protected:
    // The composition of a route as the editor loads it.
    std::vector<CompositionRow> load(int route) {
        std::vector<CompositionRow> loaded;
        store::QueryCursor query(connection());
        query.SetSelect("sub, fermata, condist, geodist, primaria, facolt");
        query.SetFrom("fermitin");
        query.SetWhere("ID = ?");
        query.SetOrderBy("sub");
        query.Bind(1, static_cast<std::int64_t>(route));
        for (bool row = query.Execute(); row; row = query.MoveNext()) {
            CompositionRow read;
            std::int16_t sub = 0;
            std::int16_t primaria = 0;
            std::int16_t facolt = 0;
            query.GetShort(0, sub);
            query.GetLong(1, read.stop.value);
            query.GetDouble(2, read.condist);
            query.GetDouble(3, read.geodist);
            query.GetShort(4, primaria);
            query.GetShort(5, facolt);
            read.sub = sub;
            read.primaria = primaria != 0;
            read.facolt = facolt != 0;
            loaded.push_back(read);
        }
        return loaded;
    }

    // sub:condist:geodist:primaria:facolt, then "*" when changed.
    static std::string shown(const std::vector<CompositionRow>& composition) {
        std::string text;
        for (const CompositionRow& row : composition) {
            text += std::to_string(row.sub) + ":" + std::to_string(static_cast<int>(row.condist)) +
                    ":" + std::to_string(static_cast<int>(row.geodist)) + ":" +
                    (row.primaria ? "P" : "-") + (row.facolt ? "F" : "-") +
                    (row.changed ? "*" : "") + " ";
        }
        return text;
    }

    std::string stored(int route) {
        return rows("SELECT sub, condist, geodist, primaria, facolt FROM fermitin WHERE ID = " +
                    std::to_string(route) + " ORDER BY sub");
    }
};

TEST_F(RouteEditor, CartographicRecomputeWritesTheRouteAndMarksItsRows) {
    open("UPDATE fermitin SET geodist = 7 WHERE ID = 1;");
    std::vector<CompositionRow> list = load(1);
    EXPECT_EQ(RecomputeCartographic(connection(), RouteId{1}, list), EditorResult::Done);
    EXPECT_EQ(shown(list), "1:0:0:P-* 2:500:500:-F* 3:1914:1914:P-* ");
    EXPECT_EQ(stored(1), "1|0.0|0.0|1|0\n2|500.0|500.0|0|1\n3|1914.21|1914.0|1|0\n");
    EXPECT_TRUE(ui.messages().empty());

    // Route 2 passes 52 m from its middle stop: both warnings, and the stop is written 0.
    list = load(2);
    EXPECT_EQ(RecomputeCartographic(connection(), RouteId{2}, list), EditorResult::Done);
    EXPECT_EQ(ui.messages(),
              (std::vector<ui::ScriptedUi::ShownMessage>{
                  {std::string(kStopsNotNearRoute), Icon::Stop, {}},
                  {std::string(kProgressivesNotComputable), Icon::Stop, {}}}));
    EXPECT_EQ(list[1].geodist, 0.0);
    EXPECT_EQ(stored(2), "1|0.0|0.0|1|0\n2|1414.21|0.0|0|0\n3|1914.21|1910.0|1|0\n");
}

TEST_F(RouteEditor, CartographicRecomputeWithoutGeometryChangesNothing) {
    // Route 3 has no geoitin row, route 1's row is corrupt, route 2's has no vertex.
    open("UPDATE geoitin SET punti = 4 WHERE ID = 1;"
         "UPDATE geoitin SET punti = 0, coord = x'' WHERE ID = 2;");
    for (int route : {3, 1, 2}) {
        ui.clear();
        const std::string before = stored(route);
        std::vector<CompositionRow> list = load(route);
        const std::string shownBefore = shown(list);
        EXPECT_EQ(RecomputeCartographic(connection(), RouteId{route}, list),
                  EditorResult::NoGeometry);
        EXPECT_EQ(stored(route), before);
        EXPECT_EQ(shown(list), shownBefore);
        ASSERT_EQ(ui.messages().size(), 1u);
        EXPECT_EQ(ui.messages()[0].text,
                  route == 1 ? "Itinerari: Entità Lineare corrotta 1 !!!"
                             : "Il percorso " + std::to_string(route) +
                                   " non ha una geometria associata: le progressive "
                                   "cartografiche non sono state ricalcolate");
    }
}

TEST_F(RouteEditor, ConventionalRecomputeSpreadsTheEditorsRowsOrChangesNothing) {
    // 12 m conventional for 10 cartographic: 5000 -> 6000; 7.5 m along becomes 9 m, whole.
    open("UPDATE itiner SET conlung = 12, geolung = 10 WHERE ID = 1;"
         "UPDATE itiner SET geolung = 0 WHERE ID = 2;");
    std::vector<CompositionRow> list = load(1);
    list[1].geodist = 5000;
    list[2].geodist = 7.5;
    EXPECT_EQ(RecomputeConventional(connection(), RouteId{1}, list), EditorResult::Done);
    EXPECT_EQ(shown(list), "1:0:0:P-* 2:6000:5000:-F* 3:9:7:P-* ");
    EXPECT_EQ(rows("SELECT condist FROM fermitin WHERE ID = 1 ORDER BY sub"), "0.0\n6000.0\n9.0\n");

    // No cartographic length: said, and nothing changes.
    const std::string before = stored(2);
    list = load(2);
    EXPECT_EQ(RecomputeConventional(connection(), RouteId{2}, list), EditorResult::Refused);
    EXPECT_EQ(stored(2), before);
    EXPECT_FALSE(list[1].changed);
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Exclamation);

    // A row the table no longer holds: the rows written before it are undone, in the window's
    // own transaction, which stays open.
    store::Transaction editing(connection());
    list = load(1);
    CompositionRow missing;
    missing.sub = 9;
    list.push_back(missing);
    list[1].geodist = 10;
    EXPECT_EQ(RecomputeConventional(connection(), RouteId{1}, list), EditorResult::Refused);
    EXPECT_EQ(ui.lastMessage()->text,
              "La fermata 9 del percorso 1 non risulta registrata: le progressive non sono "
              "state variate");
    EXPECT_EQ(rows("SELECT condist FROM fermitin WHERE ID = 1 ORDER BY sub"), "0.0\n6000.0\n9.0\n");
    EXPECT_EQ(connection().transactionDepth(), 1);
}

TEST_F(RouteEditor, PrimaryAndOptionalTogglesNeverLeaveBothSet) {
    open();
    std::vector<CompositionRow> list = load(1);
    CompositionRow& optional = list[1]; // facolt 1, primaria 0
    const auto flags = [&] {
        return rows("SELECT primaria, facolt FROM fermitin WHERE ID = 1 AND sub = 2");
    };
    EXPECT_EQ(TogglePrimary(connection(), RouteId{1}, optional), EditorResult::Done);
    EXPECT_EQ(flags(), "1|0\n");
    EXPECT_TRUE(optional.primaria && !optional.facolt && optional.changed);
    EXPECT_EQ(ToggleOptional(connection(), RouteId{1}, optional), EditorResult::Done);
    EXPECT_EQ(flags(), "0|1\n");
    EXPECT_EQ(ToggleOptional(connection(), RouteId{1}, optional), EditorResult::Done);
    EXPECT_EQ(flags(), "0|0\n");
    EXPECT_EQ(TogglePrimary(connection(), RouteId{1}, optional), EditorResult::Done);
    EXPECT_EQ(TogglePrimary(connection(), RouteId{1}, optional), EditorResult::Done);
    EXPECT_EQ(flags(), "0|0\n");
    EXPECT_FALSE(optional.primaria || optional.facolt);
    // The other rows are not touched.
    EXPECT_FALSE(list[0].changed || list[2].changed);
}

} // namespace
} // namespace tramela::network
