#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvor_sync::reference {

inline constexpr std::uint16_t kNtpPort = 123;

// An NTP server as the user names it.
struct ServerAddress {
    std::string host; // a name, an IPv4 address, or an IPv6 address without its brackets
    std::uint16_t port = kNtpPort;

    // "ntp.example", "ntp.example:10123", "[::1]:10123": as the user could write it again.
    std::string Text() const;
    bool operator==(const ServerAddress&) const = default;
};

// "HOST", "HOST:PORT", "[IPV6]", "[IPV6]:PORT" or an IPv6 address alone, as network devices take
// hosts; PORT 1 to 65535, 123 when left out. Nothing, with what is wrong in `error`, otherwise.
std::optional<ServerAddress> ParseServer(const std::string& text, std::string& error);

} // namespace kalvor_sync::reference
