#pragma once

#include <cstdint>

namespace platform {

// A manual-reset event: once set it stays signalled, for every waiter, until it is reset.
// Win32: an unnamed event object with default security; POSIX: an eventfd that poll() sees
// readable while it is set. Closed by its destructor.
class Event {
public:
    Event() = default;
    ~Event() { Close(); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Exists() const { return m_native != kNone; }
    // Creates the event non-signalled, or resets it when it exists already. False (with the
    // system's error) when it cannot be created.
    bool CreateOrReset();
    void Set();
    void Reset();
    void Close();

    // The event handle (Win32) or descriptor (POSIX), for the wait of this layer.
    std::intptr_t Native() const { return m_native; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t m_native = kNone;
};

} // namespace platform
