#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kalvor_sync::reference {

// The monotonic clock against true time, from the servers' measurements. All times are
// microseconds; an offset is true time minus the monotonic clock on NTP's scale (a fixed base
// plus the monotonic reading), so that true time at a monotonic reading m is
// base + m + offset(m).

// RFC 5905's allowance for the wander of a clock's frequency: 15 µs a second.
inline constexpr double kFrequencyWander = 15e-6;
// The most a computer's clock is taken to run fast or slow (RFC 5905's 500 ppm).
inline constexpr double kMostFrequencyError = 500e-6;

// One measurement of a server.
struct Sample {
    std::int64_t at = 0;   // monotonic reading, midway between the request and the answer
    double offset = 0;     // the server's time minus the monotonic clock's
    double delay = 0;      // round trip
    double dispersion = 0; // the server's own error bound beyond the path
    // The most `offset` can be wrong by if the server is right to its own bound: the path may be
    // as lopsided as the whole delay.
    double Distance() const { return delay / 2 + dispersion; }
};

// The monotonic clock's frequency error against one server (or all): an estimate and the range
// the true value lies in, in microseconds per microsecond.
struct Frequency {
    double estimate = 0;
    double lowest = -kMostFrequencyError;
    double highest = kMostFrequencyError;
    double Uncertainty() const;
};

// Where a server puts the true offset at some moment: a centre and the most it can be off.
struct Interval {
    double centre = 0;
    double reach = 0;
    double Lowest() const { return centre - reach; }
    double Highest() const { return centre + reach; }
};

// One server's measurements: the last 8 (RFC 5905's clock filter: the one of least delay is the
// server's word), and a longer history of them for its frequency.
class ServerSamples {
public:
    // Takes a sample. One that contradicts what the earlier ones foretell (the server or the
    // monotonic clock stepped) starts the history over with it alone: false then.
    bool Add(const Sample& sample);
    void Clear();
    bool Empty() const { return m_recent.empty(); }

    const Sample& Best() const;
    // The frequency the history shows: a fit of all of it, and a range from its best early and
    // late samples, which holds if the server kept to its bound.
    Frequency FrequencyError() const;
    // The server's word for the offset at `at`, carried from its best sample with `frequency`.
    Interval At(std::int64_t at, const Frequency& frequency) const;

private:
    std::deque<Sample> m_recent;  // newest last
    std::deque<Sample> m_history; // newest last
};

// The published model: true time = base + m + offset + frequency * (m - at), within
// errorBound + growth * |m - at|. At an update (m = at):
//   each server s: centre c = θ + f_s (at - t), reach r = λ + 2 µs + (15 ppm + ΔF_s) |at - t|,
//     from its sample of least delay (taken at t, offset θ, delay δ) with λ = δ/2 + its root
//     delay/2 + root dispersion + precision + 15 ppm δ; f_s the slope of its history, ΔF_s the
//     most the slope can be off: its best early and late samples allow
//     [(Δθ - λ1 - λ2) / Δt, (Δθ + λ1 + λ2) / Δt], within ±500 ppm;
//   [lo, hi]: the stretch that a majority of the intervals [c - r, c + r] cover;
//   offset: the survivors' centres weighted by 1 / r², kept within [lo, hi];
//   errorBound = max(offset - lo, hi - offset);
//   frequency: the survivors' slopes weighted by their certainty, kept within the range they
//     all allow (ΔF its distance to the range's farther end); growth = 15 ppm + ΔF.
struct Estimate {
    std::int64_t at = 0;
    double offset = 0;
    double frequency = 0;
    double errorBound = 0;
    double growth = 0; // kFrequencyWander plus the frequency estimate's uncertainty
    double OffsetAt(std::int64_t m) const;
    double ErrorAt(std::int64_t m) const;
};

// The servers' measurements combined: each server's interval at the moment of the update, the
// selection of RFC 5905 (Marzullo's: the shortest stretch that a majority of the intervals
// cover; the servers whose intervals miss it are outvoted), and the survivors' weighted mean,
// kept within that stretch. The error bound is the distance from the estimate to the stretch's
// farther end: if the majority is right, the true offset lies in the stretch.
class ClockModel {
public:
    explicit ClockModel(std::size_t servers) : m_servers(servers), m_outvoted(servers, false) {}

    // False when the server's history started over (see ServerSamples::Add).
    bool Add(std::size_t server, const Sample& sample);
    // Combines what the servers said into a new estimate at `now`. False, leaving the estimate
    // as it was, when no majority agrees.
    bool Update(std::int64_t now);
    // Forgets everything (the reference lost its way).
    void Drop();
    void Forget(std::size_t server);

    const std::optional<Estimate>& Current() const { return m_estimate; }
    bool Outvoted(std::size_t server) const { return m_outvoted[server]; }
    const ServerSamples& Server(std::size_t server) const { return m_servers[server]; }

private:
    std::vector<ServerSamples> m_servers;
    std::vector<bool> m_outvoted;
    std::optional<Estimate> m_estimate;
};

} // namespace kalvor_sync::reference
