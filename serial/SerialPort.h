#pragma once

#include "platform/CommPort.h"
#include "platform/Event.h"
#include "platform/PortError.h"
#include "platform/PortName.h"
#include "platform/monitor/Lock.h"
#include "platform/monitor/WaitList.h"
#include "platform/monitor/WindowHandle.h"
#include "platform/monitor/WorkerThread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// One serial port at 9600 baud, 8 data bits, no parity, 1 stop bit, and the monitor thread that
// does all its transfers: it writes the bytes handed to RequestSend, drains what the device
// sends and offers each byte to the owner window (serial/PortNotifications.h).
//
// Open, StartMonitor, RequestSend and the destructor belong to one thread, the owner's; the
// monitor thread runs everything else. Failures of serial calls are shown to the user through
// the report sink, on the thread that met them.
class CSerialPort {
public:
    // Shows one port error; called on the thread that met the failure. The default shows the
    // window's report (serial/PortReport.h) in the platform's error box.
    using ReportSink = std::function<void(const platform::PortError& error)>;

    static constexpr std::uint32_t kSendBufferSize = 512;
    // The line every port is opened with: 9600 baud, 8 data bits, no parity, 1 stop bit.
    static constexpr platform::LineFormat kLineFormat{9600, 8, platform::Parity::None, 1};
    static constexpr unsigned kMonitorExitCode = 100;
    // How long the monitor leaves the port unwatched after a wake-up from it that held no event
    // (a cancelled or failed event wait, a line that hung up): stop and send still reach it at
    // once, but a port that keeps failing cannot keep it spinning. Under Wine, whose event waits
    // on a pseudo-terminal end cancelled within milliseconds, it paces the monitor's waits.
    static constexpr int kQuietPortPauseMs = 100;

    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Stops the monitor, drops the port held so far and opens COM port n. False when the port is
    // absent or in use (nothing is reported then, and no port is held); a configuration step
    // that fails is reported, and the port still counts as opened.
    bool Open(platform::WindowHandle owner, int portNumber);
    // The same for a port named by its device (tools, and tests on pseudo-terminals).
    bool Open(platform::WindowHandle owner, const platform::PortName& port);

    // Starts the monitor thread of the open port. False when no port is held, a monitor runs
    // already, or the thread could not be started (the port stays open, nothing is sent).
    bool StartMonitor();

    // Makes count bytes the port's single pending transmission (replacing one not yet begun) and
    // wakes the monitor; does not wait for the write. Refused (false) before the first Open, for
    // a null buffer and for more than m_sendCapacity bytes.
    bool RequestSend(const std::uint8_t* bytes, std::uint32_t count);

    // Shows the failure of the operation with the calling thread's last system error and the
    // port it was met on.
    void ReportPortError(platform::PortOperation operation);

    // Replaces where reports go; set it before Open. Tests collect the errors instead.
    void SetReportSink(ReportSink sink);

    // Why the last Open returned false (absent, in use, no events), for callers that tell it
    // themselves; nothing after an Open that returned true. Open itself reports no absent port.
    const std::optional<platform::PortError>& LastOpenFailure() const { return m_openFailure; }

    // Notifications the owner's queue refused since the port object was made (a queue that
    // nobody empties fills up); a notification for an owner that is gone is not counted.
    std::uint64_t LostNotifications() const {
        return m_lostNotifications.load(std::memory_order_relaxed);
    }

private:
    // The operations whose failures the monitor reports, as indexes of m_shownFailures.
    enum MonitorOperation { kEventWait, kWrite, kWriteCompletion, kRead, kReadCompletion, kCount };

    static unsigned MonitorThread(void* port);
    void RunMonitor();
    bool ArmPortEvent();
    bool HandlePortEvent();
    void TransmitPending();
    bool DrainReceiveQueue();
    std::uint32_t ReadQueueStatus();
    void Notify(unsigned message, std::uintptr_t wordParam);
    void StopMonitor();
    void ConfigurePort();
    void ReportMonitorFailure(MonitorOperation operation);
    void ForgetMonitorFailures(MonitorOperation first, MonitorOperation last);

    // Written under m_lock: by RequestSend (owner's thread), read by TransmitPending (monitor).
    std::uint32_t m_sendLength = 0;
    // The monitor thread; started and waited for by the owner's thread.
    platform::WorkerThread m_monitor;
    // Held while Open replaces the port, and by the monitor around each write and each read and
    // queue-status read of the drain. Initialised once, with the object.
    platform::Lock m_lock;
    // Written by StartMonitor (owner's thread) and by the monitor, which clears it last.
    std::atomic<bool> m_monitorRunning{false};
    // The events, the port, the wait list and the settings below are written by the owner's
    // thread in Open while no monitor runs, and used by the monitor while it runs.
    platform::Event m_stopEvent;
    platform::CommPort m_portHandle;
    platform::Event m_sendEvent;
    platform::WaitList m_waitList;
    // The record of the port's event wait, armed by the monitor; its event is the port event.
    platform::IoRecord m_ioRecord;
    platform::CommTimeouts m_timeouts;
    platform::LineSettings m_lineSettings;
    platform::WindowHandle m_owner = nullptr;
    int m_portNumber = 0;
    // The port as the user chose it, and its device; written by Open with m_portNumber.
    platform::PortName m_portName;
    // Replaced by Open while no monitor runs; filled by RequestSend under m_lock.
    std::unique_ptr<std::uint8_t[]> m_sendBuffer;
    std::uint32_t m_eventMask = 0;
    std::uint32_t m_sendCapacity = 0;

    // Set by the owner's thread before Open; called from either thread.
    ReportSink m_reportSink;
    // Written by Open, on the owner's thread.
    std::optional<platform::PortError> m_openFailure;
    // The error code of each monitor operation's failure already shown since that operation last
    // succeeded; written by the monitor (and cleared by Open while none runs).
    std::array<std::optional<unsigned>, kCount> m_shownFailures;
    // New event waits refused in a row as "one is under way"; written by the monitor (and
    // cleared by Open while none runs).
    int m_busyRefusals = 0;
    // Written by the monitor, read by any thread.
    std::atomic<std::uint64_t> m_lostNotifications{0};
};
