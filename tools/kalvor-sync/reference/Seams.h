#pragma once

#include "ServerAddress.h"
#include "platform/Socket.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kalvor_sync::reference {

// A datagram as it arrived, with the monotonic reading taken right after it was read.
struct Datagram {
    platform::SocketAddress from;
    std::vector<std::uint8_t> bytes;
    std::int64_t receivedAt = 0;
};

// The datagrams to and from the servers. One thread sends, waits and takes; Wake() comes from any.
class Transport {
public:
    virtual ~Transport() = default;
    // Sends a datagram; false, with the reason, when the system refused it.
    virtual bool Send(const platform::SocketAddress& to, std::span<const std::uint8_t> bytes,
                      std::string& failure) = 0;
    // Blocks until a datagram waits, Wake() is called, or the monotonic clock reads `deadline`.
    virtual void WaitUntil(std::int64_t deadline) = 0;
    // Every datagram that has arrived.
    virtual std::vector<Datagram> Take() = 0;
    // Ends a wait at once, and the next one too if none is running.
    virtual void Wake() = 0;
};

// What the reference takes from the world, so that tests can stand in for any of it.
struct Seams {
    std::function<std::int64_t()> monotonicMicroseconds;
    std::function<std::int64_t()> wallMicroseconds; // the computer's clock, since 1970 UTC
    // A server's addresses; may block (a name goes to the system's resolver).
    std::function<platform::Resolution(const ServerAddress&)> lookUp;
    std::function<std::uint64_t()> random; // for the requests' transmit timestamps
    std::shared_ptr<Transport> transport;
};

// The platform's: the monotonic clock and the wall clock of platform/, the system's resolver, the
// system's random source, and UDP sockets (one per address family).
Seams PlatformSeams();

} // namespace kalvor_sync::reference
