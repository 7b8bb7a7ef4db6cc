#pragma once

#include "platform/Event.h"
#include "platform/LineFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Port events, as bits of an event mask.
inline constexpr std::uint32_t kEventRxChar = 0x0001; // a byte was received
inline constexpr std::uint32_t kEventRxFlag = 0x0002; // the event character was received
inline constexpr std::uint32_t kEventCts = 0x0008;    // CTS changed
inline constexpr std::uint32_t kEventBreak = 0x0040;  // a break was received
inline constexpr std::uint32_t kEventError = 0x0080;  // a line error occurred
inline constexpr std::uint32_t kEventRing = 0x0100;   // the ring indicator is on

// Purge flags: abort pending writes and reads, clear the output and the input queue.
inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;
inline constexpr std::uint32_t kPurgeAll = 0x000F;

// Time limits of a port's transfers, in milliseconds. A write of n bytes ends after at most
// writeTotalMultiplier * n + writeTotalConstant; a read of n bytes after
// readTotalMultiplier * n + readTotalConstant (0 and 0: no limit).
struct CommTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// A port's line settings (speed, framing, flow control) in the platform's own record: a DCB on
// Win32, a termios record and the RTS line on POSIX.
class LineSettings {
public:
    // RTS held on while the port is open.
    void EnableRts();

    // The platform's record, for the backend of this layer.
    void* Native() { return m_native; }
    const void* Native() const { return m_native; }

private:
    // Room for the platform's record, which this header does not name.
    alignas(8) std::byte m_native[128] = {};
};

// Applies the line's speed and framing to the record and turns flow control off; the record's
// other settings stay. False, with the system's error, when the platform cannot make the format.
bool BuildLineSettings(const LineFormat& format, LineSettings& settings);

// The record of a port's event wait. Its event is the port event: signalled when the wait ends,
// because events occurred or because it failed. On POSIX the port event is the port itself
// turning readable; the record then names the port to watch.
class IoRecord {
public:
    // Creates the port event, or resets it and forgets any port watched before.
    bool Prepare() {
        m_watchedPort = -1;
        return m_portEvent.CreateOrReset();
    }
    Event& PortEvent() { return m_portEvent; }
    void Close() { m_portEvent.Close(); }

    // POSIX: the descriptor whose readiness is the port event; -1 while no wait is armed.
    std::intptr_t WatchedPort() const { return m_watchedPort; }
    void Watch(std::intptr_t port) { m_watchedPort = port; }

private:
    Event m_portEvent;
    std::intptr_t m_watchedPort = -1; // written by the thread that arms the wait
};

// How the start of an overlapped operation went.
enum class IoStart {
    Completed,      // done at once
    Pending,        // goes on; the record's port event is signalled when it ends
    AlreadyPending, // an event wait of the port was already under way and still is
    Busy,           // refused, the system counting a wait of the port as under way though none
                    // of this port's is (one that ended but was reported late): nothing is
                    // armed; worth trying again shortly
    Failed,         // refused; the system's error tells why
};

// How a transfer ended, once waited for.
enum class Transfer {
    Done,             // the transfer ended (a time-out counts as done)
    StartFailed,      // it could not be started; the system's error tells why
    CompletionFailed, // it started but failed while under way
};

// The device that stands for COM port n: "\\.\COM<n>" on Win32 (the device namespace name,
// since a plain "COM10" names no device there), "/dev/ttyS<n-1>" on POSIX.
std::string ComPortDevice(int portNumber);

// One serial port, opened by its device name for exclusive overlapped use, and released by
// Close() or the destructor. Every call that fails returns false (or Failed) and leaves the
// system's error for LastSystemError(). The calls are not thread-safe; callers serialise them (the
// monitor's event wait excepted, which another thread never touches while it is armed).
class CommPort {
public:
    CommPort();
    ~CommPort();
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    // Opens the device ("\\.\COM3", "/dev/ttyUSB0"). False when it is absent or in use; no port is
    // held then.
    bool Open(const std::string& device);
    void Close();
    bool IsOpen() const;

    bool SetTimeouts(const CommTimeouts& timeouts);
    bool SetEventMask(std::uint32_t mask);
    bool GetEventMask(std::uint32_t& mask);
    bool GetLineSettings(LineSettings& settings);
    bool SetLineSettings(const LineSettings& settings);
    bool Purge(std::uint32_t flags);
    // Bytes received and waiting to be read (and clears the port's error flags).
    bool QueueStatus(std::uint32_t& waiting);

    // Arms a wait for the events of the event mask; the record's port event is signalled when
    // it ends (at once when it completed at once).
    IoStart StartEventWait(IoRecord& record);
    // After the port event was signalled: true when port events occurred, false when the wait
    // ended in failure or with no event (a cancelled wait, a device gone, a wait the system
    // signalled but still calls pending). Ends the wait either way.
    bool EventWaitSucceeded(IoRecord& record);
    // Cancels an armed event wait; called by the thread that armed it.
    void CancelEventWait(IoRecord& record);

    // Writes count bytes and waits until the write has ended (within the write time-outs).
    Transfer Write(const std::uint8_t* bytes, std::uint32_t count);
    // The same in two halves, so that one thread can start a write on many ports at the same
    // instant and then wait for them all: StartWrite hands the bytes over (they are copied) and
    // returns at once, Completed when they were all taken, Pending when FinishWrite must wait.
    IoStart StartWrite(const std::uint8_t* bytes, std::uint32_t count);
    // Waits until the write started last has ended; Done at once when it had completed.
    Transfer FinishWrite();
    // For a writer that must not be held by a line that takes nothing: waits until the line has
    // taken the bytes of the write started last (sent them on, not only queued them: POSIX also
    // waits for the system's output queue to empty) or until the write time-out has passed since
    // the write started, and then cancels what is left. `taken` is how many bytes the line took;
    // Done with fewer than were written is a write the line did not take whole. Call it on the
    // thread that started the write: Windows XP cancels only the calling thread's I/O.
    Transfer FinishBoundedWrite(std::uint32_t& taken);
    // Reads one byte, waiting within the read time-outs; received tells whether one came.
    Transfer ReadByte(std::uint8_t& byte, bool& received);

    // For tools that read without a monitor: waits up to timeoutMs for the first byte, then
    // takes what else is waiting, up to capacity. The count read, 0 when nothing came in time,
    // -1 on failure.
    int ReadWithin(std::uint8_t* buffer, int capacity, int timeoutMs);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace platform
