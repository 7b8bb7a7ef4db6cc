#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// A worker thread: normal priority, default stack size, running at once. The object owns the
// thread's handle; its destructor waits for the thread to end.
class WorkerThread {
public:
    using Procedure = unsigned (*)(void* argument);

    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts procedure(argument) on a new thread, after waiting for the one started before, if
    // any. False when the system could not start it.
    bool Start(Procedure procedure, void* argument);

    // Blocks until the thread has ended and releases it; returns at once when none runs. On Win32
    // messages sent to the waiting thread are still handled meanwhile, so a window of another
    // thread that talks to it cannot hang the wait.
    void WaitUntilEnded();

    // The value the last thread that ended returned.
    unsigned ExitCode() const { return m_exitCode; }

private:
    // The backend's owner of the running thread (its handle on Win32, its pthread_t on POSIX);
    // null while none runs. Written by the thread that starts and waits for it.
    struct Owned;
    std::unique_ptr<Owned> m_owned;
    unsigned m_exitCode = 0;
};

} // namespace platform
