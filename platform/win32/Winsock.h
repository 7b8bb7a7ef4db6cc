#pragma once

// clang-format off
// winsock2.h must come before windows.h, which would otherwise bring the first Winsock's header.
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include "platform/Socket.h"

#include <cstdint>

// What the TCP and the UDP backends both need of Winsock 2 as Windows XP has it.
namespace platform::sockets {

// Winsock is started once, on first use, and left running until the process ends.
inline bool SocketsStarted() {
    static const int started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0) {
        ::WSASetLastError(started);
    }
    return started == 0;
}

inline const sockaddr* Record(const SocketAddress& address) {
    return static_cast<const sockaddr*>(address.Native());
}

inline SOCKET Handle(std::intptr_t native) {
    return static_cast<SOCKET>(native);
}

// Fills in what the record says: its address as numbers, its port, its family.
inline void Describe(SocketAddress& address) {
    char host[NI_MAXHOST] = "?";
    ::getnameinfo(Record(address), address.NativeLength(), host, sizeof host, nullptr, 0,
                  NI_NUMERICHOST);
    const bool ipv6 = Record(address)->sa_family == AF_INET6;
    const u_short port = ipv6 ? reinterpret_cast<const sockaddr_in6*>(Record(address))->sin6_port
                              : reinterpret_cast<const sockaddr_in*>(Record(address))->sin_port;
    address.Describe(host, ntohs(port), ipv6);
}

} // namespace platform::sockets
