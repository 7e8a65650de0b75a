#include "fuzz_gtfs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::readFeedFile("stops.txt", tramela::comm::gtfs::readStops, data, size);
    return 0;
}
