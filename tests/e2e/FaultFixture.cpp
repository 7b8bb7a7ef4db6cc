#include "FaultFixture.h"

#include "res/resource.h"
#include "tests/driver/Windows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

int CountFromEnvironment(const char* name, int standard) {
    char text[32] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, text, sizeof text);
    const int count = length > 0 && length < sizeof text ? std::atoi(text) : 0;
    return count > 0 ? count : standard;
}

void PrintFigures(const driver::ProcessFigures& before, const driver::ProcessFigures& after) {
    std::printf("figures: memory private %zu -> %zu KB, working set %zu -> %zu KB, peak %zu KB\n",
                before.privateBytes / 1024, after.privateBytes / 1024, before.workingSet / 1024,
                after.workingSet / 1024, after.peakWorkingSet / 1024);
    std::printf("figures: handles %d -> %d, threads %d -> %d\n", before.handles, after.handles,
                before.threads, after.threads);
}

std::string GapFigures(const std::vector<DecodedFrame>& frames) {
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].m_fieldNumber == frames[i - 1].m_fieldNumber + 1) {
            gaps.push_back(MillisecondsBetween(frames[i - 1].m_arrival, frames[i].m_arrival));
        }
    }
    if (gaps.empty()) {
        return "no gaps between frames";
    }
    std::sort(gaps.begin(), gaps.end());
    char text[160];
    std::snprintf(text, sizeof text, "%zu gaps: median %lld ms, p99 %lld ms, least %lld, most %lld",
                  gaps.size(), static_cast<long long>(gaps[gaps.size() / 2]),
                  static_cast<long long>(gaps[(gaps.size() * 99) / 100]),
                  static_cast<long long>(gaps.front()), static_cast<long long>(gaps.back()));
    return text;
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
