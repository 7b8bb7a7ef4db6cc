#include "platform/PortError.h"

#include "platform/SystemError.h"

namespace platform {

PortError CapturePortError(PortOperation operation, const PortName& port) {
    const unsigned code = LastSystemError();
    return {operation, code, SystemErrorText(code), port};
}

} // namespace platform
