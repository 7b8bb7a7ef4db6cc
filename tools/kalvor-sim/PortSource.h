#pragma once

#include "ByteSource.h"
#include "platform/CommPort.h"

#include <memory>
#include <string>

// The bytes a serial port receives, read as a clock device would: 9600 baud, 8 data bits, no
// parity, 1 stop bit. Each read waits a short while for the first byte, so that the simulator
// also sees the line fall silent.
class PortSource : public ByteSource {
public:
    // Opens port n (the device that stands for it, see platform::SetPortDevice) and sets its
    // line. Null, with `error` naming the port and the system's reason, if that fails.
    static std::unique_ptr<PortSource> Open(int portNumber, std::string& error);

    Chunk Read(std::span<std::uint8_t> buffer) override;

private:
    explicit PortSource(int portNumber) : m_portNumber(portNumber) {}

    int m_portNumber;
    platform::CommPort m_port;
};
