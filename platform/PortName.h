#pragma once

#include <string>

namespace platform {

// A serial port as the user chose it, and the device that is opened for it.
struct PortName {
    std::string device; // what the system opens: "\\.\COM3", "/dev/ttyS2", "/dev/ttyUSB0"
    int number = 0;     // the COM number chosen (1 to 255); 0 when the port was named by its device
    std::string label;  // how messages name it: "COM3", "COM3 (/dev/ttyS2)" or the device path
};

// COM port n, on the device that stands for it (ComPortDevice in platform/CommPort.h). The label
// names the device too where its name does not already say "COM<n>".
PortName NumberedPort(int number);

// A port named by its device path alone.
PortName DevicePort(const std::string& device);

} // namespace platform
