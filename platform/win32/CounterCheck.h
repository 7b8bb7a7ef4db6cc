#pragma once

#include <cstdint>
#include <cstdlib>

namespace platform {

// The performance counter's advance between two readings of the monotonic clock, checked against
// the tick count's, both in microseconds: the counter's, unless the two disagree by more than the
// tick count's coarseness explains (it moves in steps of 10 to 16 ms, so two readings of it may
// be two steps off the elapsed time) and the clocks' rates (0.1 % apart at most), or the counter
// went back. Then the tick count's, since on some multi-core Windows XP machines the counter jumps.
// `ticked` is the tick count's advance modulo its wrap (2^32 ms, 49.7 days).
struct CounterAdvance {
    std::int64_t advance = 0;
    bool counterTaken = true;
};

inline CounterAdvance CheckCounter(std::int64_t counted, std::int64_t ticked) {
    constexpr std::int64_t kTickSlack = 32'000;
    constexpr std::int64_t kRateSlackDivisor = 1000;
    constexpr std::int64_t kTickWrap = (std::int64_t{1} << 32) * 1000;
    if (counted < 0) {
        return {ticked, false};
    }
    // Readings more than 49.7 days apart: the tick count has wrapped that many times more.
    std::int64_t differs = (counted - ticked) % kTickWrap;
    if (differs > kTickWrap / 2) {
        differs -= kTickWrap;
    }
    if (std::llabs(differs) <= kTickSlack + counted / kRateSlackDivisor) {
        return {counted, true};
    }
    return {ticked, false};
}

// A performance counter reading in microseconds, whole seconds first so that nothing overflows.
inline std::int64_t CounterMicroseconds(std::int64_t count, std::int64_t frequency) {
    return count / frequency * 1'000'000 + count % frequency * 1'000'000 / frequency;
}

// The monotonic clock's reading from its advances: the counter's are kept in counts and turned
// into microseconds as a whole, so that readings taken less than a microsecond apart (a deadline
// wait spins on the clock for its last stretch) lose nothing to rounding; the tick count's, taken
// where the counter jumped, are kept in microseconds.
class CounterTally {
public:
    CounterTally(std::int64_t frequency, std::int64_t startMicroseconds)
        : m_frequency(frequency), m_microseconds(startMicroseconds) {}

    void AddCounts(std::int64_t counts) { m_counts += counts; }
    void AddMicroseconds(std::int64_t microseconds) { m_microseconds += microseconds; }
    std::int64_t Microseconds() const {
        return m_microseconds + (m_frequency != 0 ? CounterMicroseconds(m_counts, m_frequency) : 0);
    }

private:
    std::int64_t m_frequency;
    std::int64_t m_counts = 0;
    std::int64_t m_microseconds;
};

} // namespace platform
