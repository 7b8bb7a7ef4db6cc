#include "ClockModel.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kalvor_sync::reference {

namespace {

// RFC 5905's clock filter: the last 8 samples.
constexpr std::size_t kFilterSamples = 8;
// The history a frequency is read from: at 64 s polls about half an hour, at 1,024 s nine hours.
constexpr std::size_t kHistorySamples = 32;
// What reading the monotonic clock on the two sides of an exchange may add: a microsecond each.
constexpr double kReadingError = 2;
// The farthest a frequency is believed off, whatever the servers say: 5 %.
constexpr double kWildestFrequencyError = 0.05;

// The shortest stretch that `need` of the intervals cover, or nothing.
std::optional<std::pair<double, double>> CoveredBy(const std::vector<Interval>& intervals,
                                                   std::size_t need) {
    // An interval's start counts before another's end at the same point: touching intervals meet.
    std::vector<std::pair<double, int>> ends;
    for (const Interval& interval : intervals) {
        ends.emplace_back(interval.Lowest(), -1);
        ends.emplace_back(interval.Highest(), +1);
    }
    std::sort(ends.begin(), ends.end());
    std::optional<double> low, high;
    int count = 0;
    for (const auto& [at, kind] : ends) {
        count -= kind;
        if (count >= static_cast<int>(need)) {
            low = at;
            break;
        }
    }
    count = 0;
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
        count += end->second;
        if (count >= static_cast<int>(need)) {
            high = end->first;
            break;
        }
    }
    if (!low || !high || *low > *high) {
        return std::nullopt;
    }
    return std::make_pair(*low, *high);
}

} // namespace

double Frequency::Uncertainty() const {
    return std::max(estimate - lowest, highest - estimate);
}

double Estimate::OffsetAt(std::int64_t m) const {
    return offset + frequency * static_cast<double>(m - at);
}

double Estimate::ErrorAt(std::int64_t m) const {
    return errorBound + growth * std::fabs(static_cast<double>(m - at));
}

bool ServerSamples::Add(const Sample& sample) {
    bool agrees = true;
    if (!Empty()) {
        const Interval foretold = At(sample.at, FrequencyError());
        agrees = std::fabs(sample.offset - foretold.centre) <= foretold.reach + sample.Distance();
        if (!agrees) {
            Clear();
        }
    }
    m_recent.push_back(sample);
    if (m_recent.size() > kFilterSamples) {
        m_recent.pop_front();
    }
    m_history.push_back(sample);
    if (m_history.size() > kHistorySamples) {
        m_history.pop_front();
    }
    return agrees;
}

void ServerSamples::Clear() {
    m_recent.clear();
    m_history.clear();
}

const Sample& ServerSamples::Best() const {
    return *std::min_element(m_recent.begin(), m_recent.end(),
                             [](const Sample& a, const Sample& b) { return a.delay < b.delay; });
}

Frequency ServerSamples::FrequencyError() const {
    Frequency frequency;
    if (m_history.size() < 2 || m_history.back().at <= m_history.front().at) {
        return frequency;
    }
    // The range: from the best sample of the history's first half to the best of its second.
    const std::int64_t middle =
        m_history.front().at + (m_history.back().at - m_history.front().at) / 2;
    const auto split = std::find_if(m_history.begin(), m_history.end(),
                                    [middle](const Sample& s) { return s.at > middle; });
    const auto closer = [](const Sample& a, const Sample& b) {
        return a.Distance() < b.Distance();
    };
    const Sample& early = *std::min_element(m_history.begin(), split, closer);
    const Sample& late = *std::min_element(split, m_history.end(), closer);
    const double span = static_cast<double>(late.at - early.at);
    const double rise = late.offset - early.offset;
    const double slack = late.Distance() + early.Distance() + 2 * kReadingError;
    const double lowest = (rise - slack) / span;
    const double highest = (rise + slack) / span;
    frequency.lowest = std::max(frequency.lowest, lowest);
    frequency.highest = std::min(frequency.highest, highest);
    if (frequency.lowest > frequency.highest) {
        // Beyond what a computer's clock should do: the measurement is believed over the rule,
        // within what arithmetic on the model stays sane with.
        frequency.lowest = std::clamp(lowest, -kWildestFrequencyError, kWildestFrequencyError);
        frequency.highest = std::clamp(highest, -kWildestFrequencyError, kWildestFrequencyError);
    }

    // The estimate: the slope of a least-squares line through the whole history, each sample
    // weighed by how close it holds the offset.
    double weights = 0, meanAt = 0, meanOffset = 0;
    for (const Sample& s : m_history) {
        const double weight = 1 / std::pow(s.Distance() + kReadingError, 2);
        weights += weight;
        meanAt += weight * static_cast<double>(s.at - m_history.front().at);
        meanOffset += weight * s.offset;
    }
    meanAt /= weights;
    meanOffset /= weights;
    double spread = 0, together = 0;
    for (const Sample& s : m_history) {
        const double weight = 1 / std::pow(s.Distance() + kReadingError, 2);
        const double t = static_cast<double>(s.at - m_history.front().at) - meanAt;
        spread += weight * t * t;
        together += weight * t * (s.offset - meanOffset);
    }
    const double slope = spread > 0 ? together / spread : 0;
    frequency.estimate = std::clamp(slope, frequency.lowest, frequency.highest);
    return frequency;
}

Interval ServerSamples::At(std::int64_t at, const Frequency& frequency) const {
    const Sample& best = Best();
    const double elapsed = static_cast<double>(at - best.at);
    return {best.offset + frequency.estimate * elapsed,
            best.Distance() + kReadingError +
                (kFrequencyWander + frequency.Uncertainty()) * std::fabs(elapsed)};
}

bool ClockModel::Add(std::size_t server, const Sample& sample) {
    return m_servers[server].Add(sample);
}

void ClockModel::Drop() {
    for (ServerSamples& server : m_servers) {
        server.Clear();
    }
    std::fill(m_outvoted.begin(), m_outvoted.end(), false);
    m_estimate.reset();
}

void ClockModel::Forget(std::size_t server) {
    m_servers[server].Clear();
    m_outvoted[server] = false;
}

bool ClockModel::Update(std::int64_t now) {
    std::vector<std::size_t> heard;
    std::vector<Interval> intervals;
    std::vector<Frequency> frequencies;
    for (std::size_t i = 0; i < m_servers.size(); ++i) {
        if (!m_servers[i].Empty()) {
            heard.push_back(i);
            frequencies.push_back(m_servers[i].FrequencyError());
            intervals.push_back(m_servers[i].At(now, frequencies.back()));
        }
    }
    // Fewer than half may be wrong: of 3 servers 1, of 2 none.
    std::optional<std::pair<double, double>> stretch;
    for (std::size_t wrong = 0; 2 * wrong < heard.size() && !stretch; ++wrong) {
        stretch = CoveredBy(intervals, heard.size() - wrong);
    }
    if (!stretch) {
        return false;
    }
    const auto [low, high] = *stretch;

    Frequency frequency;
    Frequency hull{0, kMostFrequencyError, -kMostFrequencyError};
    double offsetSum = 0, offsetWeights = 0, frequencySum = 0, frequencyWeights = 0;
    std::fill(m_outvoted.begin(), m_outvoted.end(), false);
    for (std::size_t k = 0; k < heard.size(); ++k) {
        const Interval& interval = intervals[k];
        if (interval.Highest() < low || interval.Lowest() > high) {
            m_outvoted[heard[k]] = true;
            continue;
        }
        const double offsetWeight = 1 / std::pow(interval.reach, 2);
        offsetSum += offsetWeight * interval.centre;
        offsetWeights += offsetWeight;
        const Frequency& own = frequencies[k];
        const double frequencyWeight = 1 / std::pow(own.Uncertainty() + 1e-9, 2);
        frequencySum += frequencyWeight * own.estimate;
        frequencyWeights += frequencyWeight;
        frequency.lowest = std::max(frequency.lowest, own.lowest);
        frequency.highest = std::min(frequency.highest, own.highest);
        hull.lowest = std::min(hull.lowest, own.lowest);
        hull.highest = std::max(hull.highest, own.highest);
    }
    if (frequency.lowest > frequency.highest) {
        // The survivors' ranges do not meet: the frequency lies somewhere among them.
        frequency = hull;
    }
    frequency.estimate =
        std::clamp(frequencySum / frequencyWeights, frequency.lowest, frequency.highest);

    Estimate estimate;
    estimate.at = now;
    estimate.offset = std::clamp(offsetSum / offsetWeights, low, high);
    estimate.frequency = frequency.estimate;
    estimate.errorBound = std::max(estimate.offset - low, high - estimate.offset);
    estimate.growth = kFrequencyWander + frequency.Uncertainty();
    m_estimate = estimate;
    return true;
}

} // namespace kalvor_sync::reference
