#pragma once

#include "app/registry.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tramela::app::parameters {

// The ways the command line answers a command's questions, for the command table.

// A file named by a positional argument answers the file question `key`.
Parameter fileArgument(std::string name, std::string_view key, std::string help);
// The same, with the path made absolute (a binding outlives the folder it was given in).
Parameter absoluteFileArgument(std::string name, std::string_view key, std::string help);
// A file named by an option answers the file question `key`; an offer (a report) is taken
// when the option is given and declined otherwise.
Parameter fileOption(std::string name, std::string_view key, std::string help);
// A positional argument or an option answers one field of a dialog.
Parameter
fieldArgument(std::string name, std::string_view form, std::string_view field, std::string help);
Parameter fieldOption(std::string name,
                      std::string valueName,
                      std::string_view form,
                      std::string_view field,
                      std::string help);
// A flag sets one field of a dialog to a fixed value.
Parameter fieldFlag(std::string name,
                    std::string_view form,
                    std::string_view field,
                    std::string value,
                    std::string help);
// A flag that chooses among the commands that share a command line name.
Parameter variantFlag(std::string name, std::string help);

} // namespace tramela::app::parameters
