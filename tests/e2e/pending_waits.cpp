// What Wine's own serial emulation costs in memory, apart from any program's: the least a
// program does to make pending event waits on a port, and its memory meanwhile.
//
//   kalvor-pending-waits PORT SECONDS RESULT_FILE
//
// Makes overlapped WaitCommEvent calls on COM<PORT>, back to back, for SECONDS after a warm-up,
// and writes a line "W B" to RESULT_FILE after every 100th: the pending waits made so far and the
// process's private memory then, in bytes. On a pseudo-terminal each wait is pending, then
// cancelled by Wine within a few milliseconds; Wine 8 keeps a few hundred bytes of every one.
// The whole-program tests take the trend of B over W as what Wine keeps of one wait.
#include <cstdio>
#include <cstdlib>
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

namespace {

constexpr long kWarmUpWaits = 200;

long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)
               ? static_cast<long long>(memory.PagefileUsage)
               : -1;
}

// Makes one event wait and waits until it has ended; true if it went pending.
bool OnePendingWait(HANDLE port, HANDLE event) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD events = 0;
    if (::WaitCommEvent(port, &events, &overlapped) || ::GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    // A wait that Wine reported late stays "pending" with its event signalled: one second is
    // plenty for any other.
    ::WaitForSingleObject(event, 1000);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: kalvor-pending-waits PORT SECONDS RESULT_FILE\n", stderr);
        return 2;
    }
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", std::atoi(argv[1]));
    const DWORD milliseconds = 1000 * static_cast<DWORD>(std::atoi(argv[2]));
    const HANDLE port = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    FILE* result = std::fopen(argv[3], "w");
    if (port == INVALID_HANDLE_VALUE || event == nullptr || result == nullptr ||
        !::SetCommMask(port, EV_RXCHAR | EV_RXFLAG)) {
        std::fprintf(stderr, "kalvor-pending-waits: %s does not open (%lu)\n", name,
                     ::GetLastError());
        return 1;
    }
    for (long waits = 0; waits < kWarmUpWaits;) {
        waits += OnePendingWait(port, event);
    }
    const DWORD start = ::GetTickCount();
    for (long waits = 0; ::GetTickCount() - start < milliseconds;) {
        if (OnePendingWait(port, event) && ++waits % 100 == 0) {
            std::fprintf(result, "%ld %lld\n", waits, PrivateBytes());
        }
    }
    return std::fclose(result) == 0 ? 0 : 1;
}
