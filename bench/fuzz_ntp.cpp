// libFuzzer harness for what reads an NTP server's datagrams: the answer reader and, behind it,
// the reference's core and clock model, fed one answer after another. Built and run by
// bench/fuzz ntp, not by CI.
//
// The input's first byte holds switches: bit 0 writes each request's origin into its answer (so
// that answers get past the origin check, as a server's would). The rest comes in pieces of 56
// bytes: 2 bytes of time before the request (ms), 2 of round trip (ms), 4 of the wall clock's
// step (ms, signed), then the answer's 48 bytes (a shorter last piece is a short answer). Besides
// the sanitizers' checks it holds the code to what it promises:
//   - an answer is taken if and only if no reason is given, and a taken one has a delay of zero
//     or more and a root distance of 1 s at most;
//   - whenever the reference tells the time, its error bound is finite and not negative, and
//     the monotonic reading of the time it told is the reading it was asked for.
#include "tools/kalvor-sync/reference/ReferenceCore.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace kalvor_sync::reference;

std::uint64_t Read(const std::uint8_t* at, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | at[i];
    }
    return value;
}

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool echoOrigin = (data[0] & 1) != 0;
    std::int64_t now = 1'000'000'000;
    std::int64_t wallStep = 0;
    const std::int64_t wallStart = 1'800'000'000'000'000;
    ReferenceCore core({{"127.0.0.1", 123}}, Options{}, now, wallStart);
    const auto server = *platform::NumericAddress("127.0.0.1", 123);
    std::uint64_t origin = 0x0123'4567'89AB'CDEF;
    for (std::size_t at = 1; at + 8 <= size; at += 56) {
        now += static_cast<std::int64_t>(Read(data + at, 2)) * 1000;
        const std::int64_t roundTrip = static_cast<std::int64_t>(Read(data + at + 2, 2)) * 1000;
        wallStep += static_cast<std::int32_t>(Read(data + at + 4, 4)) * std::int64_t{1000};
        origin = origin * 6364136223846793005u + 1442695040888963407u;
        core.NewRequest(0, origin);
        core.Sent(0, now, true, {});
        Datagram datagram{server, {}, now + roundTrip};
        const std::size_t length = std::min<std::size_t>(48, size - at - 8);
        datagram.bytes.assign(data + at + 8, data + at + 8 + length);
        if (echoOrigin && length >= 32) {
            for (int i = 0; i < 8; ++i) {
                datagram.bytes[24 + i] = static_cast<std::uint8_t>(origin >> (56 - 8 * i));
            }
        }
        if (length == 48) {
            // Judged alone against an exchange that fits it, so that many are taken.
            const PacketFields fields = ReadFields(std::span(datagram.bytes).first<48>());
            const Judgement judgement =
                JudgeAnswer(datagram.bytes, {fields.origin, fields.receive - (1ull << 28),
                                             fields.transmit + (1ull << 28), false});
            Check((judgement.verdict == Verdict::Taken) == judgement.reason.empty());
            Check(judgement.verdict != Verdict::Taken ||
                  (judgement.measurement.delay >= 0 &&
                   judgement.measurement.DistanceMicroseconds() <= kMostRootDistanceMicroseconds));
        }
        now = datagram.receivedAt;
        const std::int64_t wall = wallStart + now + wallStep;
        core.Receive(datagram, now, wall);
        core.Evaluate(now);
        if (const auto told = core.TrueTimeAt(now)) {
            Check(told->errorBoundMicroseconds >= 0);
            const auto back = core.MonotonicAt(told->microseconds);
            Check(!back || std::llabs(*back - now) <= 2);
        }
        const ReferenceReport report = core.Report(now, wall);
        Check(!report.errorBoundMicroseconds || std::isfinite(*report.errorBoundMicroseconds));
    }
    return 0;
}
