// The device leaves the line while the port sends: one report per distinct failure, a monitor
// that keeps running, and a later opening of a working port that works. Port 3's line ends after
// a few silent seconds under Wine; port 1 is a line that stays.
#include "platform/Notifications.h"
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

bool IsWriteFailure(const Report& report) {
    const std::string operation = OperationOf(report);
    return operation == "WriteFile()" || operation == "GetOverlappedResults() in WriteFile()";
}

std::size_t WriteFailures(ReportCollector& reports) {
    std::size_t count = 0;
    for (const Report& report : reports.All()) {
        count += IsWriteFailure(report);
    }
    return count;
}

TEST(SerialLinkLoss, IsReportedOnceAndTheMonitorCarriesOn) {
    FarEnd lost(kLostPort);
    FarEnd line(kLinePort);
    platform::NotificationQueue owner;
    ReportCollector reports;
    CSerialPort port;
    port.SetReportSink(reports.Sink());

    const Bytes frame = {0xF6, 0x05, 0x09, 0xFB};
    ASSERT_TRUE(port.Open(owner.Handle(), kLostPort));
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
    for (const Report& report : reports.All()) {
        std::cout << "[ report   ] " << OperationOf(report) << "\n";
        EXPECT_TRUE(distinct.insert(report.text).second) << "shown twice:\n" << report.text;
        EXPECT_NE(report.text.find("\nPort: 3\n"), std::string::npos);
    }

    // The monitor still answers: it stops for the next opening, which works.
    ASSERT_TRUE(port.Open(owner.Handle(), kLinePort));
    ASSERT_TRUE(port.StartMonitor());
    ASSERT_TRUE(Send(port, frame));
    EXPECT_EQ(line.Read(4, 5000), frame);
}

} // namespace
} // namespace serial_test
