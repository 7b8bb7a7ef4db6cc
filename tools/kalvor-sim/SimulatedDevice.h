#pragma once

#include "DeviceClock.h"
#include "FrameDecoder.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kalvor_sim {

// The end of a sequence of frames: complete, with the clock it left on the device, or broken.
struct SequenceReport {
    LocalInstant m_arrival; // of the frame (or event) that ended it
    bool m_complete = false;
    int m_framesAccepted = 0; // of this sequence, in order from the year
    // Complete sequences: what the device shows at the seconds frame's arrival, the computer's
    // local time then, and their difference (device minus computer, in ms).
    LocalInstant m_deviceClock;
    LocalInstant m_computerClock;
    std::int64_t m_errorMs = 0;
    bool m_weekdayMatchesDate = false;
    std::string m_detail; // why a sequence is incomplete; empty when complete
};

using DeviceReport = std::variant<DecodedFrame, SequenceReport>;

// A clock device on the far end of a serial line: it decodes the bytes it receives, sets its
// clock from every frame it accepts, and follows the sequences of seven frames that set it.
//
// A sequence is the seven fields in order, year to second, each accepted. A year frame always
// starts a new one. A sequence is broken, and reported as incomplete, by a rejected or truncated
// frame, by a frame out of order, by a new year frame before the seconds, or by the end of input;
// noise between frames does not break it. Every accepted frame sets its field whether or not it
// belongs to a sequence, as on a real device; a day frame is rejected if the month and year the
// device holds at that moment have no such day.
class SimulatedDevice {
public:
    SimulatedDevice(const LocalInstant& powerOnAt,
                    int silenceLimitMs = FrameDecoder::kDefaultSilenceLimitMs);

    // One received byte and its arrival on the computer's local clock; reports what it ends.
    void Receive(std::uint8_t byte, const LocalInstant& arrival, std::vector<DeviceReport>& out);

    // The line has been quiet until `now`, or (`inputEnded`) will stay so.
    void NoteSilence(const LocalInstant& now, bool inputEnded, std::vector<DeviceReport>& out);

    const DeviceClock& Clock() const { return m_clock; }

private:
    void Handle(std::vector<DecodedFrame>& frames, std::vector<DeviceReport>& out);
    void Follow(const DecodedFrame& frame, std::vector<DeviceReport>& out);
    void Break(const LocalInstant& at, const std::string& why, std::vector<DeviceReport>& out);

    FrameDecoder m_decoder;
    DeviceClock m_clock;
    int m_framesInSequence = 0; // accepted in order from the year; 0 when none is under way
    std::vector<DecodedFrame> m_decoded; // scratch, kept to spare allocations
};

} // namespace kalvor_sim
