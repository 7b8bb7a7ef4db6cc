#pragma once

#include <string>

namespace platform {

// The calling thread's last system error code (GetLastError on Win32, errno on POSIX).
unsigned LastSystemError();

// The system's own text for an error code, in the user's default language, as the system words
// it: with its closing line break on Win32, strerror's text on POSIX. Insert markers are left as
// they stand. Empty when the system has no text for the code.
std::string SystemErrorText(unsigned code);

// A system's error text on one line: its line breaks and runs of blanks become one blank, and
// without any text, "error <code>".
std::string SystemErrorLine(unsigned code, const std::string& systemText);

// The same for a code, with the system's own text for it.
std::string SystemErrorLine(unsigned code);

} // namespace platform
