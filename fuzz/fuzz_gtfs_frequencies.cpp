#include "fuzz_gtfs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::readFeedFile(
        "frequencies.txt", tramela::comm::gtfs::readFrequencies, data, size);
    return 0;
}
