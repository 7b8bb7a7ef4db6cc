#pragma once

#include "DeviceOnLine.h"
#include "ProgramFixture.h"
#include "tests/window/driver/ProcessFigures.h"

#include <memory>
#include <string>
#include <vector>

// What the fault tests share: the program started on COM1 with the Chinese settings, the
// figures of its process, the boxes it shows, and whether its window still answers.
class FaultTest : public ProgramTest {
protected:
    // Starts the program and checks that it opened COM1.
    HWND StartOnCom1();

    driver::ProcessFigures Figures() const { return driver::ReadProcessFigures(ProcessId()); }
    // The program's threads while none of Wine's short-lived helpers runs: the least of a few
    // readings 100 ms apart. Wine starts a thread for every pending event wait on a serial port,
    // which lives a few milliseconds; one reading may catch it.
    int SteadyThreadCount() const;

    // Dismisses the program's boxes as they come, until none has come for `quietMs` (waiting up
    // to `firstMs` for the first); the boxes in the order they came.
    std::vector<BoxSeen> DismissBoxesUntilQuiet(DWORD firstMs, DWORD quietMs) const;

    // True if the window's thread answers a message within `milliseconds`.
    static bool Answers(HWND window, DWORD milliseconds);
};

// A count of the test's own that a long run (scripts/lib/soak) sets through the environment
// variable `name`; `standard` when it is not set.
int CountFromEnvironment(const char* name, int standard);

// The trend of a process's memory over time or over a count, robust to the moments when Wine
// hands back part of a heap for a while: the median of the slopes between every two samples.
class MemoryTrend {
public:
    void Add(double at, long long bytes) { m_samples.push_back({at, bytes}); }
    std::size_t Samples() const { return m_samples.size(); }
    // Bytes per unit of `at`; 0 with fewer than two samples.
    double Slope() const;
    // The growth the slope gives from the first sample to the last, in bytes.
    double Growth() const;

private:
    struct Sample {
        double at;
        long long bytes;
    };
    std::vector<Sample> m_samples;
};

// kalvor-wine-serial-baseline (wine_serial_baseline.cpp) at work on COM port `port` for
// `seconds`, in the background: what Wine's own serial emulation costs a program in memory,
// apart from that program's code.
class WineSerialBaseline {
public:
    // `mode` is "waits" or "reads".
    WineSerialBaseline(const char* mode, int port, int seconds);
    ~WineSerialBaseline();
    WineSerialBaseline(const WineSerialBaseline&) = delete;
    WineSerialBaseline& operator=(const WineSerialBaseline&) = delete;

    // Waits until the program has ended; the numbers of each line it wrote, none if it failed.
    std::vector<std::vector<double>> Readings();

private:
    int m_seconds;
    std::string m_resultFile;
    std::unique_ptr<driver::Program> m_program;
};

// What Wine 8 keeps of each pending event wait, whichever program makes it, measured in this run
// by the baseline's waits for `seconds`. Not `measured` if the program did not run.
struct PendingWaitCost {
    bool measured = false;
    long waits = 0;
    double bytesPerWait = 0;
};
PendingWaitCost MeasurePendingWaitCost(int port, int seconds);

// Prints what the program held before and after a run, as "figures:" lines (scripts/lib/soak shows
// them): memory, its peak, handles and threads.
void PrintFigures(const driver::ProcessFigures& before, const driver::ProcessFigures& after);

// The gaps between the frames of each sequence, in words: median, 99th percentile, least and
// most, in milliseconds.
std::string GapFigures(const std::vector<DecodedFrame>& frames);

// The caption of the reports of failing serial calls.
inline constexpr const char* kReportCaption = "Application Error";

// Follows the time label: how often it changed, and the longest it stayed the same.
class TimeLabelWatch {
public:
    explicit TimeLabelWatch(HWND window);
    // Reads the label again; call it often (every 100 to 250 ms).
    void Look();
    int Changes() const { return m_changes; }
    // The longest the label was seen unchanged, up to the last look.
    DWORD LongestUnchangedMs() const { return m_longestMs; }

private:
    HWND m_window;
    std::string m_text;
    DWORD m_changedAt;
    DWORD m_longestMs = 0;
    int m_changes = 0;
};
