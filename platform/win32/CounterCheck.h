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

} // namespace platform
