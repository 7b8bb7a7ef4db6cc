#include "DeviceOpening.h"

#include "SerialLink.h"

#include <algorithm>

namespace kalvor_sync {

namespace {

// A look-up runs on a thread that cannot wake a socket wait: while one runs, the wait looks
// this often whether it has ended.
constexpr int kLookUpCheckMs = 10;

} // namespace

void DeviceOpening::Add(DeviceRecord& record) {
    const kalvor_tools::DeviceAddress& address = record.device.address;
    if (const auto* port = std::get_if<platform::PortName>(&address)) {
        EndedOpening ended{&record, {}};
        record.link = SerialLink::Open(*port, ended.failure);
        m_ended.push_back(std::move(ended));
        return;
    }
    m_opening.push_back({&record,
                         std::make_unique<NetworkLink>(
                             std::get<kalvor_tools::NetworkDevice>(address), m_network.resolve),
                         Clock::now() + std::chrono::seconds(m_network.connectLimitSeconds)});
    Settle();
}

void DeviceOpening::Settle() {
    const auto now = Clock::now();
    for (auto it = m_opening.begin(); it != m_opening.end();) {
        if (now >= it->deadline) {
            it->link->GiveUp(m_network.connectLimitSeconds);
        }
        EndedOpening ended{it->record, {}};
        switch (it->link->CurrentStage()) {
        case NetworkLink::Stage::Open:
            it->record->link = std::move(it->link);
            break;
        case NetworkLink::Stage::Failed:
            ended.failure = it->link->Failure();
            break;
        default:
            ++it;
            continue;
        }
        m_ended.push_back(std::move(ended));
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

std::vector<EndedOpening> DeviceOpening::TakeEnded() {
    return std::exchange(m_ended, {});
}

} // namespace kalvor_sync
