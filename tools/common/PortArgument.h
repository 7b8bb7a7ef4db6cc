#pragma once

#include "NetworkDevice.h"
#include "platform/PortName.h"

#include <optional>
#include <string>
#include <variant>

namespace kalvor_tools {

// The port a --port option names: "3", "COM3", "com3" or "\\.\COM3" name COM port 3 (1 to 255,
// on the device that stands for it); any other text that does not start with a digit or a '-'
// is a device path ("/dev/ttyUSB0"). Nothing for anything else.
std::optional<platform::PortName> ParsePortArgument(const std::string& text);

// What a --port value that ParsePortArgument refuses is told: `--port: "0" is neither ...`.
std::string PortArgumentError(const std::string& text);

// A clock device as the tools name it: a serial port, or a device on the network.
using DeviceAddress = std::variant<platform::PortName, NetworkDevice>;

// How messages name the device: "COM3", "/dev/ttyUSB0", "tcp://clock-hall:4001".
const std::string& DeviceLabel(const DeviceAddress& device);

// What a --port value names: a URL (NetworkDevice.h) or a serial port (ParsePortArgument). The
// device, or what is wrong with the value in words, without the option's name.
struct DeviceArgument {
    std::optional<DeviceAddress> device;
    std::string problem;
};
DeviceArgument ParseDeviceArgument(const std::string& text, NetworkUse use = NetworkUse::Connect);

} // namespace kalvor_tools
