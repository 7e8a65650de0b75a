#include "comm/txt/record_importers.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::importInput("rt_proto", tramela::fuzz::bytes(data, size), [](auto& window) {
        tramela::comm::ImportProtocol(window, false);
    });
    return 0;
}
