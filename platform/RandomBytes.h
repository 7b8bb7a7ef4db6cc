#pragma once

#include <cstddef>

namespace platform {

// Fills `buffer` with bytes from the system's random source, fit for values an attacker must not
// guess (POSIX: getrandom; Win32: RtlGenRandom, which Windows XP has). False when the source
// failed, leaving the buffer unknown.
bool FillRandom(void* buffer, std::size_t size);

} // namespace platform
