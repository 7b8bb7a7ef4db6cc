#pragma once

#include <cstdint>

namespace kalvor_sync::reference {

// NTP's 64-bit timestamps: 32.32 fixed-point seconds since 1900-01-01 00:00:00 UTC, counted
// within an era of 2^32 seconds (era 1 begins 2036-02-07 06:28:16 UTC). The raw value carries no
// era: differences are taken on the raw values with wrap-around first, which holds across an
// era's change, and only a conversion to a calendar needs a pivot to pick the era.
using NtpTimestamp = std::uint64_t;

// A span of NTP's scale: signed 32.32 fixed-point seconds (±68 years).
using NtpSpan = std::int64_t;

inline constexpr std::int64_t kSecondsFrom1900To1970 = 2'208'988'800;

// a - b, from the raw values: right whenever the two lie within 68 years of each other.
inline NtpSpan Difference(NtpTimestamp a, NtpTimestamp b) {
    return static_cast<NtpSpan>(a - b);
}

inline NtpTimestamp Advance(NtpTimestamp at, NtpSpan span) {
    return at + static_cast<std::uint64_t>(span);
}

// A span in microseconds, rounded to the nearest; and back.
std::int64_t SpanMicroseconds(NtpSpan span);
NtpSpan SpanOfMicroseconds(std::int64_t microseconds);
// A span in microseconds with its fraction, for the model's arithmetic.
double SpanMicrosecondsExact(NtpSpan span);

// The timestamp of an instant (microseconds since 1970-01-01 UTC), in whatever era it falls.
NtpTimestamp TimestampOfMicroseconds(std::int64_t microseconds1970);
// The instant a timestamp stands for in the era that puts it nearest `pivot` (microseconds since
// 1970, normally the computer's clock): within 68 years of it.
std::int64_t MicrosecondsOfTimestamp(NtpTimestamp timestamp, std::int64_t pivot);

// NTP's 32-bit short format (16.16 unsigned seconds: root delay and dispersion) in microseconds.
double ShortMicroseconds(std::uint32_t value);

} // namespace kalvor_sync::reference
