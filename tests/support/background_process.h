#pragma once

#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tramela::test {

// A program that runs beside a test (a server on loopback, say): started with its arguments,
// standard input from /dev/null, standard output read line by line through a pipe, standard
// error kept in a file. The destructor terminates it (SIGTERM, then SIGKILL after two seconds)
// and reaps it, so no test leaves a process behind.
//
// The program should flush each line it prints (python3 -u) and print little: the pipe is read
// only when the test asks for a line or for the rest.
class BackgroundProcess {
public:
    BackgroundProcess(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments,
                      const std::filesystem::path& workDir = {});
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // False when the program could not be started.
    bool started() const { return m_pid > 0; }

    pid_t pid() const { return m_pid; }

    // The next line of standard output without its line end; nullopt when none came within the
    // time-out or the output ended.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    struct Outcome {
        int exitCode = -1; // 128 + signal when ended by a signal; -1 when never started
        std::string out;   // the standard output not yet read as lines
        std::string err;
    };

    // Waits up to the time-out for the program to end by itself, then terminates it; returns
    // its exit code and the rest of its output. Later calls return the same outcome.
    Outcome finish(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));

private:
    // Reads what the pipe holds into m_pending until the deadline or the end of output.
    bool fillUntil(std::chrono::steady_clock::time_point deadline);
    void reap(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    int m_outFd = -1;
    bool m_outEnded = false;
    std::string m_pending;
    TempDir m_errDir;
    std::optional<Outcome> m_outcome;
};

} // namespace tramela::test
