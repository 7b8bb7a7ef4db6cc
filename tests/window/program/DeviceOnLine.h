#pragma once

#include "tests/serial/support/FarEnd.h"
#include "tools/kalvor-sim/SimulatedDevice.h"

#include <cstddef>
#include <vector>

// A clock device on the far end of port n's line (port n + 20 of its pair), as the tests see it:
// every byte that comes is stamped with the local time at which it was read and goes to a
// simulated device, which decodes the frames and sets its clock from them.
using kalvor_sim::DecodedFrame;
using kalvor_sim::SequenceReport;

class DeviceOnLine {
public:
    explicit DeviceOnLine(int portNumber);

    // Listens until `count` frames in all have come or `milliseconds` have passed.
    void ListenForFrames(std::size_t count, int milliseconds);
    // Listens for `milliseconds`, whatever comes.
    void ListenFor(int milliseconds);
    // Sends bytes to the program, as a device that talks back.
    bool Send(const serial_test::Bytes& bytes) { return m_line.Write(bytes); }

    std::size_t BytesReceived() const { return m_bytesReceived; }
    // Frames (and noise) decoded so far, in arrival order.
    const std::vector<DecodedFrame>& Frames() const { return m_frames; }
    // Field numbers of the frames decoded so far, in arrival order.
    std::vector<int> Fields() const;
    const std::vector<SequenceReport>& Sequences() const { return m_sequences; }

private:
    serial_test::FarEnd m_line;
    kalvor_sim::SimulatedDevice m_device;
    std::size_t m_bytesReceived = 0;
    std::vector<DecodedFrame> m_frames;
    std::vector<SequenceReport> m_sequences;
};

// A whole sequence as the device sees it: seven frames, fields 1 to 7, over well within 5 s.
constexpr std::size_t kFramesPerSequence = 7;
constexpr int kSequenceWaitMs = 5000;
inline const std::vector<int> kAllFields{1, 2, 3, 4, 5, 6, 7};

// The local time now, to the millisecond, as the program reads it.
LocalInstant LocalNow();
