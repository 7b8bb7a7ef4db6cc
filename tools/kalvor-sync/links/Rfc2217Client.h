#pragma once

#include "tools/common/Telnet.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalvor_sync {

// The client's side of RFC 2217 on one connection, as a pure state machine: it asks the server
// for the COM-PORT-OPTION and for binary transmission both ways, sets the server's line to 9600
// baud, 8 data bits, no parity, 1 stop bit and no flow control, and checks every answer. What
// the server sends goes to Receive(); what to send back gathers in Outbox(), which the caller
// sends and empties. Requests of the server for other options are answered, and refused.
class Rfc2217Client : private telnet::Handler {
public:
    enum class State { Negotiating, Ready, Refused };

    Rfc2217Client();

    void Receive(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t>& Outbox() { return m_outbox; }

    State Progress() const;
    // With Refused: what the server refused, in words ("the COM-PORT-OPTION (RFC 2217)").
    const std::string& Refusal() const { return m_refusal; }
    // While negotiating: what is still awaited, in words, for a server that stops answering.
    std::string Awaited() const;

    // Frames for the device's line, with every 0xFF doubled.
    void AppendData(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) const {
        telnet::AppendData(out, bytes);
    }

private:
    // One side of one option, after RFC 1143: off, asked for, on.
    enum class Side { Off, Asked, On };
    // The five settings, in the order they are sent.
    struct Setting {
        std::uint8_t command;
        std::uint32_t value;
        const char* words; // "9600 baud"
        bool answered = false;
    };

    void OnData(std::uint8_t) override {}
    void OnNegotiation(std::uint8_t verb, std::uint8_t option) override;
    void OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                          bool complete) override;
    void Refuse(std::string what);
    void SendSettings();

    telnet::Reader m_reader;
    std::vector<std::uint8_t> m_outbox;
    Side m_comPort = Side::Asked;   // we WILL COM-PORT-OPTION
    Side m_binaryOut = Side::Asked; // we WILL BINARY
    Side m_binaryIn = Side::Asked;  // we asked: DO BINARY
    bool m_settingsSent = false;
    std::array<Setting, 5> m_settings;
    std::string m_refusal; // empty until something is refused
};

} // namespace kalvor_sync
