#include "tests/window/driver/Process.h"

namespace driver {

namespace {

std::wstring Wide(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return wide;
}

} // namespace

Program::Program(const std::string& executable, const std::string& directory,
                 const std::string& arguments) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const std::wstring application = Wide(executable);
    std::wstring commandLine = L"\"" + Wide(executable) + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + Wide(arguments);
    }
    const std::wstring folder = Wide(directory);
    if (::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, folder.c_str(), &startup, &started)) {
        m_process = platform::UniqueHandle(started.hProcess);
        m_thread = platform::UniqueHandle(started.hThread);
        m_processId = started.dwProcessId;
    }
}

Program::~Program() {
    if (Started() && !WaitForExit(0)) {
        Kill();
    }
}

bool Program::WaitForExit(DWORD milliseconds) const {
    return ::WaitForSingleObject(m_process.Get(), milliseconds) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

void Program::Kill() const {
    ::TerminateProcess(m_process.Get(), 1);
    WaitForExit(5000);
}

} // namespace driver
