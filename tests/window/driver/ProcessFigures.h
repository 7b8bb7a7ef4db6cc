#pragma once

#include <cstddef>
#include <windows.h>

namespace driver {

// What a running program holds, read from another process, to see leaks and growth.
struct ProcessFigures {
    bool read = false;            // false when the process could not be asked
    std::size_t privateBytes = 0; // memory committed for the process alone
    std::size_t workingSet = 0;   // memory it has in use now
    std::size_t peakWorkingSet = 0;
    int handles = -1; // kernel handles it holds; -1 when unknown
    int threads = -1; // its threads; -1 when unknown
};

ProcessFigures ReadProcessFigures(DWORD processId);

// Only the process's private memory in bytes, cheap enough to read every second; -1 when the
// process could not be asked.
long long ReadPrivateBytes(DWORD processId);

} // namespace driver
