#include "PortErrorWords.h"

#include "platform/SystemError.h"

namespace kalvor_tools {

using platform::PortOperation;

const char* OperationInWords(PortOperation operation) {
    return platform::WordsFor(operation).plain;
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
