// kalvor-sync against network devices that misbehave, each made on this computer's loopback
// address by the test itself: an RFC 2217 server that refuses, a device that hangs up after two
// frames, a port nobody listens on, an address that never answers (a listener whose queue is
// full), and names that cannot be looked up (through a stand-in for the resolver: no test asks
// anyone). Each is a port that could not be opened (1) or a frame that could not be written (3),
// told in words that name the device, and a silent device costs the others one time limit.
#include "platform/Socket.h"
#include "tools/common/Telnet.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/program/SyncProgram.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>

using namespace kalvor_sync;
using Clock = std::chrono::steady_clock;

namespace {

using Bytes = std::vector<std::uint8_t>;

// How much later than the time limit a run may end here: a loaded machine, or a sanitizer, slows
// everything down (under them the bound is a few seconds wider).
constexpr auto kSlack = std::chrono::seconds(3);

platform::SocketAddress Loopback(std::uint16_t port = 0) {
    return *platform::NumericAddress("127.0.0.1", port);
}

// A listener on a free loopback port.
platform::TcpSocket Listener(int backlog = 4) {
    platform::TcpSocket listener;
    EXPECT_TRUE(listener.Listen(Loopback(), backlog));
    return listener;
}

std::uint16_t PortOf(const platform::TcpSocket& socket) {
    return socket.LocalAddress()->Port();
}

// A device on the network that does what its script says with the one client it takes, on a
// thread of its own: answers what it receives with `answer` (once, at the first bytes), and hangs
// up once `hangUpAfter` bytes came. Keeps what it received.
class ScriptedDevice {
public:
    ScriptedDevice(Bytes answer, std::size_t hangUpAfter)
        : m_listener(Listener()), m_answer(std::move(answer)), m_hangUpAfter(hangUpAfter),
          m_thread([this] { Serve(); }) {}
    ~ScriptedDevice() {
        m_stop = true;
        m_thread.join();
    }
    std::uint16_t Port() const { return m_port; }
    Bytes Received() {
        const std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    void Serve() {
        platform::TcpSocket client;
        while (!m_stop && !client.IsOpen()) {
            client = m_listener.Accept();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        bool answered = false;
        while (!m_stop && client.IsOpen()) {
            std::uint8_t buffer[256];
            int count = 0;
            const auto status = client.Receive(buffer, sizeof buffer, count);
            if (status == platform::ReceiveStatus::Closed ||
                status == platform::ReceiveStatus::Failed) {
                break;
            }
            if (status == platform::ReceiveStatus::Received) {
                const std::lock_guard lock(m_mutex);
                m_received.insert(m_received.end(), buffer, buffer + count);
                if (!answered && !m_answer.empty()) {
                    client.Send(m_answer.data(), static_cast<int>(m_answer.size()));
                    answered = true;
                }
                if (m_received.size() >= m_hangUpAfter) {
                    client.Close();
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    platform::TcpSocket m_listener;
    const std::uint16_t m_port = PortOf(m_listener);
    const Bytes m_answer;
    const std::size_t m_hangUpAfter;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    Bytes m_received; // under m_mutex
    std::thread m_thread;
};

// An address that never answers: a listener with no room in its queue, filled by one client that
// it never takes, so that the system drops every further attempt to connect.
struct SilentAddress {
    platform::TcpSocket listener = Listener(0);
    platform::TcpSocket filler;
    SilentAddress() { filler.StartConnect(Loopback(PortOf(listener))); }
    std::string Url() const { return "tcp://127.0.0.1:" + std::to_string(PortOf(listener)); }
};

struct Outcome {
    int status = -1;
    std::string out, errors;
    Clock::duration took{};
};

Outcome Sync(const std::vector<std::string>& urls, const NetworkOptions& network = {}) {
    SyncCommand command;
    command.m_align = false; // nothing here is about the instant
    for (const std::string& url : urls) {
        command.m_devices.push_back({*kalvor_tools::ParseDeviceArgument(url).device, 0});
    }
    platform::ClockSyncState synchronised;
    synchronised.status = platform::ClockSyncStatus::Synchronised;
    std::ostringstream out, errors;
    Outcome outcome;
    const auto start = Clock::now();
    outcome.status = RunSync(
        command, out, errors, [&] { return synchronised; }, network);
    outcome.took = Clock::now() - start;
    outcome.out = out.str();
    outcome.errors = errors.str();
    return outcome;
}

Bytes Negotiation(std::uint8_t verb, std::uint8_t option) {
    Bytes bytes;
    telnet::AppendNegotiation(bytes, verb, option);
    return bytes;
}

} // namespace

TEST(NetworkDevice, AnRfc2217ServerThatRefusesTheOptionIsAPortNotSetUp) {
    ScriptedDevice server(Negotiation(telnet::kDont, telnet::kOptionComPort), 1'000);
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    const Outcome run = Sync({url});
    EXPECT_EQ(run.status, kExitPortNotOpened);
    EXPECT_EQ(run.errors, "kalvor-sync: " + url +
                              ": the RFC 2217 server refuses the COM-PORT-OPTION (RFC 2217)\n");
    // It heard the requests, and not a byte of a frame.
    const Bytes received = server.Received();
    ASSERT_GE(received.size(), 3u);
    EXPECT_EQ(Bytes(received.begin(), received.begin() + 3),
              Negotiation(telnet::kWill, telnet::kOptionComPort));
    EXPECT_EQ(std::count(received.begin(), received.end(), std::uint8_t{0xF6}), 0);
}

TEST(NetworkDevice, AConnectionThatDropsMidSequenceIsAFrameNotWritten) {
    ScriptedDevice device({}, 8); // hangs up after two frames
    const std::string url = "tcp://127.0.0.1:" + std::to_string(device.Port());
    const Outcome run = Sync({url});
    EXPECT_EQ(run.status, kExitSendFailed) << run.errors;
    EXPECT_EQ(device.Received().size(), 8u);
    EXPECT_NE(run.errors.find("kalvor-sync: " + url + ": "), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("connection"), std::string::npos) << run.errors;
    EXPECT_EQ(run.out.find("set "), std::string::npos) << run.out;
}

TEST(NetworkDevice, AnAddressNobodyListensOnIsRefusedAtOnce) {
    std::string url;
    {
        platform::TcpSocket gone = Listener();
        url = "tcp://127.0.0.1:" + std::to_string(PortOf(gone));
    }
    const Outcome run = Sync({url});
    EXPECT_EQ(run.status, kExitPortNotOpened);
    EXPECT_EQ(run.errors.rfind("kalvor-sync: " + url + ": cannot connect to 127.0.0.1:", 0), 0u)
        << run.errors;
    EXPECT_LT(run.took, kSlack);
}

TEST(NetworkDevice, AnAddressThatNeverAnswersCostsOneTimeLimit) {
    const SilentAddress silent;
    const Outcome run = Sync({silent.Url()});
    EXPECT_EQ(run.status, kExitPortNotOpened);
    EXPECT_EQ(run.errors, "kalvor-sync: " + silent.Url() + ": no answer from 127.0.0.1:" +
                              silent.Url().substr(silent.Url().rfind(':') + 1) + " within 3 s\n");
    EXPECT_GE(run.took, std::chrono::seconds(kConnectLimitSeconds));
    EXPECT_LT(run.took, std::chrono::seconds(kConnectLimitSeconds) + kSlack);
}

TEST(NetworkDevice, TenSilentDevicesCostTheOthersOneTimeLimitNotTen) {
    std::vector<std::unique_ptr<SilentAddress>> silent;
    std::vector<std::string> urls;
    for (int i = 0; i < 10; ++i) {
        silent.push_back(std::make_unique<SilentAddress>());
        urls.push_back(silent.back()->Url());
    }
    ScriptedDevice device({}, 1'000);
    urls.push_back("tcp://127.0.0.1:" + std::to_string(device.Port()));
    const Outcome run = Sync(urls);
    EXPECT_EQ(run.status, kExitPortNotOpened);
    EXPECT_EQ(device.Received().size(), 28u) << "the answering device gets its sequence";
    EXPECT_NE(run.out.find("set " + urls.back() + " to "), std::string::npos) << run.out;
    // The limit once, then one sequence of 1.2 s and its closing pause.
    EXPECT_LT(run.took, std::chrono::seconds(kConnectLimitSeconds + 2) + kSlack);
}

TEST(NetworkDevice, ANameThatCannotBeLookedUpIsToldWithTheResolversReason) {
    NetworkOptions network;
    std::string asked;
    network.resolve = [&asked](const std::string& host, std::uint16_t) {
        asked = host;
        return platform::Resolution{{}, "Name or service not known"};
    };
    const Outcome run = Sync({"tcp://clock-hall:4001"}, network);
    EXPECT_EQ(run.status, kExitPortNotOpened);
    EXPECT_EQ(asked, "clock-hall");
    EXPECT_EQ(run.errors, "kalvor-sync: tcp://clock-hall:4001: cannot find the address of "
                          "clock-hall: Name or service not known\n");
}

TEST(NetworkDevice, AResolverThatNeverAnswersIsGivenUpAfterTheTimeLimit) {
    // The look-up blocks until the test ends; the program must not wait for it.
    auto gate = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
    auto released = std::make_shared<bool>(false);
    NetworkOptions network;
    network.resolve = [gate, released](const std::string&, std::uint16_t) {
        std::unique_lock lock(gate->first);
        gate->second.wait(lock, [&] { return *released; });
        return platform::Resolution{{}, "released"};
    };
    const Outcome run = Sync({"rfc2217://slow-clock:4001"}, network);
    {
        const std::lock_guard lock(gate->first);
        *released = true;
    }
    gate->second.notify_all();
    EXPECT_EQ(run.status, kExitPortNotOpened);
    EXPECT_EQ(run.errors, "kalvor-sync: rfc2217://slow-clock:4001: cannot find the address of "
                          "slow-clock within 3 s\n");
    EXPECT_LT(run.took, std::chrono::seconds(kConnectLimitSeconds) + kSlack);
}
