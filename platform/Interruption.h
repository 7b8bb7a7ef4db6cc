#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// Who asked the program to stop, first.
enum class StopCause {
    None,
    User,           // Ctrl-C (SIGINT), Ctrl-Break, the console closed, or Request()
    Terminate,      // POSIX: SIGTERM, as a service manager stops a service
    ServiceStop,    // Win32: the Service Control Manager's stop
    SystemShutdown, // Win32: the system shuts down (its service manager's shutdown controls)
};

// The cause in words, as a program tells who stopped it ("stopped by ..."): "Ctrl-C",
// "the system's shutdown".
const char* StopCauseWords(StopCause cause);

// The user's request to stop (Ctrl-C): while an object of this class lives, SIGINT and SIGTERM
// (POSIX; a service manager stops a service with SIGTERM) or the console's Ctrl-C, Ctrl-Break
// and close events and the Service Control Manager's stop and shutdown (Win32) no longer end the
// process but set a flag that waits of this layer see at once. One object per process at a time.
class Interruption {
public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // True once the user asked to stop, for good.
    bool Requested() const;
    // Who asked first; None until somebody did.
    StopCause Cause() const;

    // Asks to stop as the user would; tests use it.
    void Request();

    // Blocks for up to `milliseconds` (of elapsed time, whatever the wall clock does) or until
    // the user asks to stop; true once asked.
    bool WaitFor(int milliseconds) const;

    // The event that is set with the request (Win32 handle, POSIX descriptor that turns readable).
    std::intptr_t Native() const;

private:
    // The backend's owner of that event, which the handler of the request reaches through a
    // copy of its value.
    struct Owned;
    std::unique_ptr<Owned> m_owned;
};

} // namespace platform
