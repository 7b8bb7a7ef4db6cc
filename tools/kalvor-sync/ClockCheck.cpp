#include "ClockCheck.h"

#include <cstdio>

namespace kalvor_sync {

using platform::ClockSyncStatus;

std::string ErrorEstimateText(std::int64_t microseconds) {
    char text[32];
    if (microseconds < 1'000'000) {
        std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(microseconds) / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(microseconds) / 1e6);
    }
    return text;
}

bool ClockCheck::BeforeSequence() {
    const platform::ClockSyncState state = m_reader();
    std::string detail = "the computer's clock: " + state.how;
    if (state.estimatedErrorMicroseconds) {
        detail += "; estimated error " + ErrorEstimateText(*state.estimatedErrorMicroseconds);
    }
    if (state.maximumErrorMicroseconds) {
        detail += ", at most " + ErrorEstimateText(*state.maximumErrorMicroseconds);
    }
    m_log.Detail(detail);
    if (state.status == ClockSyncStatus::Synchronised) {
        return true;
    }
    const std::string why =
        (state.status == ClockSyncStatus::NotSynchronised
             ? "the computer's clock is not synchronised to a time source"
             : "it cannot be told whether the computer's clock is synchronised to a time source") +
        std::string(" (") + state.how + ")";
    if (m_requireSynced) {
        m_log.Error("not setting any device: " + why + "; --require-synced");
        return false;
    }
    if (!m_warned) {
        m_warned = true;
        m_log.Warning(why + ": the device is set to the computer's time, right or wrong "
                            "(--require-synced refuses instead)");
    }
    return true;
}

} // namespace kalvor_sync
