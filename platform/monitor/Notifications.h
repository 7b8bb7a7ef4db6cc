#pragma once

#include "platform/monitor/WindowHandle.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

// Posts a notification to a window without waiting for it to be handled, so the poster can never
// be held up by the window's thread. Dropped when the window no longer exists. False when the
// window exists but its queue would not take the notification (a queue holds at most 10,000 that
// nobody has taken yet).
bool PostNotification(WindowHandle owner, unsigned message, std::uintptr_t wordParam,
                      std::intptr_t longParam);

struct Notification {
    unsigned message = 0;
    std::uintptr_t wordParam = 0;
    std::intptr_t longParam = 0;
};

// A window that only collects the notifications posted to it, for tools and tests that own a
// port without a dialog. Win32: a message-only window of the constructing thread, which alone
// may call Take(). POSIX: a queue that is live, and so reachable by PostNotification, from its
// construction to its destruction.
class NotificationQueue {
public:
    NotificationQueue();
    ~NotificationQueue();
    NotificationQueue(const NotificationQueue&) = delete;
    NotificationQueue& operator=(const NotificationQueue&) = delete;

    WindowHandle Handle() const;

    // The oldest notification not yet taken, waiting up to timeoutMs for one to come.
    std::optional<Notification> Take(int timeoutMs);

    // The backend's own record of the queue, which PostNotification reaches too.
    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace platform
