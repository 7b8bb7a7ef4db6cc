#pragma once

#include <cstdint>
#include <optional>

namespace kalvor_sync::reference {

struct PollOptions {
    // The start burst: this many requests, this far apart (a request waits that long for its
    // answer). 2 s is the closest spacing that servers' rate limits take as a rule; a run that
    // needs a reference at once has its burst in about 6 s plus a round trip.
    int burstRequests = 4;
    std::int64_t burstSpacingMicroseconds = 2'000'000;
    // The poll interval after the burst, as a power of two seconds: 64 s, at least 16 s (a LAN's
    // own server may be asked that often), growing to 1,024 s while the server answers.
    int minPollExponent = 6;
    int maxPollExponent = 10;
};

inline constexpr int kLeastPollExponent = 4;    // 16 s
inline constexpr int kLongestPollExponent = 17; // 36 h, where RATE may push a server

// When one server is asked (RFC 5905's poll process, simplified for one client): a burst at the
// start, then the poll interval, which doubles after four answers in a row up to the longest,
// and doubles too on each request left unanswered (silence) or a kiss-o'-death RATE (which also
// keeps it from coming back down); the first answer after silence brings it back to the least. DENY
// or RSTR drop the server for good. Keeps the reach register: a bit shifted in per request, set
// when the request is answered.
class ServerPoller {
public:
    ServerPoller(const PollOptions& options, std::int64_t start);

    // When the next request is due (monotonic microseconds); nothing once the server is dropped.
    std::optional<std::int64_t> NextRequestAt() const;
    // A request went out at `now`: an earlier one still unanswered counts as silence.
    void Sent(std::int64_t now);
    // An answer was taken for the last request.
    void Answered();
    void RateLimited(std::int64_t now);
    void Denied() { m_dropped = true; }

    bool Dropped() const { return m_dropped; }
    // True once the burst's last request was answered or waited for in vain.
    bool BurstOver(std::int64_t now) const;
    // When the last request waits no longer for its answer, as the burst counts it.
    std::int64_t AnswerAwaitedUntil() const {
        return m_lastSent + m_options.burstSpacingMicroseconds;
    }
    std::uint8_t Reach() const { return m_reach; }
    int PollExponent() const { return m_exponent; }
    // Requests in a row left unanswered, counting one still waiting for its answer.
    int SilentPolls() const { return m_silent + (m_waiting ? 1 : 0); }

private:
    PollOptions m_options;
    int m_burstLeft;
    int m_exponent;
    int m_floor; // the least exponent a RATE left
    std::int64_t m_next;
    std::int64_t m_lastSent = 0;
    bool m_waiting = false;
    int m_silent = 0;
    int m_answersInRow = 0;
    std::uint8_t m_reach = 0;
    bool m_dropped = false;
};

} // namespace kalvor_sync::reference
