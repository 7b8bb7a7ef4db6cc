#pragma once

#include "platform/LocalInstant.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalvor_sim {

// What became of a run of received bytes: a frame the device accepts, or the reason it does not.
enum class FrameVerdict {
    Accepted,
    Noise,          // bytes outside any frame, before a start byte
    Truncated,      // a frame cut short by a new start byte, by silence or by the end of input
    BadFieldNumber, // second byte not 1 to 7
    BadCheckByte,   // the four bytes do not sum to 0xFF
    NotBcd,         // a BCD field with a digit above 9
    OutOfRange,     // a value outside its field's range (month 13, weekday 7, minute 60)
    DayNotInMonth,  // a day the device's month does not have (given by the device, not here)
};

// Short fixed words for machine-readable output: "ok", "noise", "truncated", "field_number",
// "check_byte", "not_bcd", "out_of_range", "day_not_in_month".
const char* VerdictCode(FrameVerdict verdict);

// The name of field 1 to 7 ("year" ... "second", timeset/TimeFrame.h), or "" for a byte that is
// no field number, as a decoded frame may hold.
const char* FieldLabel(int fieldNumber);

struct DecodedFrame {
    LocalInstant m_arrival;            // when its last byte arrived
    std::vector<std::uint8_t> m_bytes; // as received; for noise, the bytes skipped
    FrameVerdict m_verdict = FrameVerdict::Accepted;
    int m_fieldNumber = 0; // 1 to 7 when the second byte is a field number, else 0
    int m_value = 0;       // the field's value in decimal (the year's two digits); when accepted
    std::string m_detail;  // why it was rejected, for people; empty when accepted
};

// Turns a stream of received bytes into frames, byte by byte, each byte with its arrival time.
//
// A frame is the start byte 0xF6, a field number, a value and a check byte. Bytes before a start
// byte are noise. A frame is cut short (and the bytes so far reported as truncated) when:
//   - a start byte arrives in place of its field number or value, which can never be 0xF6, or in
//     place of its check byte when 0xF6 is not the right check byte (it is for year 12, month 11
//     and day 10, whose frames end in 0xF6); that byte then starts the next frame;
//   - a byte arrives after more than the silence limit since the frame's previous byte: at 9600
//     baud a frame takes 4.2 ms, and frames are sent 200 ms apart, so the default limit of 100 ms
//     sits well clear of both (a USB adapter's latency included) while separating any two frames;
//   - the input ends, or the reader reports silence beyond the limit (Flush).
// A complete frame is checked in this order: field number, check byte, value. Any input is
// accepted; nothing in it can make the decoder fail.
class FrameDecoder {
public:
    static constexpr int kDefaultSilenceLimitMs = 100;
    // Noise is reported in runs of at most this many bytes, so that no report grows unbounded.
    static constexpr std::size_t kLongestNoiseRun = 64;

    explicit FrameDecoder(int silenceLimitMs = kDefaultSilenceLimitMs);

    // Takes one byte; appends to `out` what it completes (up to two reports: what it cut short,
    // and a frame or noise run it ends).
    void Feed(std::uint8_t byte, const LocalInstant& arrival, std::vector<DecodedFrame>& out);

    // The line has been quiet until `now`: a partial frame or noise run older than the silence
    // limit is reported. `inputEnded` reports whatever is pending, however recent.
    void Flush(const LocalInstant& now, bool inputEnded, std::vector<DecodedFrame>& out);

private:
    void ReportPending(const std::string& why, std::vector<DecodedFrame>& out);
    void ReportNoise(std::vector<DecodedFrame>& out);
    void CompleteFrame(std::vector<DecodedFrame>& out);

    int m_silenceLimitMs;
    std::vector<std::uint8_t> m_frame; // the frame under way, from its start byte; or empty
    std::vector<std::uint8_t> m_noise; // bytes skipped since the last frame
    LocalInstant m_lastArrival;        // of the last byte in m_frame or m_noise
};

} // namespace kalvor_sim
