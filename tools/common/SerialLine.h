#pragma once

#include "platform/CommPort.h"
#include "platform/PortError.h"
#include "platform/PortName.h"

#include <optional>

namespace kalvor_tools {

// Opens a serial port as a clock device's line, without a monitor thread: the time-outs given,
// 9600 baud, 8 data bits, no parity, 1 stop bit with RTS held on, and both queues emptied. The
// call that failed, if one did; the port is closed again then.
std::optional<platform::PortError> OpenClockLine(platform::CommPort& line,
                                                 const platform::PortName& port,
                                                 const platform::CommTimeouts& timeouts);

} // namespace kalvor_tools
