#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace platform {

unsigned LastSystemError() {
    return static_cast<unsigned>(errno);
}

std::string SystemErrorText(unsigned code) {
    char buffer[256];
    // The GNU strerror_r returns the text, in the buffer or elsewhere.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (text == nullptr || *text == '\0') {
        return {};
    }
    return text;
}

} // namespace platform
