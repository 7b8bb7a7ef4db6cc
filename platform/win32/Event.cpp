#include "platform/Event.h"

#include <windows.h>

namespace platform {

namespace {
HANDLE Handle(std::intptr_t native) {
    return reinterpret_cast<HANDLE>(native);
}
} // namespace

bool Event::CreateOrReset() {
    if (Exists()) {
        Reset();
        return true;
    }
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return false;
    }
    m_native = reinterpret_cast<std::intptr_t>(event);
    return true;
}

void Event::Set() {
    if (Exists()) {
        ::SetEvent(Handle(m_native));
    }
}

void Event::Reset() {
    if (Exists()) {
        ::ResetEvent(Handle(m_native));
    }
}

void Event::Close() {
    if (Exists()) {
        ::CloseHandle(Handle(m_native));
        m_native = kNone;
    }
}

} // namespace platform
