#pragma once

#include "platform/LocalInstant.h"

#include <cstdint>
#include <optional>

namespace kalvor_sim {

// Arrival times as a serial line at 9600 baud, 8N1, would give them. A pseudo-terminal hands over
// bytes the moment they are written, while a real line takes 10 bits (1.04 ms) per byte: the last
// byte of a four-byte frame lands 4.17 ms after its write began. Here a byte arrives one byte
// time after the line was free, that is after its read or after the byte before it, whichever
// came later.
class LineTimeModel {
public:
    static constexpr std::int64_t kByteMicroseconds = 10 * 1'000'000 / 9600; // 1041 us

    // The arrival of the next byte of a chunk read at `readAt`.
    LocalInstant NextArrival(const LocalInstant& readAt);

private:
    std::optional<LocalInstant> m_origin; // the first read; the times below count from it
    std::int64_t m_lineFreeAt = 0;        // microseconds after m_origin
    std::int64_t m_byteRemainder = 0;     // the 2/3 us a byte time has beyond 1041 us, in 1/3 us
};

} // namespace kalvor_sim
