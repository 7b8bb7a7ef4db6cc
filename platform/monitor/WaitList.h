#pragma once

#include "platform/CommPort.h"
#include "platform/Event.h"

namespace platform {

enum class WakeUp { Stop, PortEvent, Send, TimedOut, Failed };

// The three wake-ups of a port's monitor in the order of their priority: stop, the port event,
// send. When several are signalled together the first in this order wins.
class WaitList {
public:
    WaitList() = default;
    WaitList(Event& stop, IoRecord& port, Event& send)
        : m_stop(&stop), m_port(&port), m_send(&send) {}

    // Blocks without time limit until one of the three is signalled.
    WakeUp Wait() const;
    // Blocks up to timeoutMs on stop and send only, for a pause in which the port is not watched.
    WakeUp Pause(int timeoutMs) const;

private:
    Event* m_stop = nullptr;
    IoRecord* m_port = nullptr;
    Event* m_send = nullptr;
};

} // namespace platform
