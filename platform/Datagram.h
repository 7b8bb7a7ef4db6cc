#pragma once

#include "platform/Event.h"
#include "platform/Interruption.h"
#include "platform/Socket.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// UDP datagrams, one socket per address family: Windows XP has no socket that serves IPv4 and
// IPv6 together. Non-blocking throughout; WaitForDatagrams() waits for any of several sockets.
// Addresses come from ResolveUdp() or NumericAddress() (platform/Socket.h). Every failing call
// leaves the system's error for LastSystemError() (platform/SystemError.h).
class UdpSocket {
public:
    UdpSocket();
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A socket for IPv6 or IPv4 addresses; the system picks its local port at the first send.
    bool Open(bool ipv6);
    // A socket bound to `at` (port 0: one the system chooses), for a server of the tests.
    bool Bind(const SocketAddress& at);
    bool IsOpen() const;
    bool IsIpv6() const { return m_ipv6; }
    void Close();

    // Sends one datagram to `to`, of the socket's family. False when the system refused it.
    bool SendTo(const SocketAddress& to, const std::uint8_t* bytes, int count);
    // Takes one datagram that has arrived, without waiting: Received with its `count` bytes (one
    // longer than `capacity` is cut to it) and its sender, or NothingYet. An ICMP "port
    // unreachable" for an earlier send is passed over, never taken for a failure of the socket.
    ReceiveStatus ReceiveFrom(std::uint8_t* buffer, int capacity, int& count, SocketAddress& from);
    std::optional<SocketAddress> LocalAddress() const;

    // The system's socket, and on Win32 the event that turns set when a datagram arrives.
    std::intptr_t Native() const { return m_native; }
    std::intptr_t ArrivalEvent() const { return m_arrival; }

private:
    std::intptr_t m_native;
    std::intptr_t m_arrival;
    bool m_ipv6 = false;
};

enum class DatagramWait { Ready, TimedOut, Stopped, Failed };

// Blocks up to `timeoutMs` (of elapsed time; -1: no limit) until a datagram waits on one of
// `sockets` (Ready: take them all with ReceiveFrom until NothingYet), or `stop` is set, or the
// user asks to stop.
DatagramWait WaitForDatagrams(const std::vector<const UdpSocket*>& sockets, int timeoutMs,
                              const Event& stop);
DatagramWait WaitForDatagrams(const std::vector<const UdpSocket*>& sockets, int timeoutMs,
                              const Interruption& interruption);

} // namespace platform
