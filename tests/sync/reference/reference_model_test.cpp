// The reference's core driven by a clock of the test's own: simulated servers answer its
// requests over simulated paths, and true time is known exactly, so that the model's error can be
// held against its bound at every moment. Hours pass in milliseconds.
#include "AnswerBytes.h"
#include "tools/kalvor-sync/reference/ReferenceCore.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace kalvor_sync::reference {
namespace {

constexpr std::int64_t kSecond = 1'000'000;
constexpr std::int64_t kStart = 5'000 * kSecond;               // the monotonic clock at the start
constexpr std::int64_t kTrueAtStart = 1'800'000'000 * kSecond; // 2027
constexpr std::int64_t kWallBehind = 37 * kSecond;             // the computer's clock is behind

struct SimulatedServer {
    double ahead = 0;        // how far its clock is off true time, in µs
    double outward = 10'000; // the paths' delays, in µs
    double back = 10'000;
    double jitter = 0;      // a random extra on either path, up to this much
    std::uint32_t kiss = 0; // answers with this kiss code instead
    bool silent = false;
};

struct SentRequest {
    std::size_t server;
    std::int64_t at;
};

// The world around a ReferenceCore: the monotonic clock, true time (running `rate` faster than
// the monotonic clock) and the servers.
class Simulation {
public:
    Simulation(std::vector<SimulatedServer> servers, double rate, Options options = {})
        : m_servers(std::move(servers)), m_rate(rate),
          m_core(Addresses(m_servers.size()), options, kStart, Wall(kStart)) {}

    double TrueAt(std::int64_t m) const {
        return static_cast<double>(kTrueAtStart) + static_cast<double>(m - kStart) * (1 + m_rate);
    }
    std::int64_t Wall(std::int64_t m) const {
        return kTrueAtStart - kWallBehind + (m - kStart) + m_wallStep;
    }
    // The computer's clock is set (by someone, or another program).
    void StepWall(std::int64_t step) { m_wallStep += step; }

    // Runs the core until the monotonic clock reads `until`, calling `check` at every step.
    void RunUntil(std::int64_t until, const std::function<void(std::int64_t)>& check = {}) {
        while (m_now < until) {
            m_core.Evaluate(m_now);
            for (const std::size_t server : m_core.Due(m_now)) {
                Ask(server);
            }
            std::int64_t next = std::min(until, m_core.NextWake(m_now));
            if (!m_inFlight.empty()) {
                next = std::min(next, m_inFlight.begin()->first);
            }
            // Checks between events too: the model must hold while nothing comes.
            next = std::min(next, m_now + 7 * kSecond);
            m_now = std::max(next, m_now + 1);
            while (!m_inFlight.empty() && m_inFlight.begin()->first <= m_now) {
                const Datagram datagram = m_inFlight.begin()->second;
                m_inFlight.erase(m_inFlight.begin());
                m_core.Receive(datagram, m_now, Wall(m_now));
            }
            m_core.Evaluate(m_now);
            if (check) {
                check(m_now);
            }
        }
    }

    // The model's error at `m` against true time, in µs, and its bound; nothing while unsynced.
    std::optional<std::pair<double, double>> ErrorAt(std::int64_t m) const {
        const auto told = m_core.TrueTimeAt(m);
        if (!told) {
            return std::nullopt;
        }
        return std::make_pair(static_cast<double>(told->microseconds) - TrueAt(m),
                              static_cast<double>(told->errorBoundMicroseconds));
    }

    ReferenceCore& Core() { return m_core; }
    std::vector<SimulatedServer>& Servers() { return m_servers; }
    const std::vector<SentRequest>& Requests() const { return m_requests; }
    std::int64_t Now() const { return m_now; }

private:
    static std::vector<ServerAddress> Addresses(std::size_t count) {
        std::vector<ServerAddress> addresses;
        for (std::size_t i = 0; i < count; ++i) {
            addresses.push_back({"127.0.0.1", static_cast<std::uint16_t>(1001 + i)});
        }
        return addresses;
    }

    void Ask(std::size_t server) {
        const NtpTimestamp origin = m_random();
        m_core.NewRequest(server, origin);
        m_core.Sent(server, m_now, true, {});
        m_requests.push_back({server, m_now});
        const SimulatedServer& simulated = m_servers[server];
        if (simulated.silent) {
            return;
        }
        std::uniform_real_distribution<double> extra(0, simulated.jitter);
        const double outward = simulated.outward + extra(m_random);
        const double back = simulated.back + extra(m_random);
        const auto arrives = m_now + static_cast<std::int64_t>(outward);
        const double stamped = TrueAt(arrives) + simulated.ahead;
        const NtpTimestamp t2 = TimestampOfMicroseconds(std::llround(stamped));
        PacketFields fields = GoodAnswer(origin, t2, Advance(t2, SpanOfMicroseconds(50)));
        if (simulated.kiss != 0) {
            fields.leap = 3;
            fields.stratum = 0;
            fields.referenceId = simulated.kiss;
        }
        Datagram datagram{*platform::NumericAddress("127.0.0.1", 1001 + server),
                          AnswerBytes(fields), arrives + 50 + static_cast<std::int64_t>(back)};
        m_inFlight.emplace(datagram.receivedAt, datagram);
    }

    std::vector<SimulatedServer> m_servers;
    double m_rate;
    std::int64_t m_wallStep = 0; // before the core, which reads the wall clock as it is made
    ReferenceCore m_core;
    std::int64_t m_now = kStart;
    std::multimap<std::int64_t, Datagram> m_inFlight;
    std::vector<SentRequest> m_requests;
    std::mt19937_64 m_random{7};
};

// Every moment the model tells the time, its error lies within its bound.
void HoldsItsBound(const Simulation& simulation, std::int64_t m) {
    if (const auto error = simulation.ErrorAt(m)) {
        ASSERT_LE(std::fabs(error->first), error->second)
            << "at " << (m - kStart) / kSecond << " s";
    }
}

TEST(ReferenceModel, AReferenceRunning200PpmFastDoesNotDrift) {
    Simulation simulation({{0, 10'000, 10'000, 2'000}, {0, 20'000, 20'000, 2'000}}, 200e-6);
    double worstLate = 0;
    simulation.RunUntil(kStart + 4 * 3600 * kSecond, [&](std::int64_t m) {
        HoldsItsBound(simulation, m);
        if (m > kStart + 3600 * kSecond) {
            worstLate = std::max(worstLate, std::fabs(simulation.ErrorAt(m)->first));
        }
    });
    // Uncorrected, 200 ppm is 13 ms within one poll of 64 s and 200 ms within one of 1,024 s.
    EXPECT_LT(worstLate, 3'000);
    EXPECT_NEAR(simulation.Core().Report(simulation.Now(), 0).frequencyPpm, 200, 5);
    EXPECT_EQ(simulation.Core().State(), ReferenceState::Synced);
}

TEST(ReferenceModel, HoldoverKeepsTheTrueErrorWithinTheGrowingBound) {
    Options options;
    options.mostErrorMicroseconds = 200'000;
    Simulation simulation({{0, 15'000, 15'000, 4'000}, {0, 5'000, 5'000, 1'000}}, -80e-6, options);
    simulation.RunUntil(kStart + 2 * 3600 * kSecond);
    ASSERT_EQ(simulation.Core().State(), ReferenceState::Synced);
    const auto silence = [&simulation](bool silent) {
        for (SimulatedServer& server : simulation.Servers()) {
            server.silent = silent;
        }
    };
    // An outage of an hour: holdover, then synced again when the servers come back.
    silence(true);
    simulation.RunUntil(kStart + 3 * 3600 * kSecond,
                        [&](std::int64_t m) { HoldsItsBound(simulation, m); });
    ASSERT_EQ(simulation.Core().State(), ReferenceState::Holdover);
    silence(false);
    simulation.RunUntil(kStart + 4 * 3600 * kSecond,
                        [&](std::int64_t m) { HoldsItsBound(simulation, m); });
    ASSERT_EQ(simulation.Core().State(), ReferenceState::Synced);
    silence(true);
    double lastBound = 0;
    bool heldOver = false;
    simulation.RunUntil(kStart + 32 * 3600 * kSecond, [&](std::int64_t m) {
        HoldsItsBound(simulation, m);
        if (simulation.Core().State() == ReferenceState::Holdover) {
            heldOver = true;
            const double bound = simulation.ErrorAt(m)->second;
            EXPECT_GE(bound, lastBound);
            lastBound = bound;
        }
    });
    EXPECT_TRUE(heldOver);
    // The bound grows at least 15 µs a second: past 200 ms within hours, then the reference
    // tells no time.
    EXPECT_GT(lastBound, 100'000);
    EXPECT_EQ(simulation.Core().State(), ReferenceState::Unsynced);
    EXPECT_FALSE(simulation.Core().TrueTimeAt(simulation.Now()));
}

TEST(ReferenceModel, AServerTenSecondsWrongIsOutvoted) {
    Simulation simulation({{0, 8'000, 8'000, 1'000}, {10 * kSecond}, {0, 3'000, 3'000, 500}},
                          30e-6);
    simulation.RunUntil(kStart + 1800 * kSecond);
    // The computer's clock is set an hour on: true time does not move, the offset does.
    simulation.StepWall(3600 * kSecond);
    simulation.RunUntil(kStart + 3600 * kSecond,
                        [&](std::int64_t m) { HoldsItsBound(simulation, m); });
    const ReferenceReport report =
        simulation.Core().Report(simulation.Now(), simulation.Wall(simulation.Now()));
    EXPECT_FALSE(report.servers[0].outvoted);
    EXPECT_TRUE(report.servers[1].outvoted);
    EXPECT_FALSE(report.servers[2].outvoted);
    EXPECT_LT(std::fabs(simulation.ErrorAt(simulation.Now())->first), 2'000);
    ASSERT_TRUE(report.computerOffsetMicroseconds);
    // The computer's clock runs at the monotonic clock's rate, 30 ppm slow against true time,
    // and an hour ahead since it was set.
    EXPECT_NEAR(*report.computerOffsetMicroseconds,
                static_cast<double>(simulation.Wall(simulation.Now())) -
                    simulation.TrueAt(simulation.Now()),
                2'000);
}

TEST(ReferenceModel, AsymmetricPathsStayWithinTheBound) {
    // 40 ms out and 2 ms back: every measurement puts the server 19 ms ahead of where it is,
    // which only the delay can tell.
    Simulation simulation({{0, 40'000, 2'000}}, 0);
    simulation.RunUntil(kStart + 600 * kSecond,
                        [&](std::int64_t m) { HoldsItsBound(simulation, m); });
    const auto error = simulation.ErrorAt(simulation.Now());
    ASSERT_TRUE(error);
    EXPECT_NEAR(error->first, 19'000, 100);
    EXPECT_GE(error->second, 19'000);
}

// When each request goes out, in seconds from the start, for one server.
std::vector<double> RequestTimes(const Simulation& simulation, std::size_t server) {
    std::vector<double> times;
    for (const SentRequest& request : simulation.Requests()) {
        if (request.server == server) {
            times.push_back(static_cast<double>(request.at - kStart) / kSecond);
        }
    }
    return times;
}

// The times match to a tenth of a second (an answer's round trip shifts what follows it).
void ExpectTimes(const std::vector<double>& times, const std::vector<double>& expected) {
    ASSERT_EQ(times.size(), expected.size()) << ::testing::PrintToString(times);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(times[i], expected[i], 0.1) << ::testing::PrintToString(times);
    }
}

TEST(ReferencePoller, BurstThenPollsBackingOffOnSilence) {
    Simulation simulation({{}, {0, 0, 0, 0, 0, true}}, 0);
    // The silent server's last burst request (at 6 s) is waited for until 8 s.
    simulation.RunUntil(kStart + 7 * kSecond);
    EXPECT_FALSE(simulation.Core().BurstsOver(simulation.Now()));
    simulation.RunUntil(kStart + 8 * kSecond + 1);
    EXPECT_TRUE(simulation.Core().BurstsOver(simulation.Now()));
    simulation.RunUntil(kStart + 1'000 * kSecond);
    // The burst, 2 s apart, then 64 s; four answers later (the burst's last among them) the
    // interval doubles.
    ExpectTimes(RequestTimes(simulation, 0), {0, 2, 4, 6, 70, 134, 198, 262, 390, 518, 646, 774});
    // The silent one: each unanswered poll doubles the interval.
    const std::vector<double> silent = RequestTimes(simulation, 1);
    ExpectTimes(silent, {0, 2, 4, 6, 70, 198, 454, 966});
    const ReferenceReport report = simulation.Core().Report(simulation.Now(), 0);
    EXPECT_EQ(report.servers[0].reach, 0xFF);
    EXPECT_EQ(report.servers[1].reach, 0);
}

TEST(ReferencePoller, RateDoublesTheIntervalAndDenyDropsTheServer) {
    Simulation simulation({{}, {}}, 0);
    simulation.Servers()[0].kiss = 0x52415445; // RATE
    simulation.Servers()[1].kiss = 0x44454E59; // DENY
    simulation.RunUntil(kStart + 1'000 * kSecond);
    // RATE ends the burst: the next request waits 128 s, then 256 s, and so on.
    ExpectTimes(RequestTimes(simulation, 0), {0, 128, 384, 896});
    // DENY: not one more request.
    ExpectTimes(RequestTimes(simulation, 1), {0});
    const ReferenceReport report = simulation.Core().Report(simulation.Now(), 0);
    EXPECT_TRUE(report.servers[1].dropped);
    EXPECT_EQ(report.servers[1].lastRejection, "kiss code DENY: access refused");
    EXPECT_EQ(report.state, ReferenceState::Unsynced);
}

} // namespace
} // namespace kalvor_sync::reference
