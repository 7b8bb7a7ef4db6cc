#include "platform/LineSetUp.h"

namespace platform {

std::optional<PortOperation> SetUpClockLine(CommPort& port, const LineSetUp& setUp,
                                            LineSettings& settings) {
    if (!port.SetTimeouts(setUp.timeouts)) {
        return PortOperation::SetTimeouts;
    }
    if (setUp.eventMask != 0 && !port.SetEventMask(setUp.eventMask)) {
        return PortOperation::SetEventMask;
    }
    if (!port.GetLineSettings(settings)) {
        return PortOperation::GetLineSettings;
    }
    settings.EnableRts();
    if (!BuildLineSettings(setUp.format, settings)) {
        return PortOperation::BuildLineSettings;
    }
    if (!port.SetLineSettings(settings)) {
        return PortOperation::SetLineSettings;
    }
    return std::nullopt;
}

} // namespace platform
