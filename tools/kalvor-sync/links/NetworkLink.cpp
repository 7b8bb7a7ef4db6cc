#include "NetworkLink.h"

#include "tools/common/PortErrorWords.h"

#include <mutex>
#include <system_error>
#include <thread>

namespace kalvor_sync {

// A look-up on a thread of its own. The link may give up on it and go; the thread then finishes
// alone, with this record, which it shares, and ends.
struct NetworkLink::LookUp {
    std::mutex mutex;
    bool done = false;               // under mutex
    platform::Resolution resolution; // under mutex, written by the look-up's thread
};

NetworkLink::NetworkLink(kalvor_tools::NetworkDevice device, const HostResolver& resolve)
    : m_device(std::move(device)) {
    if (m_device.protocol == kalvor_tools::NetworkDevice::Protocol::Rfc2217) {
        m_rfc2217.emplace();
    }
    if (auto address = platform::NumericAddress(m_device.host, m_device.port)) {
        // An address as written needs no look-up.
        TakeAddresses({{*address}, {}});
        return;
    }
    m_lookUp = std::make_shared<LookUp>();
    try {
        std::thread([lookUp = m_lookUp, resolve, host = m_device.host, port = m_device.port] {
            platform::Resolution resolution = resolve(host, port);
            const std::lock_guard lock(lookUp->mutex);
            lookUp->resolution = std::move(resolution);
            lookUp->done = true;
        }).detach();
    } catch (const std::system_error& error) {
        Fail("cannot start looking up " + m_device.host + ": " + error.code().message());
    }
}

NetworkLink::~NetworkLink() {
    if (m_stage != Stage::Open) {
        return;
    }
    // The last frame is in the system's hands and still goes; what the server sent and nobody
    // read is taken first, since closing over unread bytes would reset the connection instead.
    Flush();
    m_socket.ShutdownSending();
    ReadArrivals();
}

void NetworkLink::Fail(const std::string& what) {
    m_stage = Stage::Failed;
    m_failure = m_device.label + ": " + what;
    m_socket.Close();
}

void NetworkLink::TakeAddresses(platform::Resolution resolution) {
    if (resolution.addresses.empty()) {
        Fail("cannot find the address of " + m_device.host + ": " + resolution.failure);
        return;
    }
    m_addresses = std::move(resolution.addresses);
    m_stage = Stage::Connecting;
    ConnectNext();
}

void NetworkLink::ConnectNext() {
    while (m_nextAddress < m_addresses.size()) {
        const platform::SocketAddress& address = m_addresses[m_nextAddress++];
        switch (m_socket.StartConnect(address)) {
        case platform::ConnectStart::Connected:
            Connected();
            return;
        case platform::ConnectStart::InProgress:
            return;
        case platform::ConnectStart::Failed:
            m_lastRefusal = address.Text() + ": " + kalvor_tools::LastSystemReason();
            break;
        }
    }
    Fail("cannot connect to " + m_lastRefusal);
}

void NetworkLink::Connected() {
    // Without it, Nagle's algorithm and delayed acknowledgements would hold frames back by up
    // to 200 ms and bunch them.
    if (!m_socket.SetNoDelay()) {
        Fail("cannot switch off the bunching of small writes (TCP_NODELAY): " +
             kalvor_tools::LastSystemReason());
        return;
    }
    if (!m_rfc2217) {
        m_stage = Stage::Open;
        return;
    }
    m_stage = Stage::Negotiating;
    if (!Flush()) {
        Fail("cannot write to the connection: " + m_brokenReason);
    }
}

void NetworkLink::Watch(platform::SocketWait& wait) {
    m_waitIndex.reset();
    if (m_stage == Stage::Connecting) {
        m_waitIndex = wait.Add(m_socket, false, true);
    } else if (m_stage == Stage::Negotiating) {
        m_waitIndex = wait.Add(m_socket, true, !m_outgoing.empty());
    }
}

void NetworkLink::Advance(const platform::SocketWait& wait) {
    if (m_stage == Stage::LookingUp) {
        platform::Resolution resolution;
        {
            const std::lock_guard lock(m_lookUp->mutex);
            if (!m_lookUp->done) {
                return;
            }
            resolution = std::move(m_lookUp->resolution);
        }
        m_lookUp.reset();
        TakeAddresses(std::move(resolution));
        return;
    }
    if (!m_waitIndex) {
        return;
    }
    const std::size_t index = *m_waitIndex;
    m_waitIndex.reset();
    if (m_stage == Stage::Connecting && wait.Writable(index)) {
        if (m_socket.ConnectResult()) {
            Connected();
        } else {
            m_lastRefusal =
                m_addresses[m_nextAddress - 1].Text() + ": " + kalvor_tools::LastSystemReason();
            m_socket.Close();
            ConnectNext();
        }
        return;
    }
    if (m_stage != Stage::Negotiating || !(wait.Readable(index) || wait.Writable(index))) {
        return;
    }
    if (!ReadArrivals() || !Flush()) {
        Fail(m_brokenReason.empty()
                 ? "the server closed the connection while the line was set up"
                 : "the connection failed while the line was set up: " + m_brokenReason);
        return;
    }
    switch (m_rfc2217->Progress()) {
    case Rfc2217Client::State::Negotiating:
        break;
    case Rfc2217Client::State::Ready:
        m_stage = Stage::Open;
        break;
    case Rfc2217Client::State::Refused:
        Fail("the RFC 2217 server refuses " + m_rfc2217->Refusal());
        break;
    }
}

void NetworkLink::GiveUp(int limitSeconds) {
    const std::string within = " within " + std::to_string(limitSeconds) + " s";
    switch (m_stage) {
    case Stage::LookingUp:
        Fail("cannot find the address of " + m_device.host + within);
        break;
    case Stage::Connecting:
        Fail("no answer from " + m_addresses[m_nextAddress - 1].Text() + within);
        break;
    case Stage::Negotiating:
        Fail("the RFC 2217 server at " + m_addresses[m_nextAddress - 1].Text() +
             " did not set up the line" + within + " (still waiting for " + m_rfc2217->Awaited() +
             ")");
        break;
    case Stage::Open:
    case Stage::Failed:
        break;
    }
}

bool NetworkLink::ReadArrivals() {
    if (m_farEndClosed) {
        return m_stage == Stage::Open; // a half-closed server may still take frames
    }
    std::uint8_t buffer[512];
    for (;;) {
        int count = 0;
        switch (m_socket.Receive(buffer, sizeof buffer, count)) {
        case platform::ReceiveStatus::Received:
            if (m_rfc2217) {
                m_rfc2217->Receive({buffer, static_cast<std::size_t>(count)});
                auto& answers = m_rfc2217->Outbox();
                m_outgoing.insert(m_outgoing.end(), answers.begin(), answers.end());
                answers.clear();
            }
            break; // what a raw device sends is dropped, as the window drops it
        case platform::ReceiveStatus::NothingYet:
            return true;
        case platform::ReceiveStatus::Closed:
            m_farEndClosed = true;
            return m_stage == Stage::Open;
        case platform::ReceiveStatus::Failed:
            m_brokenReason = kalvor_tools::LastSystemReason();
            return false;
        }
    }
}

bool NetworkLink::Flush() {
    if (m_rfc2217) {
        auto& requests = m_rfc2217->Outbox();
        m_outgoing.insert(m_outgoing.end(), requests.begin(), requests.end());
        requests.clear();
    }
    while (!m_outgoing.empty()) {
        const int sent = m_socket.Send(m_outgoing.data(), static_cast<int>(m_outgoing.size()));
        if (sent < 0) {
            m_brokenReason = kalvor_tools::LastSystemReason();
            return false;
        }
        if (sent == 0) {
            break;
        }
        m_outgoing.erase(m_outgoing.begin(), m_outgoing.begin() + sent);
    }
    return true;
}

bool NetworkLink::StartFrame(const TimeFrame& frame, std::string& error) {
    if (!m_brokenReason.empty()) {
        error = m_device.label + ": the connection failed: " + m_brokenReason;
        return false;
    }
    if (m_rfc2217) {
        m_rfc2217->AppendData(m_outgoing, frame);
    } else {
        m_outgoing.insert(m_outgoing.end(), frame.begin(), frame.end());
    }
    if (!Flush()) {
        error = m_device.label + ": cannot write to the connection: " + m_brokenReason;
        return false;
    }
    if (m_outgoing.size() > kMostOutgoing) {
        error = m_device.label + ": the server takes no more bytes";
        return false;
    }
    return true;
}

void NetworkLink::Tend() {
    // Reading keeps an RFC 2217 server's answers flowing and its notifications from piling up;
    // a failure is kept in m_brokenReason for the next frame.
    if (ReadArrivals() && m_brokenReason.empty()) {
        Flush();
    }
}

} // namespace kalvor_sync
