#pragma once

#include "platform/LocalInstant.h"
#include "tools/common/zones/ZoneRules.h"

#include <cstdint>

namespace kalvor_zones {

// The zone's civil time at an instant given in microseconds since 1970 UTC, to the millisecond
// (rounded down), with its weekday (0 Sunday): what a clock of that zone shows.
LocalInstant CivilTimeAt(const ZoneRules& zone, std::int64_t utcMicroseconds);

} // namespace kalvor_zones
