#include "platform/Event.h"

#include "platform/win32/UniqueHandle.h"

namespace platform {

struct Event::Owned {
    UniqueHandle event;
};

Event::Event() = default;
Event::~Event() = default;

bool Event::CreateOrReset() {
    if (Exists()) {
        Reset();
        return true;
    }
    UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event.Valid()) {
        return false;
    }
    m_owned = std::make_unique<Owned>(Owned{std::move(event)});
    return true;
}

void Event::Set() {
    if (Exists()) {
        ::SetEvent(m_owned->event.Get());
    }
}

void Event::Reset() {
    if (Exists()) {
        ::ResetEvent(m_owned->event.Get());
    }
}

void Event::Close() {
    m_owned.reset();
}

std::intptr_t Event::Native() const {
    return Exists() ? reinterpret_cast<std::intptr_t>(m_owned->event.Get()) : -1;
}

} // namespace platform
