// The device leaves the line while the port sends: one report per distinct failure, a monitor
// that keeps running, and a later opening of a working port that works. Port 3's line ends after
// a few silent seconds under Wine; port 1 is a line that stays.
#include "platform/monitor/Notifications.h"
#include "serial/PortReport.h"
#include "serial/SerialPort.h"
#include "tests/serial/support/FarEnd.h"
#include "tests/serial/support/Reports.h"

#include <chrono>
#include <gtest/gtest.h>
#include <iostream>
#include <set>
#include <thread>

namespace serial_test {
namespace {

constexpr int kLostPort = 3;
constexpr int kLinePort = 1;

bool Send(CSerialPort& port, const Bytes& bytes) {
    return port.RequestSend(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::size_t WriteFailures(ReportCollector& reports) {
    return reports.CountOf(platform::PortOperation::Write) +
           reports.CountOf(platform::PortOperation::WriteCompletion);
}

TEST(SerialLinkLoss, IsReportedOnceAndTheMonitorCarriesOn) {
    FarEnd lost(kLostPort);
    FarEnd line(kLinePort);
    platform::NotificationQueue owner;
    ReportCollector reports;
    CSerialPort port;
    port.SetReportSink(reports.Sink());

    const Bytes frame = {0xF6, 0x05, 0x09, 0xFB};
    ASSERT_TRUE(port.Open(owner.Handle(), PortFor(kLostPort)));
    ASSERT_TRUE(port.StartMonitor());
    ASSERT_TRUE(Send(port, frame));
    ASSERT_EQ(lost.Read(4, 5000), frame);

    lost.GoAway();
    for (int attempt = 0; attempt < 100 && WriteFailures(reports) == 0; ++attempt) {
        ASSERT_TRUE(Send(port, frame));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_EQ(WriteFailures(reports), 1u);

    // More sends to the same dead line: the same failure is not shown again.
    for (int more = 0; more < 10; ++more) {
        ASSERT_TRUE(Send(port, frame));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(WriteFailures(reports), 1u);
    std::set<std::string> distinct;
    for (const platform::PortError& report : reports.All()) {
        const std::string text = PortReportText(report);
        std::cout << "[ report   ] " << ReportedOperationName(report.operation) << "\n";
        EXPECT_TRUE(distinct.insert(text).second) << "shown twice:\n" << text;
        EXPECT_NE(text.find("\nPort: 3\n"), std::string::npos);
    }

    // The monitor still answers: it stops for the next opening, which works.
    ASSERT_TRUE(port.Open(owner.Handle(), PortFor(kLinePort)));
    ASSERT_TRUE(port.StartMonitor());
    ASSERT_TRUE(Send(port, frame));
    EXPECT_EQ(line.Read(4, 5000), frame);
}

} // namespace
} // namespace serial_test
