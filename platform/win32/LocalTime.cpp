#include "platform/LocalTime.h"

#include "platform/win32/WindowsTime.h"

#include <windows.h>

namespace platform {

LocalInstant ReadLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return ReadingOf(now);
}

} // namespace platform
