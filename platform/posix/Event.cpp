#include "platform/Event.h"

#include "platform/posix/UniqueFd.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

// The eventfd's counter is the state: non-zero (readable) while set, drained to zero by Reset.
struct Event::Owned {
    UniqueFd event;
};

Event::Event() = default;
Event::~Event() = default;

bool Event::CreateOrReset() {
    if (Exists()) {
        Reset();
        return true;
    }
    UniqueFd event(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!event.Valid()) {
        return false;
    }
    m_owned = std::make_unique<Owned>(Owned{std::move(event)});
    return true;
}

void Event::Set() {
    if (Exists()) {
        const std::uint64_t one = 1;
        // A full counter (after 2^64 - 2 sets) is still set; nothing is lost by ignoring it.
        [[maybe_unused]] auto written = ::write(m_owned->event.Get(), &one, sizeof one);
    }
}

void Event::Reset() {
    if (Exists()) {
        std::uint64_t count = 0;
        [[maybe_unused]] auto read = ::read(m_owned->event.Get(), &count, sizeof count);
    }
}

void Event::Close() {
    m_owned.reset();
}

std::intptr_t Event::Native() const {
    return Exists() ? m_owned->event.Get() : -1;
}

} // namespace platform
