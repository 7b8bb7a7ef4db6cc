#include "platform/MonotonicClock.h"

#include "platform/win32/CounterCheck.h"

#include <windows.h>

namespace platform {

namespace {

// The clock's state, shared by every thread that reads it.
class CheckedCounter {
public:
    CheckedCounter() {
        ::InitializeCriticalSection(&m_lock);
        LARGE_INTEGER frequency{};
        m_frequency = ::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0
                          ? frequency.QuadPart
                          : 0;
    }

    std::int64_t Read() {
        ::EnterCriticalSection(&m_lock);
        LARGE_INTEGER count{};
        if (m_frequency == 0 || !::QueryPerformanceCounter(&count)) {
            count.QuadPart = 0;
        }
        const DWORD tick = ::GetTickCount();
        if (!m_started) {
            m_started = true;
            m_tally = CounterTally(
                m_frequency, m_frequency != 0 ? CounterMicroseconds(count.QuadPart, m_frequency)
                                              : std::int64_t{tick} * 1000);
        } else {
            Advance(count.QuadPart, tick);
        }
        m_lastCount = count.QuadPart;
        m_lastTick = tick;
        const std::int64_t now = m_tally.Microseconds();
        ::LeaveCriticalSection(&m_lock);
        return now;
    }

    std::string Notice() {
        ::EnterCriticalSection(&m_lock);
        std::string notice = m_notice;
        ::LeaveCriticalSection(&m_lock);
        return notice;
    }

private:
    // Adds the time since the last reading: the counter's, unless the tick count disagrees.
    void Advance(LONGLONG count, DWORD tick) {
        // Unsigned subtraction carries the tick count across its wrap.
        const std::int64_t ticked = std::int64_t{static_cast<DWORD>(tick - m_lastTick)} * 1000;
        if (m_frequency == 0) {
            m_tally.AddMicroseconds(ticked);
            return;
        }
        const std::int64_t counted = CounterMicroseconds(count - m_lastCount, m_frequency);
        const CounterAdvance checked = CheckCounter(counted, ticked);
        if (checked.counterTaken) {
            m_tally.AddCounts(count - m_lastCount);
            return;
        }
        m_tally.AddMicroseconds(checked.advance);
        if (m_notice.empty()) {
            m_notice = "the performance counter moved " + std::to_string(counted / 1000) +
                       " ms while the tick count moved " + std::to_string(ticked / 1000) +
                       " ms: the tick count's advance is taken where the two disagree";
        }
    }

    CRITICAL_SECTION m_lock;
    LONGLONG m_frequency = 0;
    bool m_started = false;
    LONGLONG m_lastCount = 0;
    DWORD m_lastTick = 0;
    CounterTally m_tally{0, 0};
    std::string m_notice;
};

CheckedCounter& Counter() {
    static CheckedCounter counter;
    return counter;
}

} // namespace

std::int64_t MonotonicMicroseconds() {
    return Counter().Read();
}

std::string MonotonicClockNotice() {
    return Counter().Notice();
}

} // namespace platform
