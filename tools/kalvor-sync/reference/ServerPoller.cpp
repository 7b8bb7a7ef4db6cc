#include "ServerPoller.h"

#include <algorithm>

namespace kalvor_sync::reference {

namespace {

// Answers in a row after which the poll interval may double.
constexpr int kAnswersBeforeLonger = 4;

std::int64_t PollIntervalMicroseconds(int exponent) {
    return (std::int64_t{1} << exponent) * 1'000'000;
}

} // namespace

ServerPoller::ServerPoller(const PollOptions& options, std::int64_t start)
    : m_options(options), m_burstLeft(std::max(options.burstRequests, 1)),
      m_exponent(std::clamp(options.minPollExponent, kLeastPollExponent, options.maxPollExponent)),
      m_floor(m_exponent), m_next(start) {}

std::optional<std::int64_t> ServerPoller::NextRequestAt() const {
    if (m_dropped) {
        return std::nullopt;
    }
    return m_next;
}

void ServerPoller::Sent(std::int64_t now) {
    if (m_waiting) {
        ++m_silent;
        m_answersInRow = 0;
        if (m_burstLeft == 0) {
            m_exponent = std::min(m_exponent + 1, std::max(m_options.maxPollExponent, m_floor));
        }
    }
    m_reach = static_cast<std::uint8_t>(m_reach << 1);
    m_waiting = true;
    m_lastSent = now;
    if (m_burstLeft > 0) {
        --m_burstLeft;
    }
    m_next = now + (m_burstLeft > 0 ? m_options.burstSpacingMicroseconds
                                    : PollIntervalMicroseconds(m_exponent));
}

void ServerPoller::Answered() {
    m_reach |= 1;
    m_waiting = false;
    if (m_silent > 0) {
        // Back after silence: asked often again until it proves steady.
        m_silent = 0;
        m_answersInRow = 0;
        m_exponent = m_floor;
    } else if (m_burstLeft == 0 && ++m_answersInRow >= kAnswersBeforeLonger) {
        m_answersInRow = 0;
        m_exponent = std::min(m_exponent + 1, std::max(m_options.maxPollExponent, m_floor));
    }
}

void ServerPoller::RateLimited(std::int64_t now) {
    m_waiting = false;
    m_burstLeft = 0;
    m_answersInRow = 0;
    m_exponent = std::min(m_exponent + 1, kLongestPollExponent);
    m_floor = m_exponent;
    m_next = now + PollIntervalMicroseconds(m_exponent);
}

bool ServerPoller::BurstOver(std::int64_t now) const {
    return m_dropped || (m_burstLeft == 0 &&
                         (!m_waiting || now >= m_lastSent + m_options.burstSpacingMicroseconds));
}

} // namespace kalvor_sync::reference
