#include "platform/monitor/ErrorBox.h"

#include <cstdio>

namespace platform {

void ShowErrorBox(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

} // namespace platform
