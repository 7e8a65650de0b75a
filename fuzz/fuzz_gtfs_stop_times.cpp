#include "fuzz_gtfs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::readFeedFile("stop_times.txt", tramela::comm::gtfs::readStopTimes, data, size);
    return 0;
}
