#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A folder of this run's own under the system's temporary folder, created; the benchmark removes
// it when done.
inline std::filesystem::path scratchFolder() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tramela-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

// Runs `work` in a child process and waits for it, so that the memory it takes does not count
// in the peak printed afterwards; false when it did not end well.
inline bool inChild(const std::function<void()>& work) {
    std::fflush(stdout); // the child must not print the parent's buffered lines again
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        work();
        std::fflush(stdout);
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace tramela::bench
