#pragma once

#include "platform/ClockSync.h"

#include <cstdint>
#include <string>

namespace kalvor_sync {

// The state in a word or two, as the status file, the metrics' help and the log give it:
// "synchronised", "not synchronised", "unknown".
const char* ClockStateWords(platform::ClockSyncStatus status);

// The state and its reason in one sentence: "the computer's clock is not synchronised: the
// kernel's clock discipline has no time source".
std::string ClockStateSentence(const platform::ClockSyncState& state);

// "0.512 ms", "16.0 s": an error estimate as people read it.
std::string ErrorEstimateText(std::int64_t microseconds);

} // namespace kalvor_sync
