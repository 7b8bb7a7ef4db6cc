// kalvor-sync's command line and the instants it reads: pure computation.
#include "tools/common/InstantText.h"
#include "tools/kalvor-sync/command/CommandLine.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using namespace kalvor_sync;
using namespace kalvor_tools;

namespace {

constexpr std::int64_t kSecond = 1'000'000;

SyncCommand Parse(std::initializer_list<const char*> words) {
    std::vector<const char*> argv{"kalvor-sync"};
    argv.insert(argv.end(), words);
    return ParseSyncCommand(static_cast<int>(argv.size()), argv.data());
}

} // namespace

TEST(InstantText, OnlyRealTimesTheDeviceCanHoldAreTaken) {
    const auto leap = ParseInstant("2016-02-29 12:00:00");
    ASSERT_TRUE(leap);
    EXPECT_EQ(leap->m_weekday, 1); // a Monday
    EXPECT_TRUE(ParseInstant("2099-12-31T23:59:59"));
    for (const char* bad : {"2015-02-29 12:00:00", "1999-12-31 23:59:59", "2100-01-01 00:00:00",
                            "2016-04-12 24:00:00", "2016-04-12 09:05:60", "2016-04-12 09:05",
                            "2016-04-12 09:05:30x", "2016-4-12 09:05:30", "2016-04-12_09:05:30"}) {
        EXPECT_FALSE(ParseInstant(bad)) << bad;
    }
}

const platform::PortName& Serial(const SyncCommand& command, std::size_t index) {
    return std::get<platform::PortName>(command.m_devices.at(index).address);
}

const NetworkDevice& Network(const SyncCommand& command, std::size_t index) {
    return std::get<NetworkDevice>(command.m_devices.at(index).address);
}

TEST(SyncCommandLine, PortsDurationsAndOffsets) {
    EXPECT_EQ(Serial(Parse({"--port", "3"}), 0).number, 3);
    EXPECT_EQ(Serial(Parse({"--port", "COM10"}), 0).number, 10);
    EXPECT_EQ(Serial(Parse({"--port", "\\\\.\\COM12"}), 0).number, 12);
    const SyncCommand device = Parse({"--port", "/dev/ttyUSB0"});
    EXPECT_EQ(device.m_action, SyncCommand::Action::Sync);
    EXPECT_EQ(Serial(device, 0).device, "/dev/ttyUSB0");
    EXPECT_EQ(Serial(device, 0).number, 0);

    // Several devices, each once, in the order given, each with --offset unless it has its own.
    const SyncCommand three = Parse({"--port", "COM1", "--port", "/dev/ttyUSB0", "--port",
                                     "rfc2217://[::1]:7000", "--offset", "2.5"});
    ASSERT_EQ(three.m_devices.size(), 3u);
    EXPECT_EQ(Serial(three, 0).number, 1);
    EXPECT_EQ(Serial(three, 1).device, "/dev/ttyUSB0");
    EXPECT_EQ(Network(three, 2).protocol, NetworkDevice::Protocol::Rfc2217);
    EXPECT_EQ(Network(three, 2).host, "::1");
    EXPECT_EQ(Network(three, 2).port, 7000);
    EXPECT_EQ(three.m_devices[2].Label(), "rfc2217://[::1]:7000");
    for (const SyncDevice& each : three.m_devices) {
        EXPECT_EQ(each.latencyMicroseconds, 2'500);
    }
    EXPECT_TRUE(Parse({"--port", "1", "--require-synced"}).m_requireSynced);
    // A time reference's servers, in the order given, and how much it may be wrong by.
    const SyncCommand referenced =
        Parse({"--port", "1", "--ntp-server", "[::1]:10123", "--ntp-server", "ntp.example",
               "--max-error", "20", "--ntp-min-poll", "16"});
    ASSERT_EQ(referenced.m_ntpServers.size(), 2u) << referenced.m_error;
    EXPECT_EQ(referenced.m_ntpServers[0].Text(), "[::1]:10123");
    EXPECT_EQ(referenced.m_ntpServers[1].port, 123);
    EXPECT_EQ(referenced.m_maxErrorMicroseconds, 20'000);
    EXPECT_EQ(referenced.m_ntpMinPollExponent, 4);
    EXPECT_EQ(Parse({"--port", "1"}).m_maxErrorMicroseconds, kDefaultMaxErrorMicroseconds);
    EXPECT_FALSE(Parse({"--port", "1"}).m_requireSynced);

    EXPECT_EQ(Parse({"--port", "1", "--every", "90s"}).m_everyMicroseconds, 90 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--every", "10m"}).m_everyMicroseconds, 600 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--every", "24h"}).m_everyMicroseconds, 86'400 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--every", "7d"}).m_everyMicroseconds, 7 * 86'400 * kSecond);
    EXPECT_EQ(Parse({"--port", "1", "--offset", "-3.5"}).m_latencyMicroseconds, -3'500);
    EXPECT_EQ(Parse({"--port", "1", "--offset", "12"}).m_latencyMicroseconds, 12'000);
    EXPECT_FALSE(Parse({"--port", "1", "--no-align"}).m_align);
    EXPECT_EQ(Parse({"--dry-run"}).m_action, SyncCommand::Action::DryRun);
}

TEST(SyncCommandLine, WhatIsWrongIsAUsageError) {
    const std::vector<std::vector<const char*>> wrong = {
        {},
        {"--port"},
        {"--port", "0"},
        {"--port", "COM0"},
        {"--port", "256"},
        {"--port", "1", "--every", "0s"},
        {"--port", "1", "--every", "10"},
        {"--port", "1", "--every", "-1m"},
        {"--port", "1", "--every", "500ms"},
        {"--port", "1", "--every", "9999999d"},
        {"--port", "1", "--offset", "60001"},
        {"--port", "1", "--offset", "1e3x"},
        {"--port", "1", "--quiet", "--verbose"},
        {"--port", "1", "--at", "2016-04-12 09:05:30"},
        {"--dry-run", "--every", "1m"},
        {"--port", "1", "extra"},
        {"--port", "1", "--frobnicate"},
        {"--port", "COM2", "--port", "2"},
        {"--port", "1", "--port", "0"},
        {"--port", "tcp://clock:4001", "--port", "rfc2217://CLOCK:4001"},
        {"--port", "tcp://clock"},
        {"--ports-from", "/no/such/list"},
        {"--port", "1", "--ntp-server", "ntp:0"},
        {"--port", "1", "--ntp-server", "ntp", "--ntp-server", "NTP:123"},
        {"--port", "1", "--max-error", "50"},
        {"--port", "1", "--ntp-server", "ntp", "--max-error", "0"},
        {"--port", "1", "--ntp-server", "ntp", "--ntp-min-poll", "8"},
        {"--dry-run", "--ntp-server", "ntp"},
    };
    for (const auto& words : wrong) {
        std::vector<const char*> argv{"kalvor-sync"};
        argv.insert(argv.end(), words.begin(), words.end());
        const SyncCommand command = ParseSyncCommand(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(command.m_action, SyncCommand::Action::UsageError) << argv.size();
        EXPECT_FALSE(command.m_error.empty());
    }
}

TEST(SyncCommandLine, ADeviceListAddsToThePortOptionsWithTheDefaultOffset) {
    const std::string path = ::testing::TempDir() + "kalvor-device-list-test.list";
    std::ofstream(path) << "tcp://127.0.0.1:4001 offset=7\n# and one more\nCOM4\n"
                           "ntp-server 127.0.0.1:10123\n";
    const std::string option = "--ports-from=" + path;
    const char* argv[] = {"kalvor-sync", "--port", "COM3", option.c_str(), "--offset", "1"};
    const SyncCommand command = ParseSyncCommand(6, argv);
    std::remove(path.c_str());
    ASSERT_EQ(command.m_action, SyncCommand::Action::Sync) << command.m_error;
    ASSERT_EQ(command.m_devices.size(), 3u);
    EXPECT_EQ(command.m_devices[0].Label(), platform::NumberedPort(3).label);
    EXPECT_EQ(command.m_devices[0].latencyMicroseconds, 1'000);
    EXPECT_EQ(command.m_devices[1].Label(), "tcp://127.0.0.1:4001");
    EXPECT_EQ(command.m_devices[1].latencyMicroseconds, 7'000);
    EXPECT_EQ(command.m_devices[2].latencyMicroseconds, 1'000);
    ASSERT_EQ(command.m_ntpServers.size(), 1u);
    EXPECT_EQ(command.m_ntpServers[0].Text(), "127.0.0.1:10123");

    // A device given on the command line and in the list is given twice.
    std::ofstream(path) << "COM3\n";
    const SyncCommand twice = ParseSyncCommand(6, argv);
    std::remove(path.c_str());
    EXPECT_EQ(twice.m_action, SyncCommand::Action::UsageError);
    EXPECT_EQ(twice.m_error, platform::NumberedPort(3).label + " is given twice");
}
