#pragma once

#include "tools/kalvor-sync/reference/NtpPacket.h"

#include <cstdint>
#include <vector>

namespace kalvor_sync::reference {

// A server's answer as the tests make it: the header's fields written out, big-endian.
inline std::vector<std::uint8_t> AnswerBytes(const PacketFields& fields) {
    std::vector<std::uint8_t> bytes(kPacketBytes);
    bytes[0] = static_cast<std::uint8_t>(fields.leap << 6 | fields.version << 3 | fields.mode);
    bytes[1] = static_cast<std::uint8_t>(fields.stratum);
    bytes[2] = static_cast<std::uint8_t>(fields.poll);
    bytes[3] = static_cast<std::uint8_t>(fields.precision);
    const auto put = [&bytes](std::size_t at, std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (count - 1 - i)));
        }
    };
    put(4, fields.rootDelay, 4);
    put(8, fields.rootDispersion, 4);
    put(12, fields.referenceId, 4);
    put(16, fields.reference, 8);
    put(24, fields.origin, 8);
    put(32, fields.receive, 8);
    put(40, fields.transmit, 8);
    return bytes;
}

// A good answer of stratum 2 to a request sent with `origin`, stamped T2 and T3.
inline PacketFields GoodAnswer(NtpTimestamp origin, NtpTimestamp receive, NtpTimestamp transmit) {
    PacketFields fields;
    fields.version = 4;
    fields.mode = 4;
    fields.stratum = 2;
    fields.precision = -20;
    fields.rootDelay = 0x0000'0100;      // 3.9 ms
    fields.rootDispersion = 0x0000'0080; // 2 ms
    fields.referenceId = 0x7F00'0001;
    fields.reference = receive;
    fields.origin = origin;
    fields.receive = receive;
    fields.transmit = transmit;
    return fields;
}

} // namespace kalvor_sync::reference
