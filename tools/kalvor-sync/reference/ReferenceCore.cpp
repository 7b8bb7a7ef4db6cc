#include "ReferenceCore.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kalvor_sync::reference {

namespace {

// Requests in a row left unanswered after which a server's name is looked up again, and after
// which the next of its addresses is tried.
constexpr int kSilenceBeforeLookUp = 4;
constexpr int kSilenceBeforeNextAddress = 2;
// Holdover begins when no server answered any of its last 3 requests.
constexpr std::uint8_t kRecentRequests = 0b111;

std::string DottedQuad(std::uint32_t id) {
    return std::to_string(id >> 24) + "." + std::to_string(id >> 16 & 0xFF) + "." +
           std::to_string(id >> 8 & 0xFF) + "." + std::to_string(id & 0xFF);
}

} // namespace

std::string StateName(ReferenceState state) {
    switch (state) {
    case ReferenceState::Synced:
        return "synced";
    case ReferenceState::Holdover:
        return "holdover";
    case ReferenceState::Unsynced:
        break;
    }
    return "unsynced";
}

ReferenceCore::ReferenceCore(std::vector<ServerAddress> servers, const Options& options,
                             std::int64_t monotonicNow, std::int64_t wallNow)
    : m_options(options), m_model(servers.size()), m_base1970(wallNow - monotonicNow),
      m_baseNtp(TimestampOfMicroseconds(m_base1970)) {
    for (ServerAddress& address : servers) {
        ServerState server{std::move(address),
                           false,
                           {},
                           0,
                           false,
                           false,
                           ServerPoller(options.poll, monotonicNow),
                           {},
                           0,
                           0,
                           {},
                           false,
                           {}};
        if (auto numeric = platform::NumericAddress(server.address.host, server.address.port)) {
            server.addresses.push_back(*numeric);
        } else {
            server.isName = true;
        }
        m_servers.push_back(std::move(server));
    }
}

NtpTimestamp ReferenceCore::OnNtpScale(std::int64_t monotonic) const {
    return Advance(m_baseNtp, SpanOfMicroseconds(monotonic));
}

std::vector<std::size_t> ReferenceCore::Due(std::int64_t now) const {
    std::vector<std::size_t> due;
    for (std::size_t i = 0; i < m_servers.size(); ++i) {
        const auto next = m_servers[i].poller.NextRequestAt();
        if (next && *next <= now && !m_servers[i].lookingUp) {
            due.push_back(i);
        }
    }
    return due;
}

bool ReferenceCore::NeedsAddresses(std::size_t server) const {
    const ServerState& state = m_servers[server];
    const int silence = state.poller.SilentPolls();
    return state.addresses.empty() ||
           (state.isName && silence > 0 && silence % kSilenceBeforeLookUp == 0 &&
            silence != state.lookedUpAtSilence);
}

void ReferenceCore::TakeAddresses(std::size_t server, const platform::Resolution& resolution,
                                  std::int64_t now) {
    ServerState& state = m_servers[server];
    state.lookingUp = false;
    state.lookedUpAtSilence = state.poller.SilentPolls();
    if (resolution.addresses.empty()) {
        state.lookUpFailed = true;
        state.lastRejection =
            "cannot find the address of " + state.address.host + ": " + resolution.failure;
        if (state.addresses.empty()) {
            // Counts as a request unanswered: tried again at the next poll, backing off.
            state.poller.Sent(now);
        }
        return;
    }
    state.lookUpFailed = false;
    state.addresses = resolution.addresses;
    state.current = 0;
}

Request ReferenceCore::NewRequest(std::size_t server, std::uint64_t origin) {
    ServerState& state = m_servers[server];
    if (state.poller.SilentPolls() >= kSilenceBeforeNextAddress && state.addresses.size() > 1) {
        state.current = (state.current + 1) % state.addresses.size();
    }
    state.exchange = Exchange{origin, 0, 0, false};
    return MakeRequest(origin);
}

const platform::SocketAddress& ReferenceCore::Destination(std::size_t server) const {
    const ServerState& state = m_servers[server];
    return state.addresses[state.current];
}

void ReferenceCore::Sent(std::size_t server, std::int64_t sentAt, bool sent,
                         const std::string& failure) {
    ServerState& state = m_servers[server];
    state.sentAt = sentAt;
    state.exchange.sent = OnNtpScale(sentAt);
    state.poller.Sent(sentAt);
    if (!sent) {
        state.lastRejection = "cannot send to " + Destination(server).Text() + ": " + failure;
    }
}

std::optional<std::size_t> ReferenceCore::ServerAt(const platform::SocketAddress& from) const {
    for (std::size_t i = 0; i < m_servers.size(); ++i) {
        const ServerState& state = m_servers[i];
        if (!state.addresses.empty() && state.addresses[state.current].Text() == from.Text()) {
            return i;
        }
    }
    return std::nullopt;
}

void ReferenceCore::Receive(const Datagram& datagram, std::int64_t monotonicNow,
                            std::int64_t wallNow) {
    const auto server = ServerAt(datagram.from);
    if (!server) {
        return;
    }
    ServerState& state = m_servers[*server];
    Exchange exchange = state.exchange;
    exchange.received = OnNtpScale(datagram.receivedAt);
    const Judgement judgement = JudgeAnswer(datagram.bytes, exchange);
    state.heard = state.heard || judgement.answersRequest;
    switch (judgement.verdict) {
    case Verdict::Taken:
        Take(*server, judgement, datagram.receivedAt,
             wallNow - (monotonicNow - datagram.receivedAt));
        return;
    case Verdict::Denied:
        state.poller.Denied();
        m_model.Forget(*server);
        m_model.Update(datagram.receivedAt);
        break;
    case Verdict::RateLimited:
        state.poller.RateLimited(datagram.receivedAt);
        break;
    case Verdict::Rejected:
        break;
    }
    state.lastRejection = judgement.reason;
}

void ReferenceCore::Take(std::size_t server, const Judgement& judgement, std::int64_t receivedAt,
                         std::int64_t wallAtReceipt) {
    ServerState& state = m_servers[server];
    state.exchange.answered = true;
    state.poller.Answered();
    const Measurement& measurement = judgement.measurement;
    Sample sample;
    sample.at = state.sentAt + (receivedAt - state.sentAt) / 2;
    sample.offset = measurement.offsetMicroseconds;
    sample.delay = measurement.delayMicroseconds;
    sample.dispersion = measurement.dispersionMicroseconds;
    if (!m_model.Add(server, sample)) {
        state.lastRejection = "its time jumped against its earlier answers: taken afresh";
    }
    if (m_model.Update(receivedAt)) {
        m_state = ReferenceState::Synced;
    }

    AnswerReport answer;
    answer.monotonicMicroseconds = receivedAt;
    answer.stratum = judgement.fields.stratum;
    answer.referenceId = judgement.fields.stratum <= 1
                             ? ReferenceIdText(judgement.fields.referenceId)
                             : DottedQuad(judgement.fields.referenceId);
    answer.offsetMicroseconds = static_cast<double>(m_base1970 + receivedAt - wallAtReceipt) +
                                measurement.offsetMicroseconds;
    answer.delayMicroseconds = measurement.delayMicroseconds;
    answer.distanceMicroseconds = measurement.DistanceMicroseconds();
    state.lastAnswer = answer;
}

bool ReferenceCore::Answering() const {
    return std::any_of(m_servers.begin(), m_servers.end(), [](const ServerState& state) {
        return !state.poller.Dropped() && (state.poller.Reach() & kRecentRequests) != 0;
    });
}

ReferenceState ReferenceCore::Evaluate(std::int64_t now) {
    const auto& estimate = m_model.Current();
    if (!estimate) {
        m_state = ReferenceState::Unsynced;
    } else if (estimate->ErrorAt(now) > static_cast<double>(m_options.mostErrorMicroseconds)) {
        m_model.Drop();
        m_state = ReferenceState::Unsynced;
    } else {
        m_state = Answering() ? ReferenceState::Synced : ReferenceState::Holdover;
    }
    return m_state;
}

std::int64_t ReferenceCore::NextWake(std::int64_t now) const {
    std::int64_t wake = std::numeric_limits<std::int64_t>::max();
    for (const ServerState& state : m_servers) {
        if (const auto next = state.poller.NextRequestAt(); next && !state.lookingUp) {
            wake = std::min(wake, *next);
        }
        if (!state.poller.BurstOver(now)) {
            wake = std::min(wake, state.poller.AnswerAwaitedUntil());
        }
    }
    if (const auto& estimate = m_model.Current(); estimate && estimate->growth > 0) {
        const double left =
            (static_cast<double>(m_options.mostErrorMicroseconds) - estimate->errorBound) /
            estimate->growth;
        const std::int64_t limit =
            estimate->at + static_cast<std::int64_t>(std::max(left, 0.0)) + 1;
        if (limit > now) {
            wake = std::min(wake, limit);
        }
    }
    return std::max(wake, now);
}

bool ReferenceCore::BurstsOver(std::int64_t now) const {
    return std::all_of(m_servers.begin(), m_servers.end(), [now](const ServerState& state) {
        return state.poller.BurstOver(now) || (state.addresses.empty() && state.lookUpFailed);
    });
}

bool ReferenceCore::EveryServerHeard(std::int64_t now) const {
    return std::all_of(m_servers.begin(), m_servers.end(), [now](const ServerState& state) {
        return state.heard || state.poller.Dropped() || state.poller.BurstOver(now) ||
               (state.addresses.empty() && state.lookUpFailed);
    });
}

std::optional<TrueTime> ReferenceCore::TrueTimeAt(std::int64_t monotonic) const {
    const auto& estimate = m_model.Current();
    if (m_state == ReferenceState::Unsynced || !estimate) {
        return std::nullopt;
    }
    const double error = estimate->ErrorAt(monotonic);
    if (error > static_cast<double>(m_options.mostErrorMicroseconds)) {
        return std::nullopt;
    }
    return TrueTime{m_base1970 + monotonic + std::llround(estimate->OffsetAt(monotonic)),
                    static_cast<std::int64_t>(std::ceil(error))};
}

std::optional<std::int64_t> ReferenceCore::MonotonicAt(std::int64_t trueMicroseconds) const {
    const auto& estimate = m_model.Current();
    if (m_state == ReferenceState::Unsynced || !estimate) {
        return std::nullopt;
    }
    // true = base + m + offset + frequency * (m - at), solved for m - at.
    const double fromAt =
        (static_cast<double>(trueMicroseconds - m_base1970 - estimate->at) - estimate->offset) /
        (1 + estimate->frequency);
    const std::int64_t monotonic = estimate->at + std::llround(fromAt);
    if (estimate->ErrorAt(monotonic) > static_cast<double>(m_options.mostErrorMicroseconds)) {
        return std::nullopt;
    }
    return monotonic;
}

ReferenceReport ReferenceCore::Report(std::int64_t monotonicNow, std::int64_t wallNow) const {
    ReferenceReport report;
    report.state = m_state;
    if (const auto now = TrueTimeAt(monotonicNow)) {
        report.computerOffsetMicroseconds = static_cast<double>(wallNow - now->microseconds);
        report.errorBoundMicroseconds = static_cast<double>(now->errorBoundMicroseconds);
    }
    if (const auto& estimate = m_model.Current()) {
        report.frequencyPpm = estimate->frequency * 1e6;
    }
    for (std::size_t i = 0; i < m_servers.size(); ++i) {
        const ServerState& state = m_servers[i];
        ServerReport server;
        server.server = state.address.Text();
        if (!state.addresses.empty()) {
            server.address = state.addresses[state.current].Text();
        }
        server.reach = state.poller.Reach();
        server.pollSeconds = 1 << state.poller.PollExponent();
        server.lastAnswer = state.lastAnswer;
        server.lastRejection = state.lastRejection;
        server.outvoted = m_model.Outvoted(i);
        server.dropped = state.poller.Dropped();
        if (!m_model.Server(i).Empty() && !server.outvoted) {
            const double delay = m_model.Server(i).Best().delay;
            report.delayMicroseconds = std::min(report.delayMicroseconds.value_or(delay), delay);
        }
        report.servers.push_back(std::move(server));
    }
    return report;
}

} // namespace kalvor_sync::reference
