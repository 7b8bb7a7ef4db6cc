#include "platform/ServiceControl.h"

#include "platform/ExecutablePath.h"
#include "platform/SystemError.h"
#include "platform/win32/RunningService.h"
#include "platform/win32/ServiceHandle.h"

#include <aclapi.h>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <shlobj.h>
#include <windows.h>

namespace platform {

namespace {

// The account a service that opens serial ports needs no more than: LocalService, which Windows
// has from XP on. Its password is empty.
constexpr const char* kLeastAccount = "NT AUTHORITY\\LocalService";
constexpr const char* kEventSources =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
// Restarts after a failure: a minute later, twice, then five minutes later; the count of
// failures starts again after a day without one.
constexpr DWORD kRestartDelaysMs[] = {60'000, 60'000, 300'000};
constexpr DWORD kFailureCountResetSeconds = 86'400;
constexpr DWORD kStopWaitMs = 30'000;
// What the service takes to leave a pending state, so that the manager waits as long and no
// longer: it reports running as soon as its body begins, before its first sequence; a stop is
// heard between two frames (200 ms apart), after a serial write that ends within 170 ms, and
// the last status is written (a reader holding the file may delay that by up to a second).
// A shutdown leaves a service about 2 s under Wine, and not much more on Windows.
constexpr DWORD kStartWaitHintMs = 2'000;
constexpr DWORD kStopWaitHintMs = 2'000;
// Windows Vista's early shutdown notice, which Windows XP neither has nor accepts.
#ifndef SERVICE_ACCEPT_PRESHUTDOWN
#define SERVICE_ACCEPT_PRESHUTDOWN 0x00000100
#endif
#ifndef SERVICE_CONTROL_PRESHUTDOWN
#define SERVICE_CONTROL_PRESHUTDOWN 0x0000000F
#endif

std::string Reason(DWORD error) {
    return SystemErrorLine(error);
}

ServiceResult FromError(DWORD error, const std::string& what) {
    const ServiceOutcome outcome =
        error == ERROR_ACCESS_DENIED ? ServiceOutcome::AccessDenied : ServiceOutcome::Failed;
    return {outcome, what + ": " + Reason(error)};
}

// One argument as the C run-time library splits a command line: quoted when it holds a blank
// or a quote, a quote escaped with a backslash, the backslashes before a quote doubled. A trail
// byte of a double-byte character is no backslash.
std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        const char c = argument[i];
        if (::IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < argument.size()) {
            quoted.append(backslashes, '\\');
            backslashes = 0;
            quoted += c;
            quoted += argument[++i];
        } else if (c == '\\') {
            ++backslashes;
        } else {
            quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            backslashes = 0;
            quoted += c;
        }
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

// Frees what the security functions allocate with LocalAlloc.
struct LocalMemory {
    void* memory = nullptr;
    ~LocalMemory() { ::LocalFree(memory); }
};

// Creates `folder` and those above it that are missing, and grants `account` the right to
// create, replace and delete the files in it (a rename over a file deletes the old one).
std::optional<std::string> MakeWritableFolder(const std::string& folder, PSID account) {
    for (std::size_t next = folder.find('\\');; next = folder.find('\\', next + 1)) {
        const std::string part = folder.substr(0, next);
        // "C:" and "\\server" are no folders to make.
        if (part.size() > 2 && part.back() != ':' && !::CreateDirectoryA(part.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return "cannot create the folder " + part + ": " + Reason(::GetLastError());
        }
        if (next == std::string::npos) {
            break;
        }
    }
    if (account == nullptr) {
        return std::nullopt; // LocalSystem may write anywhere
    }
    PACL current = nullptr;
    LocalMemory descriptor;
    DWORD error = ::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, &current, nullptr, &descriptor.memory);
    if (error != ERROR_SUCCESS) {
        return "cannot read who may write to " + folder + ": " + Reason(error);
    }
    EXPLICIT_ACCESS_A access{};
    access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<char*>(account);
    PACL granted = nullptr;
    error = ::SetEntriesInAclA(1, &access, current, &granted);
    const LocalMemory ownedGranted{granted};
    if (error == ERROR_SUCCESS) {
        error =
            ::SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, granted, nullptr);
    }
    if (error != ERROR_SUCCESS) {
        return "cannot let the service's account write to " + folder + ": " + Reason(error);
    }
    return std::nullopt;
}

// Registers the event source `name` with the executable as its message file.
std::optional<std::string> AddEventSource(const std::string& name, const std::string& exe) {
    const std::string key = kEventSources + name;
    HKEY source = nullptr;
    LONG error = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &source, nullptr);
    if (error == ERROR_SUCCESS) {
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        error = ::RegSetValueExA(source, "EventMessageFile", 0, REG_EXPAND_SZ,
                                 reinterpret_cast<const BYTE*>(exe.c_str()),
                                 static_cast<DWORD>(exe.size() + 1));
        if (error == ERROR_SUCCESS) {
            error = ::RegSetValueExA(source, "TypesSupported", 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&types), sizeof types);
        }
        ::RegCloseKey(source);
    }
    if (error != ERROR_SUCCESS) {
        return "cannot register the event source " + name + ": " +
               Reason(static_cast<DWORD>(error));
    }
    return std::nullopt;
}

// The description and the restarts after a failure, as Windows XP knows them.
std::optional<std::string> ConfigureService(SC_HANDLE service, const ServiceDefinition& d) {
    SERVICE_DESCRIPTIONA description{const_cast<char*>(d.description.c_str())};
    if (!::ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &description)) {
        return "cannot describe the service: " + Reason(::GetLastError());
    }
    SC_ACTION actions[std::size(kRestartDelaysMs)];
    for (std::size_t i = 0; i < std::size(kRestartDelaysMs); ++i) {
        actions[i] = {SC_ACTION_RESTART, kRestartDelaysMs[i]};
    }
    SERVICE_FAILURE_ACTIONSA failure{};
    failure.dwResetPeriod = kFailureCountResetSeconds;
    failure.cActions = static_cast<DWORD>(std::size(actions));
    failure.lpsaActions = actions;
    if (!::ChangeServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
        return "cannot ask for the service's restart after a failure: " + Reason(::GetLastError());
    }
    return std::nullopt;
}

// --- The running service. --------------------------------------------------------------------

// The manager calls ServiceMain and the control handler as plain callbacks that carry nothing of
// ours (ServiceMain gets only its arguments), so what they share lives here, process-wide; a
// process runs one service. Written by RunAsService and its ServiceMain before the body runs;
// read by the control handler (the manager's thread) and ServiceNotify (the body's thread); the
// status under its lock.
struct Running {
    std::string name;
    const ServiceBody* body = nullptr;
    ServiceRun run;
    std::mutex mutex;
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status{};
    bool preshutdownRefused = false; // the system has no early shutdown notice (before Vista)
};
Running g_running;

void Report(DWORD state, DWORD exitStatus = 0) {
    std::lock_guard lock(g_running.mutex);
    SERVICE_STATUS& status = g_running.status;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    // Stop and shutdown are taken once the body runs and can hear them (see Interruption).
    const DWORD accepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN |
                           (g_running.preshutdownRefused ? 0 : SERVICE_ACCEPT_PRESHUTDOWN);
    status.dwControlsAccepted = state == SERVICE_RUNNING ? accepted : 0;
    status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitStatus;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = state == SERVICE_START_PENDING ? kStartWaitHintMs
                        : pending                      ? kStopWaitHintMs
                                                       : 0;
    if (g_running.handle == nullptr) {
        return;
    }
    if (!::SetServiceStatus(g_running.handle, &status) &&
        (status.dwControlsAccepted & SERVICE_ACCEPT_PRESHUTDOWN) != 0) {
        // Windows XP refuses a status that accepts what it does not know.
        g_running.preshutdownRefused = true;
        status.dwControlsAccepted &= ~static_cast<DWORD>(SERVICE_ACCEPT_PRESHUTDOWN);
        ::SetServiceStatus(g_running.handle, &status);
    }
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    return TakeServiceControl(control);
}

// The program's events under its own source, whose messages the executable carries.
class EventSource final : public ServiceEventLog {
public:
    explicit EventSource(const std::string& name)
        : m_handle(::RegisterEventSourceA(nullptr, name.c_str())) {}
    ~EventSource() override {
        if (m_handle != nullptr) {
            ::DeregisterEventSource(m_handle);
        }
    }
    void Report(ServiceEventKind kind, unsigned eventId, const std::string& text) override {
        if (m_handle == nullptr) {
            return; // without an event log, the status file is the only record
        }
        const WORD type = kind == ServiceEventKind::Error     ? EVENTLOG_ERROR_TYPE
                          : kind == ServiceEventKind::Warning ? EVENTLOG_WARNING_TYPE
                                                              : EVENTLOG_INFORMATION_TYPE;
        const char* inserts[] = {text.c_str()};
        ::ReportEventA(m_handle, type, 0, eventId, nullptr, 1, 0, inserts, nullptr);
    }

private:
    HANDLE m_handle;
};

void WINAPI ServiceMain(DWORD, char**) {
    g_running.handle = ::RegisterServiceCtrlHandlerExA(g_running.name.c_str(), &OnControl, nullptr);
    if (g_running.handle == nullptr) {
        g_running.run.failure =
            "cannot take the service manager's requests: " + Reason(::GetLastError());
        return;
    }
    Report(SERVICE_START_PENDING);
    int exitStatus = 0;
    {
        EventSource events(g_running.name);
        exitStatus = (*g_running.body)(events);
    }
    g_running.run.ran = true;
    g_running.run.exitStatus = exitStatus;
    Report(SERVICE_STOPPED, static_cast<DWORD>(exitStatus));
}

} // namespace

DWORD TakeServiceControl(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Report(SERVICE_STOP_PENDING);
        RequestInterruption(StopCause::ServiceStop);
        return NO_ERROR;
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN:
        // A stop like any other, told as the shutdown it is; the second notice finds the stop
        // under way already.
        Report(SERVICE_STOP_PENDING);
        RequestInterruption(StopCause::SystemShutdown);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

SERVICE_STATUS LastReportedServiceStatus() {
    std::lock_guard lock(g_running.mutex);
    return g_running.status;
}

bool ServicesAvailable() {
    return true;
}

bool RunningAsService() {
    std::lock_guard lock(g_running.mutex);
    return g_running.handle != nullptr;
}

void ReportServiceState(DWORD state) {
    {
        std::lock_guard lock(g_running.mutex);
        // Running is told once, from the start; a stop may be pending already.
        if (state == SERVICE_RUNNING && g_running.status.dwCurrentState != SERVICE_START_PENDING) {
            return;
        }
    }
    Report(state);
}

ServiceResult InstallService(const ServiceDefinition& definition) {
    const std::string exe = ExecutablePath();
    if (exe.empty()) {
        return FromError(::GetLastError(), "cannot tell where this program lies");
    }
    const ServiceHandle manager{
        ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE)};
    if (manager.handle == nullptr) {
        return FromError(::GetLastError(), "cannot reach the service manager");
    }
    if (const ServiceHandle existing{
            ::OpenServiceA(manager.handle, definition.name.c_str(), SERVICE_QUERY_STATUS)};
        existing.handle != nullptr) {
        return {ServiceOutcome::AlreadyInstalled,
                "the service " + definition.name + " is installed already"};
    }

    std::string command = QuoteArgument(exe);
    for (const std::string& argument : definition.arguments) {
        command += " " + QuoteArgument(argument);
    }
    ServiceResult result;
    const char* account = kLeastAccount;
    SC_HANDLE created = ::CreateServiceA(
        manager.handle, definition.name.c_str(), definition.displayName.c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
        nullptr, nullptr, nullptr, account, "");
    if (created == nullptr && ::GetLastError() == ERROR_INVALID_SERVICE_ACCOUNT) {
        account = nullptr; // LocalSystem
        result.detail = "this Windows has no LocalService account: the service runs as "
                        "LocalSystem";
        created = ::CreateServiceA(
            manager.handle, definition.name.c_str(), definition.displayName.c_str(),
            SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
            command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    if (created == nullptr) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_EXISTS || error == ERROR_DUPLICATE_SERVICE_NAME) {
            return {ServiceOutcome::AlreadyInstalled, "a service named " + definition.name +
                                                          " or \"" + definition.displayName +
                                                          "\" is installed already"};
        }
        return FromError(error, "cannot install the service " + definition.name);
    }
    const ServiceHandle service{created};

    // LocalService as a SID, for the folders it is to write.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID localService = nullptr;
    if (account != nullptr &&
        !::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SERVICE_RID, 0, 0, 0, 0, 0, 0,
                                    0, &localService)) {
        ::DeleteService(service.handle);
        return FromError(::GetLastError(), "cannot name the LocalService account");
    }
    const std::unique_ptr<void, decltype(&::FreeSid)> ownedSid(localService, &::FreeSid);

    std::optional<std::string> failure = ConfigureService(service.handle, definition);
    for (const std::string& folder : definition.writableFolders) {
        if (!failure) {
            failure = MakeWritableFolder(folder, localService);
        }
    }
    if (!failure) {
        failure = AddEventSource(definition.name, exe);
    }
    if (failure) {
        // Half an installation is worse than none.
        ::DeleteService(service.handle);
        return {ServiceOutcome::Failed, *failure};
    }
    return result;
}

ServiceResult UninstallService(const std::string& name) {
    const ServiceHandle manager{::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)};
    if (manager.handle == nullptr) {
        return FromError(::GetLastError(), "cannot reach the service manager");
    }
    const ServiceHandle service{
        ::OpenServiceA(manager.handle, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)};
    if (service.handle == nullptr) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            return {ServiceOutcome::NotInstalled, "no service " + name + " is installed"};
        }
        return FromError(error, "cannot open the service " + name);
    }
    ServiceResult result;
    SERVICE_STATUS status{};
    if (::QueryServiceStatus(service.handle, &status) && status.dwCurrentState != SERVICE_STOPPED) {
        ::ControlService(service.handle, SERVICE_CONTROL_STOP, &status);
        const DWORD start = ::GetTickCount();
        while (status.dwCurrentState != SERVICE_STOPPED && ::GetTickCount() - start < kStopWaitMs &&
               ::QueryServiceStatus(service.handle, &status)) {
            ::Sleep(100);
        }
        if (status.dwCurrentState != SERVICE_STOPPED) {
            result.detail = "the service did not stop within 30 s; Windows removes it once it "
                            "has stopped";
        }
    }
    if (!::DeleteService(service.handle)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_MARKED_FOR_DELETE) {
            return {ServiceOutcome::NotInstalled, "the service " + name +
                                                      " is being removed "
                                                      "already"};
        }
        return FromError(error, "cannot remove the service " + name);
    }
    const LONG removed = ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kEventSources + name).c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
        result.detail = "the event source " + name +
                        " stays registered: " + Reason(static_cast<DWORD>(removed));
    }
    return result;
}

std::string SharedDataFolder() {
    char folder[MAX_PATH] = {};
    if (::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) !=
        S_OK) {
        return {};
    }
    return folder;
}

ServiceRun RunAsService(const std::string& name, const ServiceBody& body) {
    g_running.name = name;
    g_running.body = &body;
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(name.c_str()), &ServiceMain},
                                    {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherA(table)) {
        const DWORD error = ::GetLastError();
        g_running.run.failure = error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                                    ? "it was not started by the service manager"
                                    : "the service manager did not take it: " + Reason(error);
    }
    return g_running.run;
}

} // namespace platform
