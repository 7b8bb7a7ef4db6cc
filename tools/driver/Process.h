#pragma once

#include <string>
#include <utility>
#include <windows.h>

namespace driver {

// A kernel handle, owned: closed when the holder goes.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    ~UniqueHandle() {
        if (m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_handle);
        }
    }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

// A program started by the driver. Killed when the object goes if it still runs.
class Program {
public:
    // Starts `executable` with `directory` as its current directory. Check Started().
    Program(const std::string& executable, const std::string& directory);
    Program(Program&&) = default;
    ~Program();

    bool Started() const { return m_process.Get() != nullptr; }
    DWORD ProcessId() const { return m_processId; }
    // Waits up to `milliseconds` for the program to end; true if it has.
    bool WaitForExit(DWORD milliseconds) const;
    DWORD ExitCode() const;
    void Kill() const;

private:
    UniqueHandle m_process;
    UniqueHandle m_thread;
    DWORD m_processId = 0;
};

} // namespace driver
