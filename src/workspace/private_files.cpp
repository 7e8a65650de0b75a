#include "workspace/private_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tramela::workspace {

namespace fs = std::filesystem;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void syncFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool makePrivateFolders(const fs::path& folder) {
    if (folder.empty()) {
        return true;
    }

    struct stat status {};

    if (::stat(folder.c_str(), &status) == 0) {
        if (!S_ISDIR(status.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        return true;
    }
    if (errno != ENOENT) {
        return false;
    }
    const fs::path parent = folder.parent_path();
    if (parent != folder && !makePrivateFolders(parent)) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0) {
        return errno == EEXIST;
    }
    ::chmod(folder.c_str(), 0700);
    return true;
}

std::optional<std::string> writePrivateTemporary(const fs::path& target, std::string_view bytes) {
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    bool done = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    done = ::close(fd) == 0 && done;
    if (!done) {
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return temporary;
}

} // namespace tramela::workspace
