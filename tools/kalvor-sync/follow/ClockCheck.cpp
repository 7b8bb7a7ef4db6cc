#include "ClockCheck.h"

#include "tools/kalvor-sync/status/ClockStateWords.h"

namespace kalvor_sync {

using platform::ClockSyncStatus;

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
