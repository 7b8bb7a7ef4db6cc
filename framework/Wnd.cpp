#include "framework/Wnd.h"

#include <vector>

void CWnd::SetDlgItemText(int controlId, const std::string& text) const {
    ::SetDlgItemTextA(m_hWnd, controlId, text.c_str());
}

std::string CWnd::GetDlgItemText(int controlId) const {
    const HWND control = GetDlgItem(controlId);
    const int length = ::GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    const int copied = ::GetWindowTextA(control, text.data(), length + 1);
    return std::string(text.data(), static_cast<std::size_t>(copied));
}

UINT_PTR CWnd::SetTimer(UINT_PTR timer, UINT milliseconds) const {
    return ::SetTimer(m_hWnd, timer, milliseconds, nullptr);
}

BOOL CWnd::KillTimer(UINT_PTR timer) const {
    return ::KillTimer(m_hWnd, timer);
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, UINT type) const {
    return ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), type);
}

void CWnd::CenterWindow() const {
    RECT area{};
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::Default() const {
    if (m_defaultRequested != nullptr) {
        *m_defaultRequested = true;
    }
}

bool CWnd::HandleThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Handlers may run nested (a modal box inside a handler): each keeps its own request.
    bool defaultRequested = false;
    bool* const outer = m_defaultRequested;
    m_defaultRequested = &defaultRequested;
    const bool ran = DispatchThroughMap(message, wParam, lParam, result);
    m_defaultRequested = outer;
    return ran && !defaultRequested;
}
