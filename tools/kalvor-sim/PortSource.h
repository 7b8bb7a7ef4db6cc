#pragma once

#include "ByteSource.h"
#include "platform/CommPort.h"
#include "platform/PortError.h"
#include "platform/PortName.h"

#include <memory>
#include <optional>

namespace kalvor_sim {

// The bytes a serial port receives, read as a clock device would: 9600 baud, 8 data bits, no
// parity, 1 stop bit. Each read waits a short while for the first byte, so that the simulator
// also sees the line fall silent.
class PortSource : public ByteSource {
public:
    // Opens the port and sets its line. Null, with the failed call in `failure`, if that fails.
    static std::unique_ptr<PortSource> Open(const platform::PortName& port,
                                            std::optional<platform::PortError>& failure);

    Chunk Read(std::span<std::uint8_t> buffer) override;

private:
    explicit PortSource(const platform::PortName& port) : m_name(port) {}

    platform::PortName m_name;
    platform::CommPort m_port;
};

} // namespace kalvor_sim
