#include "platform/CommPort.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

struct PortDevices {
    std::mutex mutex;
    std::map<int, std::string> chosen; // written by whoever maps ports, under mutex
};

PortDevices& Devices() {
    static PortDevices devices;
    return devices;
}

} // namespace

void SetPortDevice(int portNumber, const std::string& path) {
    auto& devices = Devices();
    std::lock_guard lock(devices.mutex);
    if (path.empty()) {
        devices.chosen.erase(portNumber);
    } else {
        devices.chosen[portNumber] = path;
    }
}

std::string PortDevice(int portNumber) {
    auto& devices = Devices();
    std::lock_guard lock(devices.mutex);
    const auto found = devices.chosen.find(portNumber);
    return found != devices.chosen.end() ? found->second : DefaultPortDevice(portNumber);
}

} // namespace platform
