#include "FaultFixture.h"

#include "res/resource.h"
#include "tests/window/driver/Windows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

HWND FaultTest::StartOnCom1() {
    const HWND window = Start(ShippedChineseSettings());
    if (window != nullptr) {
        EXPECT_EQ(m_openingTip.box.text, kTipOpenOk) << "COM1 did not open";
    }
    return window;
}

int FaultTest::SteadyThreadCount() const {
    int least = Figures().threads;
    for (int reading = 1; reading < 5; ++reading) {
        ::Sleep(100);
        least = std::min(least, Figures().threads);
    }
    return least;
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

WineSerialBaseline::WineSerialBaseline(const char* mode, int port, int seconds)
    : m_seconds(seconds) {
    char folder[MAX_PATH] = {};
    char resultFile[MAX_PATH] = {};
    if (::GetTempPathA(sizeof folder, folder) == 0 ||
        ::GetTempFileNameA(folder, "kwb", 0, resultFile) == 0) {
        return;
    }
    m_resultFile = resultFile;
    m_program = std::make_unique<driver::Program>(KALVOR_WINE_SERIAL_BASELINE_EXE, folder,
                                                  std::string(mode) + " " + std::to_string(port) +
                                                      " " + std::to_string(seconds) + " \"" +
                                                      m_resultFile + "\"");
}

WineSerialBaseline::~WineSerialBaseline() {
    m_program.reset();
    if (!m_resultFile.empty()) {
        ::DeleteFileA(m_resultFile.c_str());
    }
}

std::vector<std::vector<double>> WineSerialBaseline::Readings() {
    std::vector<std::vector<double>> readings;
    if (!m_program || !m_program->Started() || !m_program->WaitForExit(1000 * (m_seconds + 30)) ||
        m_program->ExitCode() != 0) {
        return readings;
    }
    std::ifstream result(m_resultFile);
    for (std::string line; std::getline(result, line);) {
        std::istringstream numbers(line);
        readings.emplace_back(std::istream_iterator<double>(numbers),
                              std::istream_iterator<double>());
    }
    return readings;
}

PendingWaitCost MeasurePendingWaitCost(int port, int seconds) {
    WineSerialBaseline baseline("waits", port, seconds);
    PendingWaitCost cost;
    MemoryTrend trend;
    for (const std::vector<double>& reading : baseline.Readings()) {
        if (reading.size() == 2) {
            trend.Add(reading[0], static_cast<long long>(reading[1]));
            cost.waits = static_cast<long>(reading[0]);
        }
    }
    cost.measured = trend.Samples() >= 2;
    cost.bytesPerWait = trend.Slope();
    return cost;
}

double MemoryTrend::Slope() const {
    std::vector<double> slopes;
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        for (std::size_t j = i + 1; j < m_samples.size(); ++j) {
            if (m_samples[j].at != m_samples[i].at) {
                slopes.push_back(static_cast<double>(m_samples[j].bytes - m_samples[i].bytes) /
                                 (m_samples[j].at - m_samples[i].at));
            }
        }
    }
    if (slopes.empty()) {
        return 0;
    }
    const auto middle = slopes.begin() + static_cast<std::ptrdiff_t>(slopes.size() / 2);
    std::nth_element(slopes.begin(), middle, slopes.end());
    return *middle;
}

double MemoryTrend::Growth() const {
    return m_samples.size() < 2 ? 0 : Slope() * (m_samples.back().at - m_samples.front().at);
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
