#pragma once

#include <chrono>
#include <cstdio>
#include <string_view>
#include <sys/resource.h>

namespace tramela::bench {

// Wall-clock seconds since construction.
class Stopwatch {
public:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The process's peak resident memory so far, in megabytes.
inline double peakMemoryMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// One line of a benchmark's report: what was measured, how long it took, how many items went
// through per second, and the peak memory so far.
inline void report(std::string_view what, double seconds, double items, std::string_view unit) {
    std::printf("%-48.*s %9.3f s  %12.0f %.*s/s  peak %7.1f MB\n",
                static_cast<int>(what.size()),
                what.data(),
                seconds,
                seconds > 0 ? items / seconds : 0.0,
                static_cast<int>(unit.size()),
                unit.data(),
                peakMemoryMegabytes());
}

} // namespace tramela::bench
