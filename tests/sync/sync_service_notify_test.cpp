// kalvor-sync under systemd's notify protocol, the test standing in for systemd's notify socket:
// the datagrams of ServiceNotify, and a following run that says it is ready once its first
// sequence is over (or once it waits for the clock), feeds the watchdog and says it stops.
#include "platform/ServiceNotify.h"
#include "tests/serial/support/FarEnd.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/follow/ClockCheck.h"
#include "tools/kalvor-sync/program/SyncProgram.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace kalvor_sync;
using namespace std::chrono_literals;

namespace {

// The service manager's end: a datagram socket that keeps what it is sent, with its arrival.
class NotifySocket {
public:
    struct Message {
        std::string text;
        std::chrono::steady_clock::time_point at;
    };

    // `name` is a path, or an abstract name after '@'; NOTIFY_SOCKET names it while this lives.
    explicit NotifySocket(const std::string& name) : m_name(name) {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
        } else {
            ::unlink(name.c_str());
            ++length;
        }
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length), 0)
            << std::strerror(errno);
        timeval wait{0, 100'000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
        m_reader = std::thread([this] {
            char buffer[4096];
            while (!m_stop) {
                const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
                if (got > 0) {
                    std::lock_guard lock(m_mutex);
                    m_messages.push_back({std::string(buffer, static_cast<std::size_t>(got)),
                                          std::chrono::steady_clock::now()});
                }
            }
        });
    }
    ~NotifySocket() {
        m_stop = true;
        m_reader.join();
        ::close(m_fd);
        if (m_name[0] != '@') {
            ::unlink(m_name.c_str());
        }
        ::unsetenv("NOTIFY_SOCKET");
        ::unsetenv("WATCHDOG_USEC");
        ::unsetenv("WATCHDOG_PID");
    }

    std::vector<Message> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const Message& message : Messages()) {
            texts.push_back(message.text);
        }
        return texts;
    }
    // Waits up to `timeout` for a message that starts with `start`; its index, or -1.
    int WaitFor(const std::string& start, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            const std::vector<std::string> texts = Texts();
            for (std::size_t i = 0; i < texts.size(); ++i) {
                if (texts[i].rfind(start, 0) == 0) {
                    return static_cast<int>(i);
                }
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return -1;
    }
    int Count(const std::string& text) {
        const std::vector<std::string> texts = Texts();
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }

private:
    const std::string m_name;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Message> m_messages; // under m_mutex
    std::thread m_reader;
};

std::string SocketPath(const char* what) {
    return "/tmp/kalvor-notify-" + std::to_string(::getpid()) + "-" + what;
}

TEST(ServiceNotify, EachCallIsOneDatagramOfTheProtocol) {
    NotifySocket manager(SocketPath("calls"));
    ::setenv("WATCHDOG_USEC", "200000", 1);
    ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
    platform::ServiceNotify notify;
    EXPECT_EQ(notify.WatchdogMicroseconds(), 200'000);
    notify.Ready();
    notify.Status("two\nlines");
    notify.WatchdogAlive();
    notify.Stopping();
    ASSERT_GE(manager.WaitFor("STOPPING=1", 2s), 0);
    EXPECT_EQ(manager.Texts(), (std::vector<std::string>{"READY=1", "STATUS=two lines",
                                                         "WATCHDOG=1", "STOPPING=1"}));
}

TEST(ServiceNotify, AnAbstractSocketAndAWatchdogForAnotherProcess) {
    NotifySocket manager("@kalvor-notify-" + std::to_string(::getpid()));
    ::setenv("WATCHDOG_USEC", "200000", 1);
    ::setenv("WATCHDOG_PID", "1", 1); // the watchdog is for another process, not this one
    platform::ServiceNotify notify;
    EXPECT_EQ(notify.WatchdogMicroseconds(), 0);
    notify.WatchdogAlive();
    notify.Ready();
    ASSERT_GE(manager.WaitFor("READY=1", 2s), 0);
    EXPECT_EQ(manager.Texts(), std::vector<std::string>{"READY=1"});
}

TEST(ServiceNotify, WithoutASocketNothingIsSentAndNothingFails) {
    ::unsetenv("NOTIFY_SOCKET");
    ::setenv("WATCHDOG_USEC", "200000", 1);
    platform::ServiceNotify notify;
    EXPECT_EQ(notify.WatchdogMicroseconds(), 0);
    notify.Ready();
    notify.Status("nobody listens");
    notify.WatchdogAlive();
    notify.Stopping();
    ::unsetenv("WATCHDOG_USEC");
}

// --- A following run under the stand-in manager, setting a device on a pseudo-terminal.

constexpr int kLinePort = 1;
constexpr std::size_t kSequenceBytes = 28;

struct FollowingRun {
    explicit FollowingRun(const ClockCheck::Reader& clock, bool requireSynced) {
        command.m_devices = {{serial_test::PortFor(kLinePort), 0}};
        command.m_everyMicroseconds = 3'600'000'000;
        command.m_requireSynced = requireSynced;
        command.m_align = false; // nothing here is about the instant
        runner = std::thread([this, clock] {
            status = RunSync(command, out, errors, clock, interruption);
            ended = true;
        });
    }
    // Asks it to stop, as systemd's SIGTERM does, and waits for its end.
    int Stop() {
        interruption.Request();
        runner.join();
        return status;
    }

    platform::Interruption interruption;
    SyncCommand command;
    std::ostringstream out, errors;
    std::atomic<bool> ended{false};
    int status = -1;
    std::thread runner;
};

platform::ClockSyncState Clock(platform::ClockSyncStatus status) {
    return {status, "the test says so", std::nullopt, std::nullopt};
}

TEST(ServiceNotify, ReadyOnceTheFirstSequenceIsOverThenTheWatchdogFedUntilTheStop) {
    serial_test::FarEnd line(kLinePort);
    NotifySocket manager(SocketPath("following"));
    ::setenv("WATCHDOG_USEC", "400000", 1);
    FollowingRun run([] { return Clock(platform::ClockSyncStatus::Synchronised); }, false);

    const int ready = manager.WaitFor("READY=1", 20s);
    ASSERT_GE(ready, 0) << run.errors.str();
    // The whole sequence was on the line when READY came.
    EXPECT_EQ(line.Read(kSequenceBytes, 100).size(), kSequenceBytes);
    std::vector<std::string> statuses;
    const std::vector<std::string> texts = manager.Texts();
    for (int i = 0; i < ready; ++i) {
        if (texts[i].rfind("STATUS=", 0) == 0) {
            statuses.push_back(texts[i]);
        }
    }
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0], "STATUS=starting");
    EXPECT_NE(statuses[1].find("(start): set COM1"), std::string::npos) << statuses[1];

    // A second and a half of waiting for the next period: the watchdog hears of it every 100 ms.
    const int fedBefore = manager.Count("WATCHDOG=1");
    std::this_thread::sleep_for(1500ms);
    EXPECT_GE(manager.Count("WATCHDOG=1") - fedBefore, 5);
    EXPECT_FALSE(run.ended);

    EXPECT_EQ(run.Stop(), kExitSent);
    ASSERT_GE(manager.WaitFor("STATUS=stopped by Ctrl-C, exit status 0", 2s), 0);
    EXPECT_EQ(manager.Count("READY=1"), 1);
    EXPECT_EQ(manager.Count("STOPPING=1"), 1);
}

TEST(ServiceNotify, RequireSyncedWhileFollowingIsReadyAndWaitsForTheClock) {
    serial_test::FarEnd line(kLinePort);
    NotifySocket manager(SocketPath("waiting"));
    std::atomic<bool> synced{false};
    FollowingRun run(
        [&] {
            return Clock(synced ? platform::ClockSyncStatus::Synchronised
                                : platform::ClockSyncStatus::NotSynchronised);
        },
        true);

    // Ready although nothing is sent: the service is up, and says what it waits for.
    ASSERT_GE(manager.WaitFor("READY=1", 10s), 0);
    EXPECT_GE(manager.WaitFor("STATUS=waiting until the computer's clock is synchronised "
                              "(--require-synced): the computer's clock is not synchronised: "
                              "the test says so",
                              1s),
              0);
    EXPECT_TRUE(line.Read(1, 1500).empty());
    EXPECT_FALSE(run.ended);

    synced = true;
    EXPECT_EQ(line.Read(kSequenceBytes, 10'000).size(), kSequenceBytes);
    EXPECT_GE(manager.WaitFor("STATUS=last sequence", 5s), 0);
    EXPECT_EQ(run.Stop(), kExitSent);
    const std::string errors = run.errors.str();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
    EXPECT_NE(errors.find("waiting to set the devices"), std::string::npos) << errors;
    EXPECT_NE(errors.find("synchronised now: setting the devices"), std::string::npos) << errors;
}

} // namespace
