#include "platform/SystemError.h"

#include <memory>
#include <windows.h>

namespace platform {

unsigned LastSystemError() {
    return ::GetLastError();
}

std::string SystemErrorText(unsigned code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
        nullptr);
    const std::unique_ptr<char, decltype(&::LocalFree)> owned(text, &::LocalFree);
    return length == 0 || text == nullptr ? std::string() : std::string(text, length);
}

} // namespace platform
