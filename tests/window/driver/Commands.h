#pragma once

#include <string>
#include <windows.h>

namespace driver {

// What a user does to the main window, done from another process. Everything is posted, never
// sent: the program may answer with a modal box that would otherwise hold the driver.

// A key pressed and released on the control that has the focus in the dialog's thread (the
// dialog itself if none has), as the keyboard would deliver it.
void PressKey(HWND dialog, UINT virtualKey);
inline void PressEnter(HWND dialog) {
    PressKey(dialog, VK_RETURN);
}
inline void PressEscape(HWND dialog) {
    PressKey(dialog, VK_ESCAPE);
}

// The close box of the window's caption.
void ClickCloseBox(HWND window);

// The About item of the system menu.
void ChooseAboutItem(HWND mainWindow);

// Selects a position of the port list and tells the dialog, as a user's choice would (the
// selection message itself does not notify).
void SelectPortListEntry(HWND mainWindow, int position);

// Clicks the set-time button.
void ClickSetTime(HWND mainWindow);

// Saves what the display shows as a PNG file; false if it cannot be written.
bool SaveScreenshot(const std::string& path);

} // namespace driver
