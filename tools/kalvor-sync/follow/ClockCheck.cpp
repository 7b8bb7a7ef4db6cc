#include "ClockCheck.h"

#include "platform/MonotonicClock.h"
#include "tools/kalvor-sync/status/ClockStateWords.h"
#include "tools/kalvor-sync/status/ReferenceWords.h"

namespace kalvor_sync {

using platform::ClockSyncStatus;

bool ClockCheck::BeforeSequence() {
    m_last = m_reader();
    if (m_reference != nullptr) {
        return WithReference();
    }
    std::string detail = ClockStateSentence(m_last);
    if (m_last.estimatedErrorMicroseconds) {
        detail += "; estimated error " + ErrorEstimateText(*m_last.estimatedErrorMicroseconds);
    }
    if (m_last.maximumErrorMicroseconds) {
        detail += ", at most " + ErrorEstimateText(*m_last.maximumErrorMicroseconds);
    }
    m_log.Detail(detail);
    if (m_last.status == ClockSyncStatus::Synchronised) {
        return Go(std::make_unique<ComputerTime>());
    }
    if (m_requireSynced) {
        return HoldBack(ClockStateSentence(m_last));
    }
    if (!m_warned) {
        m_warned = true;
        m_log.Warning(ClockStateSentence(m_last) +
                      "; the devices are set to its time, right or wrong (--require-synced "
                      "refuses instead)");
    }
    return Go(std::make_unique<ComputerTime>());
}

bool ClockCheck::WithReference() {
    const std::int64_t monotonic = platform::MonotonicMicroseconds();
    const std::optional<reference::TrueTime> now = m_reference->TrueTimeAt(monotonic);
    m_lastReference = m_reference->Report();
    const std::string sentence = ReferenceSentence(*m_lastReference);
    m_log.Detail(sentence);
    const bool goodEnough =
        now && (!m_requireSynced || now->errorBoundMicroseconds <= m_maxErrorMicroseconds);
    if (goodEnough) {
        if (m_warned) {
            m_warned = false;
            m_log.Recovery("the time reference tells the time again: the devices get it");
        }
        return Go(std::make_unique<ReferenceTime>(
            monotonic, now->microseconds,
            "by the time reference (error bound " + ErrorEstimateText(now->errorBoundMicroseconds) +
                ")"));
    }
    const std::string why =
        now ? sentence + ", past --max-error " + ErrorEstimateText(m_maxErrorMicroseconds)
            : sentence;
    if (m_requireSynced) {
        return HoldBack(why);
    }
    if (!m_warned) {
        m_warned = true;
        m_log.Warning(why + "; the devices are set to the computer's time, right or wrong, until "
                            "it tells the time (--require-synced refuses instead)");
    }
    return Go(std::make_unique<ComputerTime>("by the computer's clock (no reference time)"));
}

bool ClockCheck::HoldBack(const std::string& sentence) {
    m_heldBack = sentence;
    if (m_following) {
        if (!m_waiting) {
            m_waiting = true;
            m_log.Warning("waiting to set the devices until " +
                          std::string(m_reference != nullptr
                                          ? "the time reference tells the time"
                                          : "the computer's clock is synchronised") +
                          " (--require-synced); now " + sentence);
        }
        return false;
    }
    m_log.Error("not setting any device (--require-synced): " + sentence);
    return false;
}

bool ClockCheck::Go(std::unique_ptr<TimeBase> time) {
    if (m_waiting) {
        m_waiting = false;
        m_log.Recovery(m_reference != nullptr
                           ? "the time reference tells the time now: setting the devices"
                           : "the computer's clock is synchronised now: setting the devices");
    }
    m_time = std::move(time);
    return true;
}

} // namespace kalvor_sync
