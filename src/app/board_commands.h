#pragma once

#include "app/registry.h"

#include <string_view>
#include <vector>

namespace tramela::app {

// The questions of the boards written to a folder: the folder (the dialog's file `fileName` in
// it), then the route code and the line that narrow the boards.
std::vector<Parameter> boardParameters(std::string_view fileName);
// The questions of the printed boards: the route code and the line, then how to print.
std::vector<Parameter> printedBoardParameters(Parameter pdf, Parameter print);

} // namespace tramela::app
