// The answer reader: every check of an answer in one table, offset and delay on both sides of
// 2036's era change, and the servers as the user names them.
#include "AnswerBytes.h"
#include "tools/kalvor-sync/reference/NtpTimestamp.h"
#include "tools/kalvor-sync/reference/ServerAddress.h"

#include <functional>
#include <gtest/gtest.h>

namespace kalvor_sync::reference {
namespace {

constexpr NtpTimestamp kOrigin = 0x1234'5678'9ABC'DEF0;
constexpr std::int64_t kSecond = 1'000'000;
// 2036-02-07 06:28:16 UTC, where NTP's era 1 begins, as microseconds since 1970.
constexpr std::int64_t kEra1 = (std::int64_t{1} << 32) - kSecondsFrom1900To1970;

// An exchange around `at` (microseconds since 1970): sent 10 ms before it, answered 10 ms after.
Exchange ExchangeAround(std::int64_t at) {
    return {kOrigin, TimestampOfMicroseconds(at * kSecond - 10'000),
            TimestampOfMicroseconds(at * kSecond + 10'000), false};
}

TEST(NtpAnswer, EachCheckWithItsReason) {
    const Exchange exchange = ExchangeAround(1'700'000'000);
    const NtpTimestamp t2 = Advance(exchange.sent, SpanOfMicroseconds(5'000));
    const NtpTimestamp t3 = Advance(t2, SpanOfMicroseconds(1'000));
    struct Case {
        const char* name;
        std::function<void(PacketFields&, std::vector<std::uint8_t>&, Exchange&)> spoil;
        Verdict verdict;
        const char* reason;
    };
    const Case cases[] = {
        {"good", [](auto&, auto&, auto&) {}, Verdict::Taken, ""},
        {"version 3", [](auto& f, auto&, auto&) { f.version = 3; }, Verdict::Taken, ""},
        {"short", [](auto&, auto& b, auto&) { b.resize(47); }, Verdict::Rejected,
         "short answer: 47 bytes"},
        {"a client's", [](auto& f, auto&, auto&) { f.mode = 3; }, Verdict::Rejected,
         "not a server's answer: mode 3"},
        {"version 2", [](auto& f, auto&, auto&) { f.version = 2; }, Verdict::Rejected, "version 2"},
        {"foreign", [](auto& f, auto&, auto&) { f.origin ^= 1; }, Verdict::Rejected,
         "foreign: not an answer to the request sent"},
        {"repeat", [](auto&, auto&, auto& e) { e.answered = true; }, Verdict::Rejected,
         "repeat of an answer already taken"},
        {"zero transmit", [](auto& f, auto&, auto&) { f.transmit = 0; }, Verdict::Rejected,
         "zero transmit time"},
        {"leap 3", [](auto& f, auto&, auto&) { f.leap = 3; }, Verdict::Rejected,
         "server unsynchronised: leap indicator 3"},
        {"unsynchronised",
         [](auto& f, auto&, auto&) { f.leap = 3, f.stratum = 0, f.referenceId = 0; },
         Verdict::Rejected, "server unsynchronised"},
        {"stratum 16", [](auto& f, auto&, auto&) { f.stratum = 16; }, Verdict::Rejected,
         "stratum 16"},
        {"DENY", [](auto& f, auto&, auto&) { f.stratum = 0, f.referenceId = 0x44454E59; },
         Verdict::Denied, "kiss code DENY: access refused"},
        {"RSTR", [](auto& f, auto&, auto&) { f.stratum = 0, f.referenceId = 0x52535452; },
         Verdict::Denied, "kiss code RSTR: access refused"},
        {"RATE", [](auto& f, auto&, auto&) { f.stratum = 0, f.referenceId = 0x52415445; },
         Verdict::RateLimited, "kiss code RATE: asked too often"},
        {"experimental", [](auto& f, auto&, auto&) { f.stratum = 0, f.referenceId = 0x58595A31; },
         Verdict::Rejected, "kiss code XYZ1 (experimental), ignored"},
        {"a foreign kiss",
         [](auto& f, auto&, auto&) { f.stratum = 0, f.referenceId = 0x44454E59, f.origin = 0; },
         Verdict::Rejected, "foreign: not an answer to the request sent"},
        {"T3 before T2", [](auto& f, auto&, auto&) { std::swap(f.receive, f.transmit); },
         Verdict::Rejected, "the server's transmit time precedes its receive time"},
        {"negative delay",
         [](auto& f, auto&, auto&) { f.transmit = Advance(f.receive, SpanOfMicroseconds(30'000)); },
         Verdict::Rejected, "negative delay"},
        {"half an era held",
         [](auto& f, auto&, auto& e) {
             f.transmit = Advance(f.receive, 0x7FFF'FFFF'0000'0000);
             e.received = Advance(e.sent, -0x7FFF'FFFF'0000'0000);
         },
         Verdict::Rejected, "negative delay"},
        {"far from the root", [](auto& f, auto&, auto&) { f.rootDispersion = 0x0001'0000; },
         Verdict::Rejected, "root distance 1011 ms, over 1 s"},
    };
    for (const Case& c : cases) {
        PacketFields fields = GoodAnswer(kOrigin, t2, t3);
        std::vector<std::uint8_t> bytes;
        Exchange spoilt = exchange;
        c.spoil(fields, bytes, spoilt);
        std::vector<std::uint8_t> written = AnswerBytes(fields);
        if (!bytes.empty()) {
            written.resize(bytes.size());
        }
        const Judgement judgement = JudgeAnswer(written, spoilt);
        EXPECT_EQ(judgement.verdict, c.verdict) << c.name;
        EXPECT_EQ(judgement.reason, c.reason) << c.name;
    }
}

TEST(NtpAnswer, OffsetAndDelayAcrossTheEraChange) {
    // The client's clock and the server's on either side of 2036-02-07, and both beyond it: the
    // raw timestamps wrap, the measurement does not.
    struct Case {
        std::int64_t clientAt;
        std::int64_t serverAhead;
    };
    for (const Case c : {Case{kEra1 - 2, 5 * kSecond}, Case{kEra1 + 3, -7 * kSecond},
                         Case{kEra1 + 86'400, 250'000}, Case{1'700'000'000, 37 * kSecond}}) {
        const std::int64_t t1 = c.clientAt * kSecond;
        const std::int64_t t4 = t1 + 30'000;
        const std::int64_t t2 = t1 + 12'000 + c.serverAhead; // 12 ms out, 17 ms back, 1 ms held
        const std::int64_t t3 = t2 + 1'000;
        const Exchange exchange{kOrigin, TimestampOfMicroseconds(t1), TimestampOfMicroseconds(t4),
                                false};
        const Judgement judgement =
            JudgeAnswer(AnswerBytes(GoodAnswer(kOrigin, TimestampOfMicroseconds(t2),
                                               TimestampOfMicroseconds(t3))),
                        exchange);
        ASSERT_EQ(judgement.verdict, Verdict::Taken) << judgement.reason;
        EXPECT_NEAR(judgement.measurement.offsetMicroseconds,
                    static_cast<double>(c.serverAhead) - 2'500, 1)
            << c.clientAt;
        EXPECT_NEAR(judgement.measurement.delayMicroseconds, 29'000, 1) << c.clientAt;
        // The era is the one nearest the pivot.
        EXPECT_EQ(MicrosecondsOfTimestamp(TimestampOfMicroseconds(t2), t1), t2);
    }
    EXPECT_EQ(TimestampOfMicroseconds(kEra1 * kSecond), 0u);
    EXPECT_EQ(MicrosecondsOfTimestamp(0, 1'900'000'000 * kSecond), kEra1 * kSecond);
    EXPECT_EQ(MicrosecondsOfTimestamp(0, -1'000'000'000 * kSecond),
              -kSecondsFrom1900To1970 * kSecond);
}

TEST(NtpAnswer, ServersAsTheUserNamesThem) {
    struct Case {
        const char* text;
        const char* host; // nullptr: refused
        std::uint16_t port;
    };
    for (const Case c :
         {Case{"pool.example", "pool.example", 123}, Case{"127.0.0.2:1123", "127.0.0.2", 1123},
          Case{"[::1]:10123", "::1", 10123}, Case{"[::1]", "::1", 123},
          Case{"0:0:0:0:0:0:0:1", "0:0:0:0:0:0:0:1", 123}, Case{"host:", nullptr, 0},
          Case{"host:70000", nullptr, 0}, Case{"[::1", nullptr, 0}, Case{"[host]:1", nullptr, 0},
          Case{"a b", nullptr, 0}, Case{"", nullptr, 0}}) {
        std::string error;
        const auto server = ParseServer(c.text, error);
        ASSERT_EQ(server.has_value(), c.host != nullptr) << c.text << ": " << error;
        if (server) {
            EXPECT_EQ(server->host, c.host);
            EXPECT_EQ(server->port, c.port);
            std::string again;
            EXPECT_EQ(ParseServer(server->Text(), again), server) << server->Text();
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

} // namespace
} // namespace kalvor_sync::reference
