#include "platform/monitor/Lock.h"

#include <new>
#include <windows.h>

namespace platform {

namespace {
CRITICAL_SECTION* Native(std::byte* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
} // namespace

Lock::Lock() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(m_native));
    static_assert(alignof(CRITICAL_SECTION) <= alignof(Lock));
    ::InitializeCriticalSection(new (m_native) CRITICAL_SECTION);
}

Lock::~Lock() {
    ::DeleteCriticalSection(Native(m_native));
}

void Lock::Enter() {
    ::EnterCriticalSection(Native(m_native));
}

void Lock::Leave() {
    ::LeaveCriticalSection(Native(m_native));
}

} // namespace platform
