#include "workspace/report_header.h"

#include <ctime>
#include <fmt/format.h>
#include <string>

namespace tramela::workspace {

ReportTime ReportTime::now() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return ReportTime{
        local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min};
}

void writeReportHeader(TextFileWriter& writer,
                       std::string_view title,
                       const std::vector<std::string>& extraLines,
                       const ReportTime& time) {
    const std::string rule(72, '=');
    Latin1Encoder latin1;
    writer.writeLine(rule);
    writer.writeLine(fmt::format("{:02d}/{:02d}/{:04d} {:02d}.{:02d} Report {} (Tramela)",
                                 time.day,
                                 time.month,
                                 time.year,
                                 time.hour,
                                 time.minute,
                                 latin1.encode(title)));
    for (const std::string& line : extraLines) {
        writer.writeLine(latin1.encode(line));
    }
    writer.writeLine(rule);
    writer.writeLine("");
}

} // namespace tramela::workspace
