#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvor_tools {

// A clock device on the network: an Ethernet clock whose serial module passes TCP bytes to its
// line, or a serial device server's port.
struct NetworkDevice {
    enum class Protocol {
        RawTcp,  // tcp://: the bytes as they are; the server's line is set up on the server
        Rfc2217, // rfc2217://: Telnet with the COM-PORT-OPTION, which sets the line from here
    };
    Protocol protocol = Protocol::RawTcp;
    std::string host; // a name, an IPv4 address, or an IPv6 address (without its brackets)
    std::uint16_t port = 0;
    std::string label; // how messages name it: the address as written, "tcp://clock-hall:4001"
};

// Whether an address is one to connect to or one to listen on (kalvor-sim): a listener may leave
// out the host (loopback, 127.0.0.1) and take port 0 (a free port the system chooses).
enum class NetworkUse { Connect, Listen };

// True when `text` is written as a URL ("scheme://..."), whatever the scheme.
bool LooksLikeUrl(const std::string& text);

// What a URL names: "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (schemes in any case); HOST is a
// name, an IPv4 address or an IPv6 address in brackets ("[::1]"); PORT 1 to 65535. The device,
// or what is wrong with the URL, in words ("no port number: tcp://HOST:PORT").
struct UrlReading {
    std::optional<NetworkDevice> device;
    std::string problem;
};
UrlReading ReadNetworkUrl(const std::string& text, NetworkUse use = NetworkUse::Connect);

// "tcp://127.0.0.1:4001", "rfc2217://[::1]:4001": the device's URL with the port given.
std::string NetworkUrl(NetworkDevice::Protocol protocol, const std::string& host,
                       std::uint16_t port);

} // namespace kalvor_tools
