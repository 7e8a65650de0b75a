#include "fuzz_gtfs.h"

#include <cstdlib>

namespace tramela::fuzz {
namespace {

using namespace comm::gtfs;

struct SoundFile {
    std::string_view name;
    FeedFileReader reader;
    std::string_view text;
};

// A small sound feed, its files in the order the import reads them.
constexpr SoundFile kSoundFeed[] = {
    {"agency.txt", readAgency, "agency_id,agency_name\nA,Autolinee Valmora\n"},
    {"stops.txt",
     readStops,
     "stop_id,stop_name,stop_lat,stop_lon\ns1,Duomo,45,9\ns2,Stazione,45.1,9.1\n"},
    {"routes.txt", readRoutes, "route_id,route_short_name,route_type\nR1,1,3\n"},
    {"calendar.txt",
     readCalendar,
     "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
     "FER,1,1,1,1,1,0,0,20240101,20240107\n"},
    {"calendar_dates.txt", readCalendarDates, "service_id,date,exception_type\nFER,20240106,1\n"},
    {"trips.txt", readTrips, "route_id,service_id,trip_id,shape_id\nR1,FER,T1,S1\n"},
    {"stop_times.txt",
     readStopTimes,
     "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
     "T1,08:00:00,08:00:00,s1,1\nT1,08:10:00,08:10:00,s2,2\n"},
    {"frequencies.txt", readFrequencies, "trip_id,start_time,end_time,headway_secs\n"},
    {"shapes.txt", readShapes, "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\n"},
};

// The sound feed read up to `file`, once per process.
const Feed& feedBefore(std::string_view file) {
    static const Feed feed = [file] {
        Feed read;
        FeedError error;
        for (const SoundFile& sound : kSoundFeed) {
            if (sound.name == file) {
                break;
            }
            if (!sound.reader(CsvInput(sound.name, sound.text), read, error)) {
                std::abort(); // the sound feed must read: a target that cannot start is no target
            }
        }
        return read;
    }();
    return feed;
}

} // namespace

void readFeedFile(std::string_view file,
                  FeedFileReader reader,
                  const std::uint8_t* data,
                  std::size_t size) {
    Feed feed = feedBefore(file);
    FeedError error;
    reader(CsvInput(file, {reinterpret_cast<const char*>(data), size}), feed, error);
}

} // namespace tramela::fuzz
