#include "platform/ExecutablePath.h"

#include <windows.h>

namespace platform {

std::string ExecutablePath() {
    // The longest path the system knows is 32767 characters, two bytes each at most here.
    constexpr std::size_t kLongestPath = 2 * 32768;
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        // A path that fills the buffer may be cut (Windows XP does not even end it with a zero):
        // ask again with room to spare.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= kLongestPath) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

std::size_t FindLastBackslash(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i; // the trail byte may be 0x5C and still be no backslash
        } else if (path[i] == '\\') {
            last = i;
        }
    }
    return last;
}

} // namespace platform
