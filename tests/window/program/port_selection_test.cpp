// Choosing the port in the real program, on pseudo-terminal lines: COM1, COM2 and COM10 are
// lines whose far ends the test holds, COM3 is absent and COM4 opens but every port call on it
// fails. Compiled with the execution character set CP936, as the program's texts are.
#include "DeviceOnLine.h"
#include "ProgramFixture.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

namespace {

constexpr int kCom1 = 0, kCom3 = 2, kCom4 = 3, kCom10 = 9; // list positions

// The system's own text for an error code, read here without the program's code.
std::string SystemText(DWORD code) {
    char text[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return std::string(text, length);
}

} // namespace

TEST_F(ProgramTest, WithCom1TheOpenSucceededTipComesOnceBeforeTheWindow) {
    DeviceOnLine device(1);
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);
    ExpectTip(m_openingTip, kTipOpenOk, window);
    EXPECT_FALSE(m_openingTip.mainWindowVisible) << "the window showed before the tip went";
    ExpectNoBoxFor(1500);
    EXPECT_EQ(device.BytesReceived(), 0u);
}

TEST_F(ProgramTest, AbsentCom3LeavesNoPortOpenUntilAnotherIsChosen) {
    DeviceOnLine device(1);
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);

    driver::SelectPortListEntry(window, kCom3);
    ExpectTip(DismissNextBox(), kTipOpenFailed, window);
    // COM1 went with the attempt: a click tells that no port is open and sends nothing.
    driver::ClickSetTime(window);
    ExpectTip(DismissNextBox(), kTipNotOpen, window);
    device.ListenFor(2000);
    EXPECT_EQ(device.BytesReceived(), 0u);

    // Choosing COM1 again opens it, and the next click sends a whole sequence from the year: the
    // refused click left no step behind.
    driver::SelectPortListEntry(window, kCom1);
    ExpectTip(DismissNextBox(), kTipOpenOk, window);
    driver::ClickSetTime(window);
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    EXPECT_EQ(device.Fields(), kAllFields);
    ASSERT_EQ(device.Sequences().size(), 1u);
    EXPECT_TRUE(device.Sequences().front().m_complete);
}

TEST_F(ProgramTest, Com10OpensAndTheClickSendsThere) {
    DeviceOnLine device1(1);
    DeviceOnLine device10(10);
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);

    driver::SelectPortListEntry(window, kCom10);
    ExpectTip(DismissNextBox(), kTipOpenOk, window);
    driver::ClickSetTime(window);
    device10.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    EXPECT_EQ(device10.BytesReceived(), 28u);
    EXPECT_EQ(device10.Fields(), kAllFields);
    device1.ListenFor(200);
    EXPECT_EQ(device1.BytesReceived(), 0u) << "COM1 was closed when COM10 was chosen";
}

TEST_F(ProgramTest, ChoosingThePortAlreadyOpenReopensIt) {
    DeviceOnLine device(1);
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);
    driver::SelectPortListEntry(window, kCom1);
    ExpectTip(DismissNextBox(), kTipOpenOk, window);
    ExpectNoBoxFor(1000);
    driver::ClickSetTime(window);
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    EXPECT_EQ(device.Fields(), kAllFields);
}

// COM4's configuration fails, and the report of that failure stands open inside the opening. A
// port chosen meanwhile waits: no opening starts inside the running one, and once it has
// returned (COM4 counts as opened, with its tip) the port chosen last is opened, with its own.
TEST_F(ProgramTest, PortChosenDuringAnOpeningIsOpenedAfterIt) {
    DeviceOnLine device(1);
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);

    driver::SelectPortListEntry(window, kCom4);
    const driver::MessageBoxInfo report = driver::WaitForMessageBox(ProcessId(), 10000);
    ASSERT_NE(report.window, nullptr) << "no report of COM4's configuration";
    EXPECT_EQ(report.caption, "Application Error");
    EXPECT_EQ(report.icon, driver::BoxIcon::Error);
    // The report as the window has always worded it, with Wine's text for the error that a
    // port on a missing path gives every comm call (1, incorrect function).
    EXPECT_EQ(report.text, "WARNING:  SetCommTimeouts() Failed with the following error: \n" +
                               SystemText(ERROR_INVALID_FUNCTION) + "\nPort: 4\n");

    driver::SelectPortListEntry(window, kCom1);
    ::Sleep(1500);
    EXPECT_EQ(OpenBoxes().size(), 1u) << "something opened while COM4's opening ran";
    ASSERT_TRUE(driver::DismissMessageBox(report.window));

    // What follows: COM4's tip, then COM1's. The monitor of COM4 may report its own failing
    // calls meanwhile; those reports are dismissed as they come.
    std::vector<BoxSeen> tips;
    for (BoxSeen seen = DismissNextBox(5000); seen.box.window != nullptr;
         seen = DismissNextBox(3000)) {
        if (seen.box.caption != "Application Error") {
            tips.push_back(seen);
        }
    }
    ASSERT_EQ(tips.size(), 2u);
    ExpectTip(tips[0], kTipOpenOk, window);
    ExpectTip(tips[1], kTipOpenOk, window);

    driver::ClickSetTime(window);
    device.ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    EXPECT_EQ(device.Fields(), kAllFields) << "COM1 was not opened after COM4";
}
