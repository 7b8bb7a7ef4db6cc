#include "DeviceList.h"

#include "tools/common/zones/ZoneLibrary.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace kalvor_sync {

namespace {

constexpr std::int64_t kLongestOffsetMs = 60'000;
constexpr std::string_view kOffsetKey = "offset=";
constexpr std::string_view kServerKey = "ntp-server";
constexpr std::string_view kZoneKey = "zone=";

// The line without its comment: '#' at the start of a word begins one.
std::string WithoutComment(const std::string& line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
            return line.substr(0, i);
        }
    }
    return line;
}

} // namespace

bool ParseOffset(const std::string& text, std::int64_t& microseconds) {
    double milliseconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, milliseconds);
    if (failure != std::errc() || stop != end || !std::isfinite(milliseconds) ||
        std::fabs(milliseconds) > kLongestOffsetMs) {
        return false;
    }
    microseconds = std::llround(milliseconds * 1000);
    return true;
}

DeviceListReading ReadDeviceList(std::istream& text, const std::string& name) {
    DeviceListReading reading;
    std::string line;
    for (int number = 1; std::getline(text, line); ++number) {
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) {
            line.erase(0, 3);
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(WithoutComment(line));
        std::string device, option, extra;
        if (!(words >> device)) {
            continue;
        }
        const auto fail = [&](const std::string& what) {
            reading.devices.clear();
            reading.servers.clear();
            reading.problem = name + ":" + std::to_string(number) + ": " + what;
            return reading;
        };
        if (device == kServerKey) {
            std::string server, error;
            if (!(words >> server)) {
                return fail("ntp-server needs a server: ntp-server HOST[:PORT]");
            }
            const auto address = reference::ParseServer(server, error);
            if (!address) {
                return fail("ntp-server " + server + ": " + error);
            }
            if (words >> extra) {
                return fail("\"" + extra + "\": one server per ntp-server line");
            }
            reading.servers.push_back(*address);
            continue;
        }
        kalvor_tools::DeviceArgument argument = kalvor_tools::ParseDeviceArgument(device);
        if (!argument.device) {
            return fail(argument.problem);
        }
        ListedDevice listed{std::move(*argument.device), std::nullopt, {}, number};
        while (words >> option) {
            const bool offset = option.rfind(kOffsetKey, 0) == 0;
            const bool zone = option.rfind(kZoneKey, 0) == 0;
            if ((offset && listed.latencyMicroseconds) || (zone && !listed.zone.empty())) {
                return fail("\"" + option +
                            "\": one device per line, with at most one offset= and one zone= "
                            "after it");
            }
            if (zone) {
                listed.zone = option.substr(kZoneKey.size());
                if (const std::string problem = kalvor_zones::ZoneNameProblem(listed.zone);
                    !problem.empty()) {
                    return fail("zone=" + listed.zone + ": " + problem);
                }
                continue;
            }
            std::int64_t latency = 0;
            if (!offset || !ParseOffset(option.substr(kOffsetKey.size()), latency)) {
                return fail("\"" + option +
                            "\" after the device is neither offset=MS (milliseconds from -60000 "
                            "to 60000) nor zone=AREA/CITY");
            }
            listed.latencyMicroseconds = latency;
        }
        reading.devices.push_back(std::move(listed));
    }
    return reading;
}

} // namespace kalvor_sync
