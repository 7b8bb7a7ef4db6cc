#include "platform/CommPort.h"

#include "platform/posix/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace platform {

// A port here is a terminal device in raw mode, opened non-blocking: every transfer is started
// at once and, when it cannot finish at once, waited for with poll() within the port's time
// limits, which is what an overlapped transfer waited for amounts to.

namespace {

struct LineRecord {
    termios attributes;
    bool rts;
};

static_assert(sizeof(LineRecord) <= 128);

LineRecord& Record(LineSettings& settings) {
    return *std::launder(static_cast<LineRecord*>(settings.Native()));
}
const LineRecord& Record(const LineSettings& settings) {
    return *std::launder(static_cast<const LineRecord*>(settings.Native()));
}

bool Refuse(int error) {
    errno = error;
    return false;
}

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline, for poll(); -1 (no limit) when there is none.
int MillisecondsLeft(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::optional<Clock::time_point> DeadlineFor(std::uint32_t multiplier, std::uint32_t constant,
                                             std::uint32_t count) {
    if (multiplier == 0 && constant == 0) {
        return std::nullopt;
    }
    return Clock::now() + std::chrono::milliseconds(std::uint64_t{multiplier} * count + constant);
}

// Waits until fd is ready for events or the deadline passes: 1 ready, 0 time up, -1 failed.
int AwaitReady(int fd, short events, const std::optional<Clock::time_point>& deadline) {
    for (;;) {
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready < 0 ? -1 : (ready == 0 ? 0 : 1);
    }
}

speed_t SpeedFor(std::uint32_t baud) {
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

} // namespace

void LineSettings::EnableRts() {
    Record(*this).rts = true;
}

bool BuildLineSettings(const LineFormat& format, LineSettings& settings) {
    const speed_t speed = SpeedFor(format.baudRate);
    if (speed == B0 || format.dataBits < 5 || format.dataBits > 8 ||
        (format.stopBits != 1 && format.stopBits != 2)) {
        return Refuse(EINVAL);
    }
    termios line = Record(settings).attributes;
    // A serial port passes bytes untouched: no line editing, echo or translation.
    cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= ~CRTSCTS;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;

    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    line.c_cflag = (line.c_cflag & ~CSIZE) | kSizes[format.dataBits - 5];
    line.c_cflag = format.stopBits == 2 ? (line.c_cflag | CSTOPB) : (line.c_cflag & ~CSTOPB);
    line.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (format.parity) {
    case Parity::None:
        break;
    case Parity::Even:
        line.c_cflag |= PARENB;
        break;
    case Parity::Odd:
        line.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Mark:
        line.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case Parity::Space:
        line.c_cflag |= PARENB | CMSPAR;
        break;
    }
    Record(settings).attributes = line;
    return true;
}

struct CommPort::State {
    UniqueFd fd;
    CommTimeouts timeouts;
    std::uint32_t eventMask = 0;
    // The bytes of the write started last that the line did not take at once, and its limit.
    std::vector<std::uint8_t> unwritten;
    std::optional<Clock::time_point> writeDeadline;
    std::uint32_t writeCount = 0; // the bytes of that write

    // Writes the unwritten bytes as the line takes them, until they are all written or the
    // write's time limit ends it (what went, went): how many were written; -1 on failure.
    std::int64_t WriteUnwritten() {
        std::size_t done = 0;
        while (done < unwritten.size()) {
            const int ready = AwaitReady(fd.Get(), POLLOUT, writeDeadline);
            if (ready <= 0) {
                if (ready < 0) {
                    return -1;
                }
                break;
            }
            const ssize_t written =
                ::write(fd.Get(), unwritten.data() + done, unwritten.size() - done);
            if (written < 0 && errno != EAGAIN) {
                return -1;
            }
            done += written > 0 ? static_cast<std::size_t>(written) : 0;
        }
        const std::size_t left = unwritten.size() - done;
        unwritten.clear();
        return static_cast<std::int64_t>(writeCount - left);
    }
};

CommPort::CommPort() = default;
CommPort::~CommPort() = default;

bool CommPort::Open(const std::string& device) {
    Close();
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        return false;
    }
    // No sharing: a port in use by another opener is refused, as on Windows.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return Refuse(EBUSY);
    }
    m_state = std::make_unique<State>();
    m_state->fd = std::move(fd);
    return true;
}

void CommPort::Close() {
    m_state.reset();
}

bool CommPort::IsOpen() const {
    return m_state != nullptr;
}

// Time limits and the event mask belong to a terminal; any other device refuses them, as a
// file that is not a port refuses them on Windows.
template <typename Value>
static bool KeepForTerminal(const UniqueFd& fd, Value& kept, const Value& value) {
    if (!::isatty(fd.Get())) {
        return false;
    }
    kept = value;
    return true;
}

bool CommPort::SetTimeouts(const CommTimeouts& timeouts) {
    return IsOpen() ? KeepForTerminal(m_state->fd, m_state->timeouts, timeouts) : Refuse(EBADF);
}

bool CommPort::SetEventMask(std::uint32_t mask) {
    return IsOpen() ? KeepForTerminal(m_state->fd, m_state->eventMask, mask) : Refuse(EBADF);
}

bool CommPort::GetEventMask(std::uint32_t& mask) {
    if (!IsOpen()) {
        return Refuse(EBADF);
    }
    mask = m_state->eventMask;
    return true;
}

bool CommPort::GetLineSettings(LineSettings& settings) {
    if (!IsOpen()) {
        return Refuse(EBADF);
    }
    LineRecord& record = Record(settings);
    record.rts = false;
    return ::tcgetattr(m_state->fd.Get(), &record.attributes) == 0;
}

bool CommPort::SetLineSettings(const LineSettings& settings) {
    if (!IsOpen()) {
        return Refuse(EBADF);
    }
    const LineRecord& record = Record(settings);
    if (::tcsetattr(m_state->fd.Get(), TCSANOW, &record.attributes) != 0) {
        return false;
    }
    if (record.rts) {
        int rts = TIOCM_RTS;
        // A pseudo-terminal has no modem lines, and so no RTS to hold on.
        if (::ioctl(m_state->fd.Get(), TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL) {
            return false;
        }
    }
    return true;
}

bool CommPort::Purge(std::uint32_t flags) {
    if (!IsOpen()) {
        return Refuse(EBADF);
    }
    // No transfer is ever left under way here, so there is nothing to abort.
    const bool input = (flags & kPurgeRxClear) != 0;
    const bool output = (flags & kPurgeTxClear) != 0;
    if (!input && !output) {
        return true;
    }
    return ::tcflush(m_state->fd.Get(),
                     input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH)) == 0;
}

bool CommPort::QueueStatus(std::uint32_t& waiting) {
    if (!IsOpen()) {
        return Refuse(EBADF);
    }
    int count = 0;
    if (::ioctl(m_state->fd.Get(), FIONREAD, &count) != 0) {
        return false;
    }
    waiting = static_cast<std::uint32_t>(count);
    return true;
}

// The only port event here is "bytes are waiting": the wait is armed by naming the port to the
// record, and ends when the port turns readable (or hangs up, which EventWaitSucceeded sorts out).
IoStart CommPort::StartEventWait(IoRecord& record) {
    std::uint32_t waiting = 0;
    if (!QueueStatus(waiting)) {
        record.Watch(-1);
        return IoStart::Failed;
    }
    record.Watch(m_state->fd.Get());
    return waiting > 0 ? IoStart::Completed : IoStart::Pending;
}

bool CommPort::EventWaitSucceeded(IoRecord& record) {
    record.Watch(-1);
    std::uint32_t waiting = 0;
    return QueueStatus(waiting) && waiting > 0 && (m_state->eventMask & kEventRxChar) != 0;
}

void CommPort::CancelEventWait(IoRecord& record) {
    record.Watch(-1);
}

Transfer CommPort::Write(const std::uint8_t* bytes, std::uint32_t count) {
    if (StartWrite(bytes, count) == IoStart::Failed) {
        return Transfer::StartFailed;
    }
    return FinishWrite();
}

IoStart CommPort::StartWrite(const std::uint8_t* bytes, std::uint32_t count) {
    if (!IsOpen()) {
        errno = EBADF;
        return IoStart::Failed;
    }
    State& state = *m_state;
    state.unwritten.clear();
    state.writeCount = count;
    state.writeDeadline =
        DeadlineFor(state.timeouts.writeTotalMultiplier, state.timeouts.writeTotalConstant, count);
    const ssize_t written = ::write(state.fd.Get(), bytes, count);
    if (written < 0 && errno != EAGAIN) {
        return IoStart::Failed;
    }
    const std::uint32_t done = written > 0 ? static_cast<std::uint32_t>(written) : 0;
    state.unwritten.assign(bytes + done, bytes + count);
    return state.unwritten.empty() ? IoStart::Completed : IoStart::Pending;
}

Transfer CommPort::FinishWrite() {
    if (!IsOpen()) {
        errno = EBADF;
        return Transfer::CompletionFailed;
    }
    return m_state->WriteUnwritten() < 0 ? Transfer::CompletionFailed : Transfer::Done;
}

Transfer CommPort::FinishBoundedWrite(std::uint32_t& taken) {
    taken = 0;
    if (!IsOpen()) {
        errno = EBADF;
        return Transfer::CompletionFailed;
    }
    State& state = *m_state;
    const std::int64_t written = state.WriteUnwritten();
    if (written < 0) {
        return Transfer::CompletionFailed;
    }
    // A write only hands the bytes to the system's output queue, which a line that sends nothing
    // (a stalled USB adapter, a Bluetooth peer gone, flow control never released) fills for
    // kilobytes; the line has taken them once the queue is empty. A driver that cannot tell
    // counts as empty.
    const int fd = state.fd.Get();
    int queued = 0;
    for (;;) {
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
            queued = 0;
        }
        if (queued <= 0 || MillisecondsLeft(state.writeDeadline) <= 0) {
            break;
        }
        ::poll(nullptr, 0, 1);
    }
    if (queued > 0 || written < state.writeCount) {
        ::tcflush(fd, TCOFLUSH); // what the line has not taken is cancelled
    }
    taken = static_cast<std::uint32_t>(std::max<std::int64_t>(0, written - std::max(0, queued)));
    return Transfer::Done;
}

Transfer CommPort::ReadByte(std::uint8_t& byte, bool& received) {
    received = false;
    if (!IsOpen()) {
        errno = EBADF;
        return Transfer::StartFailed;
    }
    const int fd = m_state->fd.Get();
    ssize_t got = ::read(fd, &byte, 1);
    if (got == 1) {
        received = true;
        return Transfer::Done;
    }
    if (got == 0) {
        errno = EIO; // the line hung up
        return Transfer::StartFailed;
    }
    if (errno != EAGAIN) {
        return Transfer::StartFailed;
    }
    const auto deadline =
        DeadlineFor(m_state->timeouts.readTotalMultiplier, m_state->timeouts.readTotalConstant, 1);
    const int ready = AwaitReady(fd, POLLIN, deadline);
    if (ready < 0) {
        return Transfer::CompletionFailed;
    }
    if (ready == 0) {
        return Transfer::Done; // time up with no byte
    }
    got = ::read(fd, &byte, 1);
    if (got == 1) {
        received = true;
        return Transfer::Done;
    }
    if (got == 0) {
        errno = EIO;
    }
    return got < 0 && errno == EAGAIN ? Transfer::Done : Transfer::CompletionFailed;
}

int CommPort::ReadWithin(std::uint8_t* buffer, int capacity, int timeoutMs) {
    if (!IsOpen()) {
        errno = EBADF;
        return -1;
    }
    const int fd = m_state->fd.Get();
    const int ready = AwaitReady(fd, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs));
    if (ready <= 0) {
        return ready;
    }
    const ssize_t got = ::read(fd, buffer, static_cast<std::size_t>(capacity));
    if (got == 0) {
        errno = EIO;
        return -1;
    }
    if (got < 0) {
        return errno == EAGAIN ? 0 : -1;
    }
    return static_cast<int>(got);
}

std::string ComPortDevice(int portNumber) {
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

} // namespace platform
