#pragma once

#include "platform/Socket.h"

#include <cstdint>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

// What the TCP and the UDP backends both read of the system's socket records.
namespace platform::sockets {

inline const sockaddr* Record(const SocketAddress& address) {
    return static_cast<const sockaddr*>(address.Native());
}

inline int Fd(std::intptr_t native) {
    return static_cast<int>(native);
}

// Fills in what a record the system wrote says: its address as numbers, its port, its family.
inline void Describe(SocketAddress& address) {
    char host[NI_MAXHOST] = "?";
    ::getnameinfo(Record(address), static_cast<socklen_t>(address.NativeLength()), host,
                  sizeof host, nullptr, 0, NI_NUMERICHOST);
    const bool ipv6 = Record(address)->sa_family == AF_INET6;
    const in_port_t port = ipv6 ? reinterpret_cast<const sockaddr_in6*>(Record(address))->sin6_port
                                : reinterpret_cast<const sockaddr_in*>(Record(address))->sin_port;
    address.Describe(host, ntohs(port), ipv6);
}

} // namespace platform::sockets
