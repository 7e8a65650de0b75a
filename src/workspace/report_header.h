#pragma once

#include "workspace/text_output.h"

#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {

// A local day and minute as report headers show them.
struct ReportTime {
    int day = 1;
    int month = 1;
    int year = 1970;
    int hour = 0;
    int minute = 0;

    // The current local time.
    static ReportTime now();
};

// Writes the header that opens every text report the system writes: a rule of 72 "=", the line
// "GG/MM/AAAA hh.mm Report <title> (Tramela)", the extra lines of the report ("Database: ...",
// "File: ..."), the rule again and an empty line. The title and the extra lines are UTF-8 and are
// written in ISO-8859-1, as the rest of the report.
void writeReportHeader(TextFileWriter& writer,
                       std::string_view title,
                       const std::vector<std::string>& extraLines,
                       const ReportTime& time = ReportTime::now());

inline void writeReportHeader(TextFileWriter& writer,
                              std::string_view title,
                              const ReportTime& time = ReportTime::now()) {
    writeReportHeader(writer, title, {}, time);
}

} // namespace tramela::workspace
