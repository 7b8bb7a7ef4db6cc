#include "Telnet.h"

namespace telnet {

void Reader::Feed(std::span<const std::uint8_t> bytes, Handler& handler) {
    for (const std::uint8_t byte : bytes) {
        switch (m_state) {
        case State::Data:
            if (byte == kIac) {
                m_state = State::Command;
            } else {
                handler.OnData(byte);
            }
            break;
        case State::Command:
            Command(byte, handler);
            break;
        case State::Verb:
            m_state = State::Data;
            handler.OnNegotiation(m_verb, byte);
            break;
        case State::SubOption:
            m_option = byte;
            m_payload.clear();
            m_cutShort = false;
            m_state = State::SubData;
            break;
        case State::SubData:
            if (byte == kIac) {
                m_state = State::SubCommand;
            } else if (m_payload.size() < kLongestSubnegotiation) {
                m_payload.push_back(byte);
            } else {
                m_cutShort = true;
            }
            break;
        case State::SubCommand:
            if (byte == kIac) {
                if (m_payload.size() < kLongestSubnegotiation) {
                    m_payload.push_back(byte);
                } else {
                    m_cutShort = true;
                }
                m_state = State::SubData;
            } else if (byte == kSe) {
                m_state = State::Data;
                handler.OnSubnegotiation(m_option, m_payload, !m_cutShort);
            } else {
                // Any other command ends the subnegotiation unfinished, and counts as itself.
                handler.OnSubnegotiation(m_option, m_payload, false);
                Command(byte, handler);
            }
            break;
        }
    }
}

void Reader::Command(std::uint8_t byte, Handler& handler) {
    switch (byte) {
    case kIac:
        m_state = State::Data;
        handler.OnData(kIac);
        break;
    case kWill:
    case kWont:
    case kDo:
    case kDont:
        m_verb = byte;
        m_state = State::Verb;
        break;
    case kSb:
        m_state = State::SubOption;
        break;
    default:
        // NOP, go-ahead, data mark, a stray SE and the rest carry nothing for a serial line.
        m_state = State::Data;
        break;
    }
}

void AppendData(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        out.push_back(byte);
        if (byte == kIac) {
            out.push_back(kIac);
        }
    }
}

void AppendNegotiation(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
}

void AppendSubnegotiation(std::vector<std::uint8_t>& out, std::uint8_t option,
                          std::span<const std::uint8_t> payload) {
    out.insert(out.end(), {kIac, kSb, option});
    AppendData(out, payload);
    out.insert(out.end(), {kIac, kSe});
}

} // namespace telnet
