#pragma once

#include "platform/PortName.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace serial_test {

using Bytes = std::vector<std::uint8_t>;

// The device's end of the serial line that stands for port n, held by the test. Natively the
// line is a fresh pseudo-terminal whose terminal side is mapped as port n; under Wine it is the
// far port of a pair that the test runner mapped (port n + 20 for port n).
class FarEnd {
public:
    explicit FarEnd(int portNumber);
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    bool Write(const Bytes& bytes);
    // Waits up to timeoutMs for bytes and returns those that came (empty on time-out or failure).
    Bytes ReadSome(int timeoutMs);
    // Collects bytes until count have come or timeoutMs have passed.
    Bytes Read(std::size_t count, int timeoutMs);
    // Collects bytes until none has come for quietMs.
    Bytes ReadUntilQuiet(int quietMs);
    // The device leaves the line: natively at once; under Wine once the pair, made to end after a
    // few silent seconds, has ended (waited for, up to 30 s).
    void GoAway();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The port the program's side opens as port n: under Wine COM n, as the runner mapped it;
// natively the device the test made stand for n (a far end's pseudo-terminal, or what the two
// calls below chose), named "COM<n>" so that reports carry the number.
platform::PortName PortFor(int portNumber);

// Port n stands for a device that opens but is no serial line: its writes and its port calls
// fail. Natively /dev/full; under Wine the runner maps it to a missing path.
void MapNonSerialPort(int portNumber);
// Port n stands for no device at all.
void MapAbsentPort(int portNumber);

// What the process holds, to find leaks.
int OpenHandleCount();
int ThreadCount();
// CPU time the whole process has used so far, in seconds.
double ProcessCpuSeconds();

} // namespace serial_test
