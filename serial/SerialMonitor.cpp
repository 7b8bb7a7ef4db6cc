#include "platform/SystemError.h"
#include "platform/monitor/Notifications.h"
#include "serial/PortNotifications.h"
#include "serial/SerialPort.h"

#include <cstring>

namespace {

// How many times in a row the system may refuse a new event wait as "one is under way" before
// the refusal is reported: a wait it reported late holds it for a moment only.
constexpr int kBusyRefusalsBeforeReport = 50;

constexpr platform::PortOperation kMonitorOperations[] = {
    platform::PortOperation::EventWait,       platform::PortOperation::Write,
    platform::PortOperation::WriteCompletion, platform::PortOperation::Read,
    platform::PortOperation::ReadCompletion,
};

// The notifications a port event gives, in the order they are posted.
constexpr struct {
    std::uint32_t event;
    unsigned message;
} kEventNotifications[] = {
    {platform::kEventCts, WM_PORT_CTS},     {platform::kEventRxFlag, WM_PORT_RXFLAG},
    {platform::kEventBreak, WM_PORT_BREAK}, {platform::kEventError, WM_PORT_ERROR},
    {platform::kEventRing, WM_PORT_RING},
};

} // namespace

bool CSerialPort::StartMonitor() {
    if (m_monitorRunning || !m_portHandle.IsOpen()) {
        return false;
    }
    // Set before the thread runs, so that an Open right after this always stops it.
    m_monitorRunning = true;
    if (!m_monitor.Start(&CSerialPort::MonitorThread, this)) {
        m_monitorRunning = false;
        return false;
    }
    return true;
}

bool CSerialPort::RequestSend(const std::uint8_t* bytes, std::uint32_t count) {
    platform::LockGuard guard(m_lock);
    if (!m_sendBuffer || bytes == nullptr || count > m_sendCapacity) {
        return false;
    }
    std::memcpy(m_sendBuffer.get(), bytes, count);
    m_sendLength = count;
    m_sendEvent.Set();
    return true;
}

unsigned CSerialPort::MonitorThread(void* argument) {
    auto& port = *static_cast<CSerialPort*>(argument);
    port.m_monitorRunning = true;
    if (port.m_portHandle.IsOpen()) {
        port.m_portHandle.Purge(platform::kPurgeAll);
    }
    port.RunMonitor();
    port.m_portHandle.CancelEventWait(port.m_ioRecord);
    // The last touch of the port object: from here on Open and the destructor may go on.
    port.m_monitorRunning = false;
    return kMonitorExitCode;
}

void CSerialPort::RunMonitor() {
    bool pauseFirst = false;
    for (;;) {
        if (pauseFirst) {
            pauseFirst = false;
            const platform::WakeUp woken = m_waitList.Pause(kQuietPortPauseMs);
            if (woken == platform::WakeUp::Stop) {
                return;
            }
            if (woken == platform::WakeUp::Send) {
                TransmitPending();
            }
        }
        if (!ArmPortEvent()) {
            pauseFirst = true;
            continue;
        }
        switch (m_waitList.Wait()) {
        case platform::WakeUp::Stop:
            return;
        case platform::WakeUp::PortEvent:
            // A wait that ended with no event, or a drain whose read failed, leaves nothing to
            // do but would end the same way again at once.
            pauseFirst = !m_portHandle.EventWaitSucceeded(m_ioRecord) || !HandlePortEvent();
            // A device that sends faster than the drain reads keeps the port event signalled,
            // and it stands before the send request: a request that came meanwhile is served
            // now, or what the user sends would wait for the device to fall silent. A stop that
            // came meanwhile still comes first.
            if (!pauseFirst) {
                switch (m_waitList.Pause(0)) {
                case platform::WakeUp::Stop:
                    return;
                case platform::WakeUp::Send:
                    TransmitPending();
                    break;
                default:
                    break;
                }
            }
            break;
        case platform::WakeUp::Send:
            TransmitPending();
            break;
        default:
            pauseFirst = true;
            break;
        }
    }
}

// Starts the wait for a port event. False when the port has just told of an event with nothing
// received, which is not worth waiting on again at once.
bool CSerialPort::ArmPortEvent() {
    switch (m_portHandle.StartEventWait(m_ioRecord)) {
    case platform::IoStart::Completed:
        ForgetMonitorFailures(kEventWait, kEventWait);
        m_busyRefusals = 0;
        if (ReadQueueStatus() == 0) {
            m_portHandle.CancelEventWait(m_ioRecord);
            return false;
        }
        return true;
    case platform::IoStart::Pending:
    case platform::IoStart::AlreadyPending:
        ForgetMonitorFailures(kEventWait, kEventWait);
        m_busyRefusals = 0;
        return true;
    case platform::IoStart::Busy:
        // Nothing is armed; tried again after the pause. A refusal that lasts is a failure.
        if (++m_busyRefusals >= kBusyRefusalsBeforeReport) {
            ReportMonitorFailure(kEventWait);
        }
        return false;
    case platform::IoStart::Failed:
        // Not armed, so the port event stays quiet and the wait below hears stop and send only.
        ReportMonitorFailure(kEventWait);
        return true;
    }
    return true;
}

// Every port event gives the notifications of the event mask set on the port (not of the events
// that occurred), then, for the byte-received event, draining. False when a read failed.
bool CSerialPort::HandlePortEvent() {
    std::uint32_t mask = 0;
    m_portHandle.GetEventMask(mask);
    for (const auto& [event, message] : kEventNotifications) {
        if ((mask & event) != 0) {
            Notify(message, 0);
        }
    }
    return (mask & platform::kEventRxChar) == 0 || DrainReceiveQueue();
}

void CSerialPort::TransmitPending() {
    platform::LockGuard guard(m_lock);
    // Taking the request and clearing it are one step with respect to RequestSend.
    m_sendEvent.Reset();
    // Whatever waits in either direction is discarded before every transmission.
    m_portHandle.Purge(platform::kPurgeAll);
    const platform::Transfer result = m_portHandle.Write(m_sendBuffer.get(), m_sendLength);
    guard.Leave();
    switch (result) {
    case platform::Transfer::Done:
        ForgetMonitorFailures(kWrite, kWriteCompletion);
        break;
    case platform::Transfer::StartFailed:
        ReportMonitorFailure(kWrite);
        break;
    case platform::Transfer::CompletionFailed:
        ReportMonitorFailure(kWriteCompletion);
        break;
    }
}

// Reads the waiting bytes one by one and offers each to the owner. False when a read failed;
// draining then stops, since the bytes it left would only fail again. At most the bytes waiting
// at its start are read: those that come meanwhile are a port event of their own, and a device
// that sends faster than one-byte reads can take must not keep the monitor here, deaf to stop.
// Between two bytes a stop ends the drain and a send request is served: one-byte reads are slow
// (under Wine on a loaded machine a hundred of them can take longer than the 200 ms between two
// frames), and a frame not yet begun when the next one is handed over would be lost.
bool CSerialPort::DrainReceiveQueue() {
    std::uint32_t budget = ReadQueueStatus();
    for (std::uint32_t waiting = budget; waiting > 0 && budget > 0;
         waiting = ReadQueueStatus(), --budget) {
        std::uint8_t byte = 0;
        bool received = false;
        platform::LockGuard guard(m_lock);
        const platform::Transfer result = m_portHandle.ReadByte(byte, received);
        guard.Leave();
        if (result == platform::Transfer::Done) {
            ForgetMonitorFailures(kRead, kReadCompletion);
        } else {
            ReportMonitorFailure(result == platform::Transfer::StartFailed ? kRead
                                                                           : kReadCompletion);
            return false;
        }
        if (received) {
            Notify(WM_PORT_RXCHAR, byte);
        }
        switch (m_waitList.Pause(0)) {
        case platform::WakeUp::Stop:
            return true;
        case platform::WakeUp::Send:
            // It empties the input queue too, which ends the drain.
            TransmitPending();
            break;
        default:
            break;
        }
    }
    return true;
}

// The bytes waiting in the input queue; a status read that fails counts as an empty queue.
std::uint32_t CSerialPort::ReadQueueStatus() {
    platform::LockGuard guard(m_lock);
    std::uint32_t waiting = 0;
    return m_portHandle.QueueStatus(waiting) ? waiting : 0;
}

void CSerialPort::Notify(unsigned message, std::uintptr_t wordParam) {
    if (!platform::PostNotification(m_owner, message, wordParam, m_portNumber)) {
        m_lostNotifications.fetch_add(1, std::memory_order_relaxed);
    }
}

// A failing line fails the same way on every pass of the monitor. Each operation shows each
// distinct error once, until that operation succeeds again: every new failure is seen, and an
// unplugged device does not bury the user in identical reports.
void CSerialPort::ReportMonitorFailure(MonitorOperation operation) {
    const unsigned error = platform::LastSystemError();
    if (m_shownFailures[operation] == error) {
        return;
    }
    m_shownFailures[operation] = error;
    ReportPortError(kMonitorOperations[operation]);
}

void CSerialPort::ForgetMonitorFailures(MonitorOperation first, MonitorOperation last) {
    for (int operation = first; operation <= last; ++operation) {
        m_shownFailures[operation].reset();
    }
}
