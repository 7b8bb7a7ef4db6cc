// Under Wine 8 a port's event wait can end with its event signalled while its record says
// "pending" for good, and the system may then refuse a new wait for a moment as if one were still
// under way. A real line gives those answers only now and then, so the Windows backend's seam
// gives them on demand here. The monitor must take such a wait as ended, wait again and read on:
// every byte the device sends is still offered to the owner, in order, and nothing is reported.
#include "platform/monitor/Notifications.h"
#include "platform/win32/EventWaitCalls.h"
#include "serial/PortNotifications.h"
#include "serial/SerialPort.h"
#include "tests/serial/support/FarEnd.h"
#include "tests/serial/support/Reports.h"

#include <atomic>
#include <gtest/gtest.h>

namespace serial_test {
namespace {

constexpr int kLinePort = 1;

// Written by the monitor thread, read by the test once it is done.
std::atomic<int> g_completedAtOnce{0};
std::atomic<int> g_reportedLate{0};
std::atomic<int> g_refused{0};
std::atomic<int> g_refusalsDue{0};

// Every third wait that completes at once is given back as Wine leaves one whose helper thread
// finished before WaitCommEvent returned: pending, its event signalled, its record pending for
// ever. The two waits after it are refused as if that one were still under way.
BOOL WINAPI WaitCommEventReportedLate(HANDLE port, DWORD* events, OVERLAPPED* overlapped) {
    if (g_refusalsDue > 0) {
        --g_refusalsDue;
        ++g_refused;
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!::WaitCommEvent(port, events, overlapped)) {
        return FALSE; // pending or refused, as the system says
    }
    if (++g_completedAtOnce % 3 != 0) {
        return TRUE;
    }
    overlapped->Internal = STATUS_PENDING;
    ::SetEvent(overlapped->hEvent);
    ++g_reportedLate;
    g_refusalsDue = 2;
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

// The faulty calls for the life of the object.
class LateReportedWaits {
public:
    LateReportedWaits() {
        platform::EventWaitCallsInUse().waitCommEvent = &WaitCommEventReportedLate;
    }
    ~LateReportedWaits() { platform::EventWaitCallsInUse() = platform::EventWaitCalls{}; }
};

// Takes the owner's notifications for `milliseconds`, keeping the bytes offered.
void TakeBytes(platform::NotificationQueue& owner, DWORD milliseconds, Bytes& offered) {
    const DWORD start = ::GetTickCount();
    for (DWORD spent = 0; spent < milliseconds; spent = ::GetTickCount() - start) {
        const auto note = owner.Take(static_cast<int>(milliseconds - spent));
        if (note && note->message == WM_PORT_RXCHAR) {
            offered.push_back(static_cast<std::uint8_t>(note->wordParam));
        }
    }
}

TEST(LateEventWait, AWaitReportedLateLeavesNoByteUnread) {
    const LateReportedWaits faults;
    FarEnd line(kLinePort);
    platform::NotificationQueue owner;
    ReportCollector reports;
    CSerialPort port;
    port.SetReportSink(reports.Sink());
    ASSERT_TRUE(port.Open(owner.Handle(), PortFor(kLinePort)));
    ASSERT_TRUE(port.StartMonitor());
    // The monitor empties the port when it starts: a write that arrived shows it has.
    const Bytes hello = {0xF6, 0x01, 0x16, 0xF2};
    ASSERT_TRUE(port.RequestSend(hello.data(), static_cast<std::uint32_t>(hello.size())));
    ASSERT_EQ(line.Read(hello.size(), 5000), hello);

    // The device talks in short bursts, as one that answers now and then, until enough waits
    // were reported late to tell (how many waits complete at once depends on the machine's load).
    Bytes sent, offered;
    for (int burst = 0; burst < 60 || (g_reportedLate < 5 && burst < 600); ++burst) {
        Bytes bytes;
        for (int i = 0; i < 5; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(burst * 5 + i));
        }
        ASSERT_TRUE(line.Write(bytes));
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        TakeBytes(owner, 40, offered);
    }
    for (int tries = 0; tries < 50 && offered.size() < sent.size(); ++tries) {
        TakeBytes(owner, 100, offered);
    }

    EXPECT_EQ(offered, sent) << offered.size() << " of " << sent.size() << " bytes offered";
    EXPECT_GE(g_reportedLate.load(), 5) << "too few waits were reported late to tell";
    EXPECT_GE(g_refused.load(), 2 * (g_reportedLate.load() - 1));
    EXPECT_TRUE(reports.All().empty());
}

} // namespace
} // namespace serial_test
