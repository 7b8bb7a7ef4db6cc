#include "tests/window/driver/Windows.h"

namespace driver {
namespace {

constexpr UINT kAnswerTimeoutMs = 5000;
constexpr DWORD kPollMs = 50;

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    if ((search.processId == 0 || owner == search.processId) &&
        std::string(className) == "#32770") {
        search.found.push_back(window);
    }
    return TRUE;
}

} // namespace

std::vector<HWND> FindDialogs(DWORD processId) {
    Search search{processId, {}};
    ::EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        for (HWND dialog : FindDialogs(processId)) {
            if (::IsWindowVisible(dialog) && WindowText(dialog) == caption) {
                return dialog;
            }
        }
        if (::GetTickCount() - start >= milliseconds) {
            return nullptr;
        }
        ::Sleep(kPollMs);
    }
}

HWND WaitForMainWindow(DWORD processId, DWORD milliseconds) {
    return WaitForDialog(processId, "Kalvor", milliseconds);
}

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                               &length)) {
        return {};
    }
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXT, text.size(),
                               reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                               kAnswerTimeoutMs, &copied)) {
        return {};
    }
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

std::string ControlText(HWND dialog, int controlId) {
    return WindowText(::GetDlgItem(dialog, controlId));
}

bool WaitForWindowGone(HWND window, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window)) {
        if (::GetTickCount() - start >= milliseconds) {
            return false;
        }
        ::Sleep(kPollMs);
    }
    return true;
}

} // namespace driver
