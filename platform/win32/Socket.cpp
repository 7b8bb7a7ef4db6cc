// clang-format off
// winsock2.h must come before windows.h, which would otherwise bring the first Winsock's header.
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include "platform/Socket.h"

#include "platform/SystemError.h"
#include "platform/win32/Winsock.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <windows.h>

namespace platform {

// Winsock 2 as Windows XP has it: getaddrinfo and getnameinfo (XP's ws2_32 has both), select(),
// and nothing of Vista's (WSAPoll, inet_pton, inet_ntop), so that the release still starts on XP.

using namespace sockets;

namespace {

static_assert(sizeof(sockaddr_storage) <= SocketAddress::kNativeBytes);

// The system's text for a Winsock error, on one line.
std::string OneLine(unsigned code) {
    std::string text = SystemErrorText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(code) : text;
}

Resolution LookUp(const std::string& host, std::uint16_t port, int flags, bool udp = false) {
    Resolution resolution;
    if (!SocketsStarted()) {
        resolution.failure = OneLine(::GetLastError());
        return resolution;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = udp ? SOCK_DGRAM : SOCK_STREAM;
    hints.ai_protocol = udp ? IPPROTO_UDP : IPPROTO_TCP;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        resolution.failure = OneLine(static_cast<unsigned>(status));
        return resolution;
    }
    resolution.addresses = CollectAddresses(found, &Describe);
    ::freeaddrinfo(found);
    if (resolution.addresses.empty()) {
        resolution.failure = udp ? "no address for UDP" : "no address for TCP";
    }
    return resolution;
}

// The address getsockname() or getpeername() tells of a socket.
std::optional<SocketAddress> NamedAddress(SOCKET socket,
                                          int(WSAAPI* name)(SOCKET, sockaddr*, int*)) {
    SocketAddress address;
    int length = sizeof(sockaddr_storage);
    if (name(socket, static_cast<sockaddr*>(address.Native()), &length) != 0) {
        return std::nullopt;
    }
    address.NativeLength() = length;
    Describe(address);
    return address;
}

bool WouldBlock() {
    return ::WSAGetLastError() == WSAEWOULDBLOCK;
}

// A socket set of any size, laid out as Winsock's fd_set (a count, then the sockets): select()
// reads as many entries as the count says, whatever FD_SETSIZE its caller was built with.
class SocketSet {
public:
    static_assert(offsetof(fd_set, fd_array) == sizeof(SOCKET));
    static_assert(sizeof(u_int) <= sizeof(SOCKET));

    void Reset() { m_slots.assign(1, 0); }
    void Add(SOCKET socket) {
        m_slots.push_back(socket);
        SetCount(static_cast<u_int>(m_slots.size() - 1));
    }
    bool Empty() const { return m_slots.size() <= 1; }
    fd_set* Native() { return Empty() ? nullptr : reinterpret_cast<fd_set*>(m_slots.data()); }
    // After select(): the sockets it left in the set, sorted for Has().
    void KeepReady() {
        u_int count = 0;
        std::memcpy(&count, m_slots.data(), sizeof count);
        m_ready.assign(m_slots.begin() + 1, m_slots.begin() + 1 + count);
        std::sort(m_ready.begin(), m_ready.end());
    }
    void ForgetReady() { m_ready.clear(); }
    bool Has(SOCKET socket) const {
        return std::binary_search(m_ready.begin(), m_ready.end(), socket);
    }

private:
    void SetCount(u_int count) {
        m_slots[0] = 0;
        std::memcpy(m_slots.data(), &count, sizeof count);
    }
    std::vector<SOCKET> m_slots = std::vector<SOCKET>(1, 0);
    std::vector<SOCKET> m_ready;
};

// select() cannot wait on the interruption's event: it waits in slices this long and looks.
constexpr int kInterruptionLookMs = 50;

} // namespace

Resolution ResolveTcp(const std::string& host, std::uint16_t port) {
    return LookUp(host, port, 0);
}

Resolution ResolveUdp(const std::string& host, std::uint16_t port) {
    return LookUp(host, port, 0, true);
}

std::optional<SocketAddress> NumericAddress(const std::string& host, std::uint16_t port) {
    Resolution resolution = LookUp(host, port, AI_NUMERICHOST);
    if (resolution.addresses.empty()) {
        return std::nullopt;
    }
    return resolution.addresses.front();
}

TcpSocket::TcpSocket() : m_native(static_cast<std::intptr_t>(INVALID_SOCKET)) {}

TcpSocket::~TcpSocket() {
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : m_native(std::exchange(other.m_native, static_cast<std::intptr_t>(INVALID_SOCKET))) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = std::exchange(other.m_native, static_cast<std::intptr_t>(INVALID_SOCKET));
    }
    return *this;
}

bool TcpSocket::IsOpen() const {
    return Handle(m_native) != INVALID_SOCKET;
}

void TcpSocket::Close() {
    if (IsOpen()) {
        const DWORD saved = ::GetLastError();
        ::closesocket(Handle(m_native));
        ::SetLastError(saved);
        m_native = static_cast<std::intptr_t>(INVALID_SOCKET);
    }
}

namespace {

// A new non-blocking TCP socket for the address's family, or INVALID_SOCKET.
SOCKET NewSocket(const SocketAddress& address) {
    if (!SocketsStarted()) {
        return INVALID_SOCKET;
    }
    const SOCKET socket = ::socket(Record(address)->sa_family, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    if (socket != INVALID_SOCKET && ::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        const int error = ::WSAGetLastError();
        ::closesocket(socket);
        ::WSASetLastError(error);
        return INVALID_SOCKET;
    }
    // Not inherited by programs this one starts.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return socket;
}

} // namespace

ConnectStart TcpSocket::StartConnect(const SocketAddress& to) {
    Close();
    const SOCKET socket = NewSocket(to);
    if (socket == INVALID_SOCKET) {
        return ConnectStart::Failed;
    }
    m_native = static_cast<std::intptr_t>(socket);
    if (::connect(socket, Record(to), to.NativeLength()) == 0) {
        return ConnectStart::Connected;
    }
    return WouldBlock() ? ConnectStart::InProgress : ConnectStart::Failed;
}

bool TcpSocket::ConnectResult() {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(Handle(m_native), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &length) != 0) {
        return false;
    }
    ::WSASetLastError(error);
    return error == 0;
}

bool TcpSocket::SetNoDelay() {
    const BOOL on = TRUE;
    return ::setsockopt(Handle(m_native), IPPROTO_TCP, TCP_NODELAY,
                        reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

int TcpSocket::Send(const std::uint8_t* bytes, int count) {
    const int sent = ::send(Handle(m_native), reinterpret_cast<const char*>(bytes), count, 0);
    if (sent == SOCKET_ERROR) {
        return WouldBlock() ? 0 : -1;
    }
    return sent;
}

ReceiveStatus TcpSocket::Receive(std::uint8_t* buffer, int capacity, int& count) {
    count = 0;
    const int got = ::recv(Handle(m_native), reinterpret_cast<char*>(buffer), capacity, 0);
    if (got > 0) {
        count = got;
        return ReceiveStatus::Received;
    }
    if (got == 0) {
        return ReceiveStatus::Closed;
    }
    return WouldBlock() ? ReceiveStatus::NothingYet : ReceiveStatus::Failed;
}

void TcpSocket::ShutdownSending() {
    if (IsOpen()) {
        ::shutdown(Handle(m_native), SD_SEND);
    }
}

bool TcpSocket::Listen(const SocketAddress& at, int backlog) {
    Close();
    const SOCKET socket = NewSocket(at);
    if (socket == INVALID_SOCKET) {
        return false;
    }
    m_native = static_cast<std::intptr_t>(socket);
    return ::bind(socket, Record(at), at.NativeLength()) == 0 && ::listen(socket, backlog) == 0;
}

TcpSocket TcpSocket::Accept() {
    const SOCKET accepted = ::accept(Handle(m_native), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        return TcpSocket();
    }
    TcpSocket socket(static_cast<std::intptr_t>(accepted));
    // An accepted socket takes its listener's non-blocking mode; said again to be sure.
    u_long nonBlocking = 1;
    if (::ioctlsocket(accepted, FIONBIO, &nonBlocking) != 0) {
        return TcpSocket();
    }
    return socket;
}

std::optional<SocketAddress> TcpSocket::LocalAddress() const {
    return NamedAddress(Handle(m_native), &::getsockname);
}

std::optional<SocketAddress> TcpSocket::PeerAddress() const {
    return NamedAddress(Handle(m_native), &::getpeername);
}

std::intptr_t TcpSocket::Native() const {
    return m_native;
}

struct SocketWait::State {
    struct Watched {
        SOCKET socket;
        bool read;
        bool write;
    };
    std::vector<Watched> watched;
    SocketSet reads, writes, failures;
};

SocketWait::SocketWait() : m_state(std::make_unique<State>()) {}
SocketWait::~SocketWait() = default;

void SocketWait::Clear() {
    m_state->watched.clear();
}

std::size_t SocketWait::Add(const TcpSocket& socket, bool read, bool write) {
    m_state->watched.push_back({Handle(socket.Native()), read, write});
    return m_state->watched.size() - 1;
}

SocketWait::Outcome SocketWait::Wait(int timeoutMs, const Interruption& interruption) {
    State& state = *m_state;
    // Nothing counts as ready until a wait says so.
    state.reads.ForgetReady();
    state.writes.ForgetReady();
    state.failures.ForgetReady();
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (interruption.Requested()) {
            return Outcome::Interrupted;
        }
        int slice = kInterruptionLookMs;
        if (timeoutMs >= 0) {
            const int spent = static_cast<int>(::GetTickCount() - start);
            if (spent >= timeoutMs) {
                return Outcome::TimedOut;
            }
            slice = std::min(slice, timeoutMs - spent);
        }
        if (state.watched.empty()) {
            // select() refuses three empty sets: only the interruption is waited for.
            if (::WaitForSingleObject(reinterpret_cast<HANDLE>(interruption.Native()),
                                      static_cast<DWORD>(slice)) == WAIT_FAILED) {
                return Outcome::Failed;
            }
            continue;
        }
        state.reads.Reset();
        state.writes.Reset();
        state.failures.Reset();
        for (const State::Watched& entry : state.watched) {
            if (entry.read) {
                state.reads.Add(entry.socket);
            }
            if (entry.write) {
                // A connection that fails is told in the exception set, not the write set.
                state.writes.Add(entry.socket);
                state.failures.Add(entry.socket);
            }
        }
        timeval limit{slice / 1000, (slice % 1000) * 1000};
        const int ready = ::select(0, state.reads.Native(), state.writes.Native(),
                                   state.failures.Native(), &limit);
        if (ready == SOCKET_ERROR) {
            return Outcome::Failed;
        }
        if (ready > 0) {
            state.reads.KeepReady();
            state.writes.KeepReady();
            state.failures.KeepReady();
            return Outcome::Ready;
        }
    }
}

bool SocketWait::Readable(std::size_t index) const {
    const State::Watched& entry = m_state->watched[index];
    return entry.read && m_state->reads.Has(entry.socket);
}

bool SocketWait::Writable(std::size_t index) const {
    const State::Watched& entry = m_state->watched[index];
    return entry.write &&
           (m_state->writes.Has(entry.socket) || m_state->failures.Has(entry.socket));
}

} // namespace platform
