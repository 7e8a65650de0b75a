#pragma once

#include <string_view>

namespace tramela::reports {

// The key of the file a front end without a printer writes a printed report to (the command
// line's --pdf FILE): an offer, declined when no file is named.
inline constexpr std::string_view kPdfKey = "pdf";

} // namespace tramela::reports
