#include "PortErrorWords.h"

#include "platform/SystemError.h"

namespace kalvor_tools {

using platform::PortOperation;

const char* OperationInWords(PortOperation operation) {
    switch (operation) {
    case PortOperation::CreateEvents:
        return "cannot create the port's events";
    case PortOperation::Open:
        return "cannot open the port";
    case PortOperation::SetTimeouts:
        return "cannot set the port's time-outs";
    case PortOperation::SetEventMask:
        return "cannot choose the events the port reports";
    case PortOperation::GetLineSettings:
        return "cannot read the line's settings";
    case PortOperation::BuildLineSettings:
        return "cannot make the line's settings 9600 8N1";
    case PortOperation::SetLineSettings:
        return "cannot set the line to 9600 8N1";
    case PortOperation::EventWait:
        return "cannot wait for what the device sends";
    case PortOperation::Write:
        return "cannot write to the port";
    case PortOperation::WriteCompletion:
        return "writing to the port failed";
    case PortOperation::Read:
        return "cannot read from the port";
    case PortOperation::ReadCompletion:
        return "reading from the port failed";
    }
    return "the port failed";
}

std::string SystemReason(unsigned code, const std::string& systemText) {
    return platform::SystemErrorLine(code, systemText);
}

std::string LastSystemReason() {
    const unsigned code = platform::LastSystemError();
    return SystemReason(code, platform::SystemErrorText(code));
}

std::string PortErrorInWords(const platform::PortError& error) {
    return error.port.label + ": " + OperationInWords(error.operation) + ": " +
           SystemReason(error.systemCode, error.systemText);
}

} // namespace kalvor_tools
