#include "NtpPacket.h"

#include <cmath>

namespace kalvor_sync::reference {

namespace {

// RFC 5905's allowance for the drift of a clock: 15 µs a second.
constexpr double kDriftAllowance = 15e-6;
// Versions taken: 4, and 3, whose header is the same; a server answers in the client's version
// as a rule, but some old ones answer 3 whatever they are asked.
constexpr int kOldestVersion = 3;
constexpr int kNewestVersion = 4;
constexpr int kServerMode = 4;
constexpr int kLeapUnsynchronised = 3;
constexpr int kStratumUnsynchronised = 16;

std::uint32_t Word(std::span<const std::uint8_t, kPacketBytes> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

NtpTimestamp Stamp(std::span<const std::uint8_t, kPacketBytes> bytes, std::size_t at) {
    return NtpTimestamp{Word(bytes, at)} << 32 | Word(bytes, at + 4);
}

Judgement Reject(Judgement judgement, std::string reason, Verdict verdict = Verdict::Rejected) {
    judgement.verdict = verdict;
    judgement.reason = std::move(reason);
    return judgement;
}

// A kiss-o'-death (stratum 0, the code in the reference identifier): what it asks of the client.
Judgement Kiss(Judgement judgement) {
    const std::string code = ReferenceIdText(judgement.fields.referenceId);
    if (code == "DENY" || code == "RSTR") {
        return Reject(std::move(judgement), "kiss code " + code + ": access refused",
                      Verdict::Denied);
    }
    if (code == "RATE") {
        return Reject(std::move(judgement), "kiss code RATE: asked too often",
                      Verdict::RateLimited);
    }
    if (code.front() == 'X') {
        return Reject(std::move(judgement), "kiss code " + code + " (experimental), ignored");
    }
    return Reject(std::move(judgement), "kiss code " + code);
}

double PrecisionMicroseconds(int precision) {
    return std::ldexp(1e6, precision < 0 ? precision : 0);
}

} // namespace

Request MakeRequest(NtpTimestamp origin) {
    Request request{};
    request[0] = 0 << 6 | kNewestVersion << 3 | 3;
    for (int i = 0; i < 8; ++i) {
        request[40 + i] = static_cast<std::uint8_t>(origin >> (56 - 8 * i));
    }
    return request;
}

PacketFields ReadFields(std::span<const std::uint8_t, kPacketBytes> bytes) {
    PacketFields fields;
    fields.leap = bytes[0] >> 6;
    fields.version = bytes[0] >> 3 & 7;
    fields.mode = bytes[0] & 7;
    fields.stratum = bytes[1];
    fields.poll = static_cast<std::int8_t>(bytes[2]);
    fields.precision = static_cast<std::int8_t>(bytes[3]);
    fields.rootDelay = Word(bytes, 4);
    fields.rootDispersion = Word(bytes, 8);
    fields.referenceId = Word(bytes, 12);
    fields.reference = Stamp(bytes, 16);
    fields.origin = Stamp(bytes, 24);
    fields.receive = Stamp(bytes, 32);
    fields.transmit = Stamp(bytes, 40);
    return fields;
}

std::string ReferenceIdText(std::uint32_t referenceId) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(referenceId >> shift & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

Judgement JudgeAnswer(std::span<const std::uint8_t> bytes, const Exchange& exchange) {
    Judgement judgement;
    if (bytes.size() < kPacketBytes) {
        return Reject(std::move(judgement),
                      "short answer: " + std::to_string(bytes.size()) + " bytes");
    }
    const PacketFields& fields = judgement.fields =
        ReadFields(std::span<const std::uint8_t, kPacketBytes>(bytes.first<kPacketBytes>()));
    if (fields.mode != kServerMode) {
        return Reject(std::move(judgement),
                      "not a server's answer: mode " + std::to_string(fields.mode));
    }
    if (fields.version < kOldestVersion || fields.version > kNewestVersion) {
        return Reject(std::move(judgement), "version " + std::to_string(fields.version));
    }
    // Nothing of an answer is believed, a kiss-o'-death least of all, unless it echoes what the
    // request carried: anyone can send a datagram, only the server saw the request.
    if (fields.origin != exchange.origin) {
        return Reject(std::move(judgement), "foreign: not an answer to the request sent");
    }
    if (exchange.answered) {
        return Reject(std::move(judgement), "repeat of an answer already taken");
    }
    judgement.answersRequest = true;
    if (fields.stratum == 0) {
        if (fields.leap == kLeapUnsynchronised && fields.referenceId == 0) {
            return Reject(std::move(judgement), "server unsynchronised");
        }
        return Kiss(std::move(judgement));
    }
    if (fields.leap == kLeapUnsynchronised) {
        return Reject(std::move(judgement), "server unsynchronised: leap indicator 3");
    }
    if (fields.stratum >= kStratumUnsynchronised) {
        return Reject(std::move(judgement), "stratum " + std::to_string(fields.stratum));
    }
    if (fields.transmit == 0) {
        return Reject(std::move(judgement), "zero transmit time");
    }
    const NtpSpan serverHeld = Difference(fields.transmit, fields.receive); // T3 - T2
    if (serverHeld < 0) {
        return Reject(std::move(judgement), "the server's transmit time precedes its receive time");
    }
    const NtpSpan outward = Difference(fields.receive, exchange.sent);      // T2 - T1
    const NtpSpan back = Difference(fields.transmit, exchange.received);    // T3 - T4
    const NtpSpan roundTrip = Difference(exchange.received, exchange.sent); // T4 - T1
    Measurement& measurement = judgement.measurement;
    // Halved before they are added, so that no offset overflows; the delay is taken only from a
    // round trip that is not negative, as the server's time held is not: no overflow either.
    measurement.offset = outward / 2 + back / 2;
    if (roundTrip < 0 || (measurement.delay = roundTrip - serverHeld) < 0) {
        return Reject(std::move(judgement), "negative delay");
    }
    measurement.offsetMicroseconds = SpanMicrosecondsExact(measurement.offset);
    measurement.delayMicroseconds = SpanMicrosecondsExact(measurement.delay);
    measurement.dispersionMicroseconds =
        ShortMicroseconds(fields.rootDelay) / 2 + ShortMicroseconds(fields.rootDispersion) +
        PrecisionMicroseconds(fields.precision) + kDriftAllowance * measurement.delayMicroseconds;
    const double distance = measurement.DistanceMicroseconds();
    if (distance > kMostRootDistanceMicroseconds) {
        return Reject(std::move(judgement), "root distance " +
                                                std::to_string(std::lround(distance / 1000)) +
                                                " ms, over 1 s");
    }
    judgement.verdict = Verdict::Taken;
    return judgement;
}

} // namespace kalvor_sync::reference
