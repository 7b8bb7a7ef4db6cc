#include "platform/TextEncoding.h"

namespace platform {

std::string SystemTextToUtf8(const std::string& text) {
    return text;
}

std::string Utf8ToSystemText(const std::string& text) {
    return text;
}

} // namespace platform
