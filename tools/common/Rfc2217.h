#pragma once

#include <cstdint>

// RFC 2217's COM-PORT-OPTION: the numbers a client and a server of a remote serial line use in
// their subnegotiations (IAC SB 44 command value IAC SE). A server answers each command of the
// client with the command plus kServerAnswer and the value it applied.
namespace rfc2217 {

inline constexpr std::uint8_t kSignature = 0;
inline constexpr std::uint8_t kSetBaudRate = 1; // value: 4 bytes, big-endian; 0 asks
inline constexpr std::uint8_t kSetDataSize = 2; // 5 to 8; 0 asks
inline constexpr std::uint8_t kSetParity = 3;   // 1 none, 2 odd, 3 even, 4 mark, 5 space; 0 asks
inline constexpr std::uint8_t kSetStopSize = 4; // 1 one, 2 two, 3 one and a half; 0 asks
inline constexpr std::uint8_t kSetControl = 5;  // 1 no flow control, 2 XON/XOFF, 3 RTS/CTS, ...
inline constexpr std::uint8_t kNotifyLineState = 6;
inline constexpr std::uint8_t kNotifyModemState = 7;
inline constexpr std::uint8_t kFlowControlSuspend = 8;
inline constexpr std::uint8_t kFlowControlResume = 9;
inline constexpr std::uint8_t kSetLineStateMask = 10;
inline constexpr std::uint8_t kSetModemStateMask = 11;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerAnswer = 100;

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kStopBitsOne = 1;
inline constexpr std::uint8_t kControlNoFlow = 1;
inline constexpr std::uint8_t kControlSoftwareFlow = 2;
inline constexpr std::uint8_t kControlHardwareFlow = 3;

} // namespace rfc2217
