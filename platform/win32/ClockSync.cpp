#include "platform/ClockSync.h"

#include "platform/SystemError.h"
#include "platform/win32/ServiceHandle.h"

#include <windows.h>

namespace platform {

// Windows XP has no documented way to ask the time service how far off the clock is, or when it
// last reached its time source: what can be told is whether the service runs, whether it is set
// to synchronise at all, and whether it is steering the clock now (GetSystemTimeAdjustment).

namespace {

constexpr const char* kServiceName = "W32Time";
constexpr const char* kParameters = "SYSTEM\\CurrentControlSet\\Services\\W32Time\\Parameters";

// The service's synchronisation type ("NTP", "NT5DS", "AllSync", "NoSync"); empty if unset.
std::string SyncType() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParameters, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return {};
    }
    char value[64] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    const LONG read =
        ::RegQueryValueExA(key, "Type", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : std::string();
}

} // namespace

ClockSyncState ReadClockSyncState() {
    ClockSyncState state;
    const ServiceHandle manager{::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)};
    if (manager.handle == nullptr) {
        state.reason = "the service manager cannot be asked: " + SystemErrorLine(::GetLastError());
        return state;
    }
    const ServiceHandle service{::OpenServiceA(manager.handle, kServiceName, SERVICE_QUERY_STATUS)};
    if (service.handle == nullptr) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            state.status = ClockSyncStatus::NotSynchronised;
            state.reason = "the Windows Time service is not installed";
        } else {
            state.reason = "the Windows Time service cannot be asked: " + SystemErrorLine(error);
        }
        return state;
    }
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service.handle, &status)) {
        state.reason =
            "the Windows Time service cannot be asked: " + SystemErrorLine(::GetLastError());
        return state;
    }
    if (status.dwCurrentState != SERVICE_RUNNING) {
        state.status = ClockSyncStatus::NotSynchronised;
        state.reason = "the Windows Time service is not running";
        return state;
    }
    if (::lstrcmpiA(SyncType().c_str(), "NoSync") == 0) {
        state.status = ClockSyncStatus::NotSynchronised;
        state.reason = "the Windows Time service is set not to synchronise (Type NoSync)";
        return state;
    }
    DWORD adjustment = 0;
    DWORD increment = 0;
    BOOL adjustmentDisabled = TRUE;
    if (::GetSystemTimeAdjustment(&adjustment, &increment, &adjustmentDisabled) &&
        !adjustmentDisabled) {
        state.status = ClockSyncStatus::Synchronised;
        state.reason = "the Windows Time service is steering the clock";
        return state;
    }
    state.reason = "the Windows Time service runs but is not steering the clock now, perhaps "
                   "before it has reached its time source";
    return state;
}

} // namespace platform
