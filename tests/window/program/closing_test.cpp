// Closing the window at the worst moments, by each of its ways (the close box, Esc, Enter): in the
// middle of a sequence, as the tip of an opening goes, and while the monitor shows a report.
// Each time the process ends within two seconds of the last box going. Compiled with the
// execution character set CP936, as the program's texts are.
#include "DeviceOnLine.h"
#include "FaultFixture.h"
#include "LineSwitch.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

namespace {

constexpr int kCom2 = 1; // list position
constexpr DWORD kEndWithinMs = 2000;

} // namespace

class ClosingTest : public FaultTest {
protected:
    // Starts the program on COM1 and clicks; returns once `frames` frames have reached the device.
    HWND StartASequence(DeviceOnLine& device, std::size_t frames) {
        const HWND window = StartOnCom1();
        if (window != nullptr) {
            driver::ClickSetTime(window);
            device.ListenForFrames(frames, kSequenceWaitMs);
            EXPECT_EQ(device.Frames().size(), frames) << "the sequence did not start";
        }
        return window;
    }

    void ExpectEndsInTime() const {
        EXPECT_TRUE(WaitForExit(kEndWithinMs)) << "still running " << kEndWithinMs << " ms later";
        if (WaitForExit(0)) {
            EXPECT_EQ(ExitCode(), 0u);
        }
    }
};

TEST_F(ClosingTest, InTheMiddleOfASequence) {
    for (const ClosingWay& way : kClosingWays) {
        SCOPED_TRACE(way.name);
        DeviceOnLine device(1);
        const HWND window = StartASequence(device, 2);
        ASSERT_NE(window, nullptr);
        ASSERT_FALSE(HasFailure());
        way.press(window);
        ExpectEndsInTime();
        Stop();
    }
}

// A tip is modal and owned by the window, which it disables. Esc and Enter go to the tip, which
// has the focus, and dismiss it; a close request (the close box, or the taskbar's Close) is refused
// by a disabled window and changes nothing. The next press, right as the tip has gone, ends the
// window.
TEST_F(ClosingTest, AsTheTipOfAnOpeningGoes) {
    for (const ClosingWay& way : kClosingWays) {
        SCOPED_TRACE(way.name);
        const HWND window = StartOnCom1();
        ASSERT_NE(window, nullptr);
        driver::SelectPortListEntry(window, kCom2);
        const driver::MessageBoxInfo tip = driver::WaitForMessageBox(ProcessId(), 10000);
        ASSERT_NE(tip.window, nullptr) << "no tip came";
        ASSERT_EQ(tip.text, kTipOpenOk);
        way.press(window);
        if (way.press == driver::ClickCloseBox) {
            ::Sleep(500);
            ASSERT_FALSE(WaitForExit(0)) << "the program ended with its tip up";
            ASSERT_TRUE(::IsWindow(tip.window)) << "the close request took the tip away";
            ASSERT_TRUE(driver::DismissMessageBox(tip.window));
        } else {
            ASSERT_TRUE(driver::WaitForWindowGone(tip.window, 5000)) << "the key left the tip";
            EXPECT_FALSE(WaitForExit(300)) << "one key both dismissed the tip and ended";
        }
        way.press(window);
        ExpectEndsInTime();
        Stop();
    }
}

// The monitor's report has no owner: the window stays usable and can be closed under it, and
// the process ends once the report (and any that follows it) is dismissed.
TEST_F(ClosingTest, WhileAReportOfTheMonitorIsOpen) {
    for (const ClosingWay& way : kClosingWays) {
        SCOPED_TRACE(way.name);
        DeviceOnLine device(1);
        const HWND window = StartASequence(device, 1);
        ASSERT_NE(window, nullptr);
        ASSERT_FALSE(HasFailure());
        ASSERT_TRUE(UnplugLine(1));
        const driver::MessageBoxInfo report = driver::WaitForMessageBox(ProcessId(), 5000);
        ASSERT_NE(report.window, nullptr) << "no report of the lost line";
        ASSERT_EQ(report.caption, kReportCaption);
        EXPECT_TRUE(::IsWindowEnabled(window));
        way.press(window);
        ::Sleep(500);
        // The monitor cannot end while its report is open, and the process waits for it.
        EXPECT_FALSE(WaitForExit(0)) << "ended with a report of its monitor open";
        for (BoxSeen seen = DismissNextBox(1000); seen.box.window != nullptr;
             seen = DismissNextBox(500)) {
            EXPECT_EQ(seen.box.caption, kReportCaption) << seen.box.text;
        }
        ExpectEndsInTime();
        Stop();
        ASSERT_TRUE(PlugLine(1));
    }
}
