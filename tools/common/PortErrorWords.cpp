#include "PortErrorWords.h"

#include "platform/SystemError.h"

namespace kalvor_tools {

using platform::PortOperation;

const char* OperationInWords(PortOperation operation) {
    return platform::WordsFor(operation).plain;
}

std::string SystemReason(unsigned code, const std::string& systemText) {
    std::string line;
    for (const char c : systemText) {
        const bool blank = c == '\n' || c == '\r' || c == ' ' || c == '\t';
        if (!blank) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line.empty() ? "error " + std::to_string(code) : line;
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
