#include "platform/Interruption.h"

#include <atomic>
#include <windows.h>

namespace platform {

namespace {

// Written by the console's control handler (a thread of its own) and by Request(); the event
// is manual-reset and never reset, so that every later wait sees the request too.
std::atomic<bool> g_requested{false};
HANDLE g_event = nullptr;

void NoteRequest() {
    g_requested = true;
    if (g_event != nullptr) {
        ::SetEvent(g_event);
    }
}

BOOL WINAPI OnConsoleControl(DWORD control) {
    switch (control) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        NoteRequest();
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

Interruption::Interruption() {
    g_requested = false;
    g_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

Interruption::~Interruption() {
    ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    if (g_event != nullptr) {
        ::CloseHandle(g_event);
        g_event = nullptr;
    }
}

bool Interruption::Requested() const {
    return g_requested;
}

void Interruption::Request() {
    NoteRequest();
}

std::intptr_t Interruption::Native() const {
    return reinterpret_cast<std::intptr_t>(g_event);
}

} // namespace platform
