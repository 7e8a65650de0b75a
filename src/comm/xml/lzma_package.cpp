#include "comm/xml/lzma_package.h"

#include "workspace/private_files.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <lzma.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tramela::comm::xml {

namespace {

constexpr std::uint32_t kDictionarySize = 2u << 20;
constexpr std::size_t kPieceSize = 256 * 1024;

// A file descriptor closed at the end of the scope.
class FileHandle {
public:
    explicit FileHandle(int fd)
        : m_fd(fd) {}

    ~FileHandle() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return m_fd; }

    // Closes now; false when the system reports a failure (a write delayed until the close).
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// The encoder's state, released at the end of the scope.
class Encoder {
public:
    Encoder() = default;

    ~Encoder() { lzma_end(&m_stream); }

    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    lzma_stream* operator->() { return &m_stream; }

    lzma_stream* get() { return &m_stream; }

private:
    lzma_stream m_stream = LZMA_STREAM_INIT;
};

std::string_view bytesOf(const std::uint8_t* bytes, std::size_t length) {
    return {reinterpret_cast<const char*>(bytes), length};
}

// Reads up to `length` bytes; fewer only at the end of the file. -1 on a read error.
ssize_t readSome(int fd, std::uint8_t* bytes, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n = ::read(fd, bytes + got, length - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

std::array<std::uint8_t, 13> packageHead(const lzma_options_lzma& options, std::uint64_t size) {
    std::array<std::uint8_t, 13> head{};
    head[0] = static_cast<std::uint8_t>((options.pb * 5 + options.lp) * 9 + options.lc);
    for (int i = 0; i < 4; ++i) {
        head[1 + i] = static_cast<std::uint8_t>(options.dict_size >> (8 * i));
    }
    for (int i = 0; i < 8; ++i) {
        head[5 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    return head;
}

// Encodes the whole document into `out` behind the head. The encoder is told the exact size,
// so it writes no end marker and refuses a document that changes size while it is read.
bool encode(int in, int out, std::uint64_t size, const std::function<void(int percent)>& progress) {
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options, 6)) {
        return false;
    }
    options.dict_size = kDictionarySize;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    options.mode = LZMA_MODE_NORMAL;
    options.nice_len = 128;
    options.mf = LZMA_MF_BT4;
    // The match finder's search depth is no part of the format. Left to liblzma it grows with the
    // 128 fast bytes to 80 and packing takes two thirds longer than xz's own level 6 for a
    // slightly larger package; 48, the depth level 6 uses, keeps packing as fast as xz's.
    options.depth = 48;
    options.ext_flags = 0;
    lzma_set_ext_size(options, size);

    const auto head = packageHead(options, size);
    if (!workspace::writeAll(out, bytesOf(head.data(), head.size()))) {
        return false;
    }

    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    Encoder encoder;
    if (lzma_raw_encoder(encoder.get(), filters) != LZMA_OK) {
        return false;
    }

    std::vector<std::uint8_t> input(kPieceSize);
    std::vector<std::uint8_t> output(kPieceSize);
    std::uint64_t consumed = 0;
    int shown = 0;
    bool atEnd = false;
    encoder->next_out = output.data();
    encoder->avail_out = output.size();
    while (true) {
        if (encoder->avail_in == 0 && !atEnd) {
            const ssize_t got = readSome(in, input.data(), input.size());
            if (got < 0) {
                return false;
            }
            atEnd = static_cast<std::size_t>(got) < input.size();
            encoder->next_in = input.data();
            encoder->avail_in = static_cast<std::size_t>(got);
            consumed += static_cast<std::uint64_t>(got);
            if (consumed > size) {
                return false; // the document grew while it was read
            }
            const int percent = size == 0 ? 100 : static_cast<int>(consumed * 100 / size);
            if (progress && percent != shown) {
                shown = percent;
                progress(percent);
            }
        }
        const lzma_ret result = lzma_code(encoder.get(), atEnd ? LZMA_FINISH : LZMA_RUN);
        if (encoder->avail_out == 0 || result == LZMA_STREAM_END) {
            const std::size_t ready = output.size() - encoder->avail_out;
            if (!workspace::writeAll(out, bytesOf(output.data(), ready))) {
                return false;
            }
            encoder->next_out = output.data();
            encoder->avail_out = output.size();
        }
        if (result == LZMA_STREAM_END) {
            // A document that shrank while it was read ends before its announced size.
            return consumed == size;
        }
        if (result != LZMA_OK) {
            return false;
        }
    }
}

} // namespace

bool packLzma(const std::filesystem::path& document,
              const std::filesystem::path& package,
              const std::function<void(int percent)>& progress) {
    FileHandle in(::open(document.c_str(), O_RDONLY | O_CLOEXEC));

    struct stat status {};

    if (in.get() < 0 || ::fstat(in.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    if (progress) {
        progress(0);
    }

    // The package is written under a temporary name beside its final one and renamed only when
    // complete, so a failure never leaves a truncated package.
    std::string temporary = package.string() + ".XXXXXX";
    FileHandle out(::mkstemp(temporary.data()));
    if (out.get() < 0) {
        return false;
    }
    const bool written =
        encode(in.get(), out.get(), static_cast<std::uint64_t>(status.st_size), progress) &&
        out.close();
    if (!written || ::rename(temporary.c_str(), package.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace tramela::comm::xml
