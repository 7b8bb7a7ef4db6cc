#include "platform/LocalTime.h"

#include "platform/win32/SystemTimeReading.h"

#include <windows.h>

namespace platform {

LocalTime ReadLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return ReadingOf(now);
}

} // namespace platform
