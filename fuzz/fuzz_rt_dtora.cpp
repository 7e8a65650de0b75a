#include "comm/txt/trip_import.h"
#include "fuzz_support.h"

// The trip details, read after the database's own trip headers.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tramela::fuzz::DemoWorkspace& demo = tramela::fuzz::DemoWorkspace::instance();
    demo.ui().setFile("rt_hdora", demo.communication() / "RT_HDORA.TXT");
    tramela::fuzz::importInput("rt_dtora", tramela::fuzz::bytes(data, size), [](auto& window) {
        tramela::comm::ImportTrips(window, false);
    });
    return 0;
}
