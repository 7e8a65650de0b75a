#include "fuzz_gtfs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::readFeedFile("routes.txt", tramela::comm::gtfs::readRoutes, data, size);
    return 0;
}
