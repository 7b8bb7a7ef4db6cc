// A device that talks all the time: while it sends at the line's full rate, every click still
// puts its seven frames on the line, 200 ms apart, the clock goes on ticking, nothing is reported
// and the program's memory stays where it was. Compiled with the execution character set CP936,
// as the program's texts are.
#include "DeviceOnLine.h"
#include "FaultFixture.h"
#include "tests/driver/Commands.h"

#include <random>

namespace {

constexpr int kBytesPerSecond = 960; // 9600 baud, 10 bits a byte
constexpr DWORD kClickEveryMs = 5000;
constexpr std::size_t kFramesPerSequence = 7;
// The program's own memory may grow by this much while the device chatters: message queues and
// caches settling, not a byte per byte received (that would be 28 KB and more).
constexpr std::size_t kMemoryGrowthBound = 2 * 1024 * 1024;

} // namespace

TEST_F(FaultTest, DeviceChatterAtFullRateLosesNoFrameAndStopsNoClock) {
    DeviceOnLine device(1);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);
    const driver::ProcessFigures before = Figures();
    ASSERT_TRUE(before.read);

    // 30 s, or as long as scripts/soak asks.
    const DWORD chatterMs = 1000 * CountFromEnvironment("KALVOR_CHATTER_SECONDS", 30);
    std::mt19937 random(12);
    std::uniform_int_distribution<int> byte(0, 255);
    TimeLabelWatch clock(window);
    std::vector<LocalInstant> clicks;
    std::size_t sent = 0;
    DWORD lastLook = 0, lastBoxCheck = 0;
    const DWORD start = ::GetTickCount();
    for (DWORD now = start; now - start < chatterMs; now = ::GetTickCount()) {
        const DWORD elapsed = now - start;
        // The bytes the line has carried by now, at its full rate.
        serial_test::Bytes chatter;
        while (sent + chatter.size() < elapsed * kBytesPerSecond / 1000) {
            chatter.push_back(static_cast<std::uint8_t>(byte(random)));
        }
        if (!chatter.empty()) {
            ASSERT_TRUE(device.Send(chatter));
            sent += chatter.size();
        }
        if (elapsed >= 1000 + clicks.size() * kClickEveryMs && elapsed < chatterMs - 3000) {
            clicks.push_back(LocalNow());
            driver::ClickSetTime(window);
        }
        if (now - lastLook >= 200) {
            lastLook = now;
            clock.Look();
        }
        if (now - lastBoxCheck >= 500) {
            lastBoxCheck = now;
            const auto boxes = OpenBoxes();
            ASSERT_TRUE(boxes.empty()) << "a box opened: \"" << boxes.front().text << "\" ("
                                       << boxes.front().caption << ")";
        }
        device.ListenFor(10);
    }
    device.ListenFor(1000);
    const driver::ProcessFigures after = Figures();

    const auto& frames = device.Frames();
    std::size_t intact = 0;
    for (const SequenceReport& sequence : device.Sequences()) {
        intact += sequence.m_complete;
    }
    std::printf("figures: %zu bytes of chatter in %u ms; %zu sequences sent, %zu received intact\n",
                sent, static_cast<unsigned>(::GetTickCount() - start), clicks.size(), intact);
    PrintFigures(before, after);
    std::printf("figures: frames %s\n", GapFigures(frames).c_str());
    std::printf("figures: time label changed %d times, longest unchanged %u ms\n", clock.Changes(),
                static_cast<unsigned>(clock.LongestUnchangedMs()));

    ASSERT_GE(clicks.size(), 5u);
    EXPECT_EQ(device.BytesReceived(), 28 * clicks.size());
    ASSERT_EQ(frames.size(), kFramesPerSequence * clicks.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const DecodedFrame& frame = frames[i];
        EXPECT_EQ(frame.m_verdict, kalvor_sim::FrameVerdict::Accepted) << frame.m_detail;
        EXPECT_EQ(frame.m_fieldNumber, static_cast<int>(i % kFramesPerSequence) + 1);
        if (i % kFramesPerSequence == 0) {
            const std::int64_t first =
                MillisecondsBetween(clicks[i / kFramesPerSequence], frame.m_arrival);
            EXPECT_GE(first, 100) << "sequence " << i / kFramesPerSequence;
            EXPECT_LE(first, 1000) << "sequence " << i / kFramesPerSequence;
        } else {
            const std::int64_t gap = MillisecondsBetween(frames[i - 1].m_arrival, frame.m_arrival);
            EXPECT_GE(gap, 50) << "before frame " << i;
            EXPECT_LE(gap, 600) << "before frame " << i;
        }
    }
    for (const SequenceReport& sequence : device.Sequences()) {
        EXPECT_TRUE(sequence.m_complete) << sequence.m_detail;
    }

    // The label shows seconds: it changes every second, give or take a tick and the load.
    EXPECT_GE(clock.Changes(), static_cast<int>(chatterMs / 1000) - 4);
    EXPECT_LE(clock.LongestUnchangedMs(), 2500u);
    EXPECT_TRUE(Answers(window, 2000));
    EXPECT_LE(after.privateBytes, before.privateBytes + kMemoryGrowthBound);
}
