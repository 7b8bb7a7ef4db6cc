#pragma once

#include "platform/PortError.h"

#include <string>

namespace kalvor_tools {

// A failed serial call as a command-line tool tells it, in plain words and naming the device:
// "/dev/null: cannot set the port's time-outs: Inappropriate ioctl for device".
std::string PortErrorInWords(const platform::PortError& error);

// What the port's failed call was, in plain words: "cannot set the port's time-outs".
const char* OperationInWords(platform::PortOperation operation);

// The system's text for an error code on one line (its line breaks become blanks), or
// "error <code>" when the system has none.
std::string SystemReason(unsigned code, const std::string& systemText);

// The same for the calling thread's last system error.
std::string LastSystemReason();

} // namespace kalvor_tools
