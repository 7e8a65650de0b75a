#pragma once

#include "support/run_process.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::test {

// The text of a PDF as poppler's pdftotext lays it out: every page, or only page `page` (from 1).
std::string pdfText(const std::filesystem::path& pdf, int page = 0);

// The command line run in a fresh folder of its own, with its own settings file there, on the
// demonstration database `demo.sqlite` it makes first (`tramela demo`), as a user runs it.
class DemoCli : public ::testing::Test {
protected:
    void SetUp() override;

    // One command line, split as a shell splits it.
    ProcessResult run(std::string_view line) { return runArguments(words(line)); }

    ProcessResult runArguments(std::vector<std::string> arguments);

    // The rows a query on the demonstration database gives, one a line, columns joined by "|".
    std::string rows(const std::string& select);
    void sql(const std::string& statement);

    TempDir dir;
};

} // namespace tramela::test
