#pragma once

#include "comm/gtfs/feed_readers.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tramela::fuzz {

using FeedFileReader = bool (*)(const comm::gtfs::CsvInput&,
                                comm::gtfs::Feed&,
                                comm::gtfs::FeedError&);

// Reads the input as the feed file `file` with its reader, into a feed that already holds what
// the files read before it give in a small sound feed (the stops, lines, services and trips the
// later files refer to).
void readFeedFile(std::string_view file,
                  FeedFileReader reader,
                  const std::uint8_t* data,
                  std::size_t size);

} // namespace tramela::fuzz
