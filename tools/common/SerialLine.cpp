#include "SerialLine.h"

#include "platform/LineSetUp.h"
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
    platform::LineSettings settings;
    if (const auto failed = platform::SetUpClockLine(line, {timeouts, 0, kTimeSetLine}, settings)) {
        return fail(*failed);
    }
    line.Purge(platform::kPurgeAll);
    return std::nullopt;
}

} // namespace kalvor_tools
