#pragma once

#include "platform/PortName.h"

#include <optional>
#include <string>

namespace kalvor_tools {

// The port a --port option names: "3", "COM3", "com3" or "\\.\COM3" name COM port 3 (1 to 255,
// on the device that stands for it); any other text that does not start with a digit or a '-'
// is a device path ("/dev/ttyUSB0"). Nothing for anything else.
std::optional<platform::PortName> ParsePortArgument(const std::string& text);

// What a --port value that ParsePortArgument refuses is told: `--port: "0" is neither ...`.
std::string PortArgumentError(const std::string& text);

} // namespace kalvor_tools
