#include "comm/gtfs/gtfs_import.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <cmath>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>

namespace tramela::comm::gtfs {
namespace {

using test::TempDir;
using ui::Icon;

const std::filesystem::path kSampleFeed =
    std::filesystem::path(TRAMELA_SHARED_DATA) / "sample-gtfs-feed";

// A database with the cartography tables and the system's tables, open in a main window.
class GtfsImportTest : public ::testing::Test {
protected:
    GtfsImportTest() {
        const auto path = dir / "rete.sqlite";
        {
            ui::ScriptedUi quiet;
            EXPECT_TRUE(store::createCartographyDatabase(quiet, path));
            store::DatabaseConnection connection(quiet, path);
            EXPECT_TRUE(store::RefreshDescriptors(connection));
        }
        test::writeFile(dir / "settings.toml", "[tramela]\n");
        window.Startup(path);
        ui.clear();
    }

    bool import(ImportOptions options) {
        ui.clear();
        return ImportGtfs(window, options);
    }

    // The first column of the first row of a query, as text ("" for null).
    std::string scalar(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(
            sqlite3_prepare_v2(window.connection()->handle(), sql.c_str(), -1, &stmt, nullptr),
            SQLITE_OK)
            << sql;
        std::string text;
        if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
            text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
        sqlite3_finalize(stmt);
        return text;
    }

    long count(const std::string& table) {
        return std::stol(scalar("SELECT COUNT(*) FROM " + table));
    }

    std::string lastText() { return ui.lastMessage() ? ui.lastMessage()->text : std::string(); }

    TempDir dir;
    ui::ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    workspace::Workspace window{ui, settings};
};

TEST_F(GtfsImportTest, ImportsTheSampleFeedIntoEveryTable) {
    ASSERT_TRUE(import({.feed = kSampleFeed}));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, Icon::Information);
    EXPECT_EQ(ui.progressValues().back(), -1);
    const std::string text = lastText();
    // Five served stops (two stations among them), seven distinct (shape, stops) routes, ten
    // trips of which two run at frequencies (12 and 6 departures): 26 trips.
    const std::pair<const char*, long> expected[] = {
        {"comuni", 1},
        {"local", 1},
        {"fermate", 5},
        {"itiner", 7},
        {"geoitin", 7},
        {"fermitin", 21},
        {"cadenz", 5},
        {"tesstd", 10},
        {"detstd", 29},
        {"master", 1},
        {"corse", 26},
        {"period", 26},
        {"extcod", 26},
    };
    for (const auto& [table, rows] : expected) {
        EXPECT_EQ(count(table), rows) << table;
        EXPECT_NE(text.find(fmt::format("Registrate {} righe in {}\n", rows, table)),
                  std::string::npos)
            << table;
    }
    EXPECT_EQ(count("calend"), std::stol(scalar("SELECT COUNT(*) FROM calend")));

    // Every adaptation is told.
    for (const char* line : {"    \"🛫\" -> \"airport\"\n",
                             "- percorsi senza forma (shape): geometria a segmenti retti tra le "
                             "fermate: 5\n",
                             "    \"on-working-days\" -> \"on-worki~1\"\n",
                             "    during-dst -> during-d+1\n",
                             "- orari con secondi, arrotondati al minuto inferiore: 1\n",
                             "\"train station at the Internationl Airport (ABC)\" -> \"train "
                             "station at the Internationl Airpor\""}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    // The header takes the feed's span.
    EXPECT_EQ(scalar("SELECT datini || ' ' || datfin FROM master"), "2019-03-01 2019-08-20");
    EXPECT_EQ(scalar("SELECT ubicaz FROM fermate WHERE fermata = 'airport-1'"), "Platform 1");
    EXPECT_EQ(scalar("SELECT denom FROM cadenz WHERE codice = 'on-worki~1'"),
              "on-working-days: Lun Mar Mer Gio Ven Sab");
    // The 1st of May is a holiday: its annotation says so.
    EXPECT_EQ(scalar("SELECT giorno || note FROM calend WHERE caden = 'all-day' AND "
                     "data = '2019-05-01'"),
              "");
    EXPECT_EQ(scalar("SELECT giorno || note FROM calend WHERE caden = 'all-day' AND "
                     "data = '2019-06-02'"),
              "72 Giugno");
}

TEST_F(GtfsImportTest, TripsShareStandardTripsAndLateTripsGetAShiftedCadence) {
    ASSERT_TRUE(import({.feed = kSampleFeed, .authority = 3, .lot = 2, .company = 5}));
    // The twelve departures of a frequency share one standard trip; the weekend trip of the same
    // route, two minutes slower to the lake, has its own.
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT standard) || '/' || COUNT(*) FROM corse WHERE "
                     "codcorsa LIKE 'b-downtown-on-wor%'"),
              "1/12");
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT standard) FROM corse WHERE codcorsa LIKE "
                     "'b-downtown%'"),
              "2");
    EXPECT_EQ(scalar("SELECT group_concat(parte, ',') FROM (SELECT parte FROM corse WHERE "
                     "codcorsa LIKE 'b-downtown-on-wor%' ORDER BY parte LIMIT 3)"),
              "800,805,810");
    EXPECT_EQ(scalar("SELECT group_concat(arriva || '-' || parte || '-' || nonferma, ' ') FROM "
                     "detstd WHERE id = (SELECT standard FROM corse WHERE codcorsa = "
                     "'b-outbound-on-week~1')"),
              "0-0-0 8-10-0 16-16-0");
    // The trip leaving 25:58 on Saturday 30/03 runs at 01:58 on Sunday 31/03.
    EXPECT_EQ(scalar("SELECT parte || ' ' || tempo || ' ' || caden || ' ' || inizio || ' ' || "
                     "fine FROM corse JOIN period USING (id) WHERE codcorsa = 'during-dst-1'"),
              "158 5 during-d+1 2019-03-31 2019-03-31");
    EXPECT_EQ(scalar("SELECT giorno || note FROM calend WHERE caden = 'during-d+1'"), "7 ");
    EXPECT_EQ(scalar("SELECT group_concat(DISTINCT verso || mezzo || ente) FROM corse WHERE "
                     "codlinea = 'Babbage'"),
              "AW3,RW3");
    EXPECT_EQ(scalar("SELECT group_concat(DISTINCT lotto || aziges || azisub) FROM extcod"), "255");
    EXPECT_EQ(scalar("SELECT azienda FROM master"), "5");
}

// Great-circle distance on the mean sphere, metres.
double haversine(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kRadius = 6371008.8;
    const auto rad = [](double deg) { return deg * M_PI / 180.0; };
    const double h =
        std::pow(std::sin(rad(lat2 - lat1) / 2), 2) +
        std::cos(rad(lat1)) * std::cos(rad(lat2)) * std::pow(std::sin(rad(lon2 - lon1) / 2), 2);
    return 2 * kRadius * std::asin(std::sqrt(h));
}

TEST_F(GtfsImportTest, DistancesAreMetresOfTheProjection) {
    ASSERT_TRUE(import({.feed = kSampleFeed}));
    // Babbage has no shape: airport (52.365, 13.511) -> lake (52, 13) -> center (52.5, 13.5) in
    // straight segments. UTM 33 N distorts by less than 0.05 % there; the sphere by < 0.5 %.
    const double first = haversine(52.365, 13.511, 52, 13);
    const double second = haversine(52, 13, 52.5, 13.5);
    const std::string route = "(SELECT ID FROM itiner WHERE codperc = 'Babbage-A1')";
    const double length = std::stod(scalar("SELECT geolung FROM itiner WHERE ID = " + route));
    EXPECT_NEAR(length, first + second, (first + second) * 0.005);
    EXPECT_EQ(scalar("SELECT conlung = geolung FROM itiner WHERE ID = " + route), "1");
    const double lake =
        std::stod(scalar("SELECT geodist FROM fermitin WHERE sub = 2 AND ID = " + route));
    EXPECT_NEAR(lake, first, first * 0.005);
    EXPECT_EQ(
        scalar("SELECT group_concat(primaria || facolt, ' ') FROM fermitin WHERE ID = " + route),
        "10 00 10");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM fermitin WHERE condist <> geodist"), "0");
    // The routes with a shape are as long as their shape and end their last stop at its end.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM geoitin JOIN itiner USING (ID) WHERE punti < 500"), "5");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM corse JOIN itiner ON itiner.ID = corse.id_perc WHERE "
                     "corse.lung <> itiner.geolung"),
              "0");
    // The projected coordinates are UTM 33 N metres.
    EXPECT_NEAR(
        std::stod(scalar("SELECT coord_y FROM fermate WHERE fermata = 'center'")), 5818000, 5000);
    EXPECT_TRUE(import({.feed = kSampleFeed, .epsg = 4326}) == false);
}

// A feed small enough to break on purpose, one file at a time.
std::map<std::string, std::string> smallFeed() {
    return {
        {"agency.txt",
         "agency_id,agency_name,agency_url,agency_timezone\nA,Trasporti Valmora,x,y\n"},
        {"stops.txt",
         "\xEF\xBB\xBFstop_id,stop_name,stop_lat,stop_lon\r\n"
         "s1,\"Piazza, Duomo\",45.0,9.0\r\ns2,Stazione,45.01,9.01\r\n"},
        {"routes.txt", "route_id,route_short_name,route_type\nR1,1,3\n"},
        {"trips.txt", "route_id,service_id,trip_id\nR1,FER,T1\n"},
        {"stop_times.txt",
         "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
         "T1,07:00:00,07:00:00,s1,1\nT1,07:10:00,07:10:00,s2,2\n"},
        {"calendar.txt",
         "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
         "FER,1,1,1,1,1,0,0,20240101,20240131\n"},
    };
}

void writeFeed(const std::filesystem::path& folder,
               const std::map<std::string, std::string>& files) {
    std::filesystem::create_directories(folder);
    for (const auto& [name, text] : files) {
        test::writeFile(folder / name, text);
    }
}

TEST_F(GtfsImportTest, BrokenFeedsAreRefusedNamingFileAndLineAndWriteNothing) {
    test::writeFile(dir / "feed.zip", "questo non è uno zip");
    EXPECT_FALSE(import({.feed = dir / "feed.zip"}));
    EXPECT_NE(lastText().find("il file non è un archivio zip leggibile"), std::string::npos)
        << lastText();
    {
        writeFeed(dir / "buono", smallFeed());
        ASSERT_TRUE(import({.feed = dir / "buono"}));
        EXPECT_EQ(scalar("SELECT denom FROM fermate WHERE ID = 1"), "Piazza, Duomo");
    }

    struct Case {
        std::string file;
        std::string text; // empty: the file is missing
        std::string message;
    };

    const Case cases[] = {
        {"stop_times.txt", "", "file stop_times.txt: manca il file obbligatorio del feed"},
        {"trips.txt",
         "route_id,trip_id\nR1,T1\n",
         "file trips.txt, riga 1: manca la colonna obbligatoria \"service_id\""},
        {"stop_times.txt",
         "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
         "T1,07:00:00,07:00:00,s1,1\nT1,07:6x:00,07:10:00,s2,2\n",
         "file stop_times.txt, riga 3: orario non valido \"07:6x:00\""},
        {"stops.txt",
         "stop_id,stop_name,stop_lat,stop_lon\ns1,A,45,9\ns2,B,,\n",
         "file stops.txt, riga 3: la fermata \"s2\" non ha coordinate valide"},
        {"stops.txt",
         "stop_id,stop_name,stop_lat,stop_lon\ns1,A,45,9\ns2,\"B,45.01,9.01\n",
         "file stops.txt, riga 3: virgolette non chiuse nel campo \"stop_name\": il campo "
         "prosegue fino alla fine del file"},
        {"stop_times.txt",
         "trip_id,arrival_time,departure_time,stop_id,stop_sequence\nT1,07:00:00,07:00:00,s1,1\n",
         "file stop_times.txt, riga 2: la corsa \"T1\" ha una sola fermata"},
        {"trips.txt", "route_id,service_id,trip_id,shape_id\nR1,FER,T1,F1\n", ""},
        {"stop_times.txt",
         "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n",
         "file stop_times.txt: il feed non contiene alcuna corsa con orari"},
        {"trips.txt",
         "route_id,service_id,trip_id\n",
         "file stop_times.txt, riga 2: la corsa \"T1\" non esiste in trips.txt"},
    };
    int n = 0;
    for (const Case& c : cases) {
        auto files = smallFeed();
        if (c.text.empty()) {
            files.erase(c.file);
        } else {
            files[c.file] = c.text;
        }
        std::string message = c.message;
        if (c.file == "trips.txt" && c.message.empty()) {
            files["shapes.txt"] =
                "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\nF1,45,9,1\n";
            message = "file shapes.txt, riga 2: la forma \"F1\" ha un solo punto";
        }
        const auto folder = dir / fmt::format("rotto{}", n++);
        writeFeed(folder, files);
        ASSERT_EQ(count("fermate"), 2);
        window.connection()->execute(
            "DELETE FROM extcod; DELETE FROM period; DELETE FROM corse; "
            "DELETE FROM detstd; DELETE FROM tesstd; DELETE FROM calend; "
            "DELETE FROM cadenz; DELETE FROM fermitin; DELETE FROM geoitin;"
            "DELETE FROM itiner; DELETE FROM fermate; DELETE FROM local; "
            "DELETE FROM comuni; DELETE FROM master");
        EXPECT_FALSE(import({.feed = folder})) << message;
        ASSERT_EQ(ui.messages().size(), 1u) << message;
        EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
        EXPECT_EQ(lastText(),
                  "Importazione GTFS non eseguita.\n\n" + message +
                      "\n\nNessun dato è stato registrato.");
        // A bar shown while the feed was read is hidden again.
        EXPECT_TRUE(ui.progressValues().empty() || ui.progressValues().back() == -1) << message;
        for (const char* table : {"fermate", "itiner", "cadenz", "corse", "master", "local"}) {
            EXPECT_EQ(count(table), 0) << table << " " << message;
        }
        // Put the good feed back for the next case's starting point.
        ASSERT_TRUE(import({.feed = dir / "buono"}));
    }
}

// shapes.txt is read on a thread of its own while the other files are read: its fault is still
// told only when the files read before it have none.
TEST_F(GtfsImportTest, AFaultInShapesIsToldInItsTurn) {
    auto files = smallFeed();
    files["trips.txt"] = "route_id,service_id,trip_id,shape_id\nR1,FER,T1,F1\n";
    files["shapes.txt"] = "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\nF1,45,9,1\n"
                          "F1,95,9,2\n";
    writeFeed(dir / "forma", files);
    EXPECT_FALSE(import({.feed = dir / "forma"}));
    EXPECT_NE(lastText().find("file shapes.txt, riga 3: coordinate non valide (95, 9)"),
              std::string::npos)
        << lastText();
    files["stop_times.txt"] = "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
                              "T1,07:00:00,07:00:00,s1,1\nT1,07:10:00,07:10:00,s9,2\n";
    writeFeed(dir / "orari", files);
    EXPECT_FALSE(import({.feed = dir / "orari"}));
    EXPECT_NE(lastText().find("file stop_times.txt, riga 3: la fermata \"s9\" non esiste"),
              std::string::npos)
        << lastText();
}

// A quoted name may hold line feeds and tabs; the fixed-width files must not.
TEST_F(GtfsImportTest, ControlCharactersInNamesAreStoredAsBlanks) {
    auto files = smallFeed();
    files["stops.txt"] = "stop_id,stop_name,stop_desc,stop_lat,stop_lon\r\n"
                         "s1,\"Piazza\r\nDuomo\",\"Lato\tnord\",45.0,9.0\r\n"
                         "s2,\"Stazione\n\",,45.01,9.01\r\n";
    writeFeed(dir / "feed", files);
    ASSERT_TRUE(import({.feed = dir / "feed"})) << lastText();
    EXPECT_EQ(scalar("SELECT group_concat(denom || '|' || ifnull(ubicaz, ''), ',') FROM fermate"),
              "Piazza  Duomo|Lato nord,Stazione|");
    EXPECT_EQ(scalar("SELECT denom FROM itiner"), "Piazza  Duomo - Stazione");
    EXPECT_NE(lastText().find("- caratteri di controllo (a capo, tabulazioni) sostituiti da uno "
                              "spazio: 3\n"),
              std::string::npos)
        << lastText();
}

TEST_F(GtfsImportTest, ReimportIsRefusedAndADatabaseWithoutTheTablesIsTold) {
    ASSERT_TRUE(import({.feed = kSampleFeed}));
    EXPECT_FALSE(import({.feed = kSampleFeed}));
    EXPECT_EQ(lastText(),
              "Importazione GTFS non eseguita.\n\nIl database contiene già dei dati (tavola "
              "\"fermate\"): l'importazione GTFS si esegue solo su un database senza fermate, "
              "percorsi, cadenze e corse.\n\nNessun dato è stato registrato.");
    EXPECT_EQ(count("corse"), 26);

    window.connection()->execute("DROP TABLE corse");
    EXPECT_FALSE(import({.feed = kSampleFeed}));
    EXPECT_NE(lastText().find("Il database non contiene la tavola \"corse\""), std::string::npos);
}

} // namespace
} // namespace tramela::comm::gtfs
