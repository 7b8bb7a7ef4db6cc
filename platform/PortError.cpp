#include "platform/PortError.h"

#include "platform/SystemError.h"

#include <array>

namespace platform {

namespace {

// In the order of PortOperation.
constexpr std::array<PortOperationWords, 12> kWords = {{
    {"CreateEvent()", "cannot create the port's events"},
    {"CreateFile()", "cannot open the port"},
    {"SetCommTimeouts()", "cannot set the port's time-outs"},
    {"SetCommMask()", "cannot choose the events the port reports"},
    {"GetCommState()", "cannot read the line's settings"},
    {"BuildCommDCB()", "cannot make the line's settings 9600 8N1"},
    {"SetCommState()", "cannot set the line to 9600 8N1"},
    {"WaitCommEvent()", "cannot wait for what the device sends"},
    {"WriteFile()", "cannot write to the port"},
    {"GetOverlappedResults() in WriteFile()", "writing to the port failed"},
    {"ReadFile()", "cannot read from the port"},
    {"GetOverlappedResults() in ReadFile()", "reading from the port failed"},
}};
static_assert(static_cast<std::size_t>(PortOperation::ReadCompletion) + 1 == kWords.size(),
              "one row for each operation");

} // namespace

const PortOperationWords& WordsFor(PortOperation operation) {
    static constexpr PortOperationWords kUnknown{"?", "the port failed"};
    const auto row = static_cast<std::size_t>(operation);
    return row < kWords.size() ? kWords[row] : kUnknown;
}

PortError CapturePortError(PortOperation operation, const PortName& port) {
    const unsigned code = LastSystemError();
    return {operation, code, SystemErrorText(code), port};
}

} // namespace platform
