#pragma once

#include "tests/window/driver/MessageBoxes.h"
#include "tests/window/driver/Process.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

// A message box as the test met it: the box, the window that owns it, and whether the main window
// was on the screen while it was open.
struct BoxSeen {
    driver::MessageBoxInfo box;
    HWND owner = nullptr;
    bool mainWindowVisible = false;
};

// Runs the real kalvor.exe, copied into a fresh folder of its own so that the settings file
// beside it is the test's own. The program tells at start how opening COM1 went, in a tip shown
// before its main window; Start dismisses that tip and keeps it in m_openingTip. When the test
// ends, the display is saved as screenshots/<Suite>.<Test>.png under the build tree, the program is
// killed if it still runs and the folder is removed.
class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Copies the program, with `settings` as its InitSet.ini when given (bytes as they are, in
    // code page 936), into a fresh folder with these nested subfolders (their names may hold
    // double-byte characters, their path may be long), starts it, dismisses its opening tip and
    // waits for its main window; null if the tip or the window did not come.
    HWND Start(const std::optional<std::string>& settings,
               const std::vector<std::string>& subfolders = {});

    // Kills the program if it still runs and removes its folder (also done when the test ends).
    void Stop();

    DWORD ProcessId() const { return m_program->ProcessId(); }
    // True if the program ended within `milliseconds`.
    bool WaitForExit(DWORD milliseconds) const { return m_program->WaitForExit(milliseconds); }
    DWORD ExitCode() const { return m_program->ExitCode(); }

    // Waits up to `milliseconds` for a message box of the program, notes who owns it and whether
    // the main window shows, and presses its OK button. The box's window is null if none came.
    BoxSeen DismissNextBox(DWORD milliseconds = 10000) const;
    // The program's open message boxes.
    std::vector<driver::MessageBoxInfo> OpenBoxes() const;
    // Fails if a message box of the program opens within `milliseconds`.
    void ExpectNoBoxFor(DWORD milliseconds) const;

    HWND m_window = nullptr;
    BoxSeen m_openingTip;

private:
    std::vector<std::string> m_folders; // made by the test, outermost first
    std::vector<std::string> m_files;
    std::unique_ptr<driver::Program> m_program;
};

// The ways a user ends the window: its close box, and Esc and Enter on the focused control.
struct ClosingWay {
    const char* name;
    void (*press)(HWND window);
};
extern const ClosingWay kClosingWays[3];

// The Chinese settings file shipped with the program, as its bytes (code page 936), and its tips.
std::string ShippedChineseSettings();
inline constexpr const char* kTipOpenOk = "串口打开成功";
inline constexpr const char* kTipOpenFailed = "串口打开失败，请选择其他串口";
inline constexpr const char* kTipNotOpen = "串口未打开，请先选择串口";

// Fails unless `seen` is a tip with this text: no caption, the exclamation icon, owned by the
// main window.
void ExpectTip(const BoxSeen& seen, const std::string& text, HWND mainWindow);

// The local clock's text forms, as the window must show them.
std::string DateText(const SYSTEMTIME& time);
std::string TimeText(const SYSTEMTIME& time);

// Fails unless the window's date and time labels show the local clock, read around the reading
// of the labels (a second's slack each side).
void ExpectLabelsShowLocalClock(HWND window);
