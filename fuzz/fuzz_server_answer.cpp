#include "comm/xml/server_answer.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::comm::xml::judgeAnswer(tramela::fuzz::bytes(data, size));
    return 0;
}
