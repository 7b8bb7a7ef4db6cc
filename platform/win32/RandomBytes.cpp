#include "platform/RandomBytes.h"

#include <windows.h>

namespace platform {

namespace {

// RtlGenRandom's exported name; looked up rather than imported, as its header declares it only
// under conditions of its own.
using RandomFiller = BOOLEAN(WINAPI*)(PVOID, ULONG);

RandomFiller Filler() {
    static const RandomFiller filler = [] {
        const HMODULE advapi = ::LoadLibraryA("advapi32.dll");
        const FARPROC found =
            advapi != nullptr ? ::GetProcAddress(advapi, "SystemFunction036") : nullptr;
        return reinterpret_cast<RandomFiller>(reinterpret_cast<void (*)()>(found));
    }();
    return filler;
}

} // namespace

bool FillRandom(void* buffer, std::size_t size) {
    const RandomFiller filler = Filler();
    return filler != nullptr && filler(buffer, static_cast<ULONG>(size)) != FALSE;
}

} // namespace platform
