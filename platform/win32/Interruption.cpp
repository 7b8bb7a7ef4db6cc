#include "platform/Interruption.h"

#include "platform/win32/RunningService.h"
#include "platform/win32/UniqueHandle.h"

#include <atomic>
#include <windows.h>

namespace platform {

namespace {

// Written by the console's control handler (a thread of its own) and by Request(); the event
// is manual-reset and never reset, so that every later wait sees the request too. g_event is
// the handle the living Interruption owns, published for the control handler.
std::atomic<bool> g_requested{false};
std::atomic<StopCause> g_cause{StopCause::None}; // the first request's
std::atomic<HANDLE> g_event{nullptr};

void NoteRequest(StopCause cause) {
    StopCause none = StopCause::None;
    g_cause.compare_exchange_strong(none, cause);
    g_requested = true;
    if (const HANDLE event = g_event; event != nullptr) {
        ::SetEvent(event);
    }
}

BOOL WINAPI OnConsoleControl(DWORD control) {
    switch (control) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        NoteRequest(StopCause::User);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void RequestInterruption(StopCause cause) {
    NoteRequest(cause);
}

struct Interruption::Owned {
    UniqueHandle event;
};

Interruption::Interruption()
    : m_owned(std::make_unique<Owned>(
          Owned{UniqueHandle(::CreateEventA(nullptr, TRUE, FALSE, nullptr))})) {
    g_requested = false;
    g_cause = StopCause::None;
    g_event = m_owned->event.Get();
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

Interruption::~Interruption() {
    ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    g_event = nullptr;
}

bool Interruption::Requested() const {
    return g_requested;
}

StopCause Interruption::Cause() const {
    return g_cause;
}

void Interruption::Request() {
    NoteRequest(StopCause::User);
}

bool Interruption::WaitFor(int milliseconds) const {
    ::WaitForSingleObject(m_owned->event.Get(), static_cast<DWORD>(milliseconds));
    return Requested();
}

std::intptr_t Interruption::Native() const {
    return reinterpret_cast<std::intptr_t>(m_owned->event.Get());
}

} // namespace platform
