#include "RunReason.h"

namespace kalvor_sync {

const char* ReasonName(RunReason::Kind kind) {
    switch (kind) {
    case RunReason::Kind::Start:
        return "start";
    case RunReason::Kind::Period:
        return "period";
    case RunReason::Kind::ClockStep:
        return "clock step";
    case RunReason::Kind::OffsetChange:
        return "offset change";
    case RunReason::Kind::PortBack:
        return "port back";
    case RunReason::Kind::Reference:
        return "reference";
    }
    return "start";
}

std::optional<RunReason::Kind> ReasonNamed(const std::string& name) {
    for (const RunReason::Kind kind :
         {RunReason::Kind::Start, RunReason::Kind::Period, RunReason::Kind::ClockStep,
          RunReason::Kind::OffsetChange, RunReason::Kind::PortBack, RunReason::Kind::Reference}) {
        if (name == ReasonName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

} // namespace kalvor_sync
