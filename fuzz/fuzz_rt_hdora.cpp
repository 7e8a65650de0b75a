#include "comm/txt/trip_import.h"
#include "fuzz_support.h"

// The trip headers, paired with the database's own trip details.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::DemoWorkspace& demo = tramela::fuzz::DemoWorkspace::instance();
    demo.ui().setFile("rt_dtora", demo.communication() / "RT_DTORA.TXT");
    tramela::fuzz::importInput("rt_hdora", tramela::fuzz::bytes(data, size), [](auto& window) {
        tramela::comm::ImportTrips(window, false);
    });
    return 0;
}
