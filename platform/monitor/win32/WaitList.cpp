#include "platform/monitor/WaitList.h"

#include <windows.h>

namespace platform {

namespace {
HANDLE Handle(const Event& event) {
    return reinterpret_cast<HANDLE>(event.Native());
}

// The first signalled handle of the list decides, as WaitForMultipleObjects gives it.
WakeUp Outcome(DWORD result, const WakeUp* meanings, DWORD count) {
    if (result == WAIT_TIMEOUT) {
        return WakeUp::TimedOut;
    }
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) {
        return meanings[result - WAIT_OBJECT_0];
    }
    return WakeUp::Failed;
}
} // namespace

WakeUp WaitList::Wait() const {
    const HANDLE handles[3] = {Handle(*m_stop), Handle(m_port->PortEvent()), Handle(*m_send)};
    static constexpr WakeUp kMeanings[3] = {WakeUp::Stop, WakeUp::PortEvent, WakeUp::Send};
    return Outcome(::WaitForMultipleObjects(3, handles, FALSE, INFINITE), kMeanings, 3);
}

WakeUp WaitList::Pause(int timeoutMs) const {
    const HANDLE handles[2] = {Handle(*m_stop), Handle(*m_send)};
    static constexpr WakeUp kMeanings[2] = {WakeUp::Stop, WakeUp::Send};
    return Outcome(::WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(timeoutMs)),
                   kMeanings, 2);
}

} // namespace platform
