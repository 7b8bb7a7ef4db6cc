#pragma once

#include <string>

namespace platform {

// The folder of compiled zone files the programs read: $TZDIR when it is set and not empty,
// else /usr/share/zoneinfo (POSIX); the folder zoneinfo beside the running executable, in the
// ANSI code page (Win32). Empty when it cannot be told.
std::string SystemZoneFolder();

} // namespace platform
