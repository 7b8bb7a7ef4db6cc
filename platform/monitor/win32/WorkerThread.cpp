#include "platform/monitor/WorkerThread.h"

#include "platform/win32/UniqueHandle.h"

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

struct WorkerThread::Owned {
    UniqueHandle thread;
};

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() {
    WaitUntilEnded();
}

bool WorkerThread::Start(Procedure procedure, void* argument) {
    WaitUntilEnded();
    auto* launch = new Launch{procedure, argument};
    // The run-time library's own thread start, so that it sets up (and frees) its per-thread data.
    const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, &Run, launch, 0, nullptr);
    if (thread == 0) {
        delete launch;
        return false;
    }
    m_owned = std::make_unique<Owned>(Owned{UniqueHandle(reinterpret_cast<HANDLE>(thread))});
    return true;
}

void WorkerThread::WaitUntilEnded() {
    if (!m_owned) {
        return;
    }
    HANDLE thread = m_owned->thread.Get();
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
    m_owned.reset();
}

} // namespace platform
