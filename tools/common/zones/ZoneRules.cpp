#include "tools/common/zones/ZoneRules.h"

#include "tools/common/zones/TzifFile.h"

#include <algorithm>
#include <limits>

namespace kalvor_zones {
namespace {

// A rule's switches repeat every 400 years, at most twice a year: past this many without a
// change of offset there is none to come.
constexpr int kSwitchesInACycle = 2 * 400 + 2;

} // namespace

std::optional<ZoneRules> ZoneRules::FromTzif(std::span<const std::uint8_t> file,
                                             std::string& error) {
    auto contents = ReadTzif(file, error);
    if (!contents) {
        return std::nullopt;
    }
    ZoneRules rules;
    if (!contents->footer.empty()) {
        std::string problem;
        rules.m_rule = PosixRule::Parse(contents->footer, problem);
        if (!rules.m_rule) {
            error = "bad footer rule: " + problem;
            return std::nullopt;
        }
    }
    rules.m_transitionTimes = std::move(contents->transitionTimes);
    rules.m_transitionTypes = std::move(contents->transitionTypes);
    rules.m_types = std::move(contents->types);
    return rules;
}

ZoneOffset ZoneRules::At(std::int64_t utcSeconds) const {
    const auto after =
        std::upper_bound(m_transitionTimes.begin(), m_transitionTimes.end(), utcSeconds);
    if (after == m_transitionTimes.end() && m_rule &&
        (m_transitionTimes.empty() || utcSeconds > m_transitionTimes.back())) {
        return m_rule->At(utcSeconds);
    }
    if (after == m_transitionTimes.begin()) {
        return m_types.front();
    }
    return m_types[m_transitionTypes[after - m_transitionTimes.begin() - 1]];
}

std::optional<std::int64_t> ZoneRules::NextSwitch(std::int64_t utcSeconds) const {
    const auto after =
        std::upper_bound(m_transitionTimes.begin(), m_transitionTimes.end(), utcSeconds);
    if (after != m_transitionTimes.end()) {
        return *after;
    }
    return m_rule ? m_rule->NextSwitch(utcSeconds) : std::nullopt;
}

std::optional<std::int64_t> ZoneRules::NextOffsetChange(std::int64_t utcSeconds,
                                                        std::int64_t horizonSeconds) const {
    const std::int64_t horizon = utcSeconds > std::numeric_limits<std::int64_t>::max() -
                                                  std::max<std::int64_t>(horizonSeconds, 0)
                                     ? std::numeric_limits<std::int64_t>::max()
                                     : utcSeconds + std::max<std::int64_t>(horizonSeconds, 0);
    const std::int32_t offset = At(utcSeconds).utcOffsetSeconds;
    int switchesOfTheRule = 0;
    for (std::int64_t at = utcSeconds; switchesOfTheRule < kSwitchesInACycle;) {
        const auto next = NextSwitch(at);
        if (!next || *next > horizon) {
            return std::nullopt;
        }
        if (At(*next).utcOffsetSeconds != offset) {
            return next;
        }
        if (m_transitionTimes.empty() || *next > m_transitionTimes.back()) {
            ++switchesOfTheRule;
        }
        at = *next;
    }
    return std::nullopt;
}

} // namespace kalvor_zones
