#include "comm/txt/standard_lines_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::importInput(tramela::comm::kStandardLinesFileKey,
                               tramela::fuzz::bytes(data, size),
                               [](auto& window) { tramela::comm::ImportStandardLines(window); });
    return 0;
}
