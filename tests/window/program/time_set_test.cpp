// The set-time button in the real program, with a simulated clock device on the far end of the
// line. Compiled with the execution character set CP936, as the program's texts are.
#include "DeviceOnLine.h"
#include "ProgramFixture.h"
#include "res/resource.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

namespace {

constexpr int kCom2 = 1; // list position

} // namespace

class TimeSetTest : public ProgramTest {
protected:
    // Starts the program with the Chinese settings; it opens COM1.
    HWND StartOnCom1() {
        const HWND window = Start(ShippedChineseSettings());
        if (window != nullptr) {
            EXPECT_EQ(m_openingTip.box.text, kTipOpenOk);
        }
        return window;
    }
};

TEST_F(TimeSetTest, ClickSendsSevenFramesOfTheLocalTime200MsApart) {
    DeviceOnLine device(1);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);

    const LocalInstant click = LocalNow();
    driver::ClickSetTime(window);
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    device.ListenFor(600); // and nothing more comes

    EXPECT_EQ(device.BytesReceived(), 28u);
    ASSERT_EQ(device.Fields(), kAllFields);
    for (const DecodedFrame& frame : device.Frames()) {
        EXPECT_EQ(frame.m_verdict, kalvor_sim::FrameVerdict::Accepted) << frame.m_detail;
    }
    // Paced by the program's timer: generous bounds, the figures are in the demo.
    const auto& frames = device.Frames();
    const std::int64_t first = MillisecondsBetween(click, frames.front().m_arrival);
    EXPECT_GE(first, 100);
    EXPECT_LE(first, 1000);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const std::int64_t gap = MillisecondsBetween(frames[i - 1].m_arrival, frames[i].m_arrival);
        EXPECT_GE(gap, 50) << "before frame " << i;
        EXPECT_LE(gap, 600) << "before frame " << i;
    }

    // The device now shows the computer's local time, never ahead of it.
    ASSERT_EQ(device.Sequences().size(), 1u);
    const SequenceReport& sequence = device.Sequences().front();
    ASSERT_TRUE(sequence.m_complete) << sequence.m_detail;
    EXPECT_TRUE(sequence.m_weekdayMatchesDate);
    EXPECT_LE(sequence.m_errorMs, 0);
    EXPECT_GE(sequence.m_errorMs, -1500);
}

TEST_F(TimeSetTest, ClickDuringSequenceCarriesOnFromTheCurrentStep) {
    DeviceOnLine device(1);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);
    driver::ClickSetTime(window);
    device.ListenForFrames(3, kSequenceWaitMs);
    driver::ClickSetTime(window);
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    device.ListenFor(600);

    EXPECT_EQ(device.Fields(), kAllFields) << "the sequence started again or lost a frame";
    ASSERT_EQ(device.Sequences().size(), 1u);
    EXPECT_TRUE(device.Sequences().front().m_complete);
    EXPECT_LE(device.Sequences().front().m_errorMs, 0);
}

// A frame handed over as the new port opens may be lost; the rest go out on the new port.
TEST_F(TimeSetTest, PortChosenDuringSequenceGetsTheRestOfIt) {
    DeviceOnLine device1(1);
    DeviceOnLine device2(2);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);
    driver::ClickSetTime(window);
    device1.ListenForFrames(2, kSequenceWaitMs);
    driver::SelectPortListEntry(window, kCom2);
    ExpectTip(DismissNextBox(), kTipOpenOk, window);
    device2.ListenFor(2500);
    device1.ListenFor(100);

    const std::vector<int> before = device1.Fields();
    const std::vector<int> after = device2.Fields();
    ASSERT_GE(before.size(), 2u);
    ASSERT_FALSE(after.empty()) << "nothing came on COM2";
    EXPECT_EQ(after.back(), 7) << "the sequence did not end on COM2";
    // Each line holds a run of consecutive fields, COM1's from the year, COM2's up to the
    // seconds; at most one frame between them is missing.
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i], static_cast<int>(i) + 1);
    }
    for (std::size_t i = 1; i < after.size(); ++i) {
        EXPECT_EQ(after[i], after[i - 1] + 1);
    }
    EXPECT_GE(after.front(), before.back() + 1);
    EXPECT_LE(after.front(), before.back() + 2);
}

TEST_F(TimeSetTest, BytesFromTheDeviceWhileIdleChangeNothing) {
    DeviceOnLine device(1);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);
    const std::string date = driver::ControlText(window, IDC_DATE_TEXT);
    const std::string weekday = driver::ControlText(window, IDC_WEEKDAY_TEXT);

    serial_test::Bytes chatter;
    for (int i = 0; i < 300; ++i) {
        chatter.push_back(static_cast<std::uint8_t>(i * 37));
    }
    ASSERT_TRUE(device.Send(chatter));
    ASSERT_TRUE(device.Send({0xF6, 0x07, 0x30, 0xD2, 0x0D, 0x0A}));
    ExpectNoBoxFor(2000);
    EXPECT_EQ(driver::ControlText(window, IDC_DATE_TEXT), date);
    EXPECT_EQ(driver::ControlText(window, IDC_WEEKDAY_TEXT), weekday);
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), "校准时间");
    ExpectLabelsShowLocalClock(window);
    EXPECT_TRUE(::IsWindowEnabled(window));

    // And the port still works.
    driver::ClickSetTime(window);
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    EXPECT_EQ(device.Fields(), kAllFields);
}

TEST_F(TimeSetTest, SequenceGoesOnWhileTheAboutBoxIsOpen) {
    DeviceOnLine device(1);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);
    driver::ClickSetTime(window);
    driver::ChooseAboutItem(window);
    const HWND about = driver::WaitForDialog(ProcessId(), "关于 Kalvor", 5000);
    ASSERT_NE(about, nullptr) << "no About box";
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    EXPECT_TRUE(::IsWindowVisible(about)) << "the About box went before the sequence ended";
    EXPECT_EQ(device.Fields(), kAllFields);
    ASSERT_EQ(device.Sequences().size(), 1u);
    EXPECT_TRUE(device.Sequences().front().m_complete);
}
