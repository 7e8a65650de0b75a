#pragma once

#include <filesystem>
#include <functional>

namespace tramela::comm::xml {

// Packs the document into an LZMA-alone package: the 13-byte head (properties 0x5D, dictionary
// 2 MiB, the document's size as eight bytes little-endian) and the LZMA stream without end
// marker, made with the receiving server's settings (normal mode, 128 fast bytes, BT4). The
// document is read in pieces, so its size is not bound by memory; `progress` receives 0..100.
// Shows nothing: false when the document cannot be read, the package cannot be written or the
// encoder fails, and then no package is left behind (an existing one stays as it was).
bool packLzma(const std::filesystem::path& document,
              const std::filesystem::path& package,
              const std::function<void(int percent)>& progress = {});

} // namespace tramela::comm::xml
