#pragma once

#include "DeviceZone.h"
#include "tools/common/PortArgument.h"

#include <cstdint>

namespace kalvor_sync {

// A network device must be connected, and its RFC 2217 line set up, within this time (the look-up
// of its name included); --help states it.
inline constexpr int kConnectLimitSeconds = 3;

// One clock device to set: where it is, how long after the seconds frame's last byte reaches its
// line it takes the time (its own offset= in a device list, or --offset), and in which zone.
struct SyncDevice {
    kalvor_tools::DeviceAddress address;
    std::int64_t latencyMicroseconds = 0;
    // The zone whose civil time it shows (zone= in a device list, or --zone); none: the
    // computer's local time.
    SharedZone zone = nullptr;

    const std::string& Label() const { return kalvor_tools::DeviceLabel(address); }
};

} // namespace kalvor_sync
