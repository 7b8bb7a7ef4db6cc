#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The one monotonic clock of the tree, in microseconds from an arbitrary start: it counts on
// steadily whatever is done to the wall clock, and never goes back. POSIX: CLOCK_MONOTONIC, which
// stands still while the computer sleeps. Win32: the performance counter, checked against the
// tick count, since on some multi-core Windows XP machines the counter jumps: where the two
// disagree by more than the tick count's coarseness explains, the tick count's advance is taken.
// Safe to read from any thread.
std::int64_t MonotonicMicroseconds();

// What the clock had to make up for, in words, once it had to (the counter jumped and the tick
// count's advance was taken instead); empty while it never had to.
std::string MonotonicClockNotice();

} // namespace platform
