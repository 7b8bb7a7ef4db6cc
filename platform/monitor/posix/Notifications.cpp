#include "platform/monitor/Notifications.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

namespace platform {

struct NotificationQueue::State {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Notification> waiting; // written by posting threads and the owner, under mutex
};

namespace {

constexpr std::size_t kQueueCapacity = 10000;

// The queues that exist: a notification for any other handle is dropped, as a message for a
// destroyed window is on Windows.
struct LiveQueues {
    std::mutex mutex;
    std::set<void*> queues; // written by the threads that make and destroy queues, under mutex
};

LiveQueues& Live() {
    static LiveQueues live;
    return live;
}

} // namespace

bool PostNotification(WindowHandle owner, unsigned message, std::uintptr_t wordParam,
                      std::intptr_t longParam) {
    auto& live = Live();
    // The registry stays locked while the queue is reached, so it cannot be destroyed meanwhile.
    std::lock_guard registry(live.mutex);
    if (live.queues.count(owner) == 0) {
        return true;
    }
    auto* state = static_cast<NotificationQueue::State*>(owner);
    {
        std::lock_guard lock(state->mutex);
        // As full as a window's queue on Windows, so that a queue nobody empties shows here too.
        if (state->waiting.size() >= kQueueCapacity) {
            return false;
        }
        state->waiting.push_back({message, wordParam, longParam});
    }
    state->arrived.notify_one();
    return true;
}

NotificationQueue::NotificationQueue() : m_state(std::make_unique<State>()) {
    auto& live = Live();
    std::lock_guard registry(live.mutex);
    live.queues.insert(m_state.get());
}

NotificationQueue::~NotificationQueue() {
    auto& live = Live();
    std::lock_guard registry(live.mutex);
    live.queues.erase(m_state.get());
}

WindowHandle NotificationQueue::Handle() const {
    return m_state.get();
}

std::optional<Notification> NotificationQueue::Take(int timeoutMs) {
    std::unique_lock lock(m_state->mutex);
    if (!m_state->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return !m_state->waiting.empty(); })) {
        return std::nullopt;
    }
    Notification first = m_state->waiting.front();
    m_state->waiting.pop_front();
    return first;
}

} // namespace platform
