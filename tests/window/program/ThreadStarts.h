#pragma once

#include "platform/win32/UniqueHandle.h"

#include <atomic>
#include <thread>
#include <windows.h>

// Counts the threads a running program starts, as a debugger attached to it hears of them. Under
// Wine every pending event wait on a serial port starts one, the helper thread that ends the
// wait; in a program that starts no threads of its own the count is that of its pending waits.
// The program goes on as before while it is counted, and after (detaching does not end it).
class ThreadStartCounter {
public:
    explicit ThreadStartCounter(DWORD processId);
    ~ThreadStartCounter();
    ThreadStartCounter(const ThreadStartCounter&) = delete;
    ThreadStartCounter& operator=(const ThreadStartCounter&) = delete;

    // False if the debugger could not attach; nothing is counted then.
    bool Attached() const { return m_attached; }
    // The threads started since the counter attached.
    long Count() const { return m_count; }

private:
    void Listen(DWORD processId);

    std::atomic<bool> m_stop{false};
    std::atomic<long> m_count{0};        // written by the listening thread
    std::atomic<bool> m_attached{false}; // written by the listening thread, before it signals
    platform::UniqueHandle m_answered;   // signalled once the attaching has succeeded or failed
    std::thread m_listener; // attaches, hears the debug events and detaches: one thread must
};
