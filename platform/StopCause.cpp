#include "platform/Interruption.h"

namespace platform {

const char* StopCauseWords(StopCause cause) {
    switch (cause) {
    case StopCause::None:
        return "nobody";
    case StopCause::User:
        return "Ctrl-C";
    case StopCause::Terminate:
        return "SIGTERM";
    case StopCause::ServiceStop:
        return "the service manager";
    case StopCause::SystemShutdown:
        return "the system's shutdown";
    }
    return "nobody";
}

} // namespace platform
