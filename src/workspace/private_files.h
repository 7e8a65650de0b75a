#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tramela::workspace {

// Writes every byte, going on after interrupted writes; false on any other failure.
bool writeAll(int fd, std::string_view bytes);

// Makes a new or renamed entry of the folder durable. A failure leaves the file itself complete,
// so it is not reported.
void syncFolder(const std::filesystem::path& folder);

// Creates the missing folders of a path with mode 0700 (the umask does not narrow it); folders
// that exist are left as they are. False when a part is no folder or cannot be made.
bool makePrivateFolders(const std::filesystem::path& folder);

// The bytes written whole and synced, mode 0600, to a new temporary file beside `target` (whose
// folder must exist), ready to be renamed over it. Its path; nothing, and no file, on failure.
std::optional<std::string> writePrivateTemporary(const std::filesystem::path& target,
                                                 std::string_view bytes);

} // namespace tramela::workspace
