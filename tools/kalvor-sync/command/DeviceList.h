#pragma once

#include "tools/common/PortArgument.h"
#include "tools/kalvor-sync/reference/ServerAddress.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

// A device as a device list names it: what --port takes, and its own offset when it has one.
struct ListedDevice {
    kalvor_tools::DeviceAddress address;
    std::optional<std::int64_t> latencyMicroseconds; // offset=MS
    std::string zone;                                // zone=AREA/CITY; empty: none given
    int line = 0;                                    // where the list names it
};

// A device list (--ports-from FILE): one device per line as --port takes it ("COM3",
// "/dev/ttyUSB0", "tcp://clock-hall:4001", "rfc2217://[::1]:7000"), optionally followed by
// "offset=MS" for a device that takes the time later (or earlier) than the others and
// "zone=AREA/CITY" for one that shows another zone's time (either, both, in any order); blank lines
// and comments from '#' on are skipped, and so are a byte-order mark and CR line ends, as Windows
// editors write them. The devices, or the first line that is wrong as "NAME:LINE: what".
// A line "ntp-server HOST[:PORT]" names a time reference's server instead (as --ntp-server).
struct DeviceListReading {
    std::vector<ListedDevice> devices;
    std::vector<reference::ServerAddress> servers;
    std::string problem;
};
DeviceListReading ReadDeviceList(std::istream& text, const std::string& name);

// Milliseconds, with up to three decimals, within +-60000: "12", "-3.5" (--offset, offset=).
bool ParseOffset(const std::string& text, std::int64_t& microseconds);

} // namespace kalvor_sync
