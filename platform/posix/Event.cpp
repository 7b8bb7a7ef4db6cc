#include "platform/Event.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

// The eventfd's counter is the state: non-zero (readable) while set, drained to zero by Reset.

bool Event::CreateOrReset() {
    if (Exists()) {
        Reset();
        return true;
    }
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    m_native = fd;
    return true;
}

void Event::Set() {
    if (Exists()) {
        const std::uint64_t one = 1;
        // A full counter (after 2^64 - 2 sets) is still set; nothing is lost by ignoring it.
        [[maybe_unused]] auto written = ::write(static_cast<int>(m_native), &one, sizeof one);
    }
}

void Event::Reset() {
    if (Exists()) {
        std::uint64_t count = 0;
        [[maybe_unused]] auto read = ::read(static_cast<int>(m_native), &count, sizeof count);
    }
}

void Event::Close() {
    if (Exists()) {
        ::close(static_cast<int>(m_native));
        m_native = kNone;
    }
}

} // namespace platform
