#include "platform/monitor/Notifications.h"

#include <windows.h>

namespace platform {

bool PostNotification(WindowHandle owner, unsigned message, std::uintptr_t wordParam,
                      std::intptr_t longParam) {
    HWND window = static_cast<HWND>(owner);
    // Posted, never sent: the poster cannot be held up by the window's thread, even while that
    // thread waits for the poster. A window that is gone gets nothing.
    if (window == nullptr || !::IsWindow(window)) {
        return true;
    }
    // Windows refuses a post to a queue that holds 10,000 messages already; a window that went
    // between the two calls refuses it too, and that is no failure.
    return ::PostMessageA(window, message, static_cast<WPARAM>(wordParam),
                          static_cast<LPARAM>(longParam)) != FALSE ||
           !::IsWindow(window);
}

struct NotificationQueue::State {
    HWND window = nullptr; // a message-only window of the constructing thread
};

namespace {

constexpr const char* kWindowClass = "KalvorNotificationQueue";

void RegisterWindowClassOnce() {
    static const ATOM registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return ::RegisterClassA(&windowClass);
    }();
    (void)registered;
}

} // namespace

NotificationQueue::NotificationQueue() : m_state(std::make_unique<State>()) {
    RegisterWindowClassOnce();
    m_state->window = ::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ::GetModuleHandleA(nullptr), nullptr);
}

NotificationQueue::~NotificationQueue() {
    if (m_state->window != nullptr) {
        ::DestroyWindow(m_state->window);
    }
}

WindowHandle NotificationQueue::Handle() const {
    return m_state->window;
}

std::optional<Notification> NotificationQueue::Take(int timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        if (::PeekMessageA(&message, m_state->window, 0, 0, PM_REMOVE)) {
            if (message.message >= WM_USER) {
                return Notification{message.message, static_cast<std::uintptr_t>(message.wParam),
                                    static_cast<std::intptr_t>(message.lParam)};
            }
            ::DispatchMessageA(&message);
            continue;
        }
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= static_cast<DWORD>(timeoutMs)) {
            return std::nullopt;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeoutMs) - spent,
                                    QS_ALLINPUT);
    }
}

} // namespace platform
