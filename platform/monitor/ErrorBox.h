#pragma once

#include <string>

namespace platform {

// Shows an error to the user and returns once it has been acknowledged. Win32: a modal message
// box with no owner window, the error icon and an OK button, usable from any thread. POSIX: the
// caption and the text on standard error.
void ShowErrorBox(const std::string& text, const std::string& caption);

} // namespace platform
