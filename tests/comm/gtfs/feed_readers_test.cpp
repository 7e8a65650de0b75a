#include "comm/gtfs/feed_readers.h"
#include "store/date.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::comm::gtfs {
namespace {

// A file's text read by one reader into the feed; the fault as "file:line: text", empty when
// the file was read.
using Reader = bool (*)(const CsvInput&, Feed&, FeedError&);

std::string readInto(Feed& feed, Reader reader, std::string_view file, std::string_view text) {
    FeedError error;
    if (reader(CsvInput(file, text), feed, error)) {
        return {};
    }
    return fmt::format("{}:{}: {}", error.file, error.line, error.text);
}

// A feed with two stops, one line, one weekday service and one trip, as the readers leave it.
Feed smallFeed() {
    Feed feed;
    EXPECT_EQ(
        readInto(feed,
                 readStops,
                 "stops.txt",
                 "stop_id,stop_name,stop_lat,stop_lon\ns1,Duomo,45,9\ns2,Stazione,45.1,9.1\n"),
        "");
    EXPECT_EQ(readInto(feed, readRoutes, "routes.txt", "route_id,route_type\nR1,3\n"), "");
    EXPECT_EQ(readInto(feed,
                       readCalendar,
                       "calendar.txt",
                       "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
                       "start_date,end_date\nFER,1,1,1,1,1,0,0,20240101,20240107\n"),
              "");
    EXPECT_EQ(readInto(feed, readTrips, "trips.txt", "route_id,service_id,trip_id\nR1,FER,T1\n"),
              "");
    return feed;
}

struct Refusal {
    std::string_view text;
    std::string_view fault;
};

Feed emptyFeed() {
    return {};
}

// Each text refused by the reader on a fresh feed, with its fault.
void expectRefusals(Reader reader,
                    std::string_view file,
                    std::initializer_list<Refusal> cases,
                    Feed (*start)() = smallFeed) {
    for (const Refusal& c : cases) {
        Feed feed = start();
        EXPECT_EQ(readInto(feed, reader, file, c.text), c.fault) << c.text;
    }
}

TEST(FeedReaders, AgencyKeepsTheFirstNameAndNeedsItsColumn) {
    Feed feed;
    EXPECT_EQ(readInto(feed,
                       readAgency,
                       "agency.txt",
                       "agency_id,agency_name\nA,  Autolinee Valmora \nB,Altra\n"),
              "");
    EXPECT_EQ(feed.agencyName, "Autolinee Valmora");
    EXPECT_EQ(readInto(feed, readAgency, "agency.txt", "agency_id\nA\n"),
              "agency.txt:1: manca la colonna obbligatoria \"agency_name\"");
    EXPECT_EQ(readInto(feed, readAgency, "agency.txt", ""),
              "agency.txt:0: il file è vuoto (manca la riga di intestazione)");
}

TEST(FeedReaders, StopsAreReadWithTheirPositionTypeAndParent) {
    Feed feed;
    ASSERT_EQ(readInto(feed,
                       readStops,
                       "stops.txt",
                       "\xEF\xBB\xBFstop_id,stop_code,stop_name,stop_desc,stop_lat,stop_lon,"
                       "location_type,parent_station\r\n"
                       "P,,Stazione,,45.5,9.5,1,\r\n"
                       "s1, F1 ,\"Piazza, Duomo\",Lato nord,+45.25,-9.125,0,P\r\n"
                       "n1,,Nodo,,,,3,P\r\n"),
              "");
    ASSERT_EQ(feed.stops.size(), 3u);
    const StopRecord& stop = feed.stops[1];
    EXPECT_EQ(stop.id + "|" + stop.code + "|" + stop.name + "|" + stop.description + "|" +
                  stop.parent,
              "s1|F1|Piazza, Duomo|Lato nord|P");
    EXPECT_EQ(stop.line, 3);
    EXPECT_TRUE(stop.hasPosition);
    EXPECT_DOUBLE_EQ(stop.latitude, 45.25);
    EXPECT_DOUBLE_EQ(stop.longitude, -9.125);
    EXPECT_EQ(feed.stops[0].locationType, 1);
    // A generic node may go without a position.
    EXPECT_FALSE(feed.stops[2].hasPosition);
    EXPECT_EQ(feed.stopById.at("n1"), 2);
}

TEST(FeedReaders, StopsRefusedNameTheirLine) {
    expectRefusals(
        readStops,
        "stops.txt",
        {
            {"stop_name\nA\n", "stops.txt:1: manca la colonna obbligatoria \"stop_id\""},
            {"stop_id,stop_lat,stop_lon\ns1,45,9\n ,45,9\n", "stops.txt:3: stop_id vuoto"},
            {"stop_id,stop_lat,stop_lon,location_type\ns1,45,9,5\n",
             "stops.txt:2: location_type non valido \"5\""},
            {"stop_id,stop_lat,stop_lon\ns1,91,9\n",
             "stops.txt:2: coordinate fuori dai limiti (91, 9) della fermata \"s1\""},
            {"stop_id,stop_lat,stop_lon\ns1,45,9\ns2,45,\n",
             "stops.txt:3: la fermata \"s2\" non ha coordinate valide"},
            {"stop_id,stop_lat,stop_lon,location_type\ns1,,,1\n",
             "stops.txt:2: la fermata \"s1\" non ha coordinate valide"},
            {"stop_id,stop_lat,stop_lon\ns1,45,9\ns1,45,9\n",
             "stops.txt:3: stop_id \"s1\" duplicato"},
        },
        emptyFeed);
}

TEST(FeedReaders, RoutesAreReadAndRefusedNamingTheirLine) {
    Feed feed;
    ASSERT_EQ(readInto(feed,
                       readRoutes,
                       "routes.txt",
                       "route_id,route_short_name,route_long_name,route_type\n"
                       "R1, 1 ,Centro - Stazione,3\nR2,,Tram,0\n"),
              "");
    ASSERT_EQ(feed.routes.size(), 2u);
    EXPECT_EQ(feed.routes[0].shortName + "|" + feed.routes[0].longName, "1|Centro - Stazione");
    EXPECT_EQ(feed.routes[1].type, 0);
    EXPECT_EQ(feed.routeById.at("R2"), 1);
    expectRefusals(
        readRoutes,
        "routes.txt",
        {
            {"route_id\nR1\n", "routes.txt:1: manca la colonna obbligatoria \"route_type\""},
            {"route_id,route_type\nR1,3\nR2,bus\n", "routes.txt:3: route_type non valido \"bus\""},
            {"route_id,route_type\nR1,3\nR1,3\n", "routes.txt:3: route_id \"R1\" duplicato"},
        },
        emptyFeed);
}

TEST(FeedReaders, CalendarRunsOnItsWeekdaysBetweenItsDates) {
    Feed feed;
    ASSERT_EQ(readInto(feed,
                       readCalendar,
                       "calendar.txt",
                       "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
                       "start_date,end_date\nWE,0,0,0,0,0,1,1,20240101,20240114\n"),
              "");
    // Saturdays and Sundays of the first two weeks of 2024.
    std::string days;
    for (const long day : feed.services.at(0).days) {
        days += Date::fromSerial(day).iso() + " ";
    }
    EXPECT_EQ(days, "2024-01-06 2024-01-07 2024-01-13 2024-01-14 ");
    const std::string header = "service_id,monday,tuesday,wednesday,thursday,friday,saturday,"
                               "sunday,start_date,end_date\n";
    expectRefusals(readCalendar,
                   "calendar.txt",
                   {
                       {"service_id,monday\nX,1\n",
                        "calendar.txt:1: manca la colonna obbligatoria \"tuesday\""},
                       {header + "X,1,1,1,1,1,2,0,20240101,20240131\n",
                        "calendar.txt:2: indicatore di giorno non valido \"2\""},
                       {header + "X,1,1,1,1,1,0,0,20240131,20240101\n",
                        "calendar.txt:2: date di validità non valide \"20240131\" - \"20240101\""},
                       {header + "X,1,1,1,1,1,0,0,20240230,20240301\n",
                        "calendar.txt:2: date di validità non valide \"20240230\" - \"20240301\""},
                       {header + "FER,1,1,1,1,1,0,0,20240101,20240131\n",
                        "calendar.txt:2: service_id \"FER\" duplicato"},
                   });

    // Periods spanning millennia would each take hundreds of megabytes: the file's days are
    // bounded. A service over ten millennia and one over 22 years pass the bound together.
    Feed centuries;
    EXPECT_EQ(readInto(centuries,
                       readCalendar,
                       "calendar.txt",
                       header + "A,0,0,0,0,0,0,0,00010101,99991231\n"
                                "B,1,1,1,1,1,1,1,20240101,20451231\n"),
              "calendar.txt:3: i periodi di validità superano in tutto 3660000 giorni");
}

TEST(FeedReaders, CalendarDatesAddAndRemoveDays) {
    Feed feed = smallFeed();
    ASSERT_EQ(readInto(feed,
                       readCalendarDates,
                       "calendar_dates.txt",
                       "service_id,date,exception_type\nFER,20240101,2\nFER,20240106,1\n"
                       "EXTRA,20240415,1\n"),
              "");
    ASSERT_EQ(feed.services.size(), 2u);
    std::string days;
    for (const long day : feed.services[0].days) {
        days += Date::fromSerial(day).iso().substr(8) + " ";
    }
    EXPECT_EQ(days, "02 03 04 05 06 ");
    EXPECT_EQ(feed.services[1].id, "EXTRA");
    EXPECT_EQ(feed.services[1].days.size(), 1u);
    expectRefusals(readCalendarDates,
                   "calendar_dates.txt",
                   {
                       {"service_id,date,exception_type\nFER,2024-01-01,1\n",
                        "calendar_dates.txt:2: data non valida \"2024-01-01\""},
                       {"service_id,date,exception_type\nFER,20240101,3\n",
                        "calendar_dates.txt:2: exception_type non valido \"3\""},
                   });
}

TEST(FeedReaders, TripsJoinTheirLineAndService) {
    Feed feed = smallFeed();
    ASSERT_EQ(readInto(feed,
                       readTrips,
                       "trips.txt",
                       "route_id,service_id,trip_id,shape_id,direction_id\nR1,FER,T2,F1,1\n"),
              "");
    ASSERT_EQ(feed.trips.size(), 2u);
    EXPECT_EQ(feed.trips[1].shape, "F1");
    EXPECT_EQ(feed.trips[1].direction, 'R');
    EXPECT_EQ(feed.trips[1].line, 2);
    EXPECT_EQ(feed.trips[0].direction, 'A');
    const std::string header = "route_id,service_id,trip_id,direction_id\n";
    expectRefusals(
        readTrips,
        "trips.txt",
        {
            {"route_id,trip_id\nR1,T1\n",
             "trips.txt:1: manca la colonna obbligatoria \"service_id\""},
            {header + "R9,FER,T2,0\n", "trips.txt:2: la linea \"R9\" non esiste in routes.txt"},
            {header + "R1,FES,T2,0\n",
             "trips.txt:2: il servizio \"FES\" non esiste nel calendario"},
            {header + "R1,FER,T2,2\n", "trips.txt:2: direction_id non valido \"2\""},
            {header + "R1,FER,T2,0\nR1,FER,T2,0\n",
             "trips.txt:3: trip_id \"T2\" vuoto o duplicato"},
            {header + "R1,FER,,0\n", "trips.txt:2: trip_id \"\" vuoto o duplicato"},
        });
}

TEST(FeedReaders, StopTimesGoToTheirTripWithTheirTimesAndFlags) {
    Feed feed = smallFeed();
    ASSERT_EQ(readInto(feed,
                       readStopTimes,
                       "stop_times.txt",
                       "trip_id,arrival_time,departure_time,stop_id,stop_sequence,pickup_type,"
                       "drop_off_type\nT1,7:00:00,07:00:30,s1,1,,\nT1,25:10:00,,s2,5,3,1\n"),
              "");
    const std::vector<StopTimeRow>& rows = feed.trips[0].stops;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].arrival, 7 * 3600);
    EXPECT_EQ(rows[0].departure, 7 * 3600 + 30);
    EXPECT_EQ(rows[1].arrival, 25 * 3600 + 600);
    EXPECT_EQ(rows[1].departure, -1);
    EXPECT_EQ(rows[1].sequence, 5);
    EXPECT_EQ(rows[1].stop, 1);
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[1].timepoint, 2);
    EXPECT_EQ(rows[1].pickup * 10 + rows[1].dropOff, 31);
    EXPECT_TRUE(feed.stops[1].served);
    EXPECT_FALSE(feed.hasTimepointColumn);

    const std::string header = "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n";
    expectRefusals(
        readStopTimes,
        "stop_times.txt",
        {
            {"trip_id,stop_id,stop_sequence,arrival_time\nT1,s1,1,07:00:00\n",
             "stop_times.txt:1: manca la colonna obbligatoria \"departure_time\""},
            {header + "T9,07:00:00,07:00:00,s1,1\n",
             "stop_times.txt:2: la corsa \"T9\" non esiste in trips.txt"},
            {header + "T1,07:00:00,07:00:00,s9,1\n",
             "stop_times.txt:2: la fermata \"s9\" non esiste in stops.txt"},
            {header + "T1,07:00:00,07:00:00,s1,-1\n",
             "stop_times.txt:2: stop_sequence non valido \"-1\""},
            {header + "T1,07:00,07:00:00,s1,1\n", "stop_times.txt:2: orario non valido \"07:00\""},
            {header + "T1,07:00:00,07:60:00,s1,1\n",
             "stop_times.txt:2: orario non valido \"07:60:00\""},
            {"trip_id,arrival_time,departure_time,stop_id,stop_sequence,pickup_type\n"
             "T1,07:00:00,07:00:00,s1,1,4\n",
             "stop_times.txt:2: timepoint, pickup_type o drop_off_type non valido"},
        });
}

TEST(FeedReaders, FrequenciesGoToTheirTrip) {
    Feed feed = smallFeed();
    ASSERT_EQ(readInto(feed,
                       readFrequencies,
                       "frequencies.txt",
                       "trip_id,start_time,end_time,headway_secs\nT1,06:00:00,24:30:00,600\n"),
              "");
    ASSERT_EQ(feed.trips[0].frequencies.size(), 1u);
    const Frequency& frequency = feed.trips[0].frequencies[0];
    EXPECT_EQ(fmt::format("{} {} {}", frequency.start, frequency.end, frequency.headway),
              "21600 88200 600");
    const std::string header = "trip_id,start_time,end_time,headway_secs\n";
    expectRefusals(readFrequencies,
                   "frequencies.txt",
                   {
                       {header + "T9,06:00:00,07:00:00,600\n",
                        "frequencies.txt:2: la corsa \"T9\" non esiste in trips.txt"},
                       {header + "T1,08:00:00,07:00:00,600\n",
                        "frequencies.txt:2: orari non validi \"08:00:00\" - \"07:00:00\""},
                       {header + "T1,06:00:00,07:00:00,0\n",
                        "frequencies.txt:2: headway_secs non valido \"0\""},
                   });
}

TEST(FeedReaders, ShapePointsAreGroupedByShape) {
    Feed feed;
    ASSERT_EQ(readInto(feed,
                       readShapes,
                       "shapes.txt",
                       "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\n"
                       "F1,45,9,2\nF2,46,10,1\nF1,45.5,9.5,1\n"),
              "");
    ASSERT_EQ(feed.shapes.at("F1").size(), 2u);
    EXPECT_EQ(feed.shapes.at("F1")[1].sequence, 1);
    EXPECT_EQ(feed.shapes.at("F1")[1].line, 4);
    EXPECT_EQ(feed.shapes.at("F2").size(), 1u);
    const std::string header = "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\n";
    expectRefusals(
        readShapes,
        "shapes.txt",
        {
            {header + "F1,45,9,1\nF1,95,9,2\n", "shapes.txt:3: coordinate non valide (95, 9)"},
            {header + "F1,45,9,uno\n", "shapes.txt:2: shape_pt_sequence non valido \"uno\""},
        });
}

} // namespace
} // namespace tramela::comm::gtfs
