// The time reference whole, with the platform's clocks, look-up and UDP sockets, against servers
// on loopback that ntp-fixture starts: Debian's chrony serving a clock 37 s ahead, and servers of
// the tests' own (ntp-test-server) that misbehave as told. Natively and under Wine.
#include "platform/Datagram.h"
#include "platform/MonotonicClock.h"
#include "tools/kalvor-sync/reference/TimeReference.h"

#include <cmath>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <iostream>

namespace kalvor_sync::reference {
namespace {

constexpr double kSecond = 1e6;

// The server ntp-fixture started under `name`.
ServerAddress Fixture(const char* name) {
    const char* address = std::getenv((std::string("KALVOR_NTP_") + name).c_str());
    EXPECT_NE(address, nullptr) << "run under tests/sync/reference/ntp-fixture: no " << name;
    std::string error;
    const auto server = ParseServer(address != nullptr ? address : "", error);
    EXPECT_TRUE(server) << error;
    return server.value_or(ServerAddress{});
}

// The burst closer than servers on the Internet take it: these are the test's own.
Options QuickBurst() {
    Options options;
    options.poll.burstSpacingMicroseconds = 300'000;
    return options;
}

struct Started {
    explicit Started(std::vector<ServerAddress> servers)
        : reference(std::move(servers), QuickBurst(), PlatformSeams()),
          usable(reference.WaitUntilUsable(std::chrono::seconds(20), interruption)),
          report(reference.Report()) {}
    platform::Interruption interruption;
    TimeReference reference;
    bool usable;
    ReferenceReport report;
};

// The computer's clock against the reference, which should find it `behind` seconds behind.
void ExpectBehind(const Started& started, double behind) {
    ASSERT_TRUE(started.usable);
    ASSERT_EQ(started.report.state, ReferenceState::Synced);
    ASSERT_TRUE(started.report.computerOffsetMicroseconds && started.report.errorBoundMicroseconds);
    const double error = *started.report.computerOffsetMicroseconds + behind * kSecond;
    std::cout << "off by " << error << " us, within " << *started.report.errorBoundMicroseconds
              << " us; delay " << started.report.delayMicroseconds.value_or(-1) << " us\n";
    EXPECT_LT(std::fabs(error), 5'000);
    EXPECT_LE(std::fabs(error), *started.report.errorBoundMicroseconds + 1'000);
}

TEST(ReferenceServers, ChronyThirtySevenSecondsAhead) {
    Started started({Fixture("CHRONY")});
    ExpectBehind(started, 37);
    const ServerReport& chrony = started.report.servers.at(0);
    EXPECT_EQ(chrony.reach, 0x0F);
    ASSERT_TRUE(chrony.lastAnswer);
    EXPECT_EQ(chrony.lastAnswer->stratum, 3);
    EXPECT_LT(*started.report.delayMicroseconds, 20'000);
    // The two directions agree: true time at a reading, and the reading at that true time.
    const std::int64_t now = platform::MonotonicMicroseconds();
    const auto told = started.reference.TrueTimeAt(now);
    ASSERT_TRUE(told);
    const auto back = started.reference.MonotonicAt(told->microseconds);
    ASSERT_TRUE(back);
    EXPECT_NEAR(static_cast<double>(*back), static_cast<double>(now), 2);
}

TEST(ReferenceServers, APortNobodyListensOnDoesNoHarm) {
    // Its "port unreachable" comes back to the socket the server's answers come to: Windows hands
    // it to the next receive as an error unless told not to.
    platform::UdpSocket probe;
    ASSERT_TRUE(probe.Bind(*platform::NumericAddress("127.0.0.1", 0)));
    const std::uint16_t closed = probe.LocalAddress()->Port();
    probe.Close();
    Started started({{"127.0.0.1", closed}, Fixture("CHRONY")});
    ExpectBehind(started, 37);
    EXPECT_EQ(started.report.servers.at(0).reach, 0);
    EXPECT_EQ(started.report.servers.at(1).reach, 0x0F);
}

TEST(ReferenceServers, StopsAtOnceWhileANameIsBeingLookedUp) {
    // The system's resolver keeps no time limit of its own: this one answers when the test says.
    std::promise<void> answer;
    Seams seams = PlatformSeams();
    seams.lookUp = [asked = answer.get_future().share()](const ServerAddress&) {
        asked.wait();
        return platform::Resolution{{}, "no such name"};
    };
    const auto start = std::chrono::steady_clock::now();
    {
        TimeReference reference({{"time.example", kNtpPort}}, QuickBurst(), seams);
        platform::Interruption interruption;
        EXPECT_FALSE(reference.WaitUntilUsable(std::chrono::milliseconds(300), interruption));
        EXPECT_EQ(reference.Report().state, ReferenceState::Unsynced);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    answer.set_value();
}

TEST(ReferenceServers, TheMajorityOutvotesAServerTenSecondsWrong) {
    Started started({Fixture("AHEAD3"), Fixture("AHEAD13"), Fixture("AHEAD3_TOO")});
    ExpectBehind(started, 3);
    EXPECT_FALSE(started.report.servers.at(0).outvoted);
    EXPECT_TRUE(started.report.servers.at(1).outvoted);
    EXPECT_FALSE(started.report.servers.at(2).outvoted);
}

TEST(ReferenceServers, ATimePast2036) {
    // 400,000,000 s ahead is 2039: the server's timestamps are of NTP's era 1.
    Started started({Fixture("ERA1")});
    ExpectBehind(started, 400'000'000);
}

TEST(ReferenceServers, MisbehavingServersAreToldApart) {
    Started started(
        {Fixture("DENY"), Fixture("RATE"), Fixture("FOREIGN"), Fixture("ZERO"), Fixture("REPEAT")});
    const std::vector<ServerReport>& servers = started.report.servers;
    ASSERT_EQ(servers.size(), 5u);
    EXPECT_TRUE(servers[0].dropped);
    EXPECT_EQ(servers[0].lastRejection, "kiss code DENY: access refused");
    EXPECT_EQ(servers[1].lastRejection, "kiss code RATE: asked too often");
    EXPECT_EQ(servers[1].pollSeconds, 128);
    EXPECT_EQ(servers[2].lastRejection, "foreign: not an answer to the request sent");
    EXPECT_EQ(servers[3].lastRejection, "zero transmit time");
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(servers[i].reach, 0) << servers[i].server;
        EXPECT_FALSE(servers[i].lastAnswer) << servers[i].server;
    }
    // The repeating server's first answers count, their second copies do not.
    EXPECT_EQ(servers[4].reach, 0x0F);
    EXPECT_EQ(servers[4].lastRejection, "repeat of an answer already taken");
    ExpectBehind(started, 0);
}

} // namespace
} // namespace kalvor_sync::reference
