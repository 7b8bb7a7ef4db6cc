#include "ClockStateWords.h"

#include <cstdio>

namespace kalvor_sync {

using platform::ClockSyncStatus;

const char* ClockStateWords(ClockSyncStatus status) {
    switch (status) {
    case ClockSyncStatus::Synchronised:
        return "synchronised";
    case ClockSyncStatus::NotSynchronised:
        return "not synchronised";
    case ClockSyncStatus::Unknown:
        return "unknown";
    }
    return "unknown";
}

std::string ClockStateSentence(const platform::ClockSyncState& state) {
    const std::string opening =
        state.status == ClockSyncStatus::Unknown
            ? "it is unknown whether the computer's clock is synchronised"
            : std::string("the computer's clock is ") + ClockStateWords(state.status);
    return opening + ": " + state.reason;
}

std::string ErrorEstimateText(std::int64_t microseconds) {
    char text[32];
    if (microseconds < 1'000'000) {
        std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(microseconds) / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(microseconds) / 1e6);
    }
    return text;
}

} // namespace kalvor_sync
