#include "Seams.h"
#include "platform/Datagram.h"
#include "platform/Event.h"
#include "platform/MonotonicClock.h"
#include "platform/RandomBytes.h"
#include "platform/SystemClock.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <atomic>
#include <climits>

namespace kalvor_sync::reference {

namespace {

// The system's UDP sockets: one for IPv4 and one for IPv6, each opened on its first send.
class UdpTransport : public Transport {
public:
    UdpTransport() { m_wake.CreateOrReset(); }

    bool Send(const platform::SocketAddress& to, std::span<const std::uint8_t> bytes,
              std::string& failure) override {
        platform::UdpSocket& socket = to.IsIpv6() ? m_ipv6 : m_ipv4;
        if ((!socket.IsOpen() && !socket.Open(to.IsIpv6())) ||
            !socket.SendTo(to, bytes.data(), static_cast<int>(bytes.size()))) {
            failure = platform::SystemErrorLine(platform::LastSystemError());
            return false;
        }
        return true;
    }

    void WaitUntil(std::int64_t deadline) override {
        std::vector<const platform::UdpSocket*> open;
        for (const platform::UdpSocket* socket : {&m_ipv4, &m_ipv6}) {
            if (socket->IsOpen()) {
                open.push_back(socket);
            }
        }
        // Rounded up, so that the wait does not end just short of the deadline.
        const std::int64_t left = deadline - platform::MonotonicMicroseconds();
        const int timeoutMs =
            static_cast<int>(std::clamp<std::int64_t>((left + 999) / 1000, 0, INT_MAX / 2));
        if (platform::WaitForDatagrams(open, timeoutMs, m_wake) ==
            platform::DatagramWait::Stopped) {
            m_wake.Reset();
        }
    }

    std::vector<Datagram> Take() override {
        std::vector<Datagram> arrived;
        for (platform::UdpSocket* socket : {&m_ipv4, &m_ipv6}) {
            while (socket->IsOpen()) {
                Datagram datagram;
                int count = 0;
                const auto status =
                    socket->ReceiveFrom(m_buffer, sizeof m_buffer, count, datagram.from);
                datagram.receivedAt = platform::MonotonicMicroseconds();
                if (status != platform::ReceiveStatus::Received) {
                    break;
                }
                datagram.bytes.assign(m_buffer, m_buffer + count);
                arrived.push_back(std::move(datagram));
            }
        }
        return arrived;
    }

    void Wake() override { m_wake.Set(); }

private:
    platform::UdpSocket m_ipv4;
    platform::UdpSocket m_ipv6;
    platform::Event m_wake;
    std::uint8_t m_buffer[2048] = {};
};

std::uint64_t RandomWord() {
    std::uint64_t word = 0;
    if (!platform::FillRandom(&word, sizeof word)) {
        // Not secret then, but still unlike any other request's.
        static std::atomic<std::uint64_t> counter{0};
        word = static_cast<std::uint64_t>(platform::MonotonicMicroseconds()) * 0x9E3779B97F4A7C15u +
               ++counter;
    }
    return word;
}

} // namespace

Seams PlatformSeams() {
    Seams seams;
    seams.monotonicMicroseconds = &platform::MonotonicMicroseconds;
    seams.wallMicroseconds = &platform::SystemClockMicroseconds;
    seams.lookUp = [](const ServerAddress& server) {
        return platform::ResolveUdp(server.host, server.port);
    };
    seams.random = &RandomWord;
    seams.transport = std::make_shared<UdpTransport>();
    return seams;
}

} // namespace kalvor_sync::reference
