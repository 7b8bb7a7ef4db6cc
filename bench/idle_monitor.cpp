// What the serial monitor costs on an idle line: the CPU the process uses while this thread
// takes the owner's notifications, as a window's thread would, first with no port open, then
// with port 1 (a pseudo-terminal natively, a socat pair under Wine) opened and monitored and no
// byte coming, each as a share of one core. It prints the notifications taken, and those that
// the queue refused (none, while it is emptied).
//
//   idle_monitor [SECONDS]   the monitored span (default 60); the one before it lasts 10 s
#include "platform/monitor/Notifications.h"
#include "serial/PortReport.h"
#include "serial/SerialPort.h"
#include "tests/serial/support/FarEnd.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kPort = 1;

// The share of one core the process used in `seconds` while this thread took the owner's
// notifications, in percent; `taken` counts them.
double IdleCpuPercent(int seconds, platform::NotificationQueue& owner, std::uint64_t& taken) {
    using Clock = std::chrono::steady_clock;
    const double before = serial_test::ProcessCpuSeconds();
    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
        taken += owner.Take(static_cast<int>(left.count())).has_value();
    }
    return (serial_test::ProcessCpuSeconds() - before) * 100 / seconds;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds < 1) {
        std::fputs("usage: idle_monitor [SECONDS]\n", stderr);
        return 2;
    }
    platform::NotificationQueue owner;
    std::uint64_t taken = 0;
    const double baseline = IdleCpuPercent(10, owner, taken);
    serial_test::FarEnd line(kPort);
    CSerialPort port;
    port.SetReportSink([](const platform::PortError& error) {
        std::fprintf(stderr, "report: %s", PortReportText(error).c_str());
    });
    if (!port.Open(owner.Handle(), serial_test::PortFor(kPort)) || !port.StartMonitor()) {
        std::fprintf(stderr, "port %d does not open\n", kPort);
        return 1;
    }
    const int threadsMonitored = serial_test::ThreadCount();
    const double monitored = IdleCpuPercent(seconds, owner, taken);
    std::printf("no port open:        %7.3f %% of one core (10 s)\n", baseline);
    std::printf("port open, monitored: %7.3f %% of one core (%d s, %d threads)\n", monitored,
                seconds, threadsMonitored);
    std::printf("notifications: %llu taken, %llu refused by the queue\n",
                static_cast<unsigned long long>(taken),
                static_cast<unsigned long long>(port.LostNotifications()));
    return port.LostNotifications() == 0 ? 0 : 1;
}
