#pragma once

#include "NtpTimestamp.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kalvor_sync::reference {

// NTP's packet header as a client of RFC 4330 sends it and reads the answer, judged by the client
// rules of RFC 5905.

inline constexpr std::size_t kPacketBytes = 48;
using Request = std::array<std::uint8_t, kPacketBytes>;

// A request: leap indicator 0, version 4, mode 3 (client), every other field zero but the
// transmit timestamp, which carries `origin`: a random value the answer must echo, so that the
// computer's time is not given away and an answer to another request cannot pass for this one's.
Request MakeRequest(NtpTimestamp origin);

// The header's fields as they stand.
struct PacketFields {
    int leap = 0;
    int version = 0;
    int mode = 0;
    int stratum = 0;
    int poll = 0;
    int precision = 0;                // log2 seconds
    std::uint32_t rootDelay = 0;      // short format
    std::uint32_t rootDispersion = 0; // short format
    std::uint32_t referenceId = 0;
    NtpTimestamp reference = 0;
    NtpTimestamp origin = 0;
    NtpTimestamp receive = 0;  // T2, the server's clock
    NtpTimestamp transmit = 0; // T3, the server's clock
};
PacketFields ReadFields(std::span<const std::uint8_t, kPacketBytes> bytes);

// What the client knows of the request an answer claims to be for. T1 and T4 are read from the
// monotonic clock, on NTP's scale (a fixed base plus the monotonic reading), so that the offset
// measures the server against the monotonic clock.
struct Exchange {
    NtpTimestamp origin = 0;   // the transmit timestamp the request carried
    NtpTimestamp sent = 0;     // T1
    NtpTimestamp received = 0; // T4
    bool answered = false;     // an answer to this request was taken already
};

// The server's clock against the client's, from one exchange (RFC 5905): the offset
// ((T2 - T1) + (T3 - T4)) / 2 and the round-trip delay (T4 - T1) - (T3 - T2), both from raw
// timestamps; and the server's own error bound beyond the path: root delay / 2 + root dispersion
// + its precision + the clocks' drift during the exchange.
struct Measurement {
    NtpSpan offset = 0;
    NtpSpan delay = 0;
    double offsetMicroseconds = 0;
    double delayMicroseconds = 0;
    double dispersionMicroseconds = 0;
    // Root distance: delay / 2 + dispersion, the most the offset can be wrong by.
    double DistanceMicroseconds() const { return delayMicroseconds / 2 + dispersionMicroseconds; }
};

enum class Verdict {
    Taken,       // a measurement
    Rejected,    // not usable: `reason` says why
    Denied,      // kiss-o'-death DENY or RSTR: the server is to be dropped
    RateLimited, // kiss-o'-death RATE: the poll interval is to grow
};

struct Judgement {
    Verdict verdict = Verdict::Rejected;
    std::string reason; // short, in words, unless Taken
    // It answers the request sent (its origin echoes it), whatever it says: the server was heard.
    bool answersRequest = false;
    PacketFields fields;
    Measurement measurement; // when Taken
};

// The most the server may be wrong by for its answer to count (RFC 5905 allows 1.5 s).
inline constexpr double kMostRootDistanceMicroseconds = 1'000'000;

// Reads an answer and judges it against the request: too short, not a server's (mode 4), of
// another version than 3 or 4, foreign (its origin is not the request's), a repeat, a
// kiss-o'-death, unsynchronised, of stratum 0 or 16 and over, with a zero transmit time, with the
// server's transmit before its receive, with a negative delay, or too far from the root.
Judgement JudgeAnswer(std::span<const std::uint8_t> bytes, const Exchange& exchange);

// The reference identifier as four characters (a kiss code or a reference clock's name),
// with '?' for any that is not printable.
std::string ReferenceIdText(std::uint32_t referenceId);

} // namespace kalvor_sync::reference
