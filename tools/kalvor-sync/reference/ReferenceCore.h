#pragma once

#include "ClockModel.h"
#include "NtpPacket.h"
#include "ReferenceReport.h"
#include "Seams.h"
#include "ServerAddress.h"
#include "ServerPoller.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync::reference {

struct Options {
    PollOptions poll;
    // The most the reference may be wrong by: past it (in holdover) it becomes unsynced.
    std::int64_t mostErrorMicroseconds = 500'000;
};

// The reference's work without a thread or a clock of its own: the servers' polls, their answers
// judged, the clock model and the state. The owner reads the clock, sends what is due, feeds in
// what arrives, and sleeps until NextWake(); tests drive it the same way with a clock of their
// own. T1 and T4 of every exchange are monotonic readings on NTP's scale: a base fixed at the
// start (the wall clock then, so that offsets stay small) plus the reading.
class ReferenceCore {
public:
    ReferenceCore(std::vector<ServerAddress> servers, const Options& options,
                  std::int64_t monotonicNow, std::int64_t wallNow);

    std::size_t ServerCount() const { return m_servers.size(); }
    const ServerAddress& Server(std::size_t server) const { return m_servers[server].address; }

    // The servers whose next request is due at `now`, but for those waiting for a look-up.
    std::vector<std::size_t> Due(std::int64_t now) const;
    // True when the server needs its addresses (looked up) before its request can go.
    bool NeedsAddresses(std::size_t server) const;
    void LookUpStarted(std::size_t server) { m_servers[server].lookingUp = true; }
    void TakeAddresses(std::size_t server, const platform::Resolution& resolution,
                       std::int64_t now);
    // The request to send now (with a fresh random origin) and where to.
    Request NewRequest(std::size_t server, std::uint64_t origin);
    const platform::SocketAddress& Destination(std::size_t server) const;
    // The request went out (or failed, with the reason) at the monotonic reading `sentAt`.
    void Sent(std::size_t server, std::int64_t sentAt, bool sent, const std::string& failure);
    // A datagram from anywhere: taken, or rejected with its reason kept for the server it came
    // from. Datagrams from no server's address are ignored.
    // `monotonicNow` and `wallNow` are read together, to tell the server against the wall clock.
    void Receive(const Datagram& datagram, std::int64_t monotonicNow, std::int64_t wallNow);

    // The state at `now`, after moving it as time alone moves it (into unsynced when the bound
    // has grown too far).
    ReferenceState Evaluate(std::int64_t now);
    ReferenceState State() const { return m_state; }
    // When the owner should look again: the next request, the end of a burst, the bound's limit.
    std::int64_t NextWake(std::int64_t now) const;
    // Every server's start burst is over, answered or not.
    bool BurstsOver(std::int64_t now) const;
    // Every server has answered a request once (usable or not), or had its burst without one.
    bool EveryServerHeard(std::int64_t now) const;

    std::optional<TrueTime> TrueTimeAt(std::int64_t monotonic) const;
    std::optional<std::int64_t> MonotonicAt(std::int64_t trueMicroseconds) const;
    ReferenceReport Report(std::int64_t monotonicNow, std::int64_t wallNow) const;

private:
    struct ServerState {
        ServerAddress address;
        bool isName = false;
        std::vector<platform::SocketAddress> addresses;
        std::size_t current = 0;
        bool lookUpFailed = false;
        bool lookingUp = false;
        ServerPoller poller;
        Exchange exchange;
        std::int64_t sentAt = 0; // T1 as the monotonic reading
        int lookedUpAtSilence = 0;
        std::optional<AnswerReport> lastAnswer;
        bool heard = false; // it answered a request of ours once, usable or not
        std::string lastRejection;
    };

    NtpTimestamp OnNtpScale(std::int64_t monotonic) const;
    void Take(std::size_t server, const Judgement& judgement, std::int64_t receivedAt,
              std::int64_t wallAtReceipt);
    std::optional<std::size_t> ServerAt(const platform::SocketAddress& from) const;
    bool Answering() const;

    Options m_options;
    std::vector<ServerState> m_servers;
    ClockModel m_model;
    std::int64_t m_base1970; // the NTP scale's base, as microseconds since 1970
    NtpTimestamp m_baseNtp;  // the same as a timestamp
    ReferenceState m_state = ReferenceState::Unsynced;
};

} // namespace kalvor_sync::reference
