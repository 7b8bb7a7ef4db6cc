#include "NtpTimestamp.h"

namespace kalvor_sync::reference {

namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;
constexpr double kFractionsPerSecond = 4294967296.0; // 2^32

// Division rounding towards minus infinity, for instants and spans before their origin.
std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

} // namespace

std::int64_t SpanMicroseconds(NtpSpan span) {
    // The whole seconds (arithmetic shift: floor) and the fraction apart, so that nothing
    // overflows for any span.
    const std::int64_t seconds = span >> 32;
    const auto fraction = static_cast<std::uint64_t>(span) & 0xFFFF'FFFFu;
    const auto micros =
        static_cast<std::int64_t>((fraction * kMicrosecondsPerSecond + (1ull << 31)) >> 32);
    return seconds * kMicrosecondsPerSecond + micros;
}

NtpSpan SpanOfMicroseconds(std::int64_t microseconds) {
    const std::int64_t seconds = FloorDivide(microseconds, kMicrosecondsPerSecond);
    const auto micros = static_cast<std::uint64_t>(microseconds - seconds * kMicrosecondsPerSecond);
    const std::uint64_t fraction = ((micros << 32) + kMicrosecondsPerSecond / 2) /
                                   static_cast<std::uint64_t>(kMicrosecondsPerSecond);
    return static_cast<NtpSpan>((static_cast<std::uint64_t>(seconds) << 32) + fraction);
}

double SpanMicrosecondsExact(NtpSpan span) {
    return static_cast<double>(span) *
           (static_cast<double>(kMicrosecondsPerSecond) / kFractionsPerSecond);
}

NtpTimestamp TimestampOfMicroseconds(std::int64_t microseconds1970) {
    // Era 0's start lies this far before 1970; the era itself is dropped by the wrap-around.
    const NtpSpan since1970 = SpanOfMicroseconds(microseconds1970);
    return Advance(static_cast<NtpTimestamp>(kSecondsFrom1900To1970) << 32, since1970);
}

std::int64_t MicrosecondsOfTimestamp(NtpTimestamp timestamp, std::int64_t pivot) {
    return pivot + SpanMicroseconds(Difference(timestamp, TimestampOfMicroseconds(pivot)));
}

double ShortMicroseconds(std::uint32_t value) {
    return static_cast<double>(value) * (static_cast<double>(kMicrosecondsPerSecond) / 65536.0);
}

} // namespace kalvor_sync::reference
