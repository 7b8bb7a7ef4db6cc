#include "platform/CommPort.h"

#include "platform/win32/EventWaitCalls.h"
#include "platform/win32/UniqueHandle.h"

#include <cstdio>
#include <new>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

DCB& Record(LineSettings& settings) {
    return *std::launder(static_cast<DCB*>(settings.Native()));
}
const DCB& Record(const LineSettings& settings) {
    return *std::launder(static_cast<const DCB*>(settings.Native()));
}

HANDLE EventOf(IoRecord& record) {
    return reinterpret_cast<HANDLE>(record.PortEvent().Native());
}

// One overlapped transfer record with an event of its own.
struct Overlapped {
    OVERLAPPED record{};
    UniqueHandle event;

    bool Create() {
        event.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        return event.Valid();
    }
    OVERLAPPED* Fresh() {
        record = OVERLAPPED{};
        record.hEvent = event.Get();
        return &record;
    }
};

// A time-out is how Wine ends some transfers that Windows ends with success and fewer bytes.
bool EndedByTimeout() {
    return ::GetLastError() == ERROR_TIMEOUT;
}

// How long an event wait that is being ended gets to let go of its record. On Windows a wait
// ends at once when it is cancelled; on Wine its helper thread gives up at its next look at the
// port, a millisecond later.
constexpr DWORD kEndingWaitMs = 1000;
// The same for a wait that Wine already reported late (see EventWaitSucceeded): its helper
// thread has normally finished, and the bound only guards against one that has not.
constexpr DWORD kLateWaitMs = 20;
// How much longer than its time-out a bounded write is waited for before it is cancelled: the
// system's timers tick every 15.6 ms unless a finer period was asked for.
constexpr DWORD kWriteGraceMs = 20;

} // namespace

EventWaitCalls& EventWaitCallsInUse() {
    static EventWaitCalls calls;
    return calls;
}

void LineSettings::EnableRts() {
    Record(*this).fRtsControl = RTS_CONTROL_ENABLE;
}

// Through the system's own definition parser, as the window always has: it turns off the flow
// control that a definition does not name, and keeps the rest of the record.
bool BuildLineSettings(const LineFormat& format, LineSettings& settings) {
    static_assert(sizeof(DCB) <= 128);
    char definition[64];
    std::snprintf(definition, sizeof definition, "baud=%u parity=%c data=%u stop=%u",
                  static_cast<unsigned>(format.baudRate), static_cast<char>(format.parity),
                  static_cast<unsigned>(format.dataBits), static_cast<unsigned>(format.stopBits));
    return ::BuildCommDCBA(definition, &Record(settings)) != FALSE;
}

std::string ComPortDevice(int portNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", portNumber);
    return name;
}

// The event wait has a record of its own, apart from the write's and the read's: it may still be
// pending while they run, and one record must never serve two operations at once. The event wait's
// fields are written by the thread that arms the wait (a port's monitor), the rest by the thread
// that opens the port, and never both at once.
struct CommPort::State {
    UniqueHandle port;
    Overlapped write;
    Overlapped read;
    OVERLAPPED eventWait{}; // its event is the port event of the record that armed it
    DWORD eventsSeen = 0;   // where the pending event wait puts the events that occurred
    IoRecord* pendingWait = nullptr;
    bool waitCompletedAtOnce = false;
    std::uint8_t readByte = 0;
    std::vector<std::uint8_t> writing; // the bytes of the write started last
    bool writePending = false;         // that write goes on; FinishWrite waits for it
    DWORD writeStartedTick = 0;        // when it started (GetTickCount)
    DWORD writeLimitMs = 0;            // its time-out by the port's time-outs; 0: none
    COMMTIMEOUTS timeouts{};           // as last set

    // Ends the pending event wait and waits, up to `boundMs`, until it has let go of its record
    // (its event is signalled). A new event mask ends a wait on Windows, which completes it with
    // no event, and on Wine, whose helper thread gives up when the mask changes while CancelIo
    // does not reach it; the cancel is for Windows, where it is the usual way.
    void EndPendingWait(IoRecord& record, DWORD boundMs) {
        DWORD mask = 0;
        if (::GetCommMask(port.Get(), &mask)) {
            ::SetCommMask(port.Get(), mask);
        }
        ::CancelIo(port.Get());
        ::WaitForSingleObject(EventOf(record), boundMs);
        pendingWait = nullptr;
    }
};

CommPort::CommPort() = default;

CommPort::~CommPort() {
    Close();
}

bool CommPort::Open(const std::string& device) {
    Close();
    auto state = std::make_unique<State>();
    if (!state->write.Create() || !state->read.Create()) {
        return false;
    }
    state->port.Reset(::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!state->port.Valid()) {
        return false;
    }
    m_state = std::move(state);
    return true;
}

void CommPort::Close() {
    if (!m_state) {
        return;
    }
    IoRecord* pending = m_state->pendingWait;
    const DWORD error = ::GetLastError();
    if (m_state->writePending) {
        // The write's record and bytes must outlive it: it is ended before they go.
        ::CancelIo(m_state->port.Get());
        DWORD written = 0;
        ::GetOverlappedResult(m_state->port.Get(), &m_state->write.record, &written, TRUE);
    }
    m_state->port.Reset();
    if (pending != nullptr) {
        // Closing the port ends the wait; its record must not be written after this returns.
        ::WaitForSingleObject(EventOf(*pending), 1000);
        pending->PortEvent().Reset();
    }
    m_state.reset();
    ::SetLastError(error);
}

bool CommPort::IsOpen() const {
    return m_state != nullptr;
}

namespace {
bool NotOpen() {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
}
} // namespace

bool CommPort::SetTimeouts(const CommTimeouts& timeouts) {
    if (!IsOpen()) {
        return NotOpen();
    }
    COMMTIMEOUTS native{timeouts.readInterval, timeouts.readTotalMultiplier,
                        timeouts.readTotalConstant, timeouts.writeTotalMultiplier,
                        timeouts.writeTotalConstant};
    if (!::SetCommTimeouts(m_state->port.Get(), &native)) {
        return false;
    }
    m_state->timeouts = native;
    return true;
}

bool CommPort::SetEventMask(std::uint32_t mask) {
    return IsOpen() ? ::SetCommMask(m_state->port.Get(), mask) != FALSE : NotOpen();
}

bool CommPort::GetEventMask(std::uint32_t& mask) {
    if (!IsOpen()) {
        return NotOpen();
    }
    DWORD native = 0;
    if (!::GetCommMask(m_state->port.Get(), &native)) {
        return false;
    }
    mask = native;
    return true;
}

bool CommPort::GetLineSettings(LineSettings& settings) {
    if (!IsOpen()) {
        return NotOpen();
    }
    DCB& record = Record(settings);
    record = DCB{};
    record.DCBlength = sizeof(DCB);
    return ::GetCommState(m_state->port.Get(), &record) != FALSE;
}

bool CommPort::SetLineSettings(const LineSettings& settings) {
    if (!IsOpen()) {
        return NotOpen();
    }
    DCB record = Record(settings);
    return ::SetCommState(m_state->port.Get(), &record) != FALSE;
}

bool CommPort::Purge(std::uint32_t flags) {
    return IsOpen() ? ::PurgeComm(m_state->port.Get(), flags) != FALSE : NotOpen();
}

bool CommPort::QueueStatus(std::uint32_t& waiting) {
    if (!IsOpen()) {
        return NotOpen();
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_state->port.Get(), &errors, &status)) {
        return false;
    }
    waiting = status.cbInQue;
    return true;
}

IoStart CommPort::StartEventWait(IoRecord& record) {
    if (!IsOpen()) {
        NotOpen();
        return IoStart::Failed;
    }
    State& state = *m_state;
    if (state.pendingWait != nullptr) {
        return IoStart::AlreadyPending;
    }
    record.PortEvent().Reset();
    state.eventWait = OVERLAPPED{};
    state.eventWait.hEvent = EventOf(record);
    state.eventsSeen = 0;
    if (EventWaitCallsInUse().waitCommEvent(state.port.Get(), &state.eventsSeen,
                                            &state.eventWait)) {
        // Done at once: the port event is set here, so the wait that follows sees it.
        state.waitCompletedAtOnce = true;
        record.PortEvent().Set();
        return IoStart::Completed;
    }
    switch (::GetLastError()) {
    case ERROR_IO_PENDING:
        state.pendingWait = &record;
        return IoStart::Pending;
    case ERROR_INVALID_PARAMETER:
        // The system holds a wait of the port as under way, and none of ours is: Wine keeps one
        // so for a moment after it reported it late. Nothing is armed.
        return IoStart::Busy;
    default:
        return IoStart::Failed;
    }
}

bool CommPort::EventWaitSucceeded(IoRecord& record) {
    if (!IsOpen()) {
        return NotOpen();
    }
    State& state = *m_state;
    bool succeeded = false;
    if (state.pendingWait != nullptr) {
        DWORD unused = 0;
        succeeded =
            ::GetOverlappedResult(state.port.Get(), &state.eventWait, &unused, FALSE) != FALSE;
        if (!succeeded && ::GetLastError() == ERROR_IO_INCOMPLETE) {
            // Signalled, yet still pending. On Windows a signalled event means the wait is over,
            // so this never happens there. Wine 8 ends a pending wait on a helper thread, and
            // when that thread finishes before WaitCommEvent has returned, WaitCommEvent then
            // writes "pending" over the result: the record says pending for ever. Keeping such a
            // wait armed would leave the port unwatched for good; it is taken as ended with no
            // event, and made sure to be over before the record serves a new wait.
            record.PortEvent().Reset();
            state.EndPendingWait(record, kLateWaitMs);
            state.waitCompletedAtOnce = false;
            record.PortEvent().Reset();
            return false;
        }
        state.pendingWait = nullptr;
    } else {
        succeeded = state.waitCompletedAtOnce;
    }
    state.waitCompletedAtOnce = false;
    record.PortEvent().Reset();
    // A wait that ends with no event bit (cancelled, or the mask changed) told of nothing.
    return succeeded && state.eventsSeen != 0;
}

void CommPort::CancelEventWait(IoRecord& record) {
    if (!IsOpen()) {
        return;
    }
    State& state = *m_state;
    if (state.pendingWait != nullptr) {
        state.EndPendingWait(record, kEndingWaitMs);
    }
    state.waitCompletedAtOnce = false;
    record.PortEvent().Reset();
}

Transfer CommPort::Write(const std::uint8_t* bytes, std::uint32_t count) {
    if (StartWrite(bytes, count) == IoStart::Failed) {
        return Transfer::StartFailed;
    }
    return FinishWrite();
}

IoStart CommPort::StartWrite(const std::uint8_t* bytes, std::uint32_t count) {
    if (!IsOpen()) {
        NotOpen();
        return IoStart::Failed;
    }
    State& state = *m_state;
    // The system reads the bytes while the write is under way: they are kept until it ends.
    state.writing.assign(bytes, bytes + count);
    state.writePending = false;
    state.writeStartedTick = ::GetTickCount();
    state.writeLimitMs = state.timeouts.WriteTotalTimeoutMultiplier * count +
                         state.timeouts.WriteTotalTimeoutConstant;
    OVERLAPPED* overlapped = state.write.Fresh();
    if (::WriteFile(state.port.Get(), state.writing.data(), count, nullptr, overlapped)) {
        return IoStart::Completed;
    }
    if (::GetLastError() != ERROR_IO_PENDING) {
        return IoStart::Failed;
    }
    state.writePending = true;
    return IoStart::Pending;
}

Transfer CommPort::FinishWrite() {
    if (!IsOpen()) {
        NotOpen();
        return Transfer::CompletionFailed;
    }
    State& state = *m_state;
    if (!state.writePending) {
        return Transfer::Done;
    }
    state.writePending = false;
    DWORD written = 0;
    if (::GetOverlappedResult(state.port.Get(), &state.write.record, &written, TRUE) ||
        EndedByTimeout()) {
        return Transfer::Done;
    }
    return Transfer::CompletionFailed;
}

Transfer CommPort::FinishBoundedWrite(std::uint32_t& taken) {
    taken = 0;
    if (!IsOpen()) {
        NotOpen();
        return Transfer::CompletionFailed;
    }
    State& state = *m_state;
    const HANDLE port = state.port.Get();
    if (state.writePending) {
        state.writePending = false;
        // The port's write time-out ends the write; a driver that does not keep time-outs (some
        // virtual ports do not) is given a little longer, and then the write is cancelled.
        const DWORD spent = ::GetTickCount() - state.writeStartedTick;
        const DWORD bound = state.writeLimitMs == 0 ? INFINITE
                            : spent >= state.writeLimitMs + kWriteGraceMs
                                ? 0
                                : state.writeLimitMs + kWriteGraceMs - spent;
        if (::WaitForSingleObject(state.write.event.Get(), bound) != WAIT_OBJECT_0) {
            ::CancelIo(port);
        }
    }
    DWORD written = 0;
    const BOOL ended = ::GetOverlappedResult(port, &state.write.record, &written, TRUE);
    const DWORD error = ::GetLastError();
    taken = written;
    // Windows ends a timed-out write with success and fewer bytes, Wine with ERROR_TIMEOUT.
    if (ended || error == ERROR_TIMEOUT || error == ERROR_OPERATION_ABORTED) {
        return Transfer::Done;
    }
    return Transfer::CompletionFailed;
}

Transfer CommPort::ReadByte(std::uint8_t& byte, bool& received) {
    received = false;
    if (!IsOpen()) {
        NotOpen();
        return Transfer::StartFailed;
    }
    State& state = *m_state;
    OVERLAPPED* overlapped = state.read.Fresh();
    DWORD got = 0;
    if (!::ReadFile(state.port.Get(), &state.readByte, 1, nullptr, overlapped)) {
        if (::GetLastError() != ERROR_IO_PENDING) {
            return Transfer::StartFailed;
        }
        if (!::GetOverlappedResult(state.port.Get(), overlapped, &got, TRUE)) {
            return EndedByTimeout() ? Transfer::Done : Transfer::CompletionFailed;
        }
    } else {
        ::GetOverlappedResult(state.port.Get(), overlapped, &got, FALSE);
    }
    received = got == 1;
    byte = state.readByte;
    return Transfer::Done;
}

int CommPort::ReadWithin(std::uint8_t* buffer, int capacity, int timeoutMs) {
    if (!IsOpen()) {
        NotOpen();
        return -1;
    }
    if (capacity <= 0) {
        return 0;
    }
    State& state = *m_state;
    const DWORD start = ::GetTickCount();
    DWORD got = 0;
    // One byte first, waited for up to the time limit; the port's own read time-outs may end a
    // read earlier with nothing, and it is then started again.
    while (got == 0) {
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= static_cast<DWORD>(timeoutMs)) {
            return 0;
        }
        OVERLAPPED* overlapped = state.read.Fresh();
        if (!::ReadFile(state.port.Get(), buffer, 1, nullptr, overlapped)) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                return -1;
            }
            if (::WaitForSingleObject(overlapped->hEvent, timeoutMs - spent) == WAIT_TIMEOUT) {
                ::CancelIo(state.port.Get());
            }
        }
        if (!::GetOverlappedResult(state.port.Get(), overlapped, &got, TRUE)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_TIMEOUT && error != ERROR_OPERATION_ABORTED) {
                return -1;
            }
            got = 0;
        }
    }
    // Then whatever else is waiting, without waiting for more.
    std::uint32_t waiting = 0;
    if (capacity > 1 && QueueStatus(waiting) && waiting > 0) {
        const DWORD more = waiting < static_cast<DWORD>(capacity - 1) ? waiting : capacity - 1;
        OVERLAPPED* overlapped = state.read.Fresh();
        DWORD extra = 0;
        if (::ReadFile(state.port.Get(), buffer + 1, more, nullptr, overlapped) ||
            ::GetLastError() == ERROR_IO_PENDING) {
            if (::GetOverlappedResult(state.port.Get(), overlapped, &extra, TRUE)) {
                got += extra;
            }
        }
    }
    return static_cast<int>(got);
}

} // namespace platform
