#include "platform/Socket.h"

#include "platform/posix/SocketRecords.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace platform {

using namespace sockets;

namespace {

static_assert(sizeof(sockaddr_storage) <= SocketAddress::kNativeBytes);

// getaddrinfo() with the hints of a TCP (or UDP) look-up; `flags` adds AI_NUMERICHOST.
Resolution LookUp(const std::string& host, std::uint16_t port, int flags, bool udp = false) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = udp ? SOCK_DGRAM : SOCK_STREAM;
    hints.ai_protocol = udp ? IPPROTO_UDP : IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | flags;
    addrinfo* found = nullptr;
    Resolution resolution;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        resolution.failure = status == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(status);
        return resolution;
    }
    resolution.addresses = CollectAddresses(found, &Describe);
    ::freeaddrinfo(found);
    if (resolution.addresses.empty()) {
        resolution.failure = udp ? "no address for UDP" : "no address for TCP";
    }
    return resolution;
}

bool MakeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// The address getsockname() or getpeername() tells of a socket.
std::optional<SocketAddress> NamedAddress(int fd, int (*name)(int, sockaddr*, socklen_t*)) {
    SocketAddress address;
    socklen_t length = sizeof(sockaddr_storage);
    if (name(fd, static_cast<sockaddr*>(address.Native()), &length) != 0) {
        return std::nullopt;
    }
    address.NativeLength() = static_cast<int>(length);
    Describe(address);
    return address;
}

} // namespace

Resolution ResolveTcp(const std::string& host, std::uint16_t port) {
    // No AI_ADDRCONFIG: on a machine whose only network is loopback it would find nothing.
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

TcpSocket::TcpSocket() : m_native(-1) {}

TcpSocket::~TcpSocket() {
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : m_native(std::exchange(other.m_native, -1)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = std::exchange(other.m_native, -1);
    }
    return *this;
}

bool TcpSocket::IsOpen() const {
    return m_native >= 0;
}

void TcpSocket::Close() {
    if (IsOpen()) {
        const int saved = errno;
        ::close(Fd(m_native));
        errno = saved;
        m_native = -1;
    }
}

ConnectStart TcpSocket::StartConnect(const SocketAddress& to) {
    Close();
    const int fd =
        ::socket(Record(to)->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return ConnectStart::Failed;
    }
    m_native = fd;
    if (::connect(fd, Record(to), static_cast<socklen_t>(to.NativeLength())) == 0) {
        return ConnectStart::Connected;
    }
    return errno == EINPROGRESS ? ConnectStart::InProgress : ConnectStart::Failed;
}

bool TcpSocket::ConnectResult() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Fd(m_native), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return false;
    }
    errno = error;
    return error == 0;
}

bool TcpSocket::SetNoDelay() {
    const int on = 1;
    return ::setsockopt(Fd(m_native), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

int TcpSocket::Send(const std::uint8_t* bytes, int count) {
    // MSG_NOSIGNAL: a connection the far end closed fails with EPIPE instead of raising SIGPIPE,
    // which would end the program.
    const ssize_t sent = ::send(Fd(m_native), bytes, static_cast<std::size_t>(count), MSG_NOSIGNAL);
    if (sent < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }
    return static_cast<int>(sent);
}

ReceiveStatus TcpSocket::Receive(std::uint8_t* buffer, int capacity, int& count) {
    count = 0;
    const ssize_t got = ::recv(Fd(m_native), buffer, static_cast<std::size_t>(capacity), 0);
    if (got > 0) {
        count = static_cast<int>(got);
        return ReceiveStatus::Received;
    }
    if (got == 0) {
        return ReceiveStatus::Closed;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? ReceiveStatus::NothingYet
                                                                     : ReceiveStatus::Failed;
}

void TcpSocket::ShutdownSending() {
    if (IsOpen()) {
        ::shutdown(Fd(m_native), SHUT_WR);
    }
}

bool TcpSocket::Listen(const SocketAddress& at, int backlog) {
    Close();
    const int fd =
        ::socket(Record(at)->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return false;
    }
    m_native = fd;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return ::bind(fd, Record(at), static_cast<socklen_t>(at.NativeLength())) == 0 &&
           ::listen(fd, backlog) == 0;
}

TcpSocket TcpSocket::Accept() {
    const int fd = ::accept4(Fd(m_native), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return TcpSocket();
    }
    TcpSocket accepted(fd);
    if (!MakeNonBlocking(fd)) {
        return TcpSocket();
    }
    return accepted;
}

std::optional<SocketAddress> TcpSocket::LocalAddress() const {
    return NamedAddress(Fd(m_native), &::getsockname);
}

std::optional<SocketAddress> TcpSocket::PeerAddress() const {
    return NamedAddress(Fd(m_native), &::getpeername);
}

std::intptr_t TcpSocket::Native() const {
    return m_native;
}

struct SocketWait::State {
    std::vector<pollfd> watched;
};

SocketWait::SocketWait() : m_state(std::make_unique<State>()) {}
SocketWait::~SocketWait() = default;

void SocketWait::Clear() {
    m_state->watched.clear();
}

std::size_t SocketWait::Add(const TcpSocket& socket, bool read, bool write) {
    const short events = static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0));
    m_state->watched.push_back({Fd(socket.Native()), events, 0});
    return m_state->watched.size() - 1;
}

SocketWait::Outcome SocketWait::Wait(int timeoutMs, const Interruption& interruption) {
    // The interruption's descriptor rides at the end of the same poll() and is taken off again.
    std::vector<pollfd>& watched = m_state->watched;
    watched.push_back({static_cast<int>(interruption.Native()), POLLIN, 0});
    int ready = 0;
    do {
        ready = ::poll(watched.data(), watched.size(), timeoutMs);
    } while (ready < 0 && errno == EINTR && !interruption.Requested());
    const pollfd stop = watched.back();
    watched.pop_back();
    if ((stop.revents & POLLIN) != 0 || interruption.Requested()) {
        return Outcome::Interrupted;
    }
    if (ready < 0) {
        return Outcome::Failed;
    }
    return ready == 0 ? Outcome::TimedOut : Outcome::Ready;
}

bool SocketWait::Readable(std::size_t index) const {
    const pollfd& entry = m_state->watched[index];
    return (entry.events & POLLIN) != 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool SocketWait::Writable(std::size_t index) const {
    const pollfd& entry = m_state->watched[index];
    return (entry.events & POLLOUT) != 0 && (entry.revents & (POLLOUT | POLLHUP | POLLERR)) != 0;
}

} // namespace platform
