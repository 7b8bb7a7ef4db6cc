#pragma once

#include "platform/Interruption.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// TCP connections and listeners for devices on the network, non-blocking throughout: a program
// starts many connections at once and waits for all of them together (SocketWait). POSIX:
// BSD sockets and poll(). Win32: Winsock 2 as Windows XP has it (started once, on first use),
// select() on sets as large as the caller needs.

// An IPv4 or IPv6 address with its TCP port: the system's own record, and what it says in words,
// which the backend fills in with it.
class SocketAddress {
public:
    static constexpr std::size_t kNativeBytes = 128; // sockaddr_storage on both systems

    // "127.0.0.1:4001", "[::1]:4001".
    std::string Text() const {
        const std::string port = std::to_string(m_port);
        return m_ipv6 ? "[" + m_host + "]:" + port : m_host + ":" + port;
    }
    std::uint16_t Port() const { return m_port; }
    bool IsIpv6() const { return m_ipv6; }

    // The system's record, for the backend of this layer, and what the backend read from it.
    void* Native() { return m_native; }
    const void* Native() const { return m_native; }
    int& NativeLength() { return m_length; }
    int NativeLength() const { return m_length; }
    void Describe(std::string host, std::uint16_t port, bool ipv6) {
        m_host = std::move(host);
        m_port = port;
        m_ipv6 = ipv6;
    }

private:
    alignas(8) std::byte m_native[kNativeBytes] = {};
    int m_length = 0;
    std::string m_host = "?"; // the address as numbers, without brackets
    std::uint16_t m_port = 0;
    bool m_ipv6 = false;
};

// The addresses of a look-up's list of records (the system's addrinfo, whose fields both systems
// name alike), each described by `describe`, for the backends.
template <typename Record, typename Describer>
std::vector<SocketAddress> CollectAddresses(const Record* found, Describer describe) {
    std::vector<SocketAddress> addresses;
    for (const Record* entry = found; entry != nullptr; entry = entry->ai_next) {
        SocketAddress address;
        if (entry->ai_addrlen <= SocketAddress::kNativeBytes && entry->ai_addr != nullptr) {
            std::memcpy(address.Native(), entry->ai_addr, entry->ai_addrlen);
            address.NativeLength() = static_cast<int>(entry->ai_addrlen);
            describe(address);
            addresses.push_back(std::move(address));
        }
    }
    return addresses;
}

// What a look-up of a host found: its addresses, in the order the system prefers them, or why
// there are none.
struct Resolution {
    std::vector<SocketAddress> addresses;
    std::string failure; // the system's reason, on one line, when `addresses` is empty
};

// The addresses of `host` (a name, an IPv4 address, or an IPv6 address without brackets) for TCP
// port `port`. A name goes to the system's resolver, which keeps no time limit of its own: the
// caller runs it where a wait does not matter.
Resolution ResolveTcp(const std::string& host, std::uint16_t port);
// The same for UDP port `port` (platform/Datagram.h).
Resolution ResolveUdp(const std::string& host, std::uint16_t port);

// The address that `host` states literally (IPv4 or IPv6 without brackets), with `port`; nothing
// when it is not an address. Never asks the resolver.
std::optional<SocketAddress> NumericAddress(const std::string& host, std::uint16_t port);

enum class ConnectStart { Connected, InProgress, Failed };

// What a receive found.
enum class ReceiveStatus { Received, NothingYet, Closed, Failed };

// One TCP socket: a connection, or a listener. Every failing call leaves the system's error for
// LastSystemError() (platform/SystemError.h). Closed by Close() or the destructor.
class TcpSocket {
public:
    TcpSocket();
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool IsOpen() const;
    void Close();

    // Starts a connection to `to` without waiting for it. InProgress: the socket turns writable
    // (or fails) once it is decided, and ConnectResult() tells which.
    ConnectStart StartConnect(const SocketAddress& to);
    // After a connection in progress turned writable or failed: true when it is made.
    bool ConnectResult();
    // Sends small writes at once instead of gathering them (Nagle's algorithm off).
    bool SetNoDelay();

    // Sends up to `count` bytes without waiting: the count taken (0 when the system's buffer is
    // full), or -1 when the connection failed. A connection the far end closed never raises a
    // signal here: the send fails instead.
    int Send(const std::uint8_t* bytes, int count);
    // Takes what has arrived, up to `capacity` bytes, without waiting; `count` is set with
    // Received.
    ReceiveStatus Receive(std::uint8_t* buffer, int capacity, int& count);
    // Tells the far end that nothing more will be sent; what was sent is still delivered.
    void ShutdownSending();

    // Listens on `at` (an address in use by a listener that has just ended is taken again).
    bool Listen(const SocketAddress& at, int backlog);
    // A connection waiting to be accepted, non-blocking; an unopened socket when none waits (or
    // the accept failed: the system's error tells which).
    TcpSocket Accept();
    // The address the socket is bound to: the port the system chose for a listener on port 0.
    std::optional<SocketAddress> LocalAddress() const;
    // The address of the far end of a connection.
    std::optional<SocketAddress> PeerAddress() const;

    // The system's socket, for the waits of this layer.
    std::intptr_t Native() const;

private:
    explicit TcpSocket(std::intptr_t native) : m_native(native) {}
    std::intptr_t m_native;
};

// A wait on any number of sockets at once (more than the 64 that the Windows event waits and
// a default select() set hold). Add() the sockets with what to watch, Wait(), then ask each.
class SocketWait {
public:
    SocketWait();
    ~SocketWait();
    SocketWait(const SocketWait&) = delete;
    SocketWait& operator=(const SocketWait&) = delete;

    void Clear();
    // Watches `socket` for incoming bytes, connections or a close (`read`) and for room to send
    // or a connection decided (`write`). The index to ask with after the wait.
    std::size_t Add(const TcpSocket& socket, bool read, bool write);

    enum class Outcome { Ready, TimedOut, Interrupted, Failed };
    // Blocks up to `timeoutMs` (-1: no limit) until a socket is ready or the user asks to stop.
    Outcome Wait(int timeoutMs, const Interruption& interruption);

    // After a Ready wait: what the socket at `index` is ready for. A socket that failed or was
    // closed by the far end counts as ready for what it was watched for.
    bool Readable(std::size_t index) const;
    bool Writable(std::size_t index) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace platform
