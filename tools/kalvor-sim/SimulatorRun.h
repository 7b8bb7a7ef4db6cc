#pragma once

#include "ByteSource.h"
#include "FrameDecoder.h"
#include "platform/LocalInstant.h"

#include <functional>
#include <ostream>

namespace kalvor_sim {

// The computer's local clock as the simulator reads it; replaced by a fixed one in tests.
using LocalClock = std::function<LocalInstant()>;

struct RunOptions {
    bool json = false; // JSON lines instead of lines for people
    int silenceLimitMs =
        FrameDecoder::kDefaultSilenceLimitMs; // a frame quiet for longer is truncated
    int stopAfterSequences = 0; // stop after this many complete sequences; 0 runs to the end
    bool lineTime = false;      // arrivals as a 9600-baud line gives them (LineTime.h)
};

// Feeds everything the source delivers, stamped with the clock's reading at its arrival, to one
// simulated device, and writes one line per report to `out`, flushed at once so that a reader
// sees each frame as it arrives. Returns 0 when the input ended or enough sequences came, 1 when
// reading failed (told on `errors`).
int RunSimulator(ByteSource& source, const LocalClock& clock, const RunOptions& options,
                 std::ostream& out, std::ostream& errors);

} // namespace kalvor_sim
