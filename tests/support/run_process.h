#pragma once

#include <filesystem>
#include <string>
#include <string_view>
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

// The arguments of a command line as a shell splits it: at blanks, with single or double quotes
// around an argument that holds blanks ("--responsible 'Mario Rossi'").
std::vector<std::string> words(std::string_view line);

} // namespace tramela::test
