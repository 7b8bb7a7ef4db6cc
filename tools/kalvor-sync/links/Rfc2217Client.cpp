#include "Rfc2217Client.h"

#include "tools/common/Rfc2217.h"

namespace kalvor_sync {

using namespace telnet;

namespace {

std::uint32_t ValueOf(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (const std::uint8_t byte : bytes) {
        value = (value << 8) | byte;
    }
    return value;
}

} // namespace

Rfc2217Client::Rfc2217Client()
    : m_settings{{{rfc2217::kSetBaudRate, 9600, "9600 baud"},
                  {rfc2217::kSetDataSize, 8, "8 data bits"},
                  {rfc2217::kSetParity, rfc2217::kParityNone, "no parity"},
                  {rfc2217::kSetStopSize, rfc2217::kStopBitsOne, "1 stop bit"},
                  {rfc2217::kSetControl, rfc2217::kControlNoFlow, "no flow control"}}} {
    AppendNegotiation(m_outbox, kWill, kOptionComPort);
    AppendNegotiation(m_outbox, kWill, kOptionBinary);
    AppendNegotiation(m_outbox, kDo, kOptionBinary);
}

void Rfc2217Client::Receive(std::span<const std::uint8_t> bytes) {
    m_reader.Feed(bytes, *this);
}

Rfc2217Client::State Rfc2217Client::Progress() const {
    if (!m_refusal.empty()) {
        return State::Refused;
    }
    if (m_comPort != Side::On || m_binaryOut != Side::On || m_binaryIn != Side::On) {
        return State::Negotiating;
    }
    for (const Setting& setting : m_settings) {
        if (!setting.answered) {
            return State::Negotiating;
        }
    }
    return State::Ready;
}

std::string Rfc2217Client::Awaited() const {
    if (m_comPort != Side::On) {
        return "its answer to the COM-PORT-OPTION (RFC 2217)";
    }
    if (m_binaryOut != Side::On || m_binaryIn != Side::On) {
        return "its answer to binary transmission";
    }
    for (const Setting& setting : m_settings) {
        if (!setting.answered) {
            return std::string("its answer to setting ") + setting.words;
        }
    }
    return "nothing";
}

void Rfc2217Client::Refuse(std::string what) {
    if (m_refusal.empty()) {
        m_refusal = std::move(what);
    }
}

void Rfc2217Client::SendSettings() {
    if (m_settingsSent) {
        return;
    }
    m_settingsSent = true;
    for (const Setting& setting : m_settings) {
        if (setting.command == rfc2217::kSetBaudRate) {
            const std::uint32_t v = setting.value;
            const std::uint8_t payload[] = {setting.command, static_cast<std::uint8_t>(v >> 24),
                                            static_cast<std::uint8_t>(v >> 16),
                                            static_cast<std::uint8_t>(v >> 8),
                                            static_cast<std::uint8_t>(v)};
            AppendSubnegotiation(m_outbox, kOptionComPort, payload);
        } else {
            const std::uint8_t payload[] = {setting.command,
                                            static_cast<std::uint8_t>(setting.value)};
            AppendSubnegotiation(m_outbox, kOptionComPort, payload);
        }
    }
}

void Rfc2217Client::OnNegotiation(std::uint8_t verb, std::uint8_t option) {
    // Our side of an option is what the server's DO and DONT answer; its side its WILL and WONT.
    // A request is answered only when it changes an option's state, so no two peers can loop.
    const bool aboutUs = verb == kDo || verb == kDont;
    const bool yes = verb == kDo || verb == kWill;
    Side* side = nullptr;
    if (option == kOptionComPort && aboutUs) {
        side = &m_comPort;
    } else if (option == kOptionBinary) {
        side = aboutUs ? &m_binaryOut : &m_binaryIn;
    }
    if (side == nullptr) {
        // Go-ahead suppressed costs nothing and some servers insist on it; all else is refused.
        if (option == kOptionSuppressGoAhead && verb == kWill) {
            AppendNegotiation(m_outbox, kDo, option);
        } else if (yes) {
            AppendNegotiation(m_outbox, aboutUs ? kWont : kDont, option);
        }
        return;
    }
    const Side before = *side;
    if (yes) {
        *side = Side::On;
        if (before == Side::Off) {
            AppendNegotiation(m_outbox, aboutUs ? kWill : kDo, option);
        }
        if (side == &m_comPort) {
            SendSettings();
        }
        return;
    }
    *side = Side::Off;
    if (before == Side::On) {
        AppendNegotiation(m_outbox, aboutUs ? kWont : kDont, option);
    }
    if (side == &m_comPort) {
        Refuse("the COM-PORT-OPTION (RFC 2217)");
    } else if (side == &m_binaryOut) {
        Refuse("binary transmission from the client (Telnet BINARY)");
    } else {
        Refuse("binary transmission to the client (Telnet BINARY)");
    }
}

void Rfc2217Client::OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                                     bool complete) {
    if (option != kOptionComPort || payload.empty() || payload[0] < rfc2217::kServerAnswer) {
        return;
    }
    const std::uint8_t command = payload[0] - rfc2217::kServerAnswer;
    for (Setting& setting : m_settings) {
        if (setting.command != command || !m_settingsSent) {
            continue;
        }
        const std::size_t size = command == rfc2217::kSetBaudRate ? 4 : 1;
        const std::span<const std::uint8_t> value = payload.subspan(1);
        if (!complete || value.size() != size) {
            Refuse(std::string("a readable answer to setting ") + setting.words);
        } else if (ValueOf(value) != setting.value) {
            Refuse(std::string("setting ") + setting.words + " (it answered " +
                   std::to_string(ValueOf(value)) + ")");
        } else {
            setting.answered = true;
        }
    }
    // Notifications of the line and the modem, and flow control asked by the server, change
    // nothing for a line that only carries frames out.
}

} // namespace kalvor_sync
