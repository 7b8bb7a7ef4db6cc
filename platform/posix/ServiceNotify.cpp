#include "platform/ServiceNotify.h"

#include "platform/posix/UniqueFd.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// The number an environment variable holds, or 0 when it is unset or not a whole number.
std::int64_t NumberFromEnvironment(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return 0;
    }
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, failure] = std::from_chars(text, end, value);
    return failure == std::errc() && stop == end && value > 0 ? value : 0;
}

} // namespace

struct ServiceNotify::State {
    UniqueFd socket;
    sockaddr_un address{};
    socklen_t addressLength = 0;
    std::int64_t watchdogMicroseconds = 0;

    void Send(const std::string& message) const {
        if (!socket.Valid()) {
            return;
        }
        // A manager that went away, or a full queue, is not worth stopping for: the protocol
        // is a courtesy to it, and the next message tells it the same.
        [[maybe_unused]] const auto sent =
            ::sendto(socket.Get(), message.data(), message.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&address), addressLength);
    }
};

ServiceNotify::ServiceNotify() : m_state(std::make_unique<State>()) {
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@')) {
        return;
    }
    State& state = *m_state;
    const std::size_t length = std::strlen(name);
    if (length >= sizeof state.address.sun_path) {
        return;
    }
    state.address.sun_family = AF_UNIX;
    std::memcpy(state.address.sun_path, name, length);
    if (name[0] == '@') {
        state.address.sun_path[0] = '\0'; // an abstract name: no file behind it
    }
    state.addressLength =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (name[0] == '/' ? 1 : 0));
    state.socket.Reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));

    const std::int64_t watchdogPid = NumberFromEnvironment("WATCHDOG_PID");
    if (watchdogPid == 0 || watchdogPid == ::getpid()) {
        state.watchdogMicroseconds = NumberFromEnvironment("WATCHDOG_USEC");
    }
}

ServiceNotify::~ServiceNotify() = default;

void ServiceNotify::Ready() {
    m_state->Send("READY=1");
}

void ServiceNotify::Status(const std::string& line) {
    // One line: a line feed would end the assignment and start another.
    std::string text = line;
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    m_state->Send("STATUS=" + text);
}

void ServiceNotify::Stopping() {
    m_state->Send("STOPPING=1");
}

std::int64_t ServiceNotify::WatchdogMicroseconds() const {
    return m_state->socket.Valid() ? m_state->watchdogMicroseconds : 0;
}

void ServiceNotify::WatchdogAlive() {
    if (m_state->watchdogMicroseconds > 0) {
        m_state->Send("WATCHDOG=1");
    }
}

} // namespace platform
