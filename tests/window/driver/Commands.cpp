#include "tests/window/driver/Commands.h"

#include "res/resource.h"
#include "tests/window/driver/Screen.h"

namespace driver {

void PressKey(HWND dialog, UINT virtualKey) {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    HWND target = dialog;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &thread) &&
        thread.hwndFocus != nullptr) {
        target = thread.hwndFocus;
    }
    const UINT scanCode = ::MapVirtualKeyA(virtualKey, 0);
    const LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    const LPARAM up = down | (static_cast<LPARAM>(0xC0000000u));
    ::PostMessageA(target, WM_KEYDOWN, virtualKey, down);
    ::PostMessageA(target, WM_KEYUP, virtualKey, up);
}

void ClickCloseBox(HWND window) {
    ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void ChooseAboutItem(HWND mainWindow) {
    ::PostMessageA(mainWindow, WM_SYSCOMMAND, IDM_ABOUT_ITEM, 0);
}

void SelectPortListEntry(HWND mainWindow, int position) {
    const HWND list = ::GetDlgItem(mainWindow, IDC_PORT_LIST);
    ::SendMessageTimeoutA(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0, SMTO_ABORTIFHUNG,
                          5000, nullptr);
    ::PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_PORT_LIST, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
}

void ClickSetTime(HWND mainWindow) {
    // As the button reports a click; BM_CLICK would need the window to be the active one.
    ::PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_SET_TIME, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(mainWindow, IDC_SET_TIME)));
}

bool SaveScreenshot(const std::string& path) {
    return SavePng(CaptureWholeScreen(), path);
}

} // namespace driver
