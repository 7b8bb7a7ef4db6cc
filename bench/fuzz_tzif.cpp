// libFuzzer harness for the zone reader: compiled zone files (TZif) and their footers' rules,
// as a zone folder on a user's disk may hold them. Built and run by bench/fuzz tzif, not by CI.
//
// Besides the sanitizers' checks it holds the reader to what it promises:
//   - a file is refused if and only if it says why;
//   - at instants across the whole range the offset is one a zone can have, and the next
//     offset change is after the instant, within the horizon, a change, and the first one;
//   - a zone's civil time and its offset in words come out of any offset.
#include "tools/common/zones/CivilTime.h"
#include "tools/common/zones/ZoneRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <string>

namespace {

using Limits = std::numeric_limits<std::int64_t>;

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckInstant(const kalvor_zones::ZoneRules& zone, std::int64_t instant) {
    constexpr std::int64_t kHorizon = 2 * 366 * 86'400;
    const auto offset = zone.At(instant);
    Check(offset.utcOffsetSeconds >= -89'999 && offset.utcOffsetSeconds <= 93'599);
    Check(offset.abbreviation.find('\0') == std::string::npos);
    Check(!kalvor_zones::FormatUtcOffset(offset.utcOffsetSeconds).empty());
    if (const auto change = zone.NextOffsetChange(instant, kHorizon)) {
        Check(*change > instant && *change - instant <= kHorizon);
        Check(zone.At(*change).utcOffsetSeconds != offset.utcOffsetSeconds);
        Check(zone.At(*change - 1).utcOffsetSeconds == offset.utcOffsetSeconds);
    }
    // The civil calendar's years -32767 to 32767.
    if (instant > -1'000'000'000'000 && instant < 1'000'000'000'000) {
        const LocalInstant civil = kalvor_zones::CivilTimeAt(zone, instant * 1'000'000);
        Check(civil.m_month >= 1 && civil.m_month <= 12 && civil.m_weekday >= 0 &&
              civil.m_weekday <= 6);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    std::string error;
    const auto zone = kalvor_zones::ZoneRules::FromTzif(file, error);
    Check(zone.has_value() == error.empty());
    if (!zone) {
        return 0;
    }
    // The file's own last eight bytes as an instant too, so that the fuzzer steers it.
    std::int64_t own = 0;
    std::memcpy(&own, data + size - std::min<std::size_t>(size, 8), std::min<std::size_t>(size, 8));
    for (const std::int64_t instant :
         {Limits::min(), Limits::min() + 1, -(std::int64_t{1} << 59), std::int64_t{-1},
          std::int64_t{0}, std::int64_t{1'750'000'000}, std::int64_t{2'200'000'000},
          std::int64_t{1} << 40, Limits::max() - 1, Limits::max(), own}) {
        CheckInstant(*zone, instant);
    }
    return 0;
}
