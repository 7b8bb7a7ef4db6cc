#include "ThreadStarts.h"

ThreadStartCounter::ThreadStartCounter(DWORD processId)
    : m_answered(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    m_listener = std::thread(&ThreadStartCounter::Listen, this, processId);
    if (::WaitForSingleObject(m_answered.Get(), 10000) != WAIT_OBJECT_0 || !m_attached) {
        m_stop = true;
    }
}

ThreadStartCounter::~ThreadStartCounter() {
    m_stop = true;
    m_listener.join();
}

void ThreadStartCounter::Listen(DWORD processId) {
    if (!::DebugActiveProcess(processId)) {
        ::SetEvent(m_answered.Get());
        return;
    }
    ::DebugSetProcessKillOnExit(FALSE);
    // Attaching tells of the threads that run already and of a thread that the system starts to
    // break in, then of that break-in: what starts after it is the program's.
    bool brokenIn = false;
    while (!m_stop) {
        DEBUG_EVENT event;
        if (!::WaitForDebugEvent(&event, 100)) {
            continue;
        }
        DWORD answer = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_THREAD_DEBUG_EVENT:
            m_count += brokenIn;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr) {
                ::CloseHandle(event.u.CreateProcessInfo.hFile);
            }
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) {
                ::CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (!brokenIn &&
                event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
                brokenIn = true;
                m_attached = true;
                ::SetEvent(m_answered.Get());
            } else {
                // The program's own exceptions are its own to handle.
                answer = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        default:
            break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
    }
    ::SetEvent(m_answered.Get());
    ::DebugActiveProcessStop(processId);
}
