#include "platform/ZoneFolder.h"

#include "platform/ExecutablePath.h"

namespace platform {

std::string SystemZoneFolder() {
    // Windows has no compiled zone files of its own: the program ships them beside itself.
    const std::string program = ExecutablePath();
    const std::size_t backslash = FindLastBackslash(program);
    if (backslash == std::string::npos) {
        return {};
    }
    return program.substr(0, backslash + 1) + "zoneinfo";
}

} // namespace platform
