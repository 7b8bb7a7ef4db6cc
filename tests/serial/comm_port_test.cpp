// The platform's serial port on its own, as the tools use it, and the monitor's three-way wait.
#include "platform/CommPort.h"
#include "platform/Event.h"
#include "platform/monitor/Lock.h"
#include "platform/monitor/WaitList.h"
#include "tests/serial/support/FarEnd.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace serial_test {
namespace {

constexpr int kLinePort = 1;

// Opens port n as a device simulator would: time-outs, the byte-received event, 9600 8N1.
bool OpenConfigured(platform::CommPort& port, int portNumber) {
    platform::LineSettings line;
    return port.Open(PortFor(portNumber).device) &&
           port.SetTimeouts({1000, 1000, 1000, 1000, 1000}) &&
           port.SetEventMask(platform::kEventRxChar) && port.GetLineSettings(line) &&
           platform::BuildLineSettings({9600, 8, platform::Parity::None, 1}, line) &&
           port.SetLineSettings(line) && port.Purge(platform::kPurgeAll);
}

TEST(CommPort, ReadsWithinATimeLimit) {
    FarEnd line(kLinePort);
    platform::CommPort port;
    ASSERT_TRUE(OpenConfigured(port, kLinePort));

    std::uint8_t buffer[16] = {};
    EXPECT_EQ(port.ReadWithin(buffer, sizeof buffer, 300), 0) << "nothing was sent";
    ASSERT_TRUE(line.Write({0xF6, 0x01, 0x16}));
    int got = port.ReadWithin(buffer, sizeof buffer, 5000);
    while (got > 0 && got < 3) {
        const int more = port.ReadWithin(buffer + got, sizeof buffer - got, 1000);
        got += more > 0 ? more : 0;
        if (more <= 0) {
            break;
        }
    }
    ASSERT_EQ(got, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0xF6, 0x01, 0x16}));
}

TEST(CommPort, RefusesAFormatNoLineHas) {
    platform::LineSettings line;
    EXPECT_FALSE(platform::BuildLineSettings({9600, 9, platform::Parity::None, 1}, line));
    EXPECT_FALSE(platform::BuildLineSettings({9600, 8, platform::Parity::None, 3}, line));
    EXPECT_TRUE(platform::BuildLineSettings({19200, 7, platform::Parity::Even, 2}, line));
}

TEST(WaitList, TheFirstSignalledInPriorityOrderWins) {
    FarEnd line(kLinePort);
    platform::CommPort port;
    ASSERT_TRUE(OpenConfigured(port, kLinePort));
    platform::Event stop, send;
    platform::IoRecord record;
    ASSERT_TRUE(stop.CreateOrReset() && send.CreateOrReset() && record.Prepare());
    const platform::WaitList wakeUps(stop, record, send);

    EXPECT_EQ(wakeUps.Pause(50), platform::WakeUp::TimedOut);
    send.Set();
    EXPECT_EQ(wakeUps.Pause(0), platform::WakeUp::Send);
    send.Reset();

    // A byte is waiting when the event wait is armed: the port event outranks send, and stays
    // signalled until the wait has been ended.
    ASSERT_TRUE(line.Write({0x42}));
    std::uint32_t waiting = 0;
    for (int tries = 0; tries < 500 && waiting == 0; ++tries) {
        ASSERT_TRUE(port.QueueStatus(waiting));
        wakeUps.Pause(10);
    }
    ASSERT_EQ(waiting, 1u);
    ASSERT_NE(port.StartEventWait(record), platform::IoStart::Failed);
    EXPECT_EQ(wakeUps.Wait(), platform::WakeUp::PortEvent);
    send.Set();
    EXPECT_EQ(wakeUps.Wait(), platform::WakeUp::PortEvent);
    EXPECT_TRUE(port.EventWaitSucceeded(record));
    EXPECT_EQ(wakeUps.Wait(), platform::WakeUp::Send);

    // Stop outranks both.
    ASSERT_NE(port.StartEventWait(record), platform::IoStart::Failed);
    stop.Set();
    EXPECT_EQ(wakeUps.Wait(), platform::WakeUp::Stop);
    EXPECT_EQ(wakeUps.Pause(0), platform::WakeUp::Stop);
    port.CancelEventWait(record);
}

// The records the layer keeps in storage of its own live in heap blocks too (a port object made
// with new). A heap block is aligned only as far as the target's allocator aligns: 8 bytes on
// i686 Windows, against 16 on x86_64. With sixty-four of each, a storage that asks for more
// shows almost surely.
template <typename Record>
void ExpectHeapBlocksAligned(const char* what) {
    std::vector<std::unique_ptr<Record>> records;
    int misaligned = 0;
    for (int i = 0; i < 64; ++i) {
        records.push_back(std::make_unique<Record>());
        misaligned += reinterpret_cast<std::uintptr_t>(records.back().get()) % alignof(Record) != 0;
    }
    EXPECT_EQ(misaligned, 0) << "of 64 " << what << " records made with new, asking for "
                             << alignof(Record) << "-byte alignment";
}

TEST(CommPort, RecordsMadeWithNewAreAlignedAsTheirTypesAsk) {
    ExpectHeapBlocksAligned<platform::Lock>("lock");
    ExpectHeapBlocksAligned<platform::LineSettings>("line settings");
    ExpectHeapBlocksAligned<platform::IoRecord>("event-wait record");
}

} // namespace
} // namespace serial_test
