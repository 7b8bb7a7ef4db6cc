#pragma once

#include <cstdint>

namespace platform {

enum class Parity : char { None = 'N', Odd = 'O', Even = 'E', Mark = 'M', Space = 'S' };

// A serial line's speed and framing, as a value; each backend makes its own record of it.
struct LineFormat {
    std::uint32_t baudRate = 9600;
    std::uint8_t dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    std::uint8_t stopBits = 1; // 1 or 2

    // Bits on the line per character: start bit, data, parity if any, stop bits.
    constexpr int BitsPerCharacter() const {
        return 1 + dataBits + (parity == Parity::None ? 0 : 1) + stopBits;
    }

    friend constexpr bool operator==(const LineFormat&, const LineFormat&) = default;
};

} // namespace platform
