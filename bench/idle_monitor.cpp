// What the serial monitor costs on an idle line: the CPU the process uses while this thread
// sleeps, first with no port open, then with port 1 (a pseudo-terminal natively, a socat pair
// under Wine) opened and monitored and no byte coming, each as a share of one core.
//
//   idle_monitor [SECONDS]   the monitored span (default 60); the one before it lasts 10 s
#include "platform/Notifications.h"
#include "serial/PortReport.h"
#include "serial/SerialPort.h"
#include "tests/serial/support/FarEnd.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr int kPort = 1;

// The share of one core the process used in `seconds` while this thread slept, in percent.
double IdleCpuPercent(int seconds) {
    const double before = serial_test::ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return (serial_test::ProcessCpuSeconds() - before) * 100 / seconds;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds < 1) {
        std::fputs("usage: idle_monitor [SECONDS]\n", stderr);
        return 2;
    }
    const double baseline = IdleCpuPercent(10);
    serial_test::FarEnd line(kPort);
    platform::NotificationQueue owner;
    CSerialPort port;
    port.SetReportSink([](const platform::PortError& error) {
        std::fprintf(stderr, "report: %s", PortReportText(error).c_str());
    });
    if (!port.Open(owner.Handle(), serial_test::PortFor(kPort)) || !port.StartMonitor()) {
        std::fprintf(stderr, "port %d does not open\n", kPort);
        return 1;
    }
    const int threadsMonitored = serial_test::ThreadCount();
    const double monitored = IdleCpuPercent(seconds);
    std::printf("no port open:        %7.3f %% of one core (10 s)\n", baseline);
    std::printf("port open, monitored: %7.3f %% of one core (%d s, %d threads)\n", monitored,
                seconds, threadsMonitored);
    return 0;
}
