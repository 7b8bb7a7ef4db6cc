// The far end natively: the controlling side of a pseudo-terminal.
#include "tests/serial/support/FarEnd.h"

#include "platform/posix/UniqueFd.h"

#include <ctime>
#include <dirent.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace serial_test {

namespace {

// The device each port number stands for in this test process; written by the test's thread
// before the ports are opened, read by whichever thread opens them.
std::mutex g_devicesMutex;
std::map<int, std::string> g_devices;

void StandFor(int portNumber, const std::string& device) {
    std::lock_guard lock(g_devicesMutex);
    g_devices[portNumber] = device;
}

} // namespace

platform::PortName PortFor(int portNumber) {
    std::lock_guard lock(g_devicesMutex);
    const auto found = g_devices.find(portNumber);
    platform::PortName port = platform::NumberedPort(portNumber);
    if (found != g_devices.end()) {
        port.device = found->second;
        port.label = "COM" + std::to_string(portNumber);
    }
    return port;
}

struct FarEnd::State {
    platform::UniqueFd master;
    // Held so that the line stays up while the port is closed between two openings.
    platform::UniqueFd terminal;
};

FarEnd::FarEnd(int portNumber) : m_state(std::make_unique<State>()) {
    int master = -1;
    int terminal = -1;
    char name[128] = {};
    if (::openpty(&master, &terminal, name, nullptr, nullptr) == 0) {
        m_state->master.Reset(master);
        m_state->terminal.Reset(terminal);
        StandFor(portNumber, name);
    }
}

FarEnd::~FarEnd() = default;

bool FarEnd::Write(const Bytes& bytes) {
    return m_state->master.Valid() && ::write(m_state->master.Get(), bytes.data(), bytes.size()) ==
                                          static_cast<ssize_t>(bytes.size());
}

Bytes FarEnd::ReadSome(int timeoutMs) {
    if (!m_state->master.Valid()) {
        return {};
    }
    pollfd watched{m_state->master.Get(), POLLIN, 0};
    if (::poll(&watched, 1, timeoutMs) <= 0 || (watched.revents & POLLIN) == 0) {
        return {};
    }
    Bytes some(4096);
    const ssize_t got = ::read(m_state->master.Get(), some.data(), some.size());
    some.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return some;
}

void FarEnd::GoAway() {
    m_state->terminal.Reset();
    m_state->master.Reset();
}

void MapNonSerialPort(int portNumber) {
    StandFor(portNumber, "/dev/full");
}

void MapAbsentPort(int portNumber) {
    StandFor(portNumber, "/nonexistent/kalvor-absent-port");
}

namespace {
int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* listing = ::opendir(folder)) {
        while (const dirent* entry = ::readdir(listing)) {
            count += entry->d_name[0] != '.';
        }
        ::closedir(listing);
    }
    return count;
}
} // namespace

int OpenHandleCount() {
    return CountEntries("/proc/self/fd");
}

int ThreadCount() {
    return CountEntries("/proc/self/task");
}

double ProcessCpuSeconds() {
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + used.tv_nsec / 1e9;
}

} // namespace serial_test
