#include "platform/ZoneFolder.h"

#include <cstdlib>

namespace platform {

std::string SystemZoneFolder() {
    const char* folder = std::getenv("TZDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/usr/share/zoneinfo";
}

} // namespace platform
