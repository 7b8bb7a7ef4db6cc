#include "Rfc2217Server.h"

#include "tools/common/Rfc2217.h"

namespace kalvor_sim {

using namespace telnet;

std::string Describe(const RemoteLineSettings& settings) {
    static const char* const kParity[] = {"?",           "no parity",   "odd parity",
                                          "even parity", "mark parity", "space parity"};
    static const char* const kStop[] = {"?", "1 stop bit", "2 stop bits", "1.5 stop bits"};
    static const char* const kFlow[] = {"?", "no flow control", "XON/XOFF flow control",
                                        "RTS/CTS flow control"};
    const auto pick = [](const char* const* names, int count, int value) {
        return value >= 1 && value < count ? names[value] : "?";
    };
    return std::to_string(settings.baudRate) + " baud, " + std::to_string(settings.dataBits) +
           " data bits, " + pick(kParity, 6, settings.parity) + ", " +
           pick(kStop, 4, settings.stopBits) + ", " + pick(kFlow, 4, settings.flowControl);
}

void Rfc2217Server::Receive(std::span<const std::uint8_t> bytes) {
    m_reader.Feed(bytes, *this);
}

bool Rfc2217Server::TakeSettingsChanged() {
    const bool changed = m_settingsChanged;
    m_settingsChanged = false;
    return changed;
}

void Rfc2217Server::OnNegotiation(std::uint8_t verb, std::uint8_t option) {
    // The client's WILL and WONT are about its side, its DO and DONT about ours. Only a change of
    // an option's state is answered, so no two peers can loop.
    const bool aboutClient = verb == kWill || verb == kWont;
    const bool yes = verb == kWill || verb == kDo;
    bool* state = nullptr;
    if (option == kOptionComPort && aboutClient) {
        state = &m_comPort;
    } else if (option == kOptionBinary) {
        state = aboutClient ? &m_binaryIn : &m_binaryOut;
    }
    if (state == nullptr) {
        if (yes) {
            AppendNegotiation(m_outbox, aboutClient ? kDont : kWont, option);
        }
        return;
    }
    if (*state != yes) {
        *state = yes;
        AppendNegotiation(m_outbox, aboutClient ? (yes ? kDo : kDont) : (yes ? kWill : kWont),
                          option);
    }
}

void Rfc2217Server::Answer(std::uint8_t command, std::span<const std::uint8_t> value) {
    std::vector<std::uint8_t> payload{static_cast<std::uint8_t>(command + rfc2217::kServerAnswer)};
    payload.insert(payload.end(), value.begin(), value.end());
    AppendSubnegotiation(m_outbox, kOptionComPort, payload);
}

void Rfc2217Server::OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                                     bool complete) {
    if (option != kOptionComPort || !complete || payload.empty()) {
        return;
    }
    const std::uint8_t command = payload[0];
    const std::span<const std::uint8_t> value = payload.subspan(1);
    // A value of 0 asks for the setting without changing it.
    const auto apply = [&](int& setting, int lowest, int highest) {
        if (value.size() == 1 && value[0] >= lowest && value[0] <= highest) {
            m_settingsChanged = true;
            setting = value[0];
        }
        const std::uint8_t applied[] = {static_cast<std::uint8_t>(setting)};
        Answer(command, applied);
    };
    switch (command) {
    case rfc2217::kSignature: {
        static constexpr char kName[] = "kalvor-sim";
        Answer(command, {reinterpret_cast<const std::uint8_t*>(kName), sizeof kName - 1});
        break;
    }
    case rfc2217::kSetBaudRate: {
        if (value.size() == 4) {
            const std::uint32_t baud = (std::uint32_t{value[0]} << 24) |
                                       (std::uint32_t{value[1]} << 16) |
                                       (std::uint32_t{value[2]} << 8) | value[3];
            if (baud != 0) {
                m_settingsChanged = true;
                m_settings.baudRate = baud;
            }
        }
        const std::uint32_t baud = m_settings.baudRate;
        const std::uint8_t applied[] = {
            static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
            static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
        Answer(command, applied);
        break;
    }
    case rfc2217::kSetDataSize:
        apply(m_settings.dataBits, 5, 8);
        break;
    case rfc2217::kSetParity:
        apply(m_settings.parity, 1, 5);
        break;
    case rfc2217::kSetStopSize:
        apply(m_settings.stopBits, 1, 3);
        break;
    case rfc2217::kSetControl:
        if (value.size() == 1 && value[0] >= rfc2217::kControlNoFlow &&
            value[0] <= rfc2217::kControlHardwareFlow) {
            apply(m_settings.flowControl, 1, 3);
        } else {
            // Break, DTR and RTS states: a simulated line has none to change; said back as asked.
            Answer(command, value);
        }
        break;
    case rfc2217::kSetLineStateMask:
    case rfc2217::kSetModemStateMask:
    case rfc2217::kPurgeData:
        Answer(command, value);
        break;
    default:
        // Flow control suspended or resumed by the client, and what RFC 2217 does not have.
        break;
    }
}

} // namespace kalvor_sim
