#include "platform/Datagram.h"

#include "platform/posix/SocketRecords.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace platform {

using namespace sockets;

namespace {

DatagramWait Wait(const std::vector<const UdpSocket*>& sockets, int timeoutMs, int stop,
                  const Interruption* interruption) {
    std::vector<pollfd> watched;
    for (const UdpSocket* socket : sockets) {
        watched.push_back({Fd(socket->Native()), POLLIN, 0});
    }
    watched.push_back({stop, POLLIN, 0});
    int ready = 0;
    do {
        ready = ::poll(watched.data(), watched.size(), timeoutMs);
    } while (ready < 0 && errno == EINTR &&
             (interruption == nullptr || !interruption->Requested()));
    if ((watched.back().revents & POLLIN) != 0 ||
        (interruption != nullptr && interruption->Requested())) {
        return DatagramWait::Stopped;
    }
    if (ready < 0) {
        return DatagramWait::Failed;
    }
    return ready == 0 ? DatagramWait::TimedOut : DatagramWait::Ready;
}

} // namespace

UdpSocket::UdpSocket() : m_native(-1), m_arrival(-1) {}

UdpSocket::~UdpSocket() {
    Close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : m_native(std::exchange(other.m_native, -1)), m_arrival(-1), m_ipv6(other.m_ipv6) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = std::exchange(other.m_native, -1);
        m_ipv6 = other.m_ipv6;
    }
    return *this;
}

bool UdpSocket::Open(bool ipv6) {
    Close();
    const int fd =
        ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return false;
    }
    m_native = fd;
    m_ipv6 = ipv6;
    return true;
}

bool UdpSocket::Bind(const SocketAddress& at) {
    return Open(at.IsIpv6()) &&
           ::bind(Fd(m_native), Record(at), static_cast<socklen_t>(at.NativeLength())) == 0;
}

bool UdpSocket::IsOpen() const {
    return m_native >= 0;
}

void UdpSocket::Close() {
    if (IsOpen()) {
        const int saved = errno;
        ::close(Fd(m_native));
        errno = saved;
        m_native = -1;
    }
}

bool UdpSocket::SendTo(const SocketAddress& to, const std::uint8_t* bytes, int count) {
    const ssize_t sent =
        ::sendto(Fd(m_native), bytes, static_cast<std::size_t>(count), MSG_NOSIGNAL, Record(to),
                 static_cast<socklen_t>(to.NativeLength()));
    return sent == count;
}

ReceiveStatus UdpSocket::ReceiveFrom(std::uint8_t* buffer, int capacity, int& count,
                                     SocketAddress& from) {
    count = 0;
    for (;;) {
        socklen_t length = sizeof(sockaddr_storage);
        const ssize_t got = ::recvfrom(Fd(m_native), buffer, static_cast<std::size_t>(capacity), 0,
                                       static_cast<sockaddr*>(from.Native()), &length);
        if (got >= 0) {
            count = static_cast<int>(got);
            from.NativeLength() = static_cast<int>(length);
            Describe(from);
            return ReceiveStatus::Received;
        }
        // An unconnected socket hears of ICMP errors only with IP_RECVERR; passed over if it does.
        if (errno == EINTR || errno == ECONNREFUSED) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReceiveStatus::NothingYet
                                                       : ReceiveStatus::Failed;
    }
}

std::optional<SocketAddress> UdpSocket::LocalAddress() const {
    SocketAddress address;
    socklen_t length = sizeof(sockaddr_storage);
    if (::getsockname(Fd(m_native), static_cast<sockaddr*>(address.Native()), &length) != 0) {
        return std::nullopt;
    }
    address.NativeLength() = static_cast<int>(length);
    Describe(address);
    return address;
}

DatagramWait WaitForDatagrams(const std::vector<const UdpSocket*>& sockets, int timeoutMs,
                              const Event& stop) {
    return Wait(sockets, timeoutMs, static_cast<int>(stop.Native()), nullptr);
}

DatagramWait WaitForDatagrams(const std::vector<const UdpSocket*>& sockets, int timeoutMs,
                              const Interruption& interruption) {
    return Wait(sockets, timeoutMs, static_cast<int>(interruption.Native()), &interruption);
}

} // namespace platform
