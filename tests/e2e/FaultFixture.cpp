#include "FaultFixture.h"

#include "res/resource.h"
#include "tools/driver/Windows.h"

#include <algorithm>

HWND FaultTest::StartOnCom1() {
    const HWND window = Start(ShippedChineseSettings());
    if (window != nullptr) {
        EXPECT_EQ(m_openingTip.box.text, kTipOpenOk) << "COM1 did not open";
    }
    return window;
}

std::vector<BoxSeen> FaultTest::DismissBoxesUntilQuiet(DWORD firstMs, DWORD quietMs) const {
    std::vector<BoxSeen> seen;
    for (BoxSeen box = DismissNextBox(firstMs); box.box.window != nullptr;
         box = DismissNextBox(quietMs)) {
        seen.push_back(box);
    }
    return seen;
}

bool FaultTest::Answers(HWND window, DWORD milliseconds) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, milliseconds, &result) !=
           0;
}

TimeLabelWatch::TimeLabelWatch(HWND window)
    : m_window(window), m_text(driver::ControlText(window, IDC_TIME_TEXT)),
      m_changedAt(::GetTickCount()) {}

void TimeLabelWatch::Look() {
    const std::string text = driver::ControlText(m_window, IDC_TIME_TEXT);
    const DWORD now = ::GetTickCount();
    m_longestMs = std::max(m_longestMs, now - m_changedAt);
    if (text != m_text) {
        m_text = text;
        m_changedAt = now;
        ++m_changes;
    }
}

DWORD TimeLabelWatch::LongestUnchangedMs() const {
    return std::max(m_longestMs, ::GetTickCount() - m_changedAt);
}
