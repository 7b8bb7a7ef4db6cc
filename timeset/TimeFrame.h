#pragma once

#include "Protocol.h"
#include "platform/LocalInstant.h"

#include <array>
#include <cstdint>
#include <optional>

// The wire format that sets the device's clock: seven frames of four bytes, one field each,
// year first and seconds last.
//
//   offset 0  start byte 0xF6
//   offset 1  field number 1..7
//   offset 2  field value: BCD, but the weekday as a plain 0..6 (0 Sunday)
//   offset 3  check byte: ~(value - K) with K = 10 - field number, so all four bytes sum to 0xFF
using TimeFrame = std::array<std::uint8_t, kFrameBytes>;

inline constexpr std::uint8_t kFrameStartByte = 0xF6;

// The position of a frame in the sequence. Only the seven valid steps exist as values: the one
// way in from a plain number is At(), which refuses anything outside 0..6, so no caller can hand
// BuildTimeFrame a step it has no frame for.
class FrameStep {
public:
    static constexpr std::optional<FrameStep> At(int index) {
        if (index < 0 || index >= kFramesPerSequence) {
            return std::nullopt;
        }
        return FrameStep(index);
    }
    static constexpr FrameStep First() { return FrameStep(0); }
    // The step of the frame with field number 1 to 7.
    static constexpr std::optional<FrameStep> OfField(int fieldNumber) {
        return At(fieldNumber - 1);
    }

    constexpr int Index() const { return m_index; }
    constexpr std::uint8_t FieldNumber() const { return static_cast<std::uint8_t>(m_index + 1); }

private:
    explicit constexpr FrameStep(int index) : m_index(index) {}
    int m_index;
};

// Two decimal digits in one byte, tens in the high half: 16 gives 0x16. Kept to 8 bits.
constexpr std::uint8_t ToBcd(int value) {
    return static_cast<std::uint8_t>((value / 10) * 16 + value % 10);
}

// The check byte that makes the frame's four bytes sum to 0xFF modulo 256.
constexpr std::uint8_t FrameCheckByte(std::uint8_t fieldNumber, std::uint8_t value) {
    return static_cast<std::uint8_t>(0xFF - ((kFrameStartByte + fieldNumber + value) & 0xFF));
}

// The four bytes of one step's frame for the given time. Pure: no clock, no port.
TimeFrame BuildTimeFrame(const LocalInstant& snapshot, FrameStep step);

// The field a step's frame carries: "year", "month", "day", "weekday", "hour", "minute", "second".
const char* FieldName(FrameStep step);
