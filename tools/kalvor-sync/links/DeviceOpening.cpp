#include "DeviceOpening.h"

#include "SerialLink.h"

#include <algorithm>

namespace kalvor_sync {

namespace {

// A look-up runs on a thread that cannot wake a socket wait: while one runs, the wait looks
// this often whether it has ended.
constexpr int kLookUpCheckMs = 10;

} // namespace

void DeviceOpening::Add(std::size_t key, const SyncDevice& device) {
    if (const auto* port = std::get_if<platform::PortName>(&device.address)) {
        OpenedDevice opened;
        opened.link = SerialLink::Open(*port, opened.failure);
        m_ended.emplace_back(key, std::move(opened));
        return;
    }
    m_opening.push_back(
        {key,
         std::make_unique<NetworkLink>(std::get<kalvor_tools::NetworkDevice>(device.address),
                                       m_network.resolve),
         Clock::now() + std::chrono::seconds(m_network.connectLimitSeconds)});
    Settle();
}

void DeviceOpening::Settle() {
    const auto now = Clock::now();
    for (auto it = m_opening.begin(); it != m_opening.end();) {
        if (now >= it->deadline) {
            it->link->GiveUp(m_network.connectLimitSeconds);
        }
        OpenedDevice opened;
        switch (it->link->CurrentStage()) {
        case NetworkLink::Stage::Open:
            opened.link = std::move(it->link);
            break;
        case NetworkLink::Stage::Failed:
            opened.failure = it->link->Failure();
            break;
        default:
            ++it;
            continue;
        }
        m_ended.emplace_back(it->key, std::move(opened));
        it = m_opening.erase(it);
    }
}

void DeviceOpening::Advance(int waitMs, const platform::Interruption& interruption) {
    Settle();
    if (!m_ended.empty() || m_opening.empty()) {
        return;
    }
    m_wait.Clear();
    bool lookingUp = false;
    auto nearest = m_opening.front().deadline;
    for (const Opening& opening : m_opening) {
        opening.link->Watch(m_wait);
        lookingUp = lookingUp || opening.link->CurrentStage() == NetworkLink::Stage::LookingUp;
        nearest = std::min(nearest, opening.deadline);
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    int slice = static_cast<int>(std::clamp<long long>(left + 1, 0, waitMs));
    if (lookingUp) {
        slice = std::min(slice, kLookUpCheckMs);
    }
    if (m_wait.Wait(slice, interruption) == platform::SocketWait::Outcome::Interrupted) {
        return;
    }
    for (const Opening& opening : m_opening) {
        opening.link->Advance(m_wait);
    }
    Settle();
}

std::vector<std::pair<std::size_t, OpenedDevice>> DeviceOpening::TakeEnded() {
    return std::exchange(m_ended, {});
}

} // namespace kalvor_sync
