#include "platform/PortName.h"

#include "platform/CommPort.h"

namespace platform {

PortName NumberedPort(int number) {
    PortName port;
    port.device = ComPortDevice(number);
    port.number = number;
    port.label = "COM" + std::to_string(number);
    const bool deviceSaysIt = port.device.size() >= port.label.size() &&
                              port.device.compare(port.device.size() - port.label.size(),
                                                  port.label.size(), port.label) == 0;
    if (!deviceSaysIt) {
        port.label += " (" + port.device + ")";
    }
    return port;
}

PortName DevicePort(const std::string& device) {
    return {device, 0, device};
}

} // namespace platform
