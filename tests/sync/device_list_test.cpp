// kalvor-sync's device list (--ports-from): devices as --port takes them, offsets of their own,
// and the comments, blanks and line ends that real files have.
#include "tools/kalvor-sync/command/DeviceList.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace kalvor_sync;

namespace {

DeviceListReading Read(const std::string& text) {
    std::istringstream stream(text);
    return ReadDeviceList(stream, "clocks.list");
}

} // namespace

TEST(DeviceList, DevicesOffsetsCommentsAndBlanks) {
    const DeviceListReading reading = Read("\xEF\xBB\xBF# the hall and the yard\r\n"
                                           "\r\n"
                                           "COM3\r\n"
                                           "   tcp://clock-yard:4001   offset=12.5   # long line\n"
                                           "\t\n"
                                           "rfc2217://[::1]:7000 offset=-2\n"
                                           "/dev/tty#odd # a '#' inside a word is the word's\n");
    ASSERT_EQ(reading.problem, "");
    ASSERT_EQ(reading.devices.size(), 4u);
    EXPECT_EQ(kalvor_tools::DeviceLabel(reading.devices[0].address),
              platform::NumberedPort(3).label);
    EXPECT_FALSE(reading.devices[0].latencyMicroseconds);
    EXPECT_EQ(kalvor_tools::DeviceLabel(reading.devices[1].address), "tcp://clock-yard:4001");
    EXPECT_EQ(reading.devices[1].latencyMicroseconds, 12'500);
    EXPECT_EQ(reading.devices[2].latencyMicroseconds, -2'000);
    EXPECT_EQ(kalvor_tools::DeviceLabel(reading.devices[3].address), "/dev/tty#odd");
}

TEST(DeviceList, TheFirstBadLineIsToldByNumber) {
    EXPECT_EQ(Read("COM1\n\n# fine so far\ntcp://clock\nCOM2\n").problem,
              "clocks.list:4: \"tcp://clock\": no port number: tcp://HOST:PORT");
    const std::string neither = "\" after the device is neither offset=MS (milliseconds from "
                                "-60000 to 60000) nor zone=AREA/CITY";
    EXPECT_EQ(Read("COM1 offset=ten\n").problem, "clocks.list:1: \"offset=ten" + neither);
    EXPECT_EQ(Read("COM1 COM2\n").problem, "clocks.list:1: \"COM2" + neither);
    EXPECT_EQ(Read("COM1 offset=1 offset=2\n").problem,
              "clocks.list:1: \"offset=2\": one device per line, with at most one offset= and "
              "one zone= after it");
    EXPECT_EQ(Read("COM1 zone=Asia/Tokyo zone=UTC\n").problem,
              "clocks.list:1: \"zone=UTC\": one device per line, with at most one offset= and one "
              "zone= after it");
    EXPECT_TRUE(Read("COM1 zone=../etc/passwd\n")
                    .problem.starts_with("clocks.list:1: zone=../etc/passwd: "));
    EXPECT_EQ(Read("COM1 zone=Asia/Tokyo offset=3\n").devices.at(0).zone, "Asia/Tokyo");
    EXPECT_EQ(Read("ntp-server\n").problem,
              "clocks.list:1: ntp-server needs a server: ntp-server HOST[:PORT]");
    EXPECT_EQ(Read("COM1\nntp-server a b\n").problem,
              "clocks.list:2: \"b\": one server per ntp-server line");
    EXPECT_TRUE(Read("ntp-server ntp:70000\n")
                    .problem.starts_with("clocks.list:1: ntp-server ntp:70000: "));
    EXPECT_EQ(Read("0\n").problem,
              "clocks.list:1: \"0\" is neither a port number from 1 to 255 nor a device");
    EXPECT_TRUE(Read("0\n").devices.empty());
}
