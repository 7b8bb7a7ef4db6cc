#include "platform/WorkerThread.h"

#include <process.h>
#include <windows.h>

namespace platform {

namespace {

struct Launch {
    WorkerThread::Procedure procedure;
    void* argument;
};

unsigned __stdcall Run(void* launch) {
    const Launch what = *static_cast<Launch*>(launch);
    delete static_cast<Launch*>(launch);
    return what.procedure(what.argument);
}

} // namespace

bool WorkerThread::Start(Procedure procedure, void* argument) {
    WaitUntilEnded();
    auto* launch = new Launch{procedure, argument};
    // The run-time library's own thread start, so that it sets up (and frees) its per-thread data.
    const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, &Run, launch, 0, nullptr);
    if (thread == 0) {
        delete launch;
        return false;
    }
    m_native = static_cast<std::intptr_t>(thread);
    m_started = true;
    return true;
}

void WorkerThread::WaitUntilEnded() {
    if (!m_started) {
        return;
    }
    HANDLE thread = reinterpret_cast<HANDLE>(m_native);
    // Messages sent to this thread by others (a window of the waiting thread that another thread
    // talks to) are handled while waiting; posted ones stay queued for the message loop.
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    DWORD exitCode = 0;
    ::GetExitCodeThread(thread, &exitCode);
    m_exitCode = exitCode;
    ::CloseHandle(thread);
    m_native = 0;
    m_started = false;
}

} // namespace platform
