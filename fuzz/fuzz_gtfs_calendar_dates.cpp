#include "fuzz_gtfs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::readFeedFile(
        "calendar_dates.txt", tramela::comm::gtfs::readCalendarDates, data, size);
    return 0;
}
