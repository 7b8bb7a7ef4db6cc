#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kalvor_sim {

// Where the simulator's received bytes come from: a replay of captured bytes now, a serial port
// once one can be opened from here. The simulator stamps each chunk with its arrival time.
class ByteSource {
public:
    struct Chunk {
        std::size_t count = 0; // bytes placed in the buffer; 0 when the line stayed quiet a while
        bool ended = false;    // nothing more will come
        std::string error;     // set, with `ended`, when reading failed
    };

    virtual ~ByteSource() = default;

    // Reads the bytes that have arrived, waiting a while if none has.
    virtual Chunk Read(std::span<std::uint8_t> buffer) = 0;
};

} // namespace kalvor_sim
