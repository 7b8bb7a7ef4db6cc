#include "SerialLine.h"

#include "timeset/Protocol.h"

namespace kalvor_tools {

using platform::PortOperation;

std::optional<platform::PortError> OpenClockLine(platform::CommPort& line,
                                                 const platform::PortName& port,
                                                 const platform::CommTimeouts& timeouts) {
    const auto fail = [&](PortOperation operation) {
        platform::PortError error = platform::CapturePortError(operation, port);
        line.Close();
        return error;
    };
    if (!line.Open(port.device)) {
        return fail(PortOperation::Open);
    }
    if (!line.SetTimeouts(timeouts)) {
        return fail(PortOperation::SetTimeouts);
    }
    platform::LineSettings settings;
    if (!line.GetLineSettings(settings)) {
        return fail(PortOperation::GetLineSettings);
    }
    settings.EnableRts();
    if (!platform::BuildLineSettings(kTimeSetLine, settings)) {
        return fail(PortOperation::BuildLineSettings);
    }
    if (!line.SetLineSettings(settings)) {
        return fail(PortOperation::SetLineSettings);
    }
    line.Purge(platform::kPurgeAll);
    return std::nullopt;
}

} // namespace kalvor_tools
