#pragma once

#include "framework/MessageMap.h"

#include <string>
#include <windows.h>

// A window the program drives through its map. Never owns the window: the system destroys it.
class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND GetDlgItem(int controlId) const { return ::GetDlgItem(m_hWnd, controlId); }
    void SetDlgItemText(int controlId, const std::string& text) const;
    std::string GetDlgItemText(int controlId) const;

    // A repeating timer whose ticks arrive as WM_TIMER with this number; starting a running
    // timer again restarts it with the new period.
    UINT_PTR SetTimer(UINT_PTR timer, UINT milliseconds) const;
    BOOL KillTimer(UINT_PTR timer) const;

    // A modal message box owned by this window.
    int MessageBox(const std::string& text, const std::string& caption, UINT type) const;

    // Moves the window to the middle of its owner, or of the screen's work area when it has no
    // visible owner.
    void CenterWindow() const;

protected:
    // Asks for the system's own processing of the message being handled, once the handler
    // returns. Outside a handler it does nothing.
    void Default() const;

    // The handlers a derived map may call to pass a message on.
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnPaint() { Default(); }
    void OnTimer(UINT_PTR) { Default(); }

    // Runs the map for one message. Returns whether the message is handled (a handler ran and did
    // not ask for default processing) and the result to give back.
    bool HandleThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    // Set while a handler of this window runs; Default() raises it.
    bool* m_defaultRequested = nullptr;
};
