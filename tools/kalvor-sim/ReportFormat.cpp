#include "ReportFormat.h"

#include <cstdio>

namespace {

const char* WeekdayName(int weekday) {
    static const char* const kNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
    return weekday >= 0 && weekday < 7 ? kNames[weekday] : "?";
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        if (!text.empty()) {
            text += ' ';
        }
        text += pair;
    }
    return text;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

// Builds one JSON object key by key, in the order given.
class JsonObject {
public:
    JsonObject& Add(const char* key, const std::string& value) {
        return Raw(key, JsonString(value));
    }
    JsonObject& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    JsonObject& Add(const char* key, std::int64_t value) { return Raw(key, std::to_string(value)); }
    JsonObject& Add(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
    std::string Text() const { return "{" + m_members + "}"; }

private:
    JsonObject& Raw(const char* key, const std::string& json) {
        if (!m_members.empty()) {
            m_members += ',';
        }
        m_members += JsonString(key) + ':' + json;
        return *this;
    }
    std::string m_members;
};

std::string HumanFrame(const DecodedFrame& frame) {
    const bool accepted = frame.m_verdict == FrameVerdict::Accepted;
    std::string line =
        FormatInstant(frame.m_arrival) + "  " + Padded(HexBytes(frame.m_bytes), 11) + "  " +
        Padded(frame.m_verdict == FrameVerdict::Noise ? "noise" : FieldName(frame.m_fieldNumber),
               7) +
        "  " + Padded(accepted ? std::to_string(frame.m_value) : "--", 2) + "  ";
    return line + (accepted ? "ok" : std::string("rejected: ") + frame.m_detail);
}

std::string HumanSequence(const SequenceReport& sequence) {
    std::string line = FormatInstant(sequence.m_arrival) + "  sequence ";
    if (!sequence.m_complete) {
        return line + sequence.m_detail;
    }
    const int weekday = sequence.m_deviceClock.m_time.m_weekday;
    line += "complete: device clock " + FormatInstant(sequence.m_deviceClock) + " " +
            WeekdayName(weekday) + ", error " + std::to_string(sequence.m_errorMs) + " ms";
    if (!sequence.m_weekdayMatchesDate) {
        line += std::string(" (the weekday ") + WeekdayName(weekday) + " is not the date's)";
    }
    return line;
}

std::string JsonFrame(const DecodedFrame& frame) {
    const bool noise = frame.m_verdict == FrameVerdict::Noise;
    const bool accepted = frame.m_verdict == FrameVerdict::Accepted;
    JsonObject json;
    json.Add("type", noise ? "noise" : "frame");
    json.Add("arrival", FormatInstant(frame.m_arrival, 'T')).Add("bytes", HexBytes(frame.m_bytes));
    if (frame.m_fieldNumber != 0) {
        json.Add("field", std::int64_t{frame.m_fieldNumber})
            .Add("name", FieldName(frame.m_fieldNumber));
    }
    if (accepted) {
        json.Add("value", std::int64_t{frame.m_value}).Add("status", "ok");
    } else {
        json.Add("status", "rejected")
            .Add("reason", VerdictCode(frame.m_verdict))
            .Add("detail", frame.m_detail);
    }
    return json.Text();
}

std::string JsonSequence(const SequenceReport& sequence) {
    JsonObject json;
    json.Add("type", "sequence")
        .Add("arrival", FormatInstant(sequence.m_arrival, 'T'))
        .Add("complete", sequence.m_complete)
        .Add("frames", std::int64_t{sequence.m_framesAccepted});
    if (!sequence.m_complete) {
        return json.Add("detail", sequence.m_detail).Text();
    }
    return json.Add("device", FormatInstant(sequence.m_deviceClock, 'T'))
        .Add("weekday", std::int64_t{sequence.m_deviceClock.m_time.m_weekday})
        .Add("weekday_matches_date", sequence.m_weekdayMatchesDate)
        .Add("computer", FormatInstant(sequence.m_computerClock, 'T'))
        .Add("error_ms", sequence.m_errorMs)
        .Text();
}

} // namespace

std::string FormatInstant(const LocalInstant& instant, char separator) {
    const TimeSnapshot& t = instant.m_time;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d",
                  static_cast<int>(t.m_year), static_cast<int>(t.m_month),
                  static_cast<int>(t.m_day), separator, static_cast<int>(t.m_hour),
                  static_cast<int>(t.m_minute), static_cast<int>(t.m_second),
                  static_cast<int>(instant.m_milliseconds));
    return text;
}

std::string HumanLine(const DeviceReport& report) {
    if (const auto* frame = std::get_if<DecodedFrame>(&report)) {
        return HumanFrame(*frame);
    }
    return HumanSequence(std::get<SequenceReport>(report));
}

std::string JsonLine(const DeviceReport& report) {
    if (const auto* frame = std::get_if<DecodedFrame>(&report)) {
        return JsonFrame(*frame);
    }
    return JsonSequence(std::get<SequenceReport>(report));
}
