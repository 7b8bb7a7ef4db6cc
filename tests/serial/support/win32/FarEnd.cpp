// The far end under Wine: the other port of a pseudo-terminal pair that the runner mapped.
#include "tests/serial/support/FarEnd.h"

#include "platform/CommPort.h"

#include <windows.h>
// The tool help declarations need windows.h first.
#include <tlhelp32.h>

namespace serial_test {

namespace {
constexpr int kPairOffset = 20;
}

struct FarEnd::State {
    platform::CommPort port;
};

FarEnd::FarEnd(int portNumber) : m_state(std::make_unique<State>()) {
    platform::CommPort& port = m_state->port;
    if (port.Open(platform::ComPortDevice(portNumber + kPairOffset))) {
        port.SetTimeouts({0, 0, 0, 1000, 1000});
        port.Purge(platform::kPurgeAll);
    }
}

FarEnd::~FarEnd() = default;

bool FarEnd::Write(const Bytes& bytes) {
    return m_state->port.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) ==
           platform::Transfer::Done;
}

Bytes FarEnd::ReadSome(int timeoutMs) {
    Bytes some(4096);
    const int got = m_state->port.ReadWithin(some.data(), static_cast<int>(some.size()), timeoutMs);
    some.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return some;
}

// The pair ends by itself after a few silent seconds; its end shows here as a read that fails.
void FarEnd::GoAway() {
    const DWORD start = ::GetTickCount();
    std::uint8_t buffer[64];
    while (::GetTickCount() - start < 30000 &&
           m_state->port.ReadWithin(buffer, sizeof buffer, 200) >= 0) {
    }
    m_state->port.Close();
}

platform::PortName PortFor(int portNumber) {
    return platform::NumberedPort(portNumber);
}

// The runner maps these ports (a missing path for the non-serial one, nothing for the absent one).
void MapNonSerialPort(int) {}
void MapAbsentPort(int) {}

int OpenHandleCount() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0) {
        return static_cast<int>(count);
    }
    // Wine counts nothing here. A new handle takes the lowest free slot of the handle table, so
    // its number rises with every handle left open: a leak shows all the same.
    HANDLE probe = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto slot = reinterpret_cast<std::uintptr_t>(probe) / 4;
    ::CloseHandle(probe);
    return static_cast<int>(slot);
}

int ThreadCount() {
    int count = 0;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    }
    ::CloseHandle(snapshot);
    return count;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return ((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

} // namespace serial_test
