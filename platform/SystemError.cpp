#include "platform/SystemError.h"

namespace platform {

std::string SystemErrorLine(unsigned code, const std::string& systemText) {
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

std::string SystemErrorLine(unsigned code) {
    return SystemErrorLine(code, SystemErrorText(code));
}

} // namespace platform
