#pragma once

#include <optional>
#include <string>

namespace kalvor_sync {

// Why a sequence runs: its kind, as the status file and the metrics name it, and the words the
// log tells it with.
struct RunReason {
    enum class Kind {
        Start,        // the first sequence of a run
        Period,       // --every's period has passed
        ClockStep,    // the computer's clock stepped, or the computer stood still
        OffsetChange, // the local time's offset from UTC changed
        PortBack,     // a device that failed answers again
        Reference,    // the time reference tells the time, or its time moved
    };
    Kind kind = Kind::Start;
    // "clock stepped +3.2 s", "port back"; empty for Start and Period, which the log leaves
    // untold.
    std::string words;
    friend bool operator==(const RunReason&, const RunReason&) = default;
};

// "start", "period", "clock step", "offset change", "port back", "reference".
const char* ReasonName(RunReason::Kind kind);
std::optional<RunReason::Kind> ReasonNamed(const std::string& name);

} // namespace kalvor_sync
