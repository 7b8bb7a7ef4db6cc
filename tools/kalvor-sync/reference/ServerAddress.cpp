#include "ServerAddress.h"

#include "platform/Socket.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kalvor_sync::reference {

namespace {

bool IsIpv6(const std::string& host) {
    return host.find(':') != std::string::npos && platform::NumericAddress(host, kNtpPort);
}

// Letters, digits, '-', '_' and dots, no empty label: a host name or an IPv4 address, which the
// look-up then finds or not.
bool IsHostName(const std::string& host) {
    if (host.empty() || host.size() > 253 || host.front() == '.' || host.front() == '-' ||
        host.find("..") != std::string::npos) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.';
    });
}

std::optional<std::uint16_t> ReadPort(const std::string& text) {
    unsigned value = 0;
    const auto [stop, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || stop != text.data() + text.size() || value == 0 ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::string ServerAddress::Text() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    const std::string shown = ipv6 ? "[" + host + "]" : host;
    return port == kNtpPort && !ipv6 ? shown : shown + ":" + std::to_string(port);
}

std::optional<ServerAddress> ParseServer(const std::string& text, std::string& error) {
    ServerAddress server;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) {
            error = "the IPv6 address has no closing ']': [ADDRESS]:PORT";
            return std::nullopt;
        }
        server.host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            error = "unexpected text after ']': " + text;
            return std::nullopt;
        }
        port = rest.empty() ? "" : rest.substr(1);
        if (rest == ":") {
            error = "no port number after ':': " + text;
            return std::nullopt;
        }
        if (!IsIpv6(server.host)) {
            error = "not an IPv6 address: [" + server.host + "]";
            return std::nullopt;
        }
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        server.host = text;
        if (!IsIpv6(server.host)) {
            error =
                "not an IPv6 address: " + text + " (an IPv6 address with a port: [ADDRESS]:PORT)";
            return std::nullopt;
        }
    } else {
        const std::size_t colon = text.find(':');
        server.host = text.substr(0, colon);
        if (colon != std::string::npos) {
            port = text.substr(colon + 1);
            if (port.empty()) {
                error = "no port number after ':': " + text;
                return std::nullopt;
            }
        }
        if (!IsHostName(server.host)) {
            error = server.host.empty() ? "no server named" : "not a host name: " + server.host;
            return std::nullopt;
        }
    }
    if (!port.empty()) {
        const auto number = ReadPort(port);
        if (!number) {
            error = "not a port number (1 to 65535): " + port;
            return std::nullopt;
        }
        server.port = *number;
    }
    return server;
}

} // namespace kalvor_sync::reference
