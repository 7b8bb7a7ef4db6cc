#include "ClockCheck.h"

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

bool ClockCheck::BeforeSequence() {
    m_last = m_reader();
    std::string detail = ClockStateSentence(m_last);
    if (m_last.estimatedErrorMicroseconds) {
        detail += "; estimated error " + ErrorEstimateText(*m_last.estimatedErrorMicroseconds);
    }
    if (m_last.maximumErrorMicroseconds) {
        detail += ", at most " + ErrorEstimateText(*m_last.maximumErrorMicroseconds);
    }
    m_log.Detail(detail);
    if (m_last.status == ClockSyncStatus::Synchronised) {
        if (m_waiting) {
            m_waiting = false;
            m_log.Recovery("the computer's clock is synchronised now: setting the devices");
        }
        return true;
    }
    if (m_requireSynced && m_following) {
        if (!m_waiting) {
            m_waiting = true;
            m_log.Warning("waiting to set the devices until the computer's clock is synchronised "
                          "(--require-synced); now " +
                          ClockStateSentence(m_last));
        }
        return false;
    }
    if (m_requireSynced) {
        m_log.Error("not setting any device (--require-synced): " + ClockStateSentence(m_last));
        return false;
    }
    if (!m_warned) {
        m_warned = true;
        m_log.Warning(ClockStateSentence(m_last) +
                      "; the devices are set to its time, right or wrong (--require-synced "
                      "refuses instead)");
    }
    return true;
}

} // namespace kalvor_sync
