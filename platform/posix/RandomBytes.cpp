#include "platform/RandomBytes.h"

#include <cerrno>
#include <sys/random.h>

namespace platform {

bool FillRandom(void* buffer, std::size_t size) {
    auto* at = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::getrandom(at, size, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace platform
