#include "FrameDecoder.h"

#include "timeset/TimeFrame.h"

#include <cstdio>

namespace kalvor_sim {

namespace {

std::string Hex(int byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte & 0xFF);
    return text;
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

bool IsFieldNumber(int number) {
    return number >= 1 && number <= kFramesPerSequence;
}

struct FieldRange {
    bool bcd;
    int lowest;
    int highest;
};

constexpr FieldRange kRanges[kFramesPerSequence] = {
    {true, 0, 99},                               // year, its last two digits
    {true, 1, 12}, {true, 1, 31}, {false, 0, 6}, // weekday, a plain number
    {true, 0, 23}, {true, 0, 59}, {true, 0, 59},
};

// Checks the value byte of a field; on success `value` holds it in decimal.
FrameVerdict CheckValue(int fieldNumber, std::uint8_t byte, int& value, std::string& detail) {
    const FieldRange& range = kRanges[fieldNumber - 1];
    if (range.bcd) {
        if ((byte >> 4) > 9 || (byte & 0x0F) > 9) {
            detail = std::string(FieldLabel(fieldNumber)) + " " + Hex(byte) +
                     " is not BCD: a digit is above 9";
            return FrameVerdict::NotBcd;
        }
        value = (byte >> 4) * 10 + (byte & 0x0F);
    } else {
        value = byte;
    }
    if (value < range.lowest || value > range.highest) {
        detail = std::string(FieldLabel(fieldNumber)) + " " + std::to_string(value) + " is not " +
                 std::to_string(range.lowest) + " to " + std::to_string(range.highest);
        return FrameVerdict::OutOfRange;
    }
    return FrameVerdict::Accepted;
}

} // namespace

const char* VerdictCode(FrameVerdict verdict) {
    switch (verdict) {
    case FrameVerdict::Accepted:
        return "ok";
    case FrameVerdict::Noise:
        return "noise";
    case FrameVerdict::Truncated:
        return "truncated";
    case FrameVerdict::BadFieldNumber:
        return "field_number";
    case FrameVerdict::BadCheckByte:
        return "check_byte";
    case FrameVerdict::NotBcd:
        return "not_bcd";
    case FrameVerdict::OutOfRange:
        return "out_of_range";
    case FrameVerdict::DayNotInMonth:
        return "day_not_in_month";
    }
    return "unknown";
}

const char* FieldLabel(int fieldNumber) {
    const std::optional<FrameStep> step = FrameStep::OfField(fieldNumber);
    return step ? FieldName(*step) : "";
}

FrameDecoder::FrameDecoder(int silenceLimitMs) : m_silenceLimitMs(silenceLimitMs) {}

void FrameDecoder::Feed(std::uint8_t byte, const LocalInstant& arrival,
                        std::vector<DecodedFrame>& out) {
    Flush(arrival, false, out);

    if (m_frame.empty()) {
        if (byte == kFrameStartByte) {
            ReportNoise(out);
            m_frame.push_back(byte);
        } else {
            m_noise.push_back(byte);
        }
        m_lastArrival = arrival;
        if (m_noise.size() >= kLongestNoiseRun) {
            ReportNoise(out);
        }
        return;
    }

    const bool atCheckByte = m_frame.size() == 3;
    const bool isRightCheckByte = atCheckByte && byte == FrameCheckByte(m_frame[1], m_frame[2]);
    if (byte == kFrameStartByte && !isRightCheckByte) {
        ReportPending("a new start byte arrived", out);
    }
    m_frame.push_back(byte);
    m_lastArrival = arrival;
    if (m_frame.size() == 4) {
        CompleteFrame(out);
    }
}

void FrameDecoder::Flush(const LocalInstant& now, bool inputEnded, std::vector<DecodedFrame>& out) {
    if (m_frame.empty() && m_noise.empty()) {
        return;
    }
    const std::int64_t quiet = MillisecondsBetween(m_lastArrival, now);
    if (inputEnded) {
        ReportNoise(out);
        ReportPending("the input ended", out);
    } else if (quiet > m_silenceLimitMs) {
        ReportNoise(out);
        ReportPending(std::to_string(quiet) + " ms of silence", out);
    }
}

void FrameDecoder::ReportPending(const std::string& why, std::vector<DecodedFrame>& out) {
    if (m_frame.empty()) {
        return;
    }
    DecodedFrame report;
    report.m_arrival = m_lastArrival;
    report.m_bytes = m_frame;
    report.m_verdict = FrameVerdict::Truncated;
    if (m_frame.size() > 1 && IsFieldNumber(m_frame[1])) {
        report.m_fieldNumber = m_frame[1];
    }
    report.m_detail = "truncated after " + Plural(m_frame.size(), "byte") + ": " + why;
    out.push_back(std::move(report));
    m_frame.clear();
}

void FrameDecoder::ReportNoise(std::vector<DecodedFrame>& out) {
    if (m_noise.empty()) {
        return;
    }
    DecodedFrame report;
    report.m_arrival = m_lastArrival;
    report.m_verdict = FrameVerdict::Noise;
    report.m_detail = Plural(m_noise.size(), "byte") + " outside any frame";
    report.m_bytes.swap(m_noise);
    out.push_back(std::move(report));
}

void FrameDecoder::CompleteFrame(std::vector<DecodedFrame>& out) {
    DecodedFrame report;
    report.m_arrival = m_lastArrival;
    report.m_bytes.swap(m_frame);
    const std::uint8_t field = report.m_bytes[1];
    const std::uint8_t value = report.m_bytes[2];
    const std::uint8_t check = report.m_bytes[3];

    if (!IsFieldNumber(field)) {
        report.m_verdict = FrameVerdict::BadFieldNumber;
        report.m_detail = "field number " + Hex(field) + " is not 1 to 7";
    } else {
        report.m_fieldNumber = field;
        const std::uint8_t expected = FrameCheckByte(field, value);
        if (check != expected) {
            report.m_verdict = FrameVerdict::BadCheckByte;
            report.m_detail = "check byte " + Hex(check) + ", expected " + Hex(expected);
        } else {
            report.m_verdict = CheckValue(field, value, report.m_value, report.m_detail);
        }
    }
    if (report.m_verdict != FrameVerdict::Accepted) {
        report.m_value = 0;
    }
    out.push_back(std::move(report));
}

} // namespace kalvor_sim
