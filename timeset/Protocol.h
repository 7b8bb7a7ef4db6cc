#pragma once

#include <cstdint>
#include <string>

// The time-set protocol's numbers, in one place: how the line runs and how a sequence is paced.
// The frames themselves are in timeset/TimeFrame.h.

// The line: 9600 baud, 8 data bits, no parity, 1 stop bit.
inline constexpr int kLineBaudRate = 9600;
inline constexpr char kLineParity = 'N';
inline constexpr int kLineDataBits = 8;
inline constexpr int kLineStopBits = 1;

// "baud=9600 parity=N data=8 stop=1", as the platform's line-definition parser takes it.
std::string LineDefinition();

// A sequence is seven frames, year first and seconds last, one every 200 ms.
inline constexpr int kFramesPerSequence = 7;
inline constexpr int kFramePeriodMs = 200;
inline constexpr std::int64_t kFramePeriodMicroseconds = std::int64_t{kFramePeriodMs} * 1000;

// A frame's four bytes take 10 bits each (start, 8 data, stop) on the line: 4.17 ms at 9600 baud
// from the first bit to the last.
inline constexpr int kFrameBytes = 4;
inline constexpr std::int64_t kFrameLineMicroseconds =
    std::int64_t{kFrameBytes} * (1 + kLineDataBits + kLineStopBits) * 1'000'000 / kLineBaudRate;
