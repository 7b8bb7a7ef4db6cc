#pragma once

#include <cstdint>
#include <string>

namespace kalvor_zones {

// A zone's local time type: how far its civil time is ahead of UTC, whether that is daylight
// saving time, and the abbreviation the zone's data gives it ("CEST", "+0545", "-03").
struct ZoneOffset {
    std::int32_t utcOffsetSeconds = 0; // east of Greenwich positive: +7200 for CEST
    bool daylightSaving = false;
    std::string abbreviation;

    friend bool operator==(const ZoneOffset&, const ZoneOffset&) = default;
};

// "+02:00", "-03:30", "+05:45", "+00:00"; an offset with seconds (the local mean time of the
// years before standard time) keeps them: "+00:53:28".
std::string FormatUtcOffset(std::int32_t seconds);

} // namespace kalvor_zones
