#pragma once

#include <string>

namespace platform {

// The system's narrow texts (its error texts, device names, the program's own words) in UTF-8,
// as JSON documents and the metrics' text format want them, and back. Win32: the narrow text is
// in the ANSI code page (936 for a Chinese Windows). POSIX: it is taken as UTF-8 already, both
// ways; bytes that are no UTF-8 stay as they are, for the writer to mend.
std::string SystemTextToUtf8(const std::string& text);
std::string Utf8ToSystemText(const std::string& text);

} // namespace platform
