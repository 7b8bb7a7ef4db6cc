// CSerialPort on real lines: pseudo-terminals natively, pseudo-terminal pairs mapped as COM ports
// under Wine. Ports: 1 and 10 are lines with a far end, 5 opens but is no serial line, 7 is absent.
#include "platform/SystemError.h"
#include "platform/monitor/Notifications.h"
#include "serial/PortNotifications.h"
#include "serial/PortReport.h"
#include "serial/SerialPort.h"
#include "tests/serial/support/FarEnd.h"
#include "tests/serial/support/Reports.h"
#include "timeset/TimeFrame.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <iostream>
#include <mutex>
#include <thread>

namespace serial_test {
namespace {

using platform::PortOperation;

constexpr int kLinePort = 1;
constexpr int kHighLinePort = 10;
constexpr int kNonSerialPort = 5;
constexpr int kAbsentPort = 7;

// Tuesday 12 April 2016, 9:05:30: the frames a clock device gets for it.
constexpr LocalInstant kExampleTime{2016, 4, 12, 2, 9, 5, 30};

Bytes FrameBytes(int step) {
    const TimeFrame frame = BuildTimeFrame(kExampleTime, FrameStep::At(step).value());
    return Bytes(frame.begin(), frame.end());
}

bool Send(CSerialPort& port, const Bytes& bytes) {
    return port.RequestSend(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// The monitor purges the port when it starts and before every transmission: a frame that has
// arrived shows that what the far end sends from now on stays in the port's queue.
void SettleMonitor(CSerialPort& port, FarEnd& line) {
    ASSERT_TRUE(Send(port, FrameBytes(0)));
    ASSERT_EQ(line.Read(4, 5000), FrameBytes(0));
}

// A port with its owner window and its reports collected; the port goes first.
struct Fixture {
    platform::NotificationQueue owner;
    ReportCollector reports;
    CSerialPort port;

    Fixture() { port.SetReportSink(reports.Sink()); }
    bool Open(int portNumber) { return port.Open(owner.Handle(), PortFor(portNumber)); }
};

TEST(SerialPort, SendsWhatIsHandedOverOnceAndInOrder) {
    FarEnd line(kLinePort);
    Fixture fixture;
    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());

    ASSERT_TRUE(Send(fixture.port, FrameBytes(0)));
    EXPECT_EQ(line.Read(4, 5000), FrameBytes(0));
    EXPECT_TRUE(line.ReadUntilQuiet(300).empty()) << "the frame went out more than once";

    // A whole time-set sequence, each frame handed over once the one before has arrived.
    Bytes expected, arrived;
    for (int step = 0; step < kFramesPerSequence; ++step) {
        const Bytes frame = FrameBytes(step);
        expected.insert(expected.end(), frame.begin(), frame.end());
        ASSERT_TRUE(Send(fixture.port, frame));
        const Bytes got = line.Read(4, 5000);
        arrived.insert(arrived.end(), got.begin(), got.end());
    }
    EXPECT_EQ(arrived, expected);
    EXPECT_TRUE(line.ReadUntilQuiet(300).empty());
    EXPECT_TRUE(fixture.reports.All().empty());
}

TEST(SerialPort, OnlyTheLastOfTwoQuickRequestsGoesOut) {
    FarEnd line(kLinePort);
    Fixture fixture;
    ASSERT_TRUE(fixture.Open(kLinePort));
    // Both hand-overs come before the monitor runs, so before it can wake for the first.
    ASSERT_TRUE(Send(fixture.port, FrameBytes(0)));
    ASSERT_TRUE(Send(fixture.port, FrameBytes(6)));
    ASSERT_TRUE(fixture.port.StartMonitor());

    EXPECT_EQ(line.Read(8, 1500), FrameBytes(6));
    EXPECT_TRUE(fixture.reports.All().empty());
}

TEST(SerialPort, RefusesWhatItCannotHold) {
    FarEnd line(kLinePort);
    Fixture fixture;
    const Bytes frame = FrameBytes(0);
    EXPECT_FALSE(Send(fixture.port, frame)) << "no send buffer exists before the first opening";

    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    EXPECT_FALSE(fixture.port.RequestSend(nullptr, 4));
    EXPECT_FALSE(Send(fixture.port, Bytes(CSerialPort::kSendBufferSize + 1, 0x5A)));

    Bytes full(CSerialPort::kSendBufferSize);
    for (std::size_t i = 0; i < full.size(); ++i) {
        full[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_TRUE(Send(fixture.port, full));
    EXPECT_EQ(line.Read(full.size(), 5000), full);
    EXPECT_TRUE(line.ReadUntilQuiet(200).empty());
}

TEST(SerialPort, StopWinsOverAPendingSendAndWaitsWithoutSpinning) {
    MapNonSerialPort(kNonSerialPort);
    Fixture fixture;

    // On this port every event wait and every write fails and is reported: a transmission, had
    // there been one, would show as a "WriteFile()" report.
    ASSERT_TRUE(fixture.Open(kNonSerialPort));
    fixture.reports.HoldNext(PortOperation::EventWait);
    ASSERT_TRUE(fixture.port.StartMonitor());
    ASSERT_TRUE(fixture.reports.WaitUntilHeld(5000));
    ASSERT_TRUE(Send(fixture.port, FrameBytes(0)));
    fixture.reports.Release();
    ASSERT_TRUE(fixture.reports.WaitFor(PortOperation::Write, 5000))
        << "a send to this port must fail visibly, or the check below proves nothing";

    // Again, but the owner stops the monitor while a send is pending and a report is open.
    ASSERT_TRUE(fixture.Open(kNonSerialPort));
    const std::size_t writesBefore = fixture.reports.CountOf(PortOperation::Write);
    fixture.reports.HoldNext(PortOperation::EventWait);
    ASSERT_TRUE(fixture.port.StartMonitor());
    ASSERT_TRUE(fixture.reports.WaitUntilHeld(5000));
    ASSERT_TRUE(Send(fixture.port, FrameBytes(0)));

    bool reopened = true;
    const double cpuBefore = ProcessCpuSeconds();
    std::thread owner(
        [&] { reopened = fixture.port.Open(fixture.owner.Handle(), PortFor(kAbsentPort)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpuWhileWaiting = ProcessCpuSeconds() - cpuBefore;
    fixture.reports.Release();
    owner.join();

    EXPECT_FALSE(reopened);
    EXPECT_EQ(fixture.reports.CountOf(PortOperation::Write), writesBefore)
        << "the monitor transmitted although it was asked to stop";
    // A spinning wait would take the whole half second.
    EXPECT_LT(cpuWhileWaiting, 0.25);

    const auto start = std::chrono::steady_clock::now();
    { CSerialPort neverOpened; }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(SerialPort, OffersEveryReceivedByteToTheOwnerAndNothingElse) {
    FarEnd line(kLinePort);
    Fixture fixture;
    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    SettleMonitor(fixture.port, line);

    const Bytes sent = {0x10, 0xFE, 0x00, 0x7F, 0xF6};
    ASSERT_TRUE(line.Write(sent));

    std::vector<platform::Notification> notes;
    Bytes offered;
    while (offered.size() < sent.size()) {
        const auto note = fixture.owner.Take(5000);
        ASSERT_TRUE(note.has_value()) << "only " << offered.size() << " bytes were offered";
        notes.push_back(*note);
        if (note->message == WM_PORT_RXCHAR) {
            offered.push_back(static_cast<std::uint8_t>(note->wordParam));
        }
    }
    EXPECT_EQ(offered, sent);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.front().message, WM_PORT_RXFLAG) << "a port event comes before its bytes";
    std::size_t portEvents = 0;
    for (const platform::Notification& note : notes) {
        EXPECT_TRUE(note.message == WM_PORT_RXFLAG || note.message == WM_PORT_RXCHAR);
        EXPECT_EQ(note.longParam, kLinePort);
        if (note.message == WM_PORT_RXFLAG) {
            EXPECT_EQ(note.wordParam, 0u);
            ++portEvents;
        }
    }
    EXPECT_LE(portEvents, sent.size());

    // Then the line is idle, and so is the port: no notification, nothing sent, no report, and
    // no CPU to speak of (a spinning monitor would take the whole second).
    const double cpuBefore = ProcessCpuSeconds();
    const auto extra = fixture.owner.Take(1000);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.5);
    EXPECT_FALSE(extra.has_value()) << "notification " << std::hex << extra->message;
    EXPECT_TRUE(line.ReadUntilQuiet(200).empty());
    EXPECT_TRUE(fixture.reports.All().empty());
}

// A device that sends faster than one-byte reads can take keeps the port event signalled all
// along, and the port event stands before the send request (a virtual port or a USB device pays
// no heed to the line's speed; under Wine about 30 KB/s is enough). What is handed over still
// goes out within moments, and the next opening still stops the monitor at once.
TEST(SerialPort, AFloodingDeviceHoldsUpNeitherASendNorTheStop) {
    using std::chrono::steady_clock;
    FarEnd line(kLinePort);
    FarEnd otherLine(kHighLinePort);
    Fixture fixture;
    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    SettleMonitor(fixture.port, line);

    // The device floods the line and collects what comes back, on a thread of its own.
    std::mutex mutex;
    Bytes received;
    std::atomic<bool> flooding{true};
    std::thread device([&] {
        const Bytes chunk(1024, 0x55);
        while (flooding) {
            line.Write(chunk);
            const Bytes some = line.ReadSome(1);
            const std::lock_guard lock(mutex);
            received.insert(received.end(), some.begin(), some.end());
        }
    });
    auto receivedSoFar = [&] {
        const std::lock_guard lock(mutex);
        return received;
    };
    std::this_thread::sleep_for(std::chrono::seconds(2));

    ASSERT_TRUE(Send(fixture.port, FrameBytes(6)));
    const auto handedOver = steady_clock::now();
    while (receivedSoFar().size() < 4 &&
           steady_clock::now() - handedOver < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto sendTook = steady_clock::now() - handedOver;
    EXPECT_EQ(receivedSoFar(), FrameBytes(6)) << "what was handed over did not go out";
    EXPECT_LT(sendTook, std::chrono::seconds(2));

    const auto stopping = steady_clock::now();
    EXPECT_TRUE(fixture.Open(kHighLinePort));
    EXPECT_LT(steady_clock::now() - stopping, std::chrono::seconds(2)) << "the stop waited";

    // Back on the flooded line, so that the device's writes are read and its thread can end.
    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    flooding = false;
    device.join();
}

// An owner that takes nothing while the device talks: its queue fills (natively it holds 10,000
// notifications, as a window's on Windows; Wine sets no limit), and no byte vanishes without a
// trace: each is offered once the owner takes its notifications again, or counted as lost.
TEST(SerialPort, ANotificationTheOwnerCouldNotTakeIsCounted) {
    FarEnd line(kLinePort);
    Fixture fixture;
    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    SettleMonitor(fixture.port, line);

    const Bytes sent(12000, 0x5A);
    ASSERT_TRUE(line.Write(sent));
    std::size_t offered = 0;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    for (auto note = fixture.owner.Take(3000); note; note = fixture.owner.Take(1000)) {
        offered += note->message == WM_PORT_RXCHAR;
    }
    const std::uint64_t lost = fixture.port.LostNotifications();
    EXPECT_GE(offered + lost, sent.size()) << offered << " offered, " << lost << " lost";
    EXPECT_TRUE(offered == sent.size() || lost > 0);
    std::cout << "[ figure   ] " << sent.size() << " bytes: " << offered
              << " offered, notifications lost " << lost << "\n";
}

TEST(SerialPort, OpensThePortsThatAreThereAndHoldsNoOther) {
    FarEnd line(kLinePort);
    FarEnd highLine(kHighLinePort);
    MapAbsentPort(kAbsentPort);
    Fixture fixture;

    EXPECT_TRUE(fixture.Open(kLinePort));
    EXPECT_TRUE(fixture.Open(kLinePort)) << "the second opening drops the first and opens anew";
    ASSERT_TRUE(fixture.port.StartMonitor());

    EXPECT_FALSE(fixture.Open(kAbsentPort));
    EXPECT_FALSE(fixture.port.StartMonitor()) << "no port is held after a failed opening";
    EXPECT_TRUE(Send(fixture.port, FrameBytes(1)));
    EXPECT_TRUE(line.ReadUntilQuiet(300).empty()) << "the old port still sends";
    // Natively a port held elsewhere does not open: this one was let go.
    CSerialPort other;
    other.SetReportSink(fixture.reports.Sink());
    EXPECT_TRUE(other.Open(fixture.owner.Handle(), PortFor(kLinePort)));
    EXPECT_TRUE(fixture.reports.All().empty()) << "an absent port is not reported";

    // Port 10 opens, sends and receives like any other, and says it is 10.
    ASSERT_TRUE(fixture.Open(kHighLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    ASSERT_TRUE(Send(fixture.port, FrameBytes(3)));
    EXPECT_EQ(highLine.Read(4, 5000), FrameBytes(3));
    ASSERT_TRUE(highLine.Write({0x42}));
    bool offered = false;
    while (!offered) {
        const auto note = fixture.owner.Take(5000);
        ASSERT_TRUE(note.has_value()) << "the byte was not offered";
        EXPECT_EQ(note->longParam, kHighLinePort);
        offered = note->message == WM_PORT_RXCHAR;
        EXPECT_TRUE(!offered || note->wordParam == 0x42u);
    }
    EXPECT_TRUE(offered);
    EXPECT_TRUE(fixture.reports.All().empty());
}

TEST(SerialPort, ReportsAFailedConfigurationOnceAndStillOpens) {
    MapNonSerialPort(kNonSerialPort);
    Fixture fixture;
    EXPECT_TRUE(fixture.Open(kNonSerialPort));

    const std::vector<platform::PortError> reports = fixture.reports.All();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].operation, PortOperation::SetTimeouts);
    EXPECT_EQ(reports[0].port.number, kNonSerialPort);
    EXPECT_NE(reports[0].systemCode, 0u);
    EXPECT_EQ(reports[0].systemText, platform::SystemErrorText(reports[0].systemCode))
        << "the system's own text for the error met";
    EXPECT_FALSE(reports[0].systemText.empty());

    // As the window shows it: the system's text keeps (or is given) its closing line break.
    const std::string text = PortReportText(reports[0]);
    const std::string head = "WARNING:  SetCommTimeouts() Failed with the following error: \n";
    const std::string tail = "\nPort: 5\n";
    ASSERT_GT(text.size(), head.size() + tail.size());
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text[text.size() - tail.size() - 1], '\n');
}

TEST(SerialPort, ThousandOpeningsLeakNothing) {
    FarEnd line(kLinePort);
    Fixture fixture;
    ASSERT_TRUE(fixture.Open(kLinePort));
    ASSERT_TRUE(fixture.port.StartMonitor());
    const int handles = OpenHandleCount();
    const int threads = ThreadCount();

    constexpr int kCycles = 1000;
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        ASSERT_TRUE(fixture.Open(kLinePort)) << "cycle " << cycle;
        ASSERT_TRUE(fixture.port.StartMonitor()) << "cycle " << cycle;
        ASSERT_TRUE(Send(fixture.port, FrameBytes(cycle % kFramesPerSequence)));
        line.ReadSome(0);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    line.ReadUntilQuiet(200);

    EXPECT_LE(OpenHandleCount(), handles + 2);
    EXPECT_LE(ThreadCount(), threads + 2);
    EXPECT_TRUE(fixture.reports.All().empty());
    std::cout << "[ figure   ] " << kCycles << " opening cycles: "
              << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()
              << " ms; handles " << handles << " -> " << OpenHandleCount() << ", threads "
              << threads << " -> " << ThreadCount() << "\n";
}

} // namespace
} // namespace serial_test
