#include "NetworkDevice.h"

#include "platform/Socket.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kalvor_tools {

namespace {

constexpr std::string_view kSchemeEnd = "://";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsDottedNumbers(const std::string& host) {
    return std::all_of(host.begin(), host.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0 || c == '.'; });
}

// Four decimal numbers of 0 to 255 between dots: the only IPv4 form taken here (the shortened and
// octal forms that the system's parser also takes would surprise more than they help).
bool IsIpv4(const std::string& host) {
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view part(host.data() + start, dot - start);
        int value = 0;
        const auto [stop, failure] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || part.size() > 3 || failure != std::errc() ||
            stop != part.data() + part.size() || value > 255) {
            return false;
        }
        ++parts;
        if (dot == host.size()) {
            return parts == 4;
        }
        start = dot + 1;
    }
}

// A host name: labels of letters, digits, '-' and '_' between dots (a fully qualified name may
// end with one), none empty or longer than 63 characters, none starting or ending with '-'.
bool IsHostName(std::string host) {
    if (!host.empty() && host.back() == '.') {
        host.pop_back();
    }
    if (host.empty() || host.size() > 253) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view label(host.data() + start, dot - start);
        const bool fine = !label.empty() && label.size() <= 63 && label.front() != '-' &&
                          label.back() != '-' &&
                          std::all_of(label.begin(), label.end(), [](unsigned char c) {
                              return std::isalnum(c) != 0 || c == '-' || c == '_';
                          });
        if (!fine || dot == host.size()) {
            return fine;
        }
        start = dot + 1;
    }
}

UrlReading Problem(std::string problem) {
    return {std::nullopt, std::move(problem)};
}

} // namespace

bool LooksLikeUrl(const std::string& text) {
    const std::size_t end = text.find(kSchemeEnd);
    if (end == std::string::npos || end == 0) {
        return false;
    }
    return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end),
                       [](unsigned char c) { return std::isalnum(c) != 0 || c == '+'; });
}

std::string NetworkUrl(NetworkDevice::Protocol protocol, const std::string& host,
                       std::uint16_t port) {
    const std::string scheme = protocol == NetworkDevice::Protocol::Rfc2217 ? "rfc2217" : "tcp";
    const bool ipv6 = host.find(':') != std::string::npos;
    return scheme + "://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

UrlReading ReadNetworkUrl(const std::string& text, NetworkUse use) {
    if (!LooksLikeUrl(text)) {
        return Problem("not a URL (tcp://HOST:PORT or rfc2217://HOST:PORT)");
    }
    const std::size_t schemeEnd = text.find(kSchemeEnd);
    const std::string scheme = Lower(text.substr(0, schemeEnd));
    NetworkDevice device;
    if (scheme == "tcp") {
        device.protocol = NetworkDevice::Protocol::RawTcp;
    } else if (scheme == "rfc2217") {
        device.protocol = NetworkDevice::Protocol::Rfc2217;
    } else {
        return Problem("\"" + scheme + "://\" is not a kind of device (tcp:// or rfc2217://)");
    }
    const std::string rest = text.substr(schemeEnd + kSchemeEnd.size());
    const std::string form = scheme + "://HOST:PORT";

    std::string host;
    std::size_t afterHost = 0;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            return Problem("the IPv6 address has no closing ']': " + scheme + "://[ADDRESS]:PORT");
        }
        host = rest.substr(1, close - 1);
        afterHost = close + 1;
        const auto address = platform::NumericAddress(host, 1);
        if (host.empty() || !address || !address->IsIpv6()) {
            return Problem("\"[" + host + "]\" is not an IPv6 address");
        }
    } else {
        afterHost = std::min(rest.find(':'), rest.size());
        host = rest.substr(0, afterHost);
        if (afterHost < rest.size() && rest.find(':', afterHost + 1) != std::string::npos) {
            return Problem("an IPv6 address goes in brackets: " + scheme + "://[ADDRESS]:PORT");
        }
        if (host.empty() && use == NetworkUse::Listen) {
            host = "127.0.0.1";
        } else if (host.empty()) {
            return Problem("no host: " + form);
        } else if (IsDottedNumbers(host)) {
            if (!IsIpv4(host)) {
                return Problem("\"" + host +
                               "\" is not an IPv4 address (four numbers of 0 to 255)");
            }
        } else if (!IsHostName(host)) {
            return Problem("\"" + host +
                           "\" is not a host name (letters, digits, '-' and '.' only)");
        }
    }

    const std::string afterText = rest.substr(afterHost);
    if (afterText.empty() || afterText.front() != ':' || afterText.size() == 1) {
        return Problem("no port number: " + form);
    }
    const std::string portText = afterText.substr(1);
    unsigned port = 0;
    const auto [stop, failure] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (failure != std::errc() || stop == portText.data()) {
        return Problem("\"" + portText + "\" is not a port number");
    }
    if (stop != portText.data() + portText.size()) {
        return Problem("nothing may follow the port number (\"" +
                       std::string(stop, portText.data() + portText.size()) + "\")");
    }
    const unsigned lowest = use == NetworkUse::Listen ? 0 : 1;
    if (port < lowest || port > 65535) {
        return Problem("port " + portText + " is not from " + std::to_string(lowest) + " to 65535");
    }
    device.host = host;
    device.port = static_cast<std::uint16_t>(port);
    device.label = NetworkUrl(device.protocol, host, device.port);
    return {device, {}};
}

} // namespace kalvor_tools
