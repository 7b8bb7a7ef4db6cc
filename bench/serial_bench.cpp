// Figures of the serial link on a real line (a pseudo-terminal natively, a socat pair under
// Wine): how long a hand-over takes to reach the far end, how long one opening of an open,
// monitored port takes, and what the monitor costs while nothing happens. Port 1 is the line.
#include "platform/monitor/Notifications.h"
#include "serial/PortReport.h"
#include "serial/SerialPort.h"
#include "tests/serial/support/FarEnd.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using serial_test::Bytes;
using serial_test::FarEnd;
using serial_test::PortFor;

constexpr int kPort = 1;

double Milliseconds(Clock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void Print(const char* what, const std::vector<double>& samples) {
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    std::printf("%-44s median %8.3f ms  (min %.3f, max %.3f, n=%zu)\n", what, Median(samples), *low,
                *high, samples.size());
}

// CPU time the process uses in 10 s while this thread sleeps.
double IdleCpuMilliseconds() {
    const double before = serial_test::ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return (serial_test::ProcessCpuSeconds() - before) * 1000;
}

} // namespace

int main() {
    // What the process costs with no port open: the runtime's own threads (Wine has a few).
    const double baseline = IdleCpuMilliseconds();
    FarEnd line(kPort);
    platform::NotificationQueue owner;
    CSerialPort port;
    port.SetReportSink([](const platform::PortError& error) {
        std::fprintf(stderr, "report: %s", PortReportText(error).c_str());
    });
    if (!port.Open(owner.Handle(), PortFor(kPort)) || !port.StartMonitor()) {
        std::fprintf(stderr, "port %d does not open\n", kPort);
        return 1;
    }

    const Bytes frame = {0xF6, 0x07, 0x30, 0xD2};
    std::vector<double> sends;
    for (int i = 0; i < 1000; ++i) {
        const auto start = Clock::now();
        port.RequestSend(frame.data(), 4);
        if (line.Read(4, 5000).size() != 4) {
            std::fprintf(stderr, "send %d did not arrive\n", i);
            return 1;
        }
        sends.push_back(Milliseconds(Clock::now() - start));
    }
    Print("RequestSend to the last byte at the far end", sends);

    std::vector<double> openings;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        port.Open(owner.Handle(), PortFor(kPort));
        openings.push_back(Milliseconds(Clock::now() - start));
        port.StartMonitor();
    }
    Print("Open of an open, monitored port", openings);

    // The monitor alone runs: this thread sleeps, and no byte comes.
    const double monitored = IdleCpuMilliseconds();
    std::size_t notifications = 0;
    while (owner.Take(0)) {
        ++notifications;
    }
    std::printf("%-44s %8.3f ms of CPU in 10 s; %.3f ms with no port open; %zu notifications\n",
                "Idle monitor (whole process)", monitored, baseline, notifications);
    return 0;
}
