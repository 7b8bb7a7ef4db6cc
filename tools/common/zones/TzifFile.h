#pragma once

#include "tools/common/zones/ZoneOffset.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalvor_zones {

// What a compiled zone file (TZif, RFC 8536, versions 1 to 4) says about civil time: from a
// version 2 or later file its 64-bit data and its footer, from a version 1 file its 32-bit data.
// Leap-second records and the standard/UT indicators are checked and left out: instants here
// are counted without leap seconds.
struct TzifContents {
    int version = 0;                           // 1 to 4
    std::vector<std::int64_t> transitionTimes; // seconds since 1970 UTC, strictly ascending
    std::vector<std::uint8_t> transitionTypes; // each an index into `types`
    std::vector<ZoneOffset> types;             // never empty; types[0] holds before the first
    std::string footer;                        // the POSIX TZ text, empty when there is none
};

// The file's contents, or nothing and what is wrong with it in words: every count is checked
// against the file's size, every index against what it points into, before anything is read.
std::optional<TzifContents> ReadTzif(std::span<const std::uint8_t> file, std::string& error);

} // namespace kalvor_zones
