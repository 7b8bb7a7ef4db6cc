// The running window: the About box, the keys that end the program, and what it looks like.
// This file is compiled with the execution character set CP936, as the program's texts are.
#include "ProgramFixture.h"
#include "res/resource.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

namespace {

constexpr DWORD kExitTimeoutMs = 10000;

} // namespace

TEST_F(ProgramTest, AboutItemOpensAboutBoxWhileClockRuns) {
    const HWND window = Start(std::nullopt);
    ASSERT_NE(window, nullptr);
    driver::ChooseAboutItem(window);
    const HWND about = driver::WaitForDialog(ProcessId(), "关于 Kalvor", 10000);
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(::GetWindow(about, GW_OWNER), window);
    EXPECT_FALSE(::IsWindowEnabled(window)) << "the main window is disabled behind the box";

    // The main window's timers go on: the time label changes behind the box.
    const std::string first = driver::ControlText(window, IDC_TIME_TEXT);
    bool changed = false;
    for (int i = 0; i < 60 && !changed; ++i) {
        ::Sleep(100);
        changed = driver::ControlText(window, IDC_TIME_TEXT) != first;
    }
    EXPECT_TRUE(changed) << "the time label stayed at " << first;

    driver::PressEscape(about);
    EXPECT_TRUE(driver::WaitForWindowGone(about, kExitTimeoutMs));
    EXPECT_FALSE(WaitForExit(500)) << "closing the About box ended the program";
    EXPECT_TRUE(::IsWindowEnabled(window));
}

// Enter and Esc on the focused control (the port list after start-up) and the close box each
// end the dialog, and with it the process.
TEST_F(ProgramTest, EnterEscapeAndCloseBoxEachEndProgram) {
    for (const ClosingWay& way : kClosingWays) {
        const HWND window = Start(std::nullopt);
        ASSERT_NE(window, nullptr) << way.name;
        way.press(window);
        ASSERT_TRUE(WaitForExit(kExitTimeoutMs)) << way.name << " did not end the program";
        EXPECT_EQ(ExitCode(), 0u) << way.name;
        Stop();
    }
}

TEST_F(ProgramTest, MainWindowWithChineseTexts) {
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);
    // Two ticks of the clock, so that the screenshot of the end state shows a settled window.
    ::Sleep(1000);
    EXPECT_EQ(driver::WindowText(window), "Kalvor");
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), "校准时间");
    EXPECT_FALSE(driver::ControlText(window, IDC_WEEKDAY_TEXT).empty());
}
