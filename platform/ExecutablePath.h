#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The full path of the running executable in the ANSI code page, however long it is; empty if
// the platform cannot tell.
std::string ExecutablePath();

// The position of the last backslash of a narrow path in the ANSI code page, or npos. The
// second byte of a double-byte character is never taken for a backslash.
std::size_t FindLastBackslash(std::string_view path);

} // namespace platform
