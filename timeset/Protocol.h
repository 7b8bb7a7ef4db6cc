#pragma once

#include "platform/LineFormat.h"

#include <cstdint>

// The time-set protocol's numbers, in one place: how the line runs and how a sequence is paced.
// The frames themselves are in timeset/TimeFrame.h.

// The device's line: 9600 baud, 8 data bits, no parity, 1 stop bit.
inline constexpr platform::LineFormat kTimeSetLine{9600, 8, platform::Parity::None, 1};

// A sequence is seven frames, year first and seconds last, one every 200 ms.
inline constexpr int kFramesPerSequence = 7;
inline constexpr int kFramePeriodMs = 200;
inline constexpr std::int64_t kFramePeriodMicroseconds = std::int64_t{kFramePeriodMs} * 1000;

// A frame's four bytes take 10 bits each (start, 8 data, stop) on the line: 4.17 ms at 9600 baud
// from the first bit to the last.
inline constexpr int kFrameBytes = 4;
inline constexpr std::int64_t kFrameLineMicroseconds =
    std::int64_t{kFrameBytes} * kTimeSetLine.BitsPerCharacter() * 1'000'000 / kTimeSetLine.baudRate;
