#pragma once

#include "framework/Wnd.h"

#include <windows.h>

// The paint context of one WM_PAINT: begun on construction, ended with the object.
class CPaintDC {
public:
    explicit CPaintDC(const CWnd* window) : m_hWnd(window->GetSafeHwnd()) {
        m_hDC = ::BeginPaint(m_hWnd, &m_ps);
    }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

    HDC GetSafeHdc() const { return m_hDC; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps{};
    HDC m_hDC = nullptr;
};
