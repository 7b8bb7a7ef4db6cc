#include "DeviceOpening.h"

#include "SerialLink.h"

#include <algorithm>

namespace kalvor_sync {

namespace {

// A look-up runs on a thread that cannot wake a socket wait: while one runs, the wait looks
// this often whether it has ended.
constexpr int kLookUpCheckMs = 10;

} // namespace

DeviceOpening::DeviceOpening(const std::vector<SyncDevice>& devices, const NetworkOptions& network)
    : m_opened(devices.size()), m_opening(devices.size()),
      m_limitSeconds(network.connectLimitSeconds),
      m_deadline(Clock::now() + std::chrono::seconds(network.connectLimitSeconds)) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (const auto* port = std::get_if<platform::PortName>(&devices[i].address)) {
            m_opened[i].link = SerialLink::Open(*port, m_opened[i].failure);
        } else {
            m_opening[i] = std::make_unique<NetworkLink>(
                std::get<kalvor_tools::NetworkDevice>(devices[i].address), network.resolve);
        }
    }
    Settle();
}

bool DeviceOpening::Done() const {
    return std::none_of(m_opening.begin(), m_opening.end(),
                        [](const auto& link) { return link != nullptr; });
}

// Moves the links that are open or failed to m_opened; at the deadline, all that are left fail.
void DeviceOpening::Settle() {
    const bool late = Clock::now() >= m_deadline;
    for (std::size_t i = 0; i < m_opening.size(); ++i) {
        auto& link = m_opening[i];
        if (!link) {
            continue;
        }
        if (late) {
            link->GiveUp(m_limitSeconds);
        }
        if (link->CurrentStage() == NetworkLink::Stage::Open) {
            m_opened[i].link = std::move(link);
        } else if (link->CurrentStage() == NetworkLink::Stage::Failed) {
            m_opened[i].failure = link->Failure();
            link.reset();
        }
    }
}

bool DeviceOpening::Advance(int waitMs, const platform::Interruption& interruption) {
    Settle();
    if (Done()) {
        return true;
    }

    m_wait.Clear();
    bool lookingUp = false;
    for (const auto& link : m_opening) {
        if (link) {
            link->Watch(m_wait);
            lookingUp = lookingUp || link->CurrentStage() == NetworkLink::Stage::LookingUp;
        }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    int slice = static_cast<int>(std::clamp<long long>(left + 1, 0, waitMs));
    if (lookingUp) {
        slice = std::min(slice, kLookUpCheckMs);
    }
    const auto outcome = m_wait.Wait(slice, interruption);
    if (outcome == platform::SocketWait::Outcome::Interrupted) {
        return false;
    }
    for (const auto& link : m_opening) {
        if (link) {
            link->Advance(m_wait);
        }
    }
    Settle();
    return Done();
}

std::vector<OpenedDevice> DeviceOpening::Take() {
    return std::move(m_opened);
}

} // namespace kalvor_sync
