#pragma once

#include "platform/PortError.h"

#include <string>

// A failed serial call as the window reports it: a message box with no owner, this caption and
// the error icon, naming the call as the system's programmers know it.
inline constexpr const char* kPortReportCaption = "Application Error";

// "SetCommTimeouts()", "GetOverlappedResults() in WriteFile()", ...
const char* ReportedOperationName(platform::PortOperation operation);

// "WARNING:  SetCommTimeouts() Failed with the following error: \n<system text>\nPort: 5\n". The
// system's text keeps its closing line break, so an empty line stands before "Port:"; a text
// without one (POSIX) gets one, so the report reads the same everywhere.
std::string PortReportText(const platform::PortError& error);
