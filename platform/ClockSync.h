#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class ClockSyncStatus {
    Synchronised,    // the system says its clock follows a time source
    NotSynchronised, // the system says it does not, or nothing is there to make it
    Unknown,         // the system could not be asked, or its answer does not tell
};

// Whether the computer's clock is kept to a time source, as the system tells it. POSIX (Linux):
// the kernel's clock discipline (adjtimex). Win32: the Windows Time service, through the service
// manager, its configuration in the registry and whether the clock is being steered now.
struct ClockSyncState {
    ClockSyncStatus status = ClockSyncStatus::Unknown;
    // Why the status is what it is, in a few words that do not repeat it: "the kernel's clock
    // discipline has no time source".
    std::string reason;
    // The system's own estimate of the clock's error and its bound, where it keeps them.
    std::optional<std::int64_t> estimatedErrorMicroseconds;
    std::optional<std::int64_t> maximumErrorMicroseconds;
};

ClockSyncState ReadClockSyncState();

} // namespace platform
