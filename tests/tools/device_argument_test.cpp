// What --port takes of both tools: serial ports as before, and network devices by URL, with what
// is wrong with a URL told in words.
#include "tools/common/PortArgument.h"

#include <gtest/gtest.h>

using namespace kalvor_tools;

namespace {

const NetworkDevice* Network(const DeviceArgument& argument) {
    return argument.device ? std::get_if<NetworkDevice>(&*argument.device) : nullptr;
}

} // namespace

TEST(DeviceArgument, NetworkDevicesByUrl) {
    const DeviceArgument raw = ParseDeviceArgument("tcp://clock-hall.example:4001");
    ASSERT_TRUE(Network(raw)) << raw.problem;
    EXPECT_EQ(Network(raw)->protocol, NetworkDevice::Protocol::RawTcp);
    EXPECT_EQ(Network(raw)->host, "clock-hall.example");
    EXPECT_EQ(Network(raw)->port, 4001);
    EXPECT_EQ(DeviceLabel(*raw.device), "tcp://clock-hall.example:4001");

    const DeviceArgument telnet = ParseDeviceArgument("RFC2217://[::1]:7001");
    ASSERT_TRUE(Network(telnet)) << telnet.problem;
    EXPECT_EQ(Network(telnet)->protocol, NetworkDevice::Protocol::Rfc2217);
    EXPECT_EQ(Network(telnet)->host, "::1");
    EXPECT_EQ(DeviceLabel(*telnet.device), "rfc2217://[::1]:7001");

    EXPECT_EQ(Network(ParseDeviceArgument("tcp://127.0.0.1:65535"))->port, 65535);
    EXPECT_TRUE(Network(ParseDeviceArgument("tcp://clock.:1"))); // fully qualified
    // Serial ports are what they were.
    EXPECT_EQ(std::get<platform::PortName>(*ParseDeviceArgument("COM3").device).number, 3);
    EXPECT_EQ(std::get<platform::PortName>(*ParseDeviceArgument("/dev/ttyUSB0").device).device,
              "/dev/ttyUSB0");

    // A listener may leave out its address (loopback) and take port 0 (a free one).
    const DeviceArgument listen = ParseDeviceArgument("tcp://:0", NetworkUse::Listen);
    ASSERT_TRUE(Network(listen)) << listen.problem;
    EXPECT_EQ(Network(listen)->host, "127.0.0.1");
    EXPECT_EQ(Network(listen)->port, 0);
}

TEST(DeviceArgument, ABadUrlSaysWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"tcp://clock", "no port number: tcp://HOST:PORT"},
        {"tcp://clock:", "no port number: tcp://HOST:PORT"},
        {"tcp://:4001", "no host: tcp://HOST:PORT"},
        {"tcp://clock:0", "port 0 is not from 1 to 65535"},
        {"tcp://clock:65536", "port 65536 is not from 1 to 65535"},
        {"tcp://clock:40x1", "nothing may follow the port number (\"x1\")"},
        {"tcp://clock:4001/", "nothing may follow the port number (\"/\")"},
        {"tcp://clock:-1", "\"-1\" is not a port number"},
        {"tcp://::1:4001", "an IPv6 address goes in brackets: tcp://[ADDRESS]:PORT"},
        {"tcp://[::1:4001", "the IPv6 address has no closing ']': tcp://[ADDRESS]:PORT"},
        {"tcp://[clock]:4001", "\"[clock]\" is not an IPv6 address"},
        {"tcp://[127.0.0.1]:4001", "\"[127.0.0.1]\" is not an IPv6 address"},
        {"tcp://127.0.0.300:4001",
         "\"127.0.0.300\" is not an IPv4 address (four numbers of 0 to 255)"},
        {"tcp://127.1:4001", "\"127.1\" is not an IPv4 address (four numbers of 0 to 255)"},
        {"tcp://cl ock:4001", "\"cl ock\" is not a host name (letters, digits, '-' and '.' only)"},
        {"tcp://-clock:4001", "\"-clock\" is not a host name (letters, digits, '-' and '.' only)"},
        {"tcp://a..b:4001", "\"a..b\" is not a host name (letters, digits, '-' and '.' only)"},
        {"udp://clock:4001", "\"udp://\" is not a kind of device (tcp:// or rfc2217://)"},
    };
    for (const auto& [text, problem] : cases) {
        const DeviceArgument argument = ParseDeviceArgument(text);
        EXPECT_FALSE(argument.device) << text;
        EXPECT_EQ(argument.problem, "\"" + std::string(text) + "\": " + problem);
    }
    EXPECT_EQ(ParseDeviceArgument("0").problem,
              "\"0\" is neither a port number from 1 to 255 nor a device");
}
