#pragma once

#include "tools/common/Telnet.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kalvor_sim {

// The line settings an RFC 2217 client asked for.
struct RemoteLineSettings {
    std::uint32_t baudRate = 9600;
    int dataBits = 8;
    int parity = 1;      // RFC 2217's numbers: 1 none, 2 odd, 3 even, 4 mark, 5 space
    int stopBits = 1;    // 1 one, 2 two, 3 one and a half
    int flowControl = 1; // 1 none, 2 XON/XOFF, 3 RTS/CTS

    friend bool operator==(const RemoteLineSettings&, const RemoteLineSettings&) = default;
};

// "9600 baud, 8 data bits, no parity, 1 stop bit, no flow control".
std::string Describe(const RemoteLineSettings& settings);

// The server's side of RFC 2217 on one connection, as a device server with a serial line
// answers it: it agrees to the COM-PORT-OPTION and to binary transmission both ways, refuses
// other options, applies each setting the client makes and answers with the value applied.
// Data goes to `onData` with the Telnet escapes undone; answers gather in Outbox().
class Rfc2217Server : private telnet::Handler {
public:
    using DataSink = std::function<void(std::uint8_t byte)>;

    explicit Rfc2217Server(DataSink onData) : m_onData(std::move(onData)) {}

    void Receive(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t>& Outbox() { return m_outbox; }

    const RemoteLineSettings& Settings() const { return m_settings; }
    // True once after the client set something (not when it only asked), for the caller to tell.
    bool TakeSettingsChanged();

private:
    void OnData(std::uint8_t byte) override { m_onData(byte); }
    void OnNegotiation(std::uint8_t verb, std::uint8_t option) override;
    void OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                          bool complete) override;
    void Answer(std::uint8_t command, std::span<const std::uint8_t> value);

    DataSink m_onData;
    telnet::Reader m_reader;
    std::vector<std::uint8_t> m_outbox;
    RemoteLineSettings m_settings;
    bool m_settingsChanged = false;
    // The options agreed: the client's COM-PORT-OPTION and BINARY, ours BINARY.
    bool m_comPort = false, m_binaryIn = false, m_binaryOut = false;
};

} // namespace kalvor_sim
