#pragma once

#include "platform/LocalInstant.h"
#include "platform/SystemClock.h"

#include <cstdint>

namespace kalvor_sync {

// The computer's local time at an instant of its clock, as a plan reads it.
inline LocalInstant ComputerLocalTime(std::int64_t microseconds) {
    return platform::LocalTimeAt(microseconds);
}

} // namespace kalvor_sync
