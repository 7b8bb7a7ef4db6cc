#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The Telnet protocol's byte stream: data, option negotiation and subnegotiation, as RFC 2217
// devices speak it. The reader takes whatever a peer sends (it comes from the network) and never
// keeps more than a bounded subnegotiation; the writers double every 0xFF of data.
namespace telnet {

inline constexpr std::uint8_t kIac = 255;  // "interpret as command": the escape of the stream
inline constexpr std::uint8_t kDont = 254; // verbs of option negotiation
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250; // subnegotiation begins
inline constexpr std::uint8_t kSe = 240; // subnegotiation ends

inline constexpr std::uint8_t kOptionBinary = 0;          // 8-bit data, unchanged
inline constexpr std::uint8_t kOptionSuppressGoAhead = 3; // no "go ahead" between turns
inline constexpr std::uint8_t kOptionComPort = 44;        // RFC 2217's COM-PORT-OPTION

// What a reader hands on, in the order it came.
class Handler {
public:
    virtual ~Handler() = default;
    virtual void OnData(std::uint8_t byte) = 0;
    // WILL, WONT, DO or DONT, for an option.
    virtual void OnNegotiation(std::uint8_t verb, std::uint8_t option) = 0;
    // IAC SB option payload IAC SE, with the payload's doubled 0xFF undone. `complete` is false
    // when it was longer than the reader keeps (the payload is its start) or was broken off by
    // another command (the payload is what came before it).
    virtual void OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                                  bool complete) = 0;
};

// Reads a Telnet stream in pieces of any size: a command may be split anywhere between them.
class Reader {
public:
    // A subnegotiation of RFC 2217 carries at most a few bytes; longer ones are cut to this.
    static constexpr std::size_t kLongestSubnegotiation = 64;

    void Feed(std::span<const std::uint8_t> bytes, Handler& handler);

private:
    enum class State { Data, Command, Verb, SubOption, SubData, SubCommand };
    void Command(std::uint8_t byte, Handler& handler);

    State m_state = State::Data;
    std::uint8_t m_verb = 0;
    std::uint8_t m_option = 0;
    bool m_cutShort = false;
    std::vector<std::uint8_t> m_payload;
};

// Appends data with every 0xFF doubled.
void AppendData(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes);
// Appends IAC verb option.
void AppendNegotiation(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t option);
// Appends IAC SB option payload IAC SE, with every 0xFF of the payload doubled.
void AppendSubnegotiation(std::vector<std::uint8_t>& out, std::uint8_t option,
                          std::span<const std::uint8_t> payload);

} // namespace telnet
