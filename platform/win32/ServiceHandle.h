#pragma once

#include <windows.h>

namespace platform {

// Owns one handle of the Service Control Manager (to itself or to a service) and closes it.
struct ServiceHandle {
    SC_HANDLE handle;
    explicit ServiceHandle(SC_HANDLE owned) : handle(owned) {}
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() {
        if (handle != nullptr) {
            ::CloseServiceHandle(handle);
        }
    }
};

} // namespace platform
