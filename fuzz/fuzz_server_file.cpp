#include "comm/xml/server_file.h"
#include "fuzz_support.h"

#include <sstream>

// The passphrase of the seed files, so that inputs near them get past the payload check.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in{std::string(tramela::fuzz::bytes(data, size))};
    tramela::comm::xml::ServerFileFault fault{};
    tramela::comm::xml::decodeServerFile(in, "chiave", &fault);
    return 0;
}
