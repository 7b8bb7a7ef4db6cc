#include "LineSwitch.h"

#include <string>
#include <windows.h>

namespace {

constexpr DWORD kSwitchTimeoutMs = 10000;

// The runner's folder for requests, a Unix path, as Wine names it (drive Z: is the root).
std::string SwitchFolder() {
    char folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("KALVOR_LINE_SWITCH", folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) {
        return {};
    }
    std::string path = std::string("Z:") + folder;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// Leaves the request and waits for the runner to take it away, which it does once it is done.
bool Request(int portNumber, const char* what) {
    const std::string folder = SwitchFolder();
    if (folder.empty()) {
        return false;
    }
    // "COM1.unplug" would name the port itself.
    const std::string request = folder + "\\" + what + "-COM" + std::to_string(portNumber);
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
    return Request(portNumber, "unplug");
}

bool PlugLine(int portNumber) {
    return Request(portNumber, "plug");
}
