// What Wine's own serial emulation costs a program in memory, apart from that program's code:
// the least a program does to wait on a port and to read it as the window's monitor does.
//
//   kalvor-wine-serial-baseline waits PORT SECONDS RESULT_FILE
//     Makes overlapped WaitCommEvent calls on COM<PORT>, back to back, for SECONDS after a
//     warm-up, and writes a line "W B" after every 100th: the pending waits made so far and the
//     process's private memory then, in bytes. On a pseudo-terminal with nothing to read each
//     wait is pending, then cancelled by Wine within a few milliseconds; Wine 8 keeps a few
//     hundred bytes of every one, the trend of B over W.
//
//   kalvor-wine-serial-baseline reads PORT SECONDS RESULT_FILE
//     Watches COM<PORT> for SECONDS as the monitor does (a wait; after one that ends with
//     nothing, a 100 ms pause; after a byte-received event, one-byte reads of what is waiting)
//     and writes a line "MS W N B" every second: the milliseconds, the pending waits and the
//     bytes read so far, and the private memory. Wine keeps a little of every read as well.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

namespace {

constexpr long kWarmUpWaits = 200;
constexpr DWORD kQuietPortPauseMs = 100; // as the monitor's

long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)
               ? static_cast<long long>(memory.PagefileUsage)
               : -1;
}

struct Port {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE waitEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE readEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    long pendingWaits = 0;

    // Waits for a port event; true if one came (bytes are waiting).
    bool WaitForEvent() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = waitEvent;
        DWORD events = 0;
        if (::WaitCommEvent(handle, &events, &overlapped)) {
            return events != 0;
        }
        if (::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        ++pendingWaits;
        // A wait that Wine reported late stays "pending" with its event signalled: a second is
        // plenty for any other.
        ::WaitForSingleObject(waitEvent, 1000);
        DWORD unused = 0;
        return ::GetOverlappedResult(handle, &overlapped, &unused, FALSE) && events != 0;
    }

    DWORD Waiting() {
        DWORD errors = 0;
        COMSTAT status{};
        return ::ClearCommError(handle, &errors, &status) ? status.cbInQue : 0;
    }

    bool ReadByte() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = readEvent;
        unsigned char byte = 0;
        DWORD got = 0;
        if (!::ReadFile(handle, &byte, 1, nullptr, &overlapped) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        return ::GetOverlappedResult(handle, &overlapped, &got, TRUE) && got == 1;
    }
};

int Waits(Port& port, DWORD milliseconds, FILE* result) {
    while (port.pendingWaits < kWarmUpWaits) {
        port.WaitForEvent();
    }
    const long warmUp = port.pendingWaits;
    const DWORD start = ::GetTickCount();
    long reported = 0;
    while (::GetTickCount() - start < milliseconds) {
        port.WaitForEvent();
        const long waits = port.pendingWaits - warmUp;
        if (waits / 100 > reported) {
            reported = waits / 100;
            std::fprintf(result, "%ld %lld\n", waits, PrivateBytes());
        }
    }
    return 0;
}

int Reads(Port& port, DWORD milliseconds, FILE* result) {
    COMMTIMEOUTS timeouts{1000, 1000, 1000, 1000, 1000};
    ::SetCommTimeouts(port.handle, &timeouts);
    const DWORD start = ::GetTickCount();
    DWORD lastReport = 0;
    long bytes = 0;
    for (DWORD now = start; now - start < milliseconds; now = ::GetTickCount()) {
        if (now - lastReport >= 1000) {
            lastReport = now;
            std::fprintf(result, "%lu %ld %ld %lld\n", now - start, port.pendingWaits, bytes,
                         PrivateBytes());
        }
        if (!port.WaitForEvent()) {
            ::Sleep(kQuietPortPauseMs);
            continue;
        }
        for (DWORD budget = port.Waiting(); budget > 0 && port.Waiting() > 0; --budget) {
            bytes += port.ReadByte();
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool waits = argc == 5 && std::strcmp(argv[1], "waits") == 0;
    const bool reads = argc == 5 && std::strcmp(argv[1], "reads") == 0;
    if (!waits && !reads) {
        std::fputs("usage: kalvor-wine-serial-baseline waits|reads PORT SECONDS RESULT_FILE\n",
                   stderr);
        return 2;
    }
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", std::atoi(argv[2]));
    const DWORD milliseconds = 1000 * static_cast<DWORD>(std::atoi(argv[3]));
    Port port;
    port.handle = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    FILE* result = std::fopen(argv[4], "w");
    if (port.handle == INVALID_HANDLE_VALUE || result == nullptr ||
        !::SetCommMask(port.handle, EV_RXCHAR | EV_RXFLAG)) {
        std::fprintf(stderr, "kalvor-wine-serial-baseline: %s does not open (%lu)\n", name,
                     ::GetLastError());
        return 1;
    }
    const int status =
        waits ? Waits(port, milliseconds, result) : Reads(port, milliseconds, result);
    return std::fclose(result) == 0 ? status : 1;
}
