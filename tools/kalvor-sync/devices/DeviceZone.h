#pragma once

#include "platform/LocalInstant.h"
#include "tools/common/zones/CivilTime.h"
#include "tools/common/zones/ZoneRules.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kalvor_sync {

// The IANA zone a device shows the civil time of (zone=, --zone): its name and its rules.
struct DeviceZone {
    std::string name; // "Europe/Berlin"
    kalvor_zones::ZoneRules rules;

    LocalInstant CivilTimeAt(std::int64_t utcMicroseconds) const {
        return kalvor_zones::CivilTimeAt(rules, utcMicroseconds);
    }
    std::int32_t UtcOffsetAt(std::int64_t utcMicroseconds) const {
        return rules.At(FloorSeconds(utcMicroseconds)).utcOffsetSeconds;
    }
    static std::int64_t FloorSeconds(std::int64_t microseconds) {
        return microseconds >= 0 ? microseconds / 1'000'000
                                 : -((-microseconds + 999'999) / 1'000'000);
    }
};

// Zones are loaded once and shared by the devices that show them.
using SharedZone = std::shared_ptr<const DeviceZone>;

} // namespace kalvor_sync
