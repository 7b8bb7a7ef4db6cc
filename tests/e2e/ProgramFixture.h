#pragma once

#include "tools/driver/Process.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

// Runs the real kalvor.exe, copied into a fresh folder of its own so that the settings file
// beside it is the test's own. When the test ends, the display is saved as
// screenshots/<Suite>.<Test>.png under the build tree, the program is killed if it still runs
// and the folder is removed.
class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Copies the program, with `settings` as its InitSet.ini when given (bytes as they are, in
    // code page 936), into a fresh folder with these nested subfolders (their names may hold
    // double-byte characters, their path may be long), starts it and waits for its main window;
    // null if it did not come.
    HWND Start(const std::optional<std::string>& settings,
               const std::vector<std::string>& subfolders = {});

    // Kills the program if it still runs and removes its folder (also done when the test ends).
    void Stop();

    DWORD ProcessId() const { return m_program->ProcessId(); }
    // True if the program ended within `milliseconds`.
    bool WaitForExit(DWORD milliseconds) const { return m_program->WaitForExit(milliseconds); }
    DWORD ExitCode() const { return m_program->ExitCode(); }

    HWND m_window = nullptr;

private:
    std::vector<std::string> m_folders; // made by the test, outermost first
    std::vector<std::string> m_files;
    std::unique_ptr<driver::Program> m_program;
};

// The local clock's text forms, as the window must show them.
std::string DateText(const SYSTEMTIME& time);
std::string TimeText(const SYSTEMTIME& time);

// Fails unless the window's date and time labels show the local clock, read around the reading
// of the labels (a second's slack each side).
void ExpectLabelsShowLocalClock(HWND window);
