#include "support/background_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tramela::test {

namespace {

using Clock = std::chrono::steady_clock;

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program,
                                     const std::vector<std::string>& arguments,
                                     const std::filesystem::path& workDir) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    const auto errPath = m_errDir / "err";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(
        &actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    }

    std::vector<std::string> all{program.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (m_pid > 0) {
        m_outFd = fds[0];
    } else {
        ::close(fds[0]);
    }
}

BackgroundProcess::~BackgroundProcess() {
    finish();
}

bool BackgroundProcess::fillUntil(Clock::time_point deadline) {
    if (m_outFd < 0 || m_outEnded) {
        return false;
    }
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{m_outFd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = ::read(m_outFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            m_outEnded = true;
            return false;
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
}

std::optional<std::string> BackgroundProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        const auto end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        if (!fillUntil(deadline)) {
            return std::nullopt;
        }
    }
}

void BackgroundProcess::reap(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    int status = 0;
    // Waiting also drains the pipe, so a program blocked on a full pipe can end.
    while (true) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_outcome->exitCode = exitCodeOf(status);
            return;
        }
        if (done < 0 && errno != EINTR) {
            return;
        }
        if (Clock::now() >= deadline) {
            break;
        }
        if (!fillUntil(Clock::now() + std::chrono::milliseconds(10))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ::kill(m_pid, SIGTERM);
    const auto killDeadline = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < killDeadline) {
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_outcome->exitCode = exitCodeOf(status);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_outcome->exitCode = exitCodeOf(status);
}

BackgroundProcess::Outcome BackgroundProcess::finish(std::chrono::milliseconds timeout) {
    if (m_outcome) {
        return *m_outcome;
    }
    m_outcome = Outcome{};
    if (m_pid <= 0) {
        return *m_outcome;
    }
    reap(timeout);
    // The program has ended; whatever it wrote is in the pipe (a child it left running could
    // still hold the pipe open, hence the short bound).
    const auto deadline = Clock::now() + std::chrono::milliseconds(500);
    while (fillUntil(deadline)) {
    }
    ::close(m_outFd);
    m_outFd = -1;
    m_outcome->out = std::move(m_pending);
    m_pending.clear();
    m_outcome->err = readFile(m_errDir / "err");
    return *m_outcome;
}

} // namespace tramela::test
