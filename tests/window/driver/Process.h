#pragma once

#include "platform/win32/UniqueHandle.h"

#include <string>
#include <windows.h>

namespace driver {

// A program started by the driver. Killed when the object goes if it still runs.
class Program {
public:
    // Starts `executable` with `directory` as its current directory and `arguments` after its
    // name on its command line. Check Started().
    Program(const std::string& executable, const std::string& directory,
            const std::string& arguments = {});
    Program(Program&&) = default;
    ~Program();

    bool Started() const { return m_process.Valid(); }
    DWORD ProcessId() const { return m_processId; }
    // Waits up to `milliseconds` for the program to end; true if it has.
    bool WaitForExit(DWORD milliseconds) const;
    DWORD ExitCode() const;
    void Kill() const;

private:
    platform::UniqueHandle m_process;
    platform::UniqueHandle m_thread;
    DWORD m_processId = 0;
};

} // namespace driver
