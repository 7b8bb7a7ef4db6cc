#include "platform/LocalTime.h"

#include "platform/SystemClock.h"

namespace platform {

// The local clock is the system clock read in the local time zone.
LocalInstant ReadLocalTime() {
    return LocalTimeAt(SystemClockMicroseconds());
}

} // namespace platform
