#include "tools/common/zones/ZoneOffset.h"

#include <chrono>
#include <cstdio>

namespace kalvor_zones {

std::string FormatUtcOffset(std::int32_t seconds) {
    const std::chrono::hh_mm_ss<std::chrono::seconds> parts{std::chrono::seconds{seconds}};
    char text[32];
    std::snprintf(text, sizeof text, "%c%02d:%02d", parts.is_negative() ? '-' : '+',
                  static_cast<int>(parts.hours().count()),
                  static_cast<int>(parts.minutes().count()));
    std::string result = text;
    if (parts.seconds().count() != 0) {
        std::snprintf(text, sizeof text, ":%02d", static_cast<int>(parts.seconds().count()));
        result += text;
    }
    return result;
}

} // namespace kalvor_zones
