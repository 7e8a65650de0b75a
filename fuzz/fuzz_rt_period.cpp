#include "comm/txt/record_importers.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::importInput("rt_period", tramela::fuzz::bytes(data, size), [](auto& window) {
        tramela::comm::ImportPeriods(window, false);
    });
    return 0;
}
