// clang-format off
// winsock2.h must come before windows.h, which would otherwise bring the first Winsock's header.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
// clang-format on

#include "platform/Datagram.h"

#include "platform/win32/Winsock.h"

#include <utility>
#include <windows.h>

namespace platform {

// Winsock 2 as Windows XP has it: one socket per address family, an event per socket
// (WSAEventSelect) so that a wait covers the sockets and the stop together, and nothing of
// Vista's (WSAPoll, inet_ntop, inet_pton).

using namespace sockets;

namespace {

constexpr std::intptr_t kNone = static_cast<std::intptr_t>(INVALID_SOCKET);

DatagramWait Wait(const std::vector<const UdpSocket*>& sockets, int timeoutMs, HANDLE stop,
                  const Interruption* interruption) {
    if (interruption != nullptr && interruption->Requested()) {
        return DatagramWait::Stopped;
    }
    std::vector<HANDLE> handles{stop};
    for (const UdpSocket* socket : sockets) {
        handles.push_back(reinterpret_cast<HANDLE>(socket->ArrivalEvent()));
    }
    if (handles.size() > MAXIMUM_WAIT_OBJECTS) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return DatagramWait::Failed;
    }
    const DWORD woken =
        ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                 timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (woken == WAIT_OBJECT_0) {
        return DatagramWait::Stopped;
    }
    if (woken == WAIT_TIMEOUT) {
        return DatagramWait::TimedOut;
    }
    if (woken == WAIT_FAILED || woken >= WAIT_OBJECT_0 + handles.size()) {
        return DatagramWait::Failed;
    }
    // The caller takes every datagram now; one arriving after that sets the event again, since
    // each receive re-arms the notice of arrivals.
    for (std::size_t i = 1; i < handles.size(); ++i) {
        ::WSAResetEvent(handles[i]);
    }
    return DatagramWait::Ready;
}

} // namespace

UdpSocket::UdpSocket() : m_native(kNone), m_arrival(0) {}

UdpSocket::~UdpSocket() {
    Close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : m_native(std::exchange(other.m_native, kNone)), m_arrival(std::exchange(other.m_arrival, 0)),
      m_ipv6(other.m_ipv6) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = std::exchange(other.m_native, kNone);
        m_arrival = std::exchange(other.m_arrival, 0);
        m_ipv6 = other.m_ipv6;
    }
    return *this;
}

bool UdpSocket::Open(bool ipv6) {
    Close();
    if (!SocketsStarted()) {
        return false;
    }
    const SOCKET socket = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) {
        return false;
    }
    m_native = static_cast<std::intptr_t>(socket);
    m_ipv6 = ipv6;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    // Without this, an ICMP "port unreachable" for an earlier send fails the next receive with
    // WSAECONNRESET; ReceiveFrom passes over it all the same where the option is unknown.
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
               nullptr);
    const WSAEVENT arrival = ::WSACreateEvent();
    if (arrival == WSA_INVALID_EVENT) {
        Close();
        return false;
    }
    m_arrival = reinterpret_cast<std::intptr_t>(arrival);
    // The socket turns non-blocking with this.
    if (::WSAEventSelect(socket, arrival, FD_READ) != 0) {
        const int error = ::WSAGetLastError();
        Close();
        ::WSASetLastError(error);
        return false;
    }
    return true;
}

bool UdpSocket::Bind(const SocketAddress& at) {
    return Open(at.IsIpv6()) && ::bind(Handle(m_native), Record(at), at.NativeLength()) == 0;
}

bool UdpSocket::IsOpen() const {
    return Handle(m_native) != INVALID_SOCKET;
}

void UdpSocket::Close() {
    const DWORD saved = ::GetLastError();
    if (IsOpen()) {
        ::closesocket(Handle(m_native));
        m_native = kNone;
    }
    if (m_arrival != 0) {
        ::WSACloseEvent(reinterpret_cast<WSAEVENT>(m_arrival));
        m_arrival = 0;
    }
    ::SetLastError(saved);
}

bool UdpSocket::SendTo(const SocketAddress& to, const std::uint8_t* bytes, int count) {
    return ::sendto(Handle(m_native), reinterpret_cast<const char*>(bytes), count, 0, Record(to),
                    to.NativeLength()) == count;
}

ReceiveStatus UdpSocket::ReceiveFrom(std::uint8_t* buffer, int capacity, int& count,
                                     SocketAddress& from) {
    count = 0;
    for (;;) {
        int length = sizeof(sockaddr_storage);
        const int got = ::recvfrom(Handle(m_native), reinterpret_cast<char*>(buffer), capacity, 0,
                                   static_cast<sockaddr*>(from.Native()), &length);
        const int error = got == SOCKET_ERROR ? ::WSAGetLastError() : 0;
        if (got != SOCKET_ERROR || error == WSAEMSGSIZE) {
            count = got == SOCKET_ERROR ? capacity : got;
            from.NativeLength() = length;
            Describe(from);
            return ReceiveStatus::Received;
        }
        if (error == WSAECONNRESET) {
            continue;
        }
        return error == WSAEWOULDBLOCK ? ReceiveStatus::NothingYet : ReceiveStatus::Failed;
    }
}

std::optional<SocketAddress> UdpSocket::LocalAddress() const {
    SocketAddress address;
    int length = sizeof(sockaddr_storage);
    if (::getsockname(Handle(m_native), static_cast<sockaddr*>(address.Native()), &length) != 0) {
        return std::nullopt;
    }
    address.NativeLength() = length;
    Describe(address);
    return address;
}

DatagramWait WaitForDatagrams(const std::vector<const UdpSocket*>& sockets, int timeoutMs,
                              const Event& stop) {
    return Wait(sockets, timeoutMs, reinterpret_cast<HANDLE>(stop.Native()), nullptr);
}

DatagramWait WaitForDatagrams(const std::vector<const UdpSocket*>& sockets, int timeoutMs,
                              const Interruption& interruption) {
    return Wait(sockets, timeoutMs, reinterpret_cast<HANDLE>(interruption.Native()), &interruption);
}

} // namespace platform
