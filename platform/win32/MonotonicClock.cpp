#include "platform/MonotonicClock.h"

#include <cstdlib>
#include <windows.h>

namespace platform {

namespace {

// The tick count moves in steps of 10 to 16 ms: two readings of it may differ from the elapsed
// time by up to two steps. The two clocks also run at slightly different rates: 0.1 % is allowed.
constexpr std::int64_t kTickSlackMicroseconds = 32'000;
constexpr std::int64_t kRateSlackDivisor = 1000;
// GetTickCount wraps after 2^32 ms (49.7 days).
constexpr std::int64_t kTickWrapMicroseconds = (std::int64_t{1} << 32) * 1000;

std::int64_t CounterMicroseconds(LONGLONG count, LONGLONG frequency) {
    return count / frequency * 1'000'000 + count % frequency * 1'000'000 / frequency;
}

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
            m_now = m_frequency != 0 ? CounterMicroseconds(count.QuadPart, m_frequency)
                                     : std::int64_t{tick} * 1000;
        } else {
            m_now += Advance(count.QuadPart, tick);
        }
        m_lastCount = count.QuadPart;
        m_lastTick = tick;
        const std::int64_t now = m_now;
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
    // The time since the last reading: the counter's, unless the tick count disagrees.
    std::int64_t Advance(LONGLONG count, DWORD tick) {
        // Unsigned subtraction carries the tick count across its wrap.
        const std::int64_t ticked = std::int64_t{static_cast<DWORD>(tick - m_lastTick)} * 1000;
        if (m_frequency == 0) {
            return ticked;
        }
        const std::int64_t counted = CounterMicroseconds(count - m_lastCount, m_frequency);
        // Readings more than 49.7 days apart: the tick count has wrapped that many times more.
        std::int64_t differs = counted - ticked;
        if (counted > 0) {
            differs %= kTickWrapMicroseconds;
            if (differs > kTickWrapMicroseconds / 2) {
                differs -= kTickWrapMicroseconds;
            }
        }
        if (counted >= 0 &&
            std::llabs(differs) <= kTickSlackMicroseconds + ticked / kRateSlackDivisor) {
            return counted;
        }
        if (m_notice.empty()) {
            m_notice = "the performance counter moved " + std::to_string(counted / 1000) +
                       " ms while the tick count moved " + std::to_string(ticked / 1000) +
                       " ms: the tick count's advance is taken where the two disagree";
        }
        return ticked;
    }

    CRITICAL_SECTION m_lock;
    LONGLONG m_frequency = 0;
    bool m_started = false;
    LONGLONG m_lastCount = 0;
    DWORD m_lastTick = 0;
    std::int64_t m_now = 0;
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
