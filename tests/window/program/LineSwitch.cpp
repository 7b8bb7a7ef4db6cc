#include "LineSwitch.h"

#include <string>
#include <windows.h>

namespace {

constexpr DWORD kSwitchTimeoutMs = 10000;

// The runner's switch names its requests (scripts/lib/wine-env, kalvor_start_line_switch): a file
// whose name is the variable's value followed by the port's number, taken away once done.
bool Request(const char* variable, int portNumber) {
    char prefix[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(variable, prefix, sizeof prefix);
    if (length == 0 || length >= sizeof prefix) {
        return false;
    }
    const std::string request = prefix + std::to_string(portNumber);
    const HANDLE file = ::CreateFileA(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    const DWORD start = ::GetTickCount();
    while (::GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount() - start > kSwitchTimeoutMs) {
            return false;
        }
        ::Sleep(20);
    }
    return true;
}

} // namespace

bool UnplugLine(int portNumber) {
    return Request("KALVOR_UNPLUG_REQUEST", portNumber);
}

bool PlugLine(int portNumber) {
    return Request("KALVOR_PLUG_REQUEST", portNumber);
}
