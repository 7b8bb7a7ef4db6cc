#pragma once

#include <string>
#include <vector>
#include <windows.h>

namespace driver {

// Finding and reading the dialogs of a program from another process.

// Top-level dialogs (class "#32770") of the process (0: of any process), whatever their caption.
std::vector<HWND> FindDialogs(DWORD processId);

// Waits up to `milliseconds` for a visible dialog with this caption in the process (0: any);
// null if none came.
HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD milliseconds);

// The main window of the program: the visible dialog "Kalvor".
HWND WaitForMainWindow(DWORD processId, DWORD milliseconds);

// A window's text, read with WM_GETTEXT (narrow, the ANSI code page); never blocks for long on
// a program that does not answer.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);

// Waits until the window is gone; true if it went within `milliseconds`.
bool WaitForWindowGone(HWND window, DWORD milliseconds);

} // namespace driver
