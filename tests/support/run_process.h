#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tramela::test {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with these arguments, no standard input, and its output captured.
ProcessResult runProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& workDir);

} // namespace tramela::test
