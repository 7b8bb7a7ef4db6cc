#pragma once

#include "tools/common/zones/PosixRule.h"
#include "tools/common/zones/ZoneOffset.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalvor_zones {

// A zone's civil time at every instant, as its compiled zone file gives it: the file's
// transitions wherever they reach (type 0 before the first), its footer's rule after the last.
// Instants are seconds since 1970-01-01 UTC, leap seconds not counted.
class ZoneRules {
public:
    // The rules of a compiled zone file's bytes, or nothing and what is wrong with them in words.
    static std::optional<ZoneRules> FromTzif(std::span<const std::uint8_t> file,
                                             std::string& error);

    // The offset, daylight saving and abbreviation in force at `utcSeconds`; a transition's own
    // instant already has the new ones.
    ZoneOffset At(std::int64_t utcSeconds) const;

    // The first instant after `utcSeconds` at which the UTC offset differs from the one in force
    // at `utcSeconds`, looking no further than `horizonSeconds` ahead. A change of the
    // abbreviation or of the daylight saving flag alone is no change.
    std::optional<std::int64_t> NextOffsetChange(std::int64_t utcSeconds,
                                                 std::int64_t horizonSeconds) const;

private:
    // The next transition or switch of the rule after `utcSeconds`, changing the offset or not.
    std::optional<std::int64_t> NextSwitch(std::int64_t utcSeconds) const;

    std::vector<std::int64_t> m_transitionTimes;
    std::vector<std::uint8_t> m_transitionTypes;
    std::vector<ZoneOffset> m_types;
    std::optional<PosixRule> m_rule; // after the last transition; none: the last type goes on
};

} // namespace kalvor_zones
