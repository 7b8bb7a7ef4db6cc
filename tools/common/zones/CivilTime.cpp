#include "tools/common/zones/CivilTime.h"

#include <chrono>

namespace kalvor_zones {

LocalInstant CivilTimeAt(const ZoneRules& zone, std::int64_t utcMicroseconds) {
    namespace chrono = std::chrono;
    const chrono::microseconds instant{utcMicroseconds};
    const std::int32_t offset =
        zone.At(chrono::floor<chrono::seconds>(instant).count()).utcOffsetSeconds;
    const LocalInstant epoch{1970, 1, 1, 4, 0, 0, 0, 0};
    return AddMilliseconds(epoch, chrono::floor<chrono::milliseconds>(instant).count() +
                                      std::int64_t{offset} * 1000);
}

} // namespace kalvor_zones
