#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// A manual-reset event: once set it stays signalled, for every waiter, until it is reset.
// Win32: an unnamed event object with default security; POSIX: an eventfd that poll() sees
// readable while it is set. Closed by its destructor.
class Event {
public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Exists() const { return m_owned != nullptr; }
    // Creates the event non-signalled, or resets it when it exists already. False (with the
    // system's error) when it cannot be created.
    bool CreateOrReset();
    void Set();
    void Reset();
    void Close();

    // The event handle (Win32) or descriptor (POSIX), for the waits of this layer; -1 while no
    // event exists.
    std::intptr_t Native() const;

private:
    // The backend's owner of the handle or descriptor; null while no event exists.
    struct Owned;
    std::unique_ptr<Owned> m_owned;
};

} // namespace platform
