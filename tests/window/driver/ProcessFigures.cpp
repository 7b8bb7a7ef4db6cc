#include "tests/window/driver/ProcessFigures.h"

#include "platform/win32/UniqueHandle.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <vector>

namespace driver {
namespace {

// The system's list of every open handle, with its owner (SystemExtendedHandleInformation).
constexpr ULONG kExtendedHandleInformation = 64;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTraceIndex;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

// Wine answers GetProcessHandleCount with 0 for every process; its list of the system's handles
// is right, and Windows has it too.
int HandlesInSystemList(DWORD processId) {
    const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return -1;
    }
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(kExtendedHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch && buffer.size() < (std::size_t{64} << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) {
            return -1;
        }
        break;
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    int count = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        count += list->entries[i].processId == processId;
    }
    return count;
}

int CountThreads(DWORD processId) {
    const platform::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.Valid()) {
        return -1;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more;
         more = ::Thread32Next(snapshot.Get(), &entry)) {
        count += entry.th32OwnerProcessID == processId;
    }
    return count;
}

platform::UniqueHandle OpenToRead(DWORD processId) {
    return platform::UniqueHandle(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
}

bool ReadMemoryCounters(const platform::UniqueHandle& process, PROCESS_MEMORY_COUNTERS& memory) {
    memory = PROCESS_MEMORY_COUNTERS{};
    memory.cb = sizeof memory;
    return process.Valid() && ::GetProcessMemoryInfo(process.Get(), &memory, sizeof memory);
}

} // namespace

long long ReadPrivateBytes(DWORD processId) {
    PROCESS_MEMORY_COUNTERS memory;
    return ReadMemoryCounters(OpenToRead(processId), memory)
               ? static_cast<long long>(memory.PagefileUsage)
               : -1;
}

ProcessFigures ReadProcessFigures(DWORD processId) {
    ProcessFigures figures;
    const platform::UniqueHandle process = OpenToRead(processId);
    PROCESS_MEMORY_COUNTERS memory;
    if (!ReadMemoryCounters(process, memory)) {
        return figures;
    }
    figures.read = true;
    figures.privateBytes = memory.PagefileUsage;
    figures.workingSet = memory.WorkingSetSize;
    figures.peakWorkingSet = memory.PeakWorkingSetSize;
    DWORD handles = 0;
    figures.handles = ::GetProcessHandleCount(process.Get(), &handles) && handles > 0
                          ? static_cast<int>(handles)
                          : HandlesInSystemList(processId);
    figures.threads = CountThreads(processId);
    return figures;
}

} // namespace driver
